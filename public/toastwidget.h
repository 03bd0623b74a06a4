#pragma once

#include <QWidget>

class QLabel;
class QPropertyAnimation;
class QTimer;

// A short message centred over its parent window that stays for a while,
// fades out and deletes itself. It paints its own dark rounded card, see
// PopupSurface for where that card is translucent.
class ToastWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ToastWidget(QWidget *parent = nullptr);
    ~ToastWidget() override;

    // Shows text over parent for ms milliseconds, then a 300 ms fade.
    static void showToast(QWidget *parent, const QString &text, int ms);

    void setText(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildUi();
    qreal radius() const;

    QLabel *label = nullptr;
    QTimer *timer = nullptr;
    QPropertyAnimation *fadeAnimation = nullptr;
};
