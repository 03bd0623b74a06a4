#include <QtTest>

#include "base/safename.h"

class TestSafeName : public QObject
{
    Q_OBJECT

private slots:
    void clean_data();
    void clean();
};

void TestSafeName::clean_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    // Valid names stay byte for byte, blanks and punctuation inside included.
    QTest::newRow("blanks, #, dash") << QStringLiteral("12#相册 A4 2 NO001 张-李 05-01取 快递")
                                     << QStringLiteral("12#相册 A4 2 NO001 张-李 05-01取 快递");
    QTest::newRow("book marks, comma, dots") << QStringLiteral("《婚纱》,a.b_c") << QStringLiteral("《婚纱》,a.b_c");
    QTest::newRow("leading dots and blanks") << QStringLiteral(" ..a") << QStringLiteral(" ..a");
    QTest::newRow("full-width blank at end") << QStringLiteral("张\u3000") << QStringLiteral("张\u3000");
    QTest::newRow("percent marker") << QStringLiteral("%1%5") << QStringLiteral("%1%5");

    QTest::newRow("separators") << QStringLiteral("a/b\\c") << QStringLiteral("abc");
    QTest::newRow("reserved") << QStringLiteral("a:*?\"<>|b") << QStringLiteral("ab");
    QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x01\x7f") << QStringLiteral("abc");
    // A right-to-left override would make "gpj.exe" read as "exe.jpg".
    QTest::newRow("right-to-left override") << QStringLiteral("a\u202Egpj.b") << QStringLiteral("agpj.b");
    QTest::newRow("line and paragraph separators") << QStringLiteral("张\u2028李\u2029王") << QStringLiteral("张李王");
    QTest::newRow("non-BMP letters kept") << QStringLiteral("𠀀张") << QStringLiteral("𠀀张");
    QTest::newRow("trailing blanks and dots") << QStringLiteral("相册 . .") << QStringLiteral("相册");
    QTest::newRow("device name") << QStringLiteral("CON") << QStringLiteral("CON_");
    QTest::newRow("device name with a suffix") << QStringLiteral("com1.jpg") << QStringLiteral("com1_.jpg");
    QTest::newRow("device name left by cleaning") << QStringLiteral("N:U:L..") << QStringLiteral("NUL_");
    QTest::newRow("device name inside a longer name") << QStringLiteral("CONTRACT.pdf") << QStringLiteral("CONTRACT.pdf");
    QTest::newRow("COM0 is no device") << QStringLiteral("COM0") << QStringLiteral("COM0");
    QTest::newRow("parent reference") << QStringLiteral("../../etc") << QStringLiteral("....etc");
    QTest::newRow("empty") << QString() << QStringLiteral("_");
    QTest::newRow("dot") << QStringLiteral(".") << QStringLiteral("_");
    QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("_");
    QTest::newRow("only reserved") << QStringLiteral("/:") << QStringLiteral("_");
    QTest::newRow("blank") << QStringLiteral(" ") << QStringLiteral("_");
}

void TestSafeName::clean()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(SafeName::clean(name), expected);
    QCOMPARE(SafeName::isClean(name), name == expected);
    // Cleaning is final: a cleaned name is clean.
    QVERIFY(SafeName::isClean(SafeName::clean(name)));
}

QTEST_APPLESS_MAIN(TestSafeName)
#include "tst_safename.moc"
