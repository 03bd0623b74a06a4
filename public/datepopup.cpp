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
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "public/publiclog.h"

namespace {

const char *const kDark = "#333333";
const char *const kLight = "#f8f9fa";

void setCalendarPalette(QWidget *widget)
{
    QPalette palette = widget->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, QColor(kDark));
        palette.setColor(group, QPalette::Text, QColor(kDark));
        palette.setColor(group, QPalette::ButtonText, QColor(kDark));
        palette.setColor(group, QPalette::Window, QColor(kLight));
        palette.setColor(group, QPalette::Button, QColor(kLight));
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
    QScreen *screen = QGuiApplication::screenAt(edit->mapToGlobal(edit->rect().center()));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return at;
    const QRect area = screen->availableGeometry();
    if (at.x() + size.width() > area.right() - 10)
        at.setX(area.right() - 10 - size.width());
    if (at.x() < area.left())
        at.setX(area.left());
    if (at.y() + size.height() > area.bottom())
        at.setY(edit->mapToGlobal(QPoint(0, 0)).y() - 5 - size.height());
    if (at.y() < area.top())
        at.setY(area.top() + 10);
    return at;
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
        showPopup(edit, placeBelow(edit, m_look.popupSize));
        return;
    }
    qCDebug(lcPublic) << "尝试使用内置日历控件";
    QCalendarWidget *calendar = edit->calendarWidget();
    if (!calendar) {
        qCDebug(lcPublic) << "无法获取日历控件，创建独立日历";
        showPopup(edit, placeBelow(edit, m_look.popupSize));
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
        showPopup(edit, placeBelow(edit, m_look.popupSize));
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
            button->setStyleSheet(QStringLiteral("QToolButton { color: #333333 !important; background-color: #f8f9fa; }"));
            qCDebug(lcPublic) << "特别设置按钮:" << button->objectName() << "文本:" << button->text();
        } else if (auto *label = qobject_cast<QLabel *>(child)) {
            label->setStyleSheet(QStringLiteral("QLabel { color: #333333 !important; }"));
            qCDebug(lcPublic) << "特别设置标签:" << label->objectName() << "文本:" << label->text();
        } else if (auto *line = qobject_cast<QLineEdit *>(child)) {
            line->setStyleSheet(QStringLiteral("QLineEdit { color: #333333 !important; }"));
            qCDebug(lcPublic) << "设置输入框:" << line->objectName();
        } else if (auto *spin = qobject_cast<QSpinBox *>(child)) {
            spin->setStyleSheet(QStringLiteral("QSpinBox { color: #333333 !important; }"));
            qCDebug(lcPublic) << "设置数字选择框:" << spin->objectName();
        }
    }
}

QString DatePopup::transferPopupStyle()
{
    return QStringLiteral(
        "QCalendarWidget { background-color: white; border: 2px solid #007aff; border-radius: 8px; font-size: 18px; }"
        "QCalendarWidget QWidget#qt_calendar_navigationbar { background-color: #f8f9fa; font-size: 18px;"
        " font-weight: bold; min-height: 40px; border-bottom: 1px solid #e0e0e0; }"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth, QCalendarWidget QToolButton#qt_calendar_nextmonth {"
        " background-color: #f8f9fa; border: 1px solid #e0e0e0; border-radius: 4px; color: #333333;"
        " font-size: 16px; font-weight: bold; padding: 4px 8px; }"
        "QCalendarWidget QToolButton#qt_calendar_monthbutton, QCalendarWidget QToolButton#qt_calendar_yearbutton {"
        " background-color: white; border: 1px solid #e0e0e0; border-radius: 4px; color: #333333;"
        " font-size: 16px; font-weight: bold; padding: 4px 12px; }"
        "QCalendarWidget QToolButton#qt_calendar_monthbutton { min-width: 80px; }"
        "QCalendarWidget QToolButton#qt_calendar_yearbutton { min-width: 60px; }"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth:hover, QCalendarWidget QToolButton#qt_calendar_nextmonth:hover,"
        " QCalendarWidget QToolButton#qt_calendar_monthbutton:hover, QCalendarWidget QToolButton#qt_calendar_yearbutton:hover {"
        " background-color: #e3f2fd; border-color: #007aff; color: #007aff; }"
        "QCalendarWidget QToolButton#qt_calendar_prevmonth:pressed, QCalendarWidget QToolButton#qt_calendar_nextmonth:pressed,"
        " QCalendarWidget QToolButton#qt_calendar_monthbutton:pressed, QCalendarWidget QToolButton#qt_calendar_yearbutton:pressed {"
        " background-color: #007aff; color: white; }"
        "QCalendarWidget QSpinBox { background-color: white; border: 1px solid #e0e0e0; border-radius: 4px;"
        " color: #333333; font-size: 16px; font-weight: bold; padding: 4px 8px; min-width: 80px; }"
        "QCalendarWidget QSpinBox:focus { border-color: #007aff; }"
        "QCalendarWidget QSpinBox::up-button, QCalendarWidget QSpinBox::down-button { background-color: #f8f9fa;"
        " border: 1px solid #e0e0e0; }"
        "QCalendarWidget QSpinBox::up-button:hover, QCalendarWidget QSpinBox::down-button:hover {"
        " background-color: #e3f2fd; }"
        "QCalendarWidget QMenu { background-color: white; border: 1px solid #e0e0e0; color: #333333; font-size: 14px; }"
        "QCalendarWidget QMenu::item { padding: 4px 8px; }"
        "QCalendarWidget QMenu::item:selected { background-color: #007aff; color: white; }"
        "QCalendarWidget QToolButton { background-color: #f8f9fa; border: 1px solid #e0e0e0; border-radius: 6px;"
        " padding: 8px 12px; margin: 2px; font-size: 16px; font-weight: bold; color: #333333;"
        " min-width: 60px; min-height: 30px; }"
        "QCalendarWidget QToolButton:hover { background-color: #e3f2fd; border-color: #007aff; color: #007aff; }"
        "QCalendarWidget QToolButton:pressed { background-color: #007aff; color: white; }"
        "QCalendarWidget QAbstractItemView { selection-background-color: #007aff; selection-color: white;"
        " font-size: 16px; font-weight: bold; color: #333333; gridline-color: #e0e0e0; }"
        "QCalendarWidget QAbstractItemView:enabled { font-size: 16px; color: #333333; }"
        "QCalendarWidget QHeaderView::section { background-color: #f8f9fa; border: 1px solid #e0e0e0;"
        " font-size: 16px; font-weight: bold; color: #666666; padding: 8px; min-height: 35px; }");
}
