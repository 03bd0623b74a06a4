// Message boxes look the same over every window: a white box with an edge
// and framed buttons, whatever style sheet the window they belong to has;
// a window's own box look (the login window's blue button) still applies.

#include <QAbstractButton>
#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QTemporaryDir>
#include <QTreeView>
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
    void folderPickerStartFolder();
    void folderPickerShowsWholeColumns();
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

// The folder dialog starts where the user last picked a folder, never in the
// program's working folder; a cancelled dialog changes nothing, and a folder
// gone since gives the nearest one above it.
void TestModalBox::folderPickerStartFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString picked = dir.path() + QStringLiteral("/客户/订单");
    QVERIFY(QDir().mkpath(picked));
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QWidget window;
    QString started;
    QString answer;
    ModalBox::setHook([&](QDialog *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        started = files ? files->directory().absolutePath() : QString();
        if (!files || answer.isEmpty())
            return int(QDialog::Rejected);
        files->setDirectory(answer);
        return int(QDialog::Accepted);
    });
    QCOMPARE(ModalBox::pickFolder(&window, QStringLiteral("选择分件目录")), QString());
    QCOMPARE(started, QDir::homePath());

    // Picked in the dialog: the next one starts there, also after a cancel.
    answer = picked;
    QCOMPARE(QDir(ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"))).absolutePath(), picked);
    answer.clear();
    for (int run = 0; run < 2; ++run) {
        QCOMPARE(ModalBox::pickFolder(&window, QStringLiteral("选择分件目录")), QString());
        QCOMPARE(started, picked);
    }
    // Picked through the tests' folder hook, as the windows' tests do.
    const QString other = dir.path() + QStringLiteral("/客户");
    ModalBox::setFolderHook([&other](QWidget *, const QString &) { return other; });
    QCOMPARE(ModalBox::pickFolder(&window, QStringLiteral("选择分件目录")), other);
    ModalBox::setFolderHook(nullptr);
    ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"));
    QCOMPARE(started, other);

    QVERIFY(QDir(other).removeRecursively());
    ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"));
    QCOMPARE(started, dir.path());
    QVERIFY(QDir::setCurrent(working));
    ModalBox::setHook(nullptr);
}

// At the program's font size (larger than Qt's default), Qt's own folder
// dialog shows the places' names and the type column whole.
void TestModalBox::folderPickerShowsWholeColumns()
{
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.path() + QStringLiteral("/一个名字很长的客户文件夹")));
    const QFont saved = QApplication::font();
    QFont large = saved;
    large.setPixelSize(18);
    QApplication::setFont(large);
    QWidget window;
    QStringList cut;
    bool checked = false;
    ModalBox::setFolderHook(nullptr);
    ModalBox::setFolderHook([&dir](QWidget *, const QString &) { return dir.path(); });
    ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"));
    ModalBox::setFolderHook(nullptr);
    ModalBox::setHook([&](QDialog *dialog) {
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        auto *sidebar = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
        if (!tree || !sidebar)
            return int(QDialog::Rejected); // the platform's own dialog
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            return int(QDialog::Rejected);
        if (!QTest::qWaitFor([tree]() { return tree->model()->rowCount(tree->rootIndex()) > 0; }, 5000))
            qWarning("文件夹对话框没有列出内容");
        QCoreApplication::processEvents();
        checked = true;
        const QFontMetrics sideMetrics(sidebar->font());
        for (int row = 0; row < sidebar->model()->rowCount(); ++row) {
            const QString text = sidebar->model()->index(row, 0).data().toString();
            if (sideMetrics.horizontalAdvance(text) + sidebar->iconSize().width() > sidebar->viewport()->width())
                cut << QStringLiteral("sidebar: ") + text;
        }
        const QFontMetrics treeMetrics(tree->font());
        QHeaderView *header = tree->header();
        for (int column = 1; column < header->count(); ++column) {
            if (header->isSectionHidden(column))
                continue;
            const QString title = tree->model()->headerData(column, Qt::Horizontal).toString();
            if (treeMetrics.horizontalAdvance(title) > header->sectionSize(column))
                cut << QStringLiteral("header: ") + title;
            for (int row = 0; row < tree->model()->rowCount(tree->rootIndex()); ++row) {
                const QString text = tree->model()->index(row, column, tree->rootIndex()).data().toString();
                if (treeMetrics.horizontalAdvance(text) > header->sectionSize(column))
                    cut << QStringLiteral("cell: ") + text;
            }
        }
        dialog->hide();
        return int(QDialog::Rejected);
    });
    ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"));
    ModalBox::setHook(nullptr);
    QApplication::setFont(saved);
    if (!checked)
        QSKIP("the platform's own folder dialog");
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestModalBox)
#include "tst_modalbox.moc"
