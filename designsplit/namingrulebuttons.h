#pragma once

#include <functional>

#include <QPoint>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

class QDrag;
class QLabel;

// Design sizes of the editor scaled for the screen, as a number and as
// style-sheet text.
namespace NamingRuleSize {
int px(int n);
QString pxText(int n);
} // namespace NamingRuleSize

// How the naming-rule editor runs its drags: QDrag::exec by default. Tests
// replace it to deliver drag events themselves, because a drag on the
// offscreen platform ends the moment it starts.
using NamingRuleDragRunner = std::function<Qt::DropAction(QDrag *drag, Qt::DropAction action)>;
NamingRuleDragRunner &namingRuleDragRunner();

// A field placed in the rule (a chip): its name, a delete button shown while
// the mouse is over it, and a drag that reorders it.
class FieldButton : public QWidget
{
    Q_OBJECT

public:
    FieldButton(const QString &name, const QString &key, QWidget *parent = nullptr);

    QString name() const { return m_name; }
    QString key() const { return m_key; }
    QPushButton *deleteButton() const { return m_deleteButton; }

    // True: closed hand, chip hidden while it is dragged; false: shown again.
    void setDragging(bool dragging);

signals:
    void deleteClicked();
    void dragStarted(FieldButton *button);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setBackground(const QColor &colour);

    QString m_name;
    QString m_key;
    QLabel *m_nameLabel = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPoint m_pressPos;
    bool m_pressed = false;
};

// The separator after a chip, chosen from a menu of nine.
class SeparatorButton : public QPushButton
{
    Q_OBJECT

public:
    explicit SeparatorButton(QWidget *parent = nullptr);

    QString separator() const { return m_separator; }
    QStringList choices() const { return m_choices; }
    // Stores and shows the separator and emits separatorChanged.
    void setSeparator(const QString &separator);
    // Stores and shows the separator without a signal (a loaded rule).
    void showSeparator(const QString &separator);
    void showSeparatorMenu();

    // The text a separator shows on the button: "␣" for a blank.
    static QString buttonText(const QString &separator);

signals:
    void separatorChanged(QString separator);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QString m_separator = QStringLiteral("_");
    QStringList m_choices;
};

// One field of the palette; dragging it into the zone adds the field.
class DraggableFieldSource : public QPushButton
{
    Q_OBJECT

public:
    DraggableFieldSource(const QString &name, const QString &key, QWidget *parent = nullptr);

    QString name() const { return m_name; }
    QString key() const { return m_key; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QString m_name;
    QString m_key;
    QPoint m_pressPos;
};
