#pragma once

#include <functional>

#include <QList>
#include <QWidget>

class QPropertyAnimation;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// A self-drawn popup menu: a white rounded panel of flat item buttons and
// separators that scrolls beyond a number of rows, fades in, and fades out
// on a press outside, on Escape, or when an item with an action is clicked.
class ContextMenu : public QWidget
{
    Q_OBJECT

public:
    struct MenuItem
    {
        QString text;
        QString icon;
        std::function<void()> action;
        bool enabled = true;
        bool danger = false;
    };

    explicit ContextMenu(QWidget *parent = nullptr);
    ~ContextMenu() override;

    static ContextMenu *create(QWidget *parent);

    void addItem(const QString &text, std::function<void()> action = nullptr, const QString &icon = QString(),
                 bool enabled = true, bool danger = false);
    void addSeparator();
    void clear();

    void popup(const QPoint &globalPos);
    void popup(QWidget *widget, const QPoint &pos);
    void hideMenu();

    void setMaxVisibleItems(int n);
    void setMinimumMenuWidth(int w);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildUi();
    QPushButton *createItemButton(const MenuItem &item);
    void fitToScreen(const QPoint &pos);

    QScrollArea *scrollArea = nullptr;
    QWidget *container = nullptr;
    QVBoxLayout *itemLayout = nullptr;
    QPropertyAnimation *fadeInAnimation = nullptr;
    QPropertyAnimation *fadeOutAnimation = nullptr;
    QList<MenuItem> items;
    int maxVisibleItems = 8;
    int minMenuWidth = 120;
    int itemHeight = 32;
};
