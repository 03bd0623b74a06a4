#include <QtTest>

#include "base/formfield.h"

class TestFormField : public QObject
{
    Q_OBJECT

private slots:
    void encodeValue_data();
    void encodeValue();
    void bodyKeepsOrder();
    void redacted();
};

void TestFormField::encodeValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain ascii") << "abc-123_./:" << QByteArray("abc-123_./:");
    QTest::newRow("ampersand and plus") << "a&b+c" << QByteArray("a%26b%2Bc");
    QTest::newRow("equals, hash, percent") << "x=1#2%3" << QByteArray("x%3D1%232%253");
    QTest::newRow("utf-8 stays raw") << "张三" << QString("张三").toUtf8();
    QTest::newRow("control characters") << "a\nb\tc" << QByteArray("a%0Ab%09c");
    QTest::newRow("backslash path stays") << "\\\\NAS\\a b" << QByteArray("\\\\NAS\\a b");
}

void TestFormField::encodeValue()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);
    QCOMPARE(FormField::encodeValue(value), expected);
    // What a form decoder reads back is the value itself.
    QCOMPARE(QUrl::fromPercentEncoding(FormField::encodeValue(value)), value);
}

void TestFormField::bodyKeepsOrder()
{
    const QByteArray body = FormBody().add(QStringLiteral("username"), QStringLiteral("demo"))
                                .add(QStringLiteral("password"), QStringLiteral("p&w=+"))
                                .add(QStringLiteral("count"), 3);
    QCOMPARE(body, QByteArray("username=demo&password=p%26w%3D%2B&count=3"));
}

void TestFormField::redacted()
{
    const QByteArray body("username=demo&password=p%26w&token=abc&uid=7");
    QCOMPARE(FormField::redacted(body, {QStringLiteral("password"), QStringLiteral("token")}),
             QByteArray("username=demo&password=***&token=***&uid=7"));
}

QTEST_GUILESS_MAIN(TestFormField)
#include "tst_formfield.moc"
