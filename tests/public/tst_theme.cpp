#include <QDateEdit>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

#include "base/globals.h"
#include "public/theme.h"

// The colour roles and the sheets built from them. A style sheet with a
// colour Qt cannot read draws the style's default without a word, so a
// mistyped value would only show on screen.
class TestTheme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rolesAreColours();
    void fill_data();
    void fill();
    void fieldFrame_data();
    void fieldFrame();
};

void TestTheme::initTestCase()
{
    g_uiScale = 1.0f;
}

void TestTheme::rolesAreColours()
{
    const Palette::RoleTable &roles = Theme::roles();
    QVERIFY(roles.size() > 100);
    // The forms a style sheet reads; QColor alone would also take names
    // like "red" or eight digits, which sheets do not read the same way.
    const QRegularExpression hex(QStringLiteral("^#([0-9a-fA-F]{3}|[0-9a-fA-F]{6})$"));
    for (auto it = roles.constBegin(); it != roles.constEnd(); ++it) {
        QVERIFY2(hex.match(it.value()).hasMatch(), qPrintable(it.key() + QLatin1Char(' ') + it.value()));
        QVERIFY2(QColor(it.value()).isValid(), qPrintable(it.key()));
    }
    // The constants and the names sheets use are one list.
    QCOMPARE(roles.value(QStringLiteral("accent")), Theme::accent.name());
    QCOMPARE(roles.value(QStringLiteral("boxText")), Palette::boxText.name());
    QCOMPARE(Theme::reportHeading.color(), QColor(Qt::black));
}

void TestTheme::fill_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filled");
    QTest::newRow("one role") << QStringLiteral("QLabel { color: @text; }") << QStringLiteral("QLabel { color: #333333; }");
    // A role whose name begins another's: the whole name counts.
    QTest::newRow("longer name first") << QStringLiteral("a: @accentHover; b: @accent;")
                                       << QStringLiteral("a: #0056cc; b: #007aff;");
    QTest::newRow("in a gradient") << QStringLiteral("stop:0 @blueButtonTop, stop:1 @accent)")
                                   << QStringLiteral("stop:0 #4dabf7, stop:1 #007aff)");
    QTest::newRow("at the end") << QStringLiteral("color: @textBlack") << QStringLiteral("color: #000000");
    QTest::newRow("spelling kept") << QStringLiteral("border: 1px solid @elementPrimary;")
                                   << QStringLiteral("border: 1px solid #409EFF;");
    QTest::newRow("base role") << QStringLiteral("border-color: @loginBlue;") << QStringLiteral("border-color: #2980ff;");
    QTest::newRow("object names stay") << QStringLiteral("#parentWidget { border: 1px solid @groupFrame; }")
                                       << QStringLiteral("#parentWidget { border: 1px solid #DCDEE2; }");
    QTest::newRow("no role") << QStringLiteral("QWidget { background: transparent; }")
                             << QStringLiteral("QWidget { background: transparent; }");
    QTest::newRow("empty") << QString() << QString();
}

void TestTheme::fill()
{
    QFETCH(QString, text);
    QFETCH(QString, filled);
    QCOMPARE(Theme::sheet(text), filled);
}

void TestTheme::fieldFrame_data()
{
    QTest::addColumn<bool>("dateField");
    QTest::addColumn<bool>("focused");
    QTest::newRow("line edit") << false << false;
    QTest::newRow("line edit, focused") << false << true;
    QTest::newRow("date field") << true << false;
    QTest::newRow("date field, focused") << true << true;
}

// One field sheet for two kinds of field: each kind is framed in grey, and
// in blue while it has the focus.
void TestTheme::fieldFrame()
{
    QFETCH(bool, dateField);
    QFETCH(bool, focused);
    QWidget window;
    window.setStyleSheet(QStringLiteral("QWidget { background: white; }"));
    window.resize(240, 80);
    QWidget *field = dateField ? static_cast<QWidget *>(new QDateEdit(&window)) : new QLineEdit(&window);
    field->setStyleSheet(Theme::fieldSheet(QStringLiteral("QLineEdit, QDateEdit"), QStringLiteral("0 8px"), 10));
    field->setGeometry(20, 20, 200, 40);
    auto *other = new QLineEdit(&window);
    other->setGeometry(0, 0, 1, 1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    (focused ? field : other)->setFocus();
    QTRY_COMPARE(field->hasFocus(), focused);

    const QImage image = window.grab().toImage();
    const QColor frame = image.pixelColor(field->geometry().center().x(), field->geometry().top());
    QCOMPARE(frame, (focused ? Theme::accent : Theme::border).color());
}

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
