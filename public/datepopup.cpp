#include "public/datepopup.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "public/popupsurface.h"
#include "public/publiclog.h"
#include "public/theme.h"

namespace {

// Space kept between a popup and the screen's edges, and between a popup
// and what it opens from.
const int kScreenMargin = 10;
const int kGap = 5;

QRect screenAreaOf(QWidget *widget)
{
    QScreen *screen = QGuiApplication::screenAt(widget->mapToGlobal(widget->rect().center()));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// The calendar's frame: its children fill it to the edges, so the frame is
// drawn over them by a child of its own on top, which lets the mouse
// through; the corners outside the frame are cut off.
class CalendarFrame : public QWidget
{
public:
    CalendarFrame(QWidget *popup, int radius)
        : QWidget(popup)
        , m_radius(radius)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        popup->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            follow();
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Theme::popupFrame.color(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    }

private:
    void follow()
    {
        setGeometry(parentWidget()->rect());
        raise();
        PopupSurface::updateMask(parentWidget(), m_radius);
    }

    int m_radius;
};

void setCalendarPalette(QWidget *widget)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, Theme::text.color());
        palette.setColor(group, QPalette::Text, Theme::text.color());
        palette.setColor(group, QPalette::ButtonText, Theme::text.color());
        palette.setColor(group, QPalette::Window, Theme::lightFace.color());
        palette.setColor(group, QPalette::Button, Theme::lightFace.color());
    }
    widget->setPalette(palette);
}

bool opensByKey(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
    case Qt::Key_F4:
        return true;
    default:
        return false;
    }
}

} // namespace

DatePopup::DatePopup(const DatePopupLook &look, QObject *parent)
    : QObject(parent)
    , m_look(look)
{
}

void DatePopup::attach(QDateEdit *edit)
{
    m_edits.append(edit);
    edit->installEventFilter(this);
    QPointer<QDateEdit> guard(edit);
    QTimer::singleShot(0, this, [this, guard]() {
        if (!guard)
            return;
        for (QObject *child : guard->children()) {
            if (child->isWidgetType())
                child->installEventFilter(this);
        }
    });
    // Picking a day in the field's own calendar changes the date: the
    // calendar, shown as a window of its own, has to go away with it.
    connect(edit, &QDateEdit::dateChanged, this, [guard]() {
        if (guard && guard->calendarPopup() && guard->calendarWidget()->isVisible())
            guard->calendarWidget()->hide();
    });
}

QDateEdit *DatePopup::fieldOf(QObject *watched) const
{
    for (const QPointer<QDateEdit> &edit : m_edits) {
        if (edit && (watched == edit || watched->parent() == edit))
            return edit;
    }
    return nullptr;
}

bool DatePopup::eventFilter(QObject *watched, QEvent *event)
{
    bool opens = false;
    if (event->type() == QEvent::MouseButtonPress)
        opens = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    else if (event->type() == QEvent::KeyPress && m_look.keysOpen)
        opens = opensByKey(static_cast<QKeyEvent *>(event));
    if (!opens)
        return QObject::eventFilter(watched, event);
    QDateEdit *edit = fieldOf(watched);
    if (!edit || !edit->isVisible())
        return QObject::eventFilter(watched, event);
    qCDebug(lcPublic) << "日期选择器被点击，控件:" << watched->metaObject()->className();
    QPointer<QDateEdit> guard(edit);
    QTimer::singleShot(10, this, [this, guard]() {
        if (guard)
            open(guard);
    });
    return true;
}

QPoint DatePopup::placeBelow(QDateEdit *edit, const QSize &size)
{
    QPoint at = edit->mapToGlobal(QPoint(0, edit->height()));
    const QRect area = screenAreaOf(edit);
    if (area.isEmpty())
        return at;
    if (at.x() + size.width() > area.right() - kScreenMargin)
        at.setX(area.right() - kScreenMargin - size.width());
    if (at.x() < area.left() + kScreenMargin)
        at.setX(area.left() + kScreenMargin);
    if (at.y() + size.height() > area.bottom())
        at.setY(edit->mapToGlobal(QPoint(0, 0)).y() - kGap - size.height());
    if (at.y() < area.top())
        at.setY(area.top() + kScreenMargin);
    return at;
}

QPoint DatePopup::placeBeside(QDateEdit *edit, const QSize &size)
{
    const QPoint field = edit->mapToGlobal(QPoint(0, 0));
    QWidget *panel = edit->parentWidget() ? edit->parentWidget() : edit;
    QPoint at(panel->mapToGlobal(QPoint(0, 0)).x() - kGap - size.width(), field.y());
    const QRect area = screenAreaOf(edit);
    if (area.isEmpty())
        return at;
    if (at.x() < area.left() + kScreenMargin)
        at = QPoint(field.x() + edit->width() - size.width(), field.y() + edit->height() + kGap);
    at.setX(qBound(area.left() + kScreenMargin, at.x(), area.right() + 1 - kScreenMargin - size.width()));
    at.setY(qBound(area.top() + kScreenMargin, at.y(), area.bottom() + 1 - kScreenMargin - size.height()));
    return at;
}

QPoint DatePopup::place(QDateEdit *edit, const QSize &size) const
{
    return m_look.placement == DatePopupLook::Placement::BesidePanel ? placeBeside(edit, size) : placeBelow(edit, size);
}

void DatePopup::open(QDateEdit *edit)
{
    const bool wasReadOnly = edit->isReadOnly();
    if (wasReadOnly)
        edit->setReadOnly(false);
    QPointer<QDateEdit> guard(edit);
    QTimer::singleShot(100, this, [guard, wasReadOnly]() {
        if (guard && wasReadOnly)
            guard->setReadOnly(true);
    });

    if (m_look.ownCalendarSize.isEmpty() || !edit->calendarPopup()) {
        showPopup(edit, place(edit, m_look.popupSize));
        return;
    }
    qCDebug(lcPublic) << "尝试使用内置日历控件";
    QCalendarWidget *calendar = edit->calendarWidget();
    if (!calendar) {
        qCDebug(lcPublic) << "无法获取日历控件，创建独立日历";
        showPopup(edit, place(edit, m_look.popupSize));
        return;
    }
    calendar->setSelectedDate(edit->date());
    calendar->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    calendar->setFocusPolicy(Qt::StrongFocus);
    calendar->resize(m_look.ownCalendarSize);
    calendar->move(placeBelow(edit, m_look.ownCalendarSize));
    calendar->show();
    calendar->raise();
    calendar->activateWindow();
    calendar->setFocus();
    qCDebug(lcPublic) << "内置日历显示状态:" << (calendar->isVisible() ? "true" : "false");
    if (!calendar->isVisible()) {
        qCDebug(lcPublic) << "内置日历无法显示，创建独立日历弹窗";
        showPopup(edit, place(edit, m_look.popupSize));
    }
}

void DatePopup::showPopup(QDateEdit *edit, const QPoint &at)
{
    if (m_popup)
        m_popup->close();
    auto *calendar = new QCalendarWidget();
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->setObjectName(QStringLiteral("calendarPopup"));
    calendar->setSelectedDate(edit->date());
    calendar->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    calendar->setFocusPolicy(Qt::StrongFocus);
    calendar->resize(m_look.popupSize);
    calendar->move(at);
    if (m_look.popupPalette)
        setCalendarPalette(calendar);
    // Arrows as text: the style's arrow icons vanish on the light buttons.
    for (auto *button : calendar->findChildren<QToolButton *>()) {
        const QString name = button->objectName();
        if (name == QLatin1String("qt_calendar_prevmonth") || name == QLatin1String("qt_calendar_nextmonth")) {
            button->setIcon(QIcon());
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            button->setText(name == QLatin1String("qt_calendar_prevmonth") ? QStringLiteral("‹") : QStringLiteral("›"));
        }
    }
    calendar->setStyleSheet(m_look.popupStyleSheet);
    if (m_look.frameRadius > 0)
        new CalendarFrame(calendar, m_look.frameRadius);
    if (m_look.palettePass) {
        QPointer<QCalendarWidget> held(calendar);
        QTimer::singleShot(10, calendar, [held]() {
            if (held)
                styleCalendar(held);
        });
    }
    QPointer<QDateEdit> guard(edit);
    connect(calendar, &QCalendarWidget::clicked, calendar, [guard, calendar](const QDate &date) {
        if (guard)
            guard->setDate(date);
        qCDebug(lcPublic) << "日期已选择:" << date.toString(QStringLiteral("yyyy-MM-dd"));
        calendar->hide();
        calendar->deleteLater();
    });
    // The popup has no parent: it must not outlive the bar that opened it.
    connect(this, &QObject::destroyed, calendar, &QObject::deleteLater);
    m_popup = calendar;
    calendar->show();
    calendar->raise();
    calendar->activateWindow();
    calendar->setFocus();
    qCDebug(lcPublic) << "自定义日历已显示，位置:" << at << "可见性:" << (calendar->isVisible() ? "true" : "false");
    emit popupShown(calendar);
}

void DatePopup::styleCalendar(QCalendarWidget *calendar)
{
    qCDebug(lcPublic) << "开始设置日历子控件调色板";
    const QList<QWidget *> children = calendar->findChildren<QWidget *>();
    for (QWidget *child : children) {
        setCalendarPalette(child);
        child->setAutoFillBackground(true);
        qCDebug(lcPublic) << "设置控件类型:" << child->metaObject()->className() << "对象名:" << child->objectName();
    }
    for (QWidget *child : children) {
        if (auto *button = qobject_cast<QToolButton *>(child)) {
            button->setStyleSheet(Theme::sheet(QStringLiteral("QToolButton { color: @text !important; background-color: @lightFace; }")));
            qCDebug(lcPublic) << "特别设置按钮:" << button->objectName() << "文本:" << button->text();
        } else if (auto *label = qobject_cast<QLabel *>(child)) {
            label->setStyleSheet(Theme::sheet(QStringLiteral("QLabel { color: @text !important; }")));
            qCDebug(lcPublic) << "特别设置标签:" << label->objectName() << "文本:" << label->text();
        } else if (auto *line = qobject_cast<QLineEdit *>(child)) {
            line->setStyleSheet(Theme::sheet(QStringLiteral("QLineEdit { color: @text !important; }")));
            qCDebug(lcPublic) << "设置输入框:" << line->objectName();
        } else if (auto *spin = qobject_cast<QSpinBox *>(child)) {
            spin->setStyleSheet(Theme::sheet(QStringLiteral("QSpinBox { color: @text !important; }")));
            qCDebug(lcPublic) << "设置数字选择框:" << spin->objectName();
        }
    }
}

QString DatePopup::transferPopupStyle()
{
    return Theme::sheet(QStringLiteral(
        "QCalendarWidget { background-color: white; border: 2px solid @accent; border-radius: 8px; font-size: 18px; }"
        "QCalendarWidget QWidget#qt_calendar_navigationbar { background-color: @lightFace; font-size: 18px;"
        " font-weight: bold; min-height: 40px; border-bottom: 1px solid @border; }"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth, QCalendarWidget QToolButton#qt_calendar_nextmonth {"
        " background-color: @lightFace; border: 1px solid @border; border-radius: 4px; color: @text;"
        " font-size: 16px; font-weight: bold; padding: 4px 8px; }"
        "QCalendarWidget QToolButton#qt_calendar_monthbutton, QCalendarWidget QToolButton#qt_calendar_yearbutton {"
        " background-color: white; border: 1px solid @border; border-radius: 4px; color: @text;"
        " font-size: 16px; font-weight: bold; padding: 4px 12px; }"
        "QCalendarWidget QToolButton#qt_calendar_monthbutton { min-width: 80px; }"
        "QCalendarWidget QToolButton#qt_calendar_yearbutton { min-width: 60px; }"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth:hover, QCalendarWidget QToolButton#qt_calendar_nextmonth:hover,"
        " QCalendarWidget QToolButton#qt_calendar_monthbutton:hover, QCalendarWidget QToolButton#qt_calendar_yearbutton:hover {"
        " background-color: @selection; border-color: @accent; color: @accent; }"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth:pressed, QCalendarWidget QToolButton#qt_calendar_nextmonth:pressed,"
        " QCalendarWidget QToolButton#qt_calendar_monthbutton:pressed, QCalendarWidget QToolButton#qt_calendar_yearbutton:pressed {"
        " background-color: @accent; color: white; }"
        "QCalendarWidget QSpinBox { background-color: white; border: 1px solid @border; border-radius: 4px;"
        " color: @text; font-size: 16px; font-weight: bold; padding: 4px 8px; min-width: 80px; }"
        "QCalendarWidget QSpinBox:focus { border-color: @accent; }"
        "QCalendarWidget QSpinBox::up-button, QCalendarWidget QSpinBox::down-button { background-color: @lightFace;"
        " border: 1px solid @border; }"
        "QCalendarWidget QSpinBox::up-button:hover, QCalendarWidget QSpinBox::down-button:hover {"
        " background-color: @selection; }"
        "QCalendarWidget QMenu { background-color: white; border: 1px solid @border; color: @text; font-size: 14px; }"
        "QCalendarWidget QMenu::item { padding: 4px 8px; }"
        "QCalendarWidget QMenu::item:selected { background-color: @accent; color: white; }"
        "QCalendarWidget QToolButton { background-color: @lightFace; border: 1px solid @border; border-radius: 6px;"
        " padding: 8px 12px; margin: 2px; font-size: 16px; font-weight: bold; color: @text;"
        " min-width: 60px; min-height: 30px; }"
        "QCalendarWidget QToolButton:hover { background-color: @selection; border-color: @accent; color: @accent; }"
        "QCalendarWidget QToolButton:pressed { background-color: @accent; color: white; }"
        "QCalendarWidget QAbstractItemView { selection-background-color: @accent; selection-color: white;"
        " font-size: 16px; font-weight: bold; color: @text; gridline-color: @border; }"
        "QCalendarWidget QAbstractItemView:enabled { font-size: 16px; color: @text; }"
        "QCalendarWidget QHeaderView::section { background-color: @lightFace; border: 1px solid @border;"
        " font-size: 16px; font-weight: bold; color: @textSecondary; padding: 8px; min-height: 35px; }"));
}
