#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPropertyAnimation;

// One tool of the chooser: its icon only; the title is the key of a
// double-click.
class ToolCardWidget : public QWidget
{
    Q_OBJECT

public:
    ToolCardWidget(const QString &iconPath, const QString &title, const QString &text, QWidget *parent = nullptr);

    QString title() const { return m_title; }

signals:
    void clicked();
    void doubleClicked(const QString &title);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setupUi(const QString &iconPath);
    void applyStyle();

    QLabel *m_iconLabel = nullptr;
    QPropertyAnimation *m_geometryAnimation = nullptr;
    bool m_pressed = false;
    QString m_title;
};
