#include <QCalendarWidget>
#include <QDateEdit>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QToolButton>
#include <QtTest>

#include "base/globals.h"
#include "public/theme.h"
#include "public/datepopup.h"
#include "tests/public/widgetrender.h"

class TestDatePopup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pickDay_data();
    void pickDay();
    void whatOpensIt_data();
    void whatOpensIt();
    void keptOnScreen_data();
    void keptOnScreen();
    void besideItsPanel_data();
    void besideItsPanel();
    void framedPopup();
    void palettePassDarkensText();
    void popupGoesWithItsOwner();
    void render();

private:
    static DatePopupLook standAlone();
    // The calendar that shows for the field: its own, or the stand-alone one.
    static QCalendarWidget *shownCalendar(QDateEdit *edit, DatePopup *popup);
    // The stand-alone calendar of look, opened for a date field of window;
    // null when the window did not show.
    static QCalendarWidget *openedIn(QWidget *window, const DatePopupLook &look);
};

void TestDatePopup::init()
{
    g_uiScale = 1.0f;
}

DatePopupLook TestDatePopup::standAlone()
{
    DatePopupLook look;
    look.popupSize = QSize(300, 280);
    look.popupStyleSheet = DatePopup::transferPopupStyle();
    return look;
}

QCalendarWidget *TestDatePopup::shownCalendar(QDateEdit *edit, DatePopup *popup)
{
    if (edit->calendarPopup() && edit->calendarWidget()->isVisible())
        return edit->calendarWidget();
    if (popup->currentPopup() && popup->currentPopup()->isVisible())
        return popup->currentPopup();
    return nullptr;
}

QCalendarWidget *TestDatePopup::openedIn(QWidget *window, const DatePopupLook &look)
{
    window->setGeometry(50, 50, 400, 200);
    auto *edit = new QDateEdit(QDate(2024, 3, 15), window);
    edit->setGeometry(20, 20, 140, 30);
    auto *popup = new DatePopup(look, window);
    popup->attach(edit);
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return nullptr;
    popup->open(edit);
    return popup->currentPopup();
}

void TestDatePopup::pickDay_data()
{
    QTest::addColumn<bool>("ownCalendar");
    QTest::newRow("the field's own calendar") << true;
    QTest::newRow("stand-alone calendar") << false;
}

// A read-only field gets its date only through the calendar; it stays
// read-only afterwards and the calendar goes once a day is picked.
void TestDatePopup::pickDay()
{
    QFETCH(bool, ownCalendar);
    QWidget window;
    window.setGeometry(50, 50, 400, 200);
    auto *edit = new QDateEdit(QDate(2024, 3, 1), &window);
    edit->setGeometry(20, 20, 140, 30);
    edit->setCalendarPopup(ownCalendar);
    edit->setReadOnly(true);
    DatePopupLook look = standAlone();
    if (ownCalendar)
        look.ownCalendarSize = QSize(320, 360);
    auto *popup = new DatePopup(look, &window);
    popup->attach(edit);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(shownCalendar(edit, popup));
    QCalendarWidget *calendar = shownCalendar(edit, popup);
    QCOMPARE(calendar == edit->calendarWidget(), ownCalendar);
    QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 1));
    // Never smaller than the calendar can be drawn in.
    const QSize asked = ownCalendar ? QSize(320, 360) : QSize(300, 280);
    QVERIFY(calendar->width() >= asked.width() && calendar->height() >= asked.height());
    QCOMPARE(calendar->pos(), edit->mapToGlobal(QPoint(0, edit->height())));

    const QDate day(2024, 3, 5);
    if (ownCalendar)
        calendar->setSelectedDate(day); // what a click on the day does in the field's own calendar
    else
        QMetaObject::invokeMethod(calendar, "clicked", Q_ARG(QDate, day));
    QCOMPARE(edit->date(), day);
    QTRY_VERIFY(!shownCalendar(edit, popup));
    QTRY_VERIFY(edit->isReadOnly());

    // A second opening starts from the new date.
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(shownCalendar(edit, popup));
    QCOMPARE(shownCalendar(edit, popup)->selectedDate(), day);
}

void TestDatePopup::whatOpensIt_data()
{
    QTest::addColumn<bool>("keysOpen");
    QTest::addColumn<int>("key");          // 0: a mouse click instead
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("opens");
    QTest::newRow("left click") << false << 0 << int(Qt::LeftButton) << true;
    QTest::newRow("right click") << true << 0 << int(Qt::RightButton) << false;
    QTest::newRow("space, keys open") << true << int(Qt::Key_Space) << 0 << true;
    QTest::newRow("F4, keys open") << true << int(Qt::Key_F4) << 0 << true;
    QTest::newRow("down, keys open") << true << int(Qt::Key_Down) << 0 << true;
    QTest::newRow("return, keys open") << true << int(Qt::Key_Return) << 0 << true;
    QTest::newRow("letter, keys open") << true << int(Qt::Key_A) << 0 << false;
    QTest::newRow("space, keys do not open") << false << int(Qt::Key_Space) << 0 << false;
}

void TestDatePopup::whatOpensIt()
{
    QFETCH(bool, keysOpen);
    QFETCH(int, key);
    QFETCH(int, button);
    QFETCH(bool, opens);
    QWidget window;
    window.setGeometry(50, 50, 400, 200);
    auto *edit = new QDateEdit(QDate(2024, 3, 1), &window);
    edit->setGeometry(20, 20, 140, 30);
    edit->setReadOnly(true);
    DatePopupLook look = standAlone();
    look.keysOpen = keysOpen;
    auto *popup = new DatePopup(look, &window);
    popup->attach(edit);
    QSignalSpy shown(popup, &DatePopup::popupShown);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();

    if (key)
        QTest::keyClick(edit, Qt::Key(key));
    else
        QTest::mouseClick(edit, Qt::MouseButton(button));
    if (opens) {
        QVERIFY(shown.wait(2000));
    } else {
        QTest::qWait(100);
        QCOMPARE(shown.count(), 0);
        QCOMPARE(edit->date(), QDate(2024, 3, 1));
    }
}

void TestDatePopup::keptOnScreen_data()
{
    QTest::addColumn<QPoint>("fieldAt"); // relative to the screen's available area
    QTest::addColumn<bool>("right");     // the field sits at the right edge
    QTest::addColumn<bool>("bottom");    // the field sits at the bottom edge
    QTest::newRow("room below") << QPoint(20, 20) << false << false;
    QTest::newRow("right edge") << QPoint(-1, 20) << true << false;
    QTest::newRow("bottom edge") << QPoint(20, -1) << false << true;
    QTest::newRow("corner") << QPoint(-1, -1) << true << true;
}

void TestDatePopup::keptOnScreen()
{
    QFETCH(QPoint, fieldAt);
    QFETCH(bool, right);
    QFETCH(bool, bottom);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size(300, 280);
    QDateEdit edit;
    edit.setWindowFlags(Qt::FramelessWindowHint);
    edit.resize(140, 30);
    edit.move(right ? area.right() - 140 : area.left() + fieldAt.x(),
              bottom ? area.bottom() - 30 : area.top() + fieldAt.y());
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));

    const QPoint at = DatePopup::placeBelow(&edit, size);
    const QPoint fieldTop = edit.mapToGlobal(QPoint(0, 0));
    QVERIFY(at.x() + size.width() <= area.right() - 10 + 1);
    QVERIFY(at.y() >= area.top());
    if (bottom)
        QCOMPARE(at.y(), fieldTop.y() - 5 - size.height());
    else
        QCOMPARE(at.y(), fieldTop.y() + 30);
    if (!right)
        QCOMPARE(at.x(), fieldTop.x());
}

void TestDatePopup::besideItsPanel_data()
{
    QTest::addColumn<int>("panelLeft"); // from the screen's available area's left
    QTest::addColumn<bool>("beside");
    QTest::newRow("room left of the panel") << 400 << true;
    QTest::newRow("just room") << 10 + 300 + 5 << true;
    QTest::newRow("no room: below the field") << 100 << false;
    QTest::newRow("panel at the screen's edge") << 0 << false;
}

// A calendar that opens beside its panel leaves the panel's buttons below
// the field in sight; where the screen has no room left of the panel it
// opens below the field, ending at the field's right edge. Either way it
// stays 10 px inside the screen.
void TestDatePopup::besideItsPanel()
{
    QFETCH(int, panelLeft);
    QFETCH(bool, beside);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size(300, 280);
    QWidget panel;
    panel.setWindowFlags(Qt::FramelessWindowHint);
    panel.setGeometry(area.left() + panelLeft, area.top() + 40, 360, 300);
    auto *edit = new QDateEdit(&panel);
    edit->setGeometry(200, 20, 140, 30);
    DatePopupLook look = standAlone();
    look.placement = DatePopupLook::Placement::BesidePanel;
    auto *popup = new DatePopup(look, &panel);
    popup->attach(edit);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const QPoint at = DatePopup::placeBeside(edit, size);
    const QRect placed(at, size);
    const QRect field(edit->mapToGlobal(QPoint(0, 0)), edit->size());
    QVERIFY2(area.adjusted(10, 10, -10, -10).contains(placed),
             qPrintable(QStringLiteral("%1,%2").arg(at.x()).arg(at.y())));
    if (beside) {
        QCOMPARE(placed.right(), panel.geometry().left() - 6);
        QCOMPARE(placed.top(), field.top());
    } else {
        QCOMPARE(placed.top(), field.bottom() + 6);
        QVERIFY(placed.right() <= field.right());
    }
    // The popup opens there.
    QTest::mouseClick(edit, Qt::LeftButton);
    QTRY_VERIFY(popup->currentPopup() && popup->currentPopup()->isVisible());
    QCOMPARE(popup->currentPopup()->pos(), at);
}

// A frame in the pop-ups' frame colour, with rounded corners cut out of the
// window.
void TestDatePopup::framedPopup()
{
    QWidget window;
    DatePopupLook look = standAlone();
    look.frameRadius = 12;
    QCalendarWidget *calendar = openedIn(&window, look);
    QVERIFY(calendar);
    QVERIFY(QTest::qWaitForWindowExposed(calendar));
    const QRect rect = calendar->rect();
    for (const QPoint &corner : {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()})
        QVERIFY(!calendar->mask().contains(corner));
    QVERIFY(calendar->mask().contains(rect.center()));
    const QImage image = renderWidget(calendar, QStringLiteral("datepopup_framed"));
    for (const QPoint &edge : {QPoint(rect.center().x(), 0), QPoint(rect.center().x(), rect.bottom()),
                               QPoint(0, rect.center().y()), QPoint(rect.right(), rect.center().y())})
        QVERIFY2(closeTo(image.pixel(edge), Theme::popupFrame.color(), 24),
                 qPrintable(QColor(image.pixel(edge)).name()));
    // Resized, the frame follows.
    calendar->resize(360, 320);
    QVERIFY(!calendar->mask().contains(QPoint(359, 319)));
    QVERIFY(calendar->mask().contains(QPoint(358, 160)));
}

void TestDatePopup::palettePassDarkensText()
{
    QCalendarWidget calendar;
    calendar.show();
    DatePopup::styleCalendar(&calendar);
    const QList<QToolButton *> buttons = calendar.findChildren<QToolButton *>();
    QVERIFY(!buttons.isEmpty());
    for (QToolButton *button : buttons) {
        QCOMPARE(button->palette().color(QPalette::ButtonText), QColor(QStringLiteral("#333333")));
        QVERIFY(button->styleSheet().contains(QStringLiteral("#333333")));
    }
}

// The stand-alone calendar has no parent: it must go with the bar that
// opened it, or it would stay on screen after its window closed.
void TestDatePopup::popupGoesWithItsOwner()
{
    auto *window = new QWidget;
    window->setGeometry(50, 50, 400, 200);
    auto *edit = new QDateEdit(QDate(2024, 3, 1), window);
    edit->setGeometry(20, 20, 140, 30);
    auto *popup = new DatePopup(standAlone(), window);
    popup->attach(edit);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    popup->open(edit);
    QPointer<QCalendarWidget> calendar = popup->currentPopup();
    QVERIFY(calendar);
    delete window;
    QTRY_VERIFY(calendar.isNull());
}

void TestDatePopup::render()
{
    QWidget window;
    DatePopupLook look = standAlone();
    look.popupPalette = true;
    look.palettePass = true;
    QCalendarWidget *calendar = openedIn(&window, look);
    QVERIFY(calendar);
    QTest::qWait(50); // the palette pass runs 10 ms after the popup is made
    const QImage image = renderWidget(calendar, QStringLiteral("datepopup"));
    QVERIFY(image.width() >= 300 && image.height() >= 280);
    const QStringList arrows{QStringLiteral("‹"), QStringLiteral("›")};
    QStringList texts;
    for (QToolButton *button : calendar->findChildren<QToolButton *>())
        texts << button->text();
    for (const QString &arrow : arrows)
        QVERIFY2(texts.contains(arrow), qPrintable(texts.join(QLatin1Char(' '))));
}

QTEST_MAIN(TestDatePopup)
#include "tst_datepopup.moc"
