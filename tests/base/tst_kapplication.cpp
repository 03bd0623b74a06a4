// What the program's start-up sets for every window: dates, month and day
// names in Chinese, whatever language the system has.

#include <QApplication>
#include <QCalendarWidget>
#include <QLocale>
#include <QtTest>

#include "base/k.h"

class TestKApplication : public QObject
{
    Q_OBJECT

private slots:
    void calendarSpeaksChinese();
};

void TestKApplication::calendarSpeaksChinese()
{
    // The machine's own language, as on a studio PC set to English.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    K::instance()->initApplication(*qApp);
    QCalendarWidget calendar;
    calendar.setSelectedDate(QDate(2024, 12, 10));
    QCOMPARE(calendar.locale().monthName(12), QStringLiteral("十二月"));
    QCOMPARE(calendar.locale().dayName(1, QLocale::ShortFormat), QStringLiteral("周一"));
}

QTEST_MAIN(TestKApplication)
#include "tst_kapplication.moc"
