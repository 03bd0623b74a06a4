// Message boxes look the same over every window: a white box with an edge
// and framed buttons, whatever style sheet the window they belong to has;
// a window's own box look (the login window's blue button) still applies.

#include <QAbstractButton>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QtTest>

#include "base/globals.h"
#include "base/k.h"
#include "base/modalbox.h"
#include "login/loginnew.h"
#include "public/loginwarning.h"
#include "tests/public/widgetrender.h"

namespace {

int brightness(QRgb rgb)
{
    return (qRed(rgb) + qGreen(rgb) + qBlue(rgb)) / 3;
}

// Shows the box the way exec() would, renders it and answers OK.
QImage s_box;
QRect s_button;
void renderBoxes(const QString &name)
{
    ModalBox::setHook([name](QDialog *dialog) {
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            qWarning("提示框没有显示");
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QAbstractButton *ok = box ? box->buttons().value(0) : nullptr;
        s_box = renderWidget(dialog, name);
        s_button = ok ? QRect(ok->mapTo(dialog, QPoint(0, 0)), ok->size()) : QRect();
        dialog->hide();
        return int(QMessageBox::Ok);
    });
}

} // namespace

class TestModalBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void boxOverStyledWindow_data();
    void boxOverStyledWindow();
    void windowsOwnBoxLookWins();
};

void TestModalBox::initTestCase()
{
    g_uiScale = 1.0f;
    // Never the user's own remembered login.
    QStandardPaths::setTestModeEnabled(true);
}

void TestModalBox::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
}

void TestModalBox::boxOverStyledWindow_data()
{
    QTest::addColumn<QString>("windowSheet");
    // The photo-transfer window's sheet, and the frameless login card's.
    QTest::newRow("photo transfer") << QStringLiteral(
        "QMainWindow {    background-color: #f6f6f6;    border-radius: 12px;    color: #000000}"
        "QLabel {    color: #000000}QPushButton {    color: #000000}");
    QTest::newRow("transparent panels") << QStringLiteral(
        "QWidget { background: transparent; }"
        "QPushButton { border: none; background: transparent; color: white; font-size: 30px; }"
        "QLabel { color: white; font-size: 30px; }");
}

void TestModalBox::boxOverStyledWindow()
{
    QFETCH(QString, windowSheet);
    QMainWindow window;
    window.setStyleSheet(windowSheet);
    window.resize(500, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    renderBoxes(QStringLiteral("modalbox_") + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    QMessageBox box(QMessageBox::Warning, QStringLiteral("温馨提示"), QStringLiteral("未检索到订单"), QMessageBox::Ok, &window);
    QCOMPARE(ModalBox::exec(&box), int(QMessageBox::Ok));
    QVERIFY(!s_box.isNull() && s_button.isValid());

    // The box is white inside and has a visible edge.
    QVERIFY(brightness(s_box.pixel(s_box.width() / 2, 2)) > 240);
    QVERIFY2(brightness(s_box.pixel(0, s_box.height() / 2)) < 200, qPrintable(QColor(s_box.pixel(0, s_box.height() / 2)).name()));
    // The button has a frame: its left edge is darker than its face, and the
    // face is light (dark text on it).
    const int y = s_button.center().y();
    const QRgb edge = s_box.pixel(s_button.left(), y);
    const QRgb face = s_box.pixel(s_button.left() + 4, s_button.top() + 4);
    QVERIFY2(brightness(face) > 220, qPrintable(QColor(face).name()));
    QVERIFY2(brightness(face) - brightness(edge) > 40, qPrintable(QColor(edge).name() + QLatin1Char(' ') + QColor(face).name()));
    // The button is not taller than the text needs (no 30 px font leaked).
    QVERIFY(s_button.height() < 3 * QFontInfo(QApplication::font()).pixelSize());
}

void TestModalBox::windowsOwnBoxLookWins()
{
    LoginNew window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    renderBoxes(QStringLiteral("modalbox_login"));
    showLoginWarning(&window, QStringLiteral("请输入密码"));
    QVERIFY(!s_box.isNull() && s_button.isValid());
    QVERIFY(brightness(s_box.pixel(s_box.width() / 2, 2)) > 240);
    // The login window's blue button, not a black one taken from the card.
    const QRgb face = s_box.pixel(s_button.center().x(), s_button.top() + 3);
    QVERIFY2(closeTo(face, QColor(QStringLiteral("#2980ff")), 20), qPrintable(QColor(face).name()));
}

QTEST_MAIN(TestModalBox)
#include "tst_modalbox.moc"
