#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "public/simpledialog.h"
#include "tests/public/widgetrender.h"

namespace {

// The dialogs a test opened (they are top-level windows that delete themselves).
QList<SimpleDialog *> openDialogs()
{
    QList<SimpleDialog *> result;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *d = qobject_cast<SimpleDialog *>(w)) {
            if (d->isVisible())
                result.append(d);
        }
    }
    return result;
}

QPushButton *buttonNamed(SimpleDialog *dialog, const QString &text)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

QLabel *badgeOf(SimpleDialog *dialog)
{
    for (QLabel *l : dialog->findChildren<QLabel *>()) {
        if (!l->wordWrap())
            return l;
    }
    return nullptr;
}

} // namespace

class TestSimpleDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void kinds_data();
    void kinds();
    void questionAnswers_data();
    void questionAnswers();
    void callbackThatDestroysParent();
    void plainAndRichMessage();
    void messageHeightBounds();
    void entriesReturnAtOnce();
    void renderKinds();
    void buttonTextReadable();
};

void TestSimpleDialog::init()
{
    g_uiScale = 1.0f;
}

void TestSimpleDialog::cleanup()
{
    for (SimpleDialog *d : openDialogs())
        delete d;
}

void TestSimpleDialog::kinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<bool>("cancelShown");

    QTest::newRow("success") << 0 << QStringLiteral("i") << QStringLiteral("#3b82f6") << false;
    QTest::newRow("info") << 1 << QStringLiteral("!") << QStringLiteral("#f59e0b") << false;
    QTest::newRow("error") << 2 << QStringLiteral("×") << QStringLiteral("#ef4444") << false;
    QTest::newRow("question") << 3 << QStringLiteral("?") << QStringLiteral("#10b981") << true;
    QTest::newRow("unknown") << 9 << QString() << QString() << true;
}

void TestSimpleDialog::kinds()
{
    QFETCH(int, kind);
    QFETCH(QString, symbol);
    QFETCH(QString, colour);
    QFETCH(bool, cancelShown);

    SimpleDialog::showDialog(nullptr, QStringLiteral("温馨提示"), QStringLiteral("内容"), kind, nullptr, false);
    const QList<SimpleDialog *> dialogs = openDialogs();
    QCOMPARE(dialogs.size(), 1);
    SimpleDialog *d = dialogs.first();
    QCOMPARE(badgeOf(d)->text(), symbol);
    QCOMPARE(buttonNamed(d, QStringLiteral("取消"))->isVisible(), cancelShown);
    QVERIFY(buttonNamed(d, QStringLiteral("确定"))->isVisible());
    if (!colour.isEmpty())
        QVERIFY(buttonNamed(d, QStringLiteral("确定"))->styleSheet().contains(QStringLiteral("background: ") + colour));
    QVERIFY(d->isModal());
    QVERIFY(d->testAttribute(Qt::WA_DeleteOnClose));
}

void TestSimpleDialog::questionAnswers_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("expected");

    QTest::newRow("ok") << QStringLiteral("ok") << true;
    QTest::newRow("cancel") << QStringLiteral("cancel") << false;
    QTest::newRow("escape") << QStringLiteral("escape") << false;
    QTest::newRow("window closed") << QStringLiteral("close") << false;
}

void TestSimpleDialog::questionAnswers()
{
    QFETCH(QString, how);
    QFETCH(bool, expected);

    QWidget window;
    window.resize(600, 400);
    window.show();
    QList<bool> answers;
    SimpleDialog::showQuestion(&window, QStringLiteral("确认删除"), QStringLiteral("确定删除这 3 张照片吗？"),
                               [&answers](bool ok) { answers.append(ok); });
    QPointer<SimpleDialog> d = openDialogs().value(0);
    QVERIFY(d);
    QVERIFY(QTest::qWaitForWindowExposed(d));

    if (how == QLatin1String("ok"))
        QTest::mouseClick(buttonNamed(d, QStringLiteral("确定")), Qt::LeftButton);
    else if (how == QLatin1String("cancel"))
        QTest::mouseClick(buttonNamed(d, QStringLiteral("取消")), Qt::LeftButton);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(d, Qt::Key_Escape);
    else
        d->close();

    QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), 2000);
    QCOMPARE(answers, QList<bool>{expected});
}

void TestSimpleDialog::callbackThatDestroysParent()
{
    auto *window = new QWidget;
    window->resize(500, 300);
    window->show();
    int calls = 0;
    SimpleDialog::showQuestion(window, QStringLiteral("关闭窗口"), QStringLiteral("关闭后无法恢复"), [&](bool) {
        ++calls;
        delete window; // takes the dialog with it
    });
    QPointer<SimpleDialog> d = openDialogs().value(0);
    QVERIFY(d);
    QTest::mouseClick(buttonNamed(d, QStringLiteral("确定")), Qt::LeftButton);
    QVERIFY(d.isNull());
    QCOMPARE(calls, 1);
}

void TestSimpleDialog::plainAndRichMessage()
{
    SimpleDialog::showError(nullptr, QStringLiteral("导入失败"), QStringLiteral("a<b\n第二行 100%"), false);
    SimpleDialog *plain = openDialogs().value(0);
    QTextBrowser *browser = plain->findChild<QTextBrowser *>();
    QCOMPARE(browser->toPlainText(), QStringLiteral("a<b\n第二行 100%"));
    delete plain;

    SimpleDialog::showError(nullptr, QStringLiteral("导入失败"), QStringLiteral("<b>粗体</b>"), true);
    SimpleDialog *rich = openDialogs().value(0);
    QCOMPARE(rich->findChild<QTextBrowser *>()->toPlainText(), QStringLiteral("粗体"));
}

void TestSimpleDialog::messageHeightBounds()
{
    K *k = K::instance();
    SimpleDialog::showSuccess(nullptr, QStringLiteral("完成"), QStringLiteral("一行"));
    SimpleDialog *one = openDialogs().value(0);
    QVERIFY(one->findChild<QTextBrowser *>()->height() >= k->scale(60));
    delete one;

    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QStringLiteral("第 %1 个文件复制失败").arg(i);
    SimpleDialog::showError(nullptr, QStringLiteral("失败列表"), lines.join(QLatin1Char('\n')));
    SimpleDialog *many = openDialogs().value(0);
    const int half = QGuiApplication::primaryScreen()->availableGeometry().height() / 2;
    QCOMPARE(many->findChild<QTextBrowser *>()->maximumHeight(), qMax(half - k->scale(200), k->scale(80)));
    QVERIFY(many->height() <= half);
}

void TestSimpleDialog::entriesReturnAtOnce()
{
    SimpleDialog::showSuccess(nullptr, QStringLiteral("一"), QStringLiteral("第一个"));
    SimpleDialog::showSuccess(nullptr, QStringLiteral("二"), QStringLiteral("第二个"));
    QCOMPARE(openDialogs().size(), 2);
}

void TestSimpleDialog::renderKinds()
{
    const char *const names[] = {"success", "info", "error", "question"};
    const char *const colours[] = {"#3b82f6", "#f59e0b", "#ef4444", "#10b981"};
    for (int kind = 0; kind < 4; ++kind) {
        SimpleDialog::showDialog(nullptr, QStringLiteral("温馨提示"),
                                 QStringLiteral("订单 20240518-001 的 12 张照片已经导入完成。"), kind, nullptr, false);
        SimpleDialog *d = openDialogs().value(0);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        const QImage image = renderWidget(d, QStringLiteral("simpledialog_") + QLatin1String(names[kind]));
        // Transparent outside the rounded corner, white inside the card.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QVERIFY(closeTo(image.pixel(image.width() / 2, 12), Qt::white, 4));
        // The OK button carries the kind's colour.
        QPushButton *ok = buttonNamed(d, QStringLiteral("确定"));
        const QPoint p = ok->mapTo(d, QPoint(4, ok->height() / 2));
        QVERIFY2(closeTo(image.pixel(p), QColor(QLatin1String(colours[kind]))), names[kind]);
        delete d;
    }
}

// The button labels are drawn as large as the message text, not as a few
// pixels high smudge.
void TestSimpleDialog::buttonTextReadable()
{
    SimpleDialog::showQuestion(nullptr, QStringLiteral("确认删除"), QStringLiteral("确定要删除选中的 2 张照片吗？"), [](bool) {});
    SimpleDialog *d = openDialogs().value(0);
    QVERIFY(QTest::qWaitForWindowExposed(d));
    const QImage image = renderWidget(d, QStringLiteral("simpledialog_buttons"));
    for (const QString &text : {QStringLiteral("确定"), QStringLiteral("取消")}) {
        QPushButton *button = buttonNamed(d, text);
        const QRect area(button->mapTo(d, QPoint(0, 0)), button->size());
        const QRgb face = image.pixel(area.left() + 3, area.center().y());
        int firstRow = -1;
        int lastRow = -1;
        for (int y = area.top() + 2; y < area.bottom() - 1; ++y) {
            for (int x = area.left() + 3; x < area.right() - 2; ++x) {
                const QRgb p = image.pixel(x, y);
                if (qAbs(qRed(p) - qRed(face)) + qAbs(qGreen(p) - qGreen(face)) + qAbs(qBlue(p) - qBlue(face)) > 150) {
                    if (firstRow < 0)
                        firstRow = y;
                    lastRow = y;
                }
            }
        }
        const int textHeight = firstRow < 0 ? 0 : lastRow - firstRow + 1;
        QVERIFY2(textHeight >= K::instance()->scale(9), qPrintable(text + QLatin1Char(' ') + QString::number(textHeight)));
    }
    delete d;
}

QTEST_MAIN(TestSimpleDialog)
#include "tst_simpledialog.moc"
