// Message boxes look the same over every window: a white box with an edge
// and framed buttons, whatever style sheet the window they belong to has;
// a window's own box look (the login window's blue button) still applies.
// The file and folder pickers start where the user last picked, open at a
// size for the screen, keep an ellipsis in cut names and write dates and
// sizes in Chinese.

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QScreen>
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
#include "tests/support/textrecorder.h"
#include "tests/public/widgetrender.h"

namespace {

const QChar kEllipsis(0x2026);

int brightness(QRgb rgb)
{
    return (qRed(rgb) + qGreen(rgb) + qBlue(rgb)) / 3;
}

// Why part (a button, a field) of image shows no frame, or empty: its left
// edge is clearly darker than its light face.
QString frameFault(const QImage &image, const QRect &part)
{
    const QRgb edge = image.pixel(part.left(), part.center().y());
    const QRgb face = image.pixel(part.left() + 4, part.top() + 4);
    if (brightness(face) <= 220 || brightness(face) - brightness(edge) <= 40)
        return QStringLiteral("边 %1 面 %2").arg(QColor(edge).name(), QColor(face).name());
    return QString();
}

// The sheets of windows a box or dialog is shown over: the photo-transfer
// window's, and the frameless login card's.
void addWindowSheets()
{
    QTest::addColumn<QString>("windowSheet");
    QTest::newRow("photo transfer") << QStringLiteral(
        "QMainWindow {    background-color: #f6f6f6;    border-radius: 12px;    color: #000000}"
        "QLabel {    color: #000000}QPushButton {    color: #000000}");
    QTest::newRow("transparent panels") << QStringLiteral(
        "QWidget { background: transparent; }"
        "QPushButton { border: none; background: transparent; color: white; font-size: 30px; }"
        "QLabel { color: white; font-size: 30px; }"
        "QLineEdit { border: none; background: transparent; }");
}

// What the open-files dialog shows of folder: opens it there (as the folder
// last picked), waits until it lists rows entries and hands it to look.
// False when the platform's own dialog opened instead of Qt's.
bool lookAtFilesDialog(QWidget *parent, const QString &folder, int rows, const std::function<void(QFileDialog *)> &look)
{
    ModalBox::setFolderHook([folder](QWidget *, const QString &) { return folder; });
    ModalBox::pickFolder(parent, QStringLiteral("选择文件夹"));
    ModalBox::setFolderHook(nullptr);
    bool looked = false;
    ModalBox::setHook([&](QDialog *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        if (!files || !tree)
            return int(QDialog::Rejected);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog))
            return int(QDialog::Rejected);
        if (!QTest::qWaitFor([tree, rows]() { return tree->model()->rowCount(tree->rootIndex()) >= rows; }, 5000))
            qWarning("文件对话框没有列出内容");
        QCoreApplication::processEvents();
        look(files);
        looked = true;
        dialog->hide();
        return int(QDialog::Rejected);
    });
    ModalBox::getOpenFileNames(parent, QStringLiteral("选择照片文件"), QStringLiteral("图片文件 (*.jpg *.jpeg)"));
    ModalBox::setHook(nullptr);
    return looked;
}

// The text a view draws in its cells from first to last (cells of one row).
QString drawnIn(QAbstractItemView *view, const QModelIndex &first, const QModelIndex &last)
{
    TextRecorder recorder(view->viewport()->size());
    view->viewport()->render(&recorder, QPoint(), QRegion(view->visualRect(first).united(view->visualRect(last))));
    return recorder.texts.join(QString());
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
    void pickerStartFolder_data();
    void pickerStartFolder();
    void folderPickerShowsWholeColumns();
    void pickerSize_data();
    void pickerSize();
    void pickerOpensAtScreenSize();
    void cutNamesKeepTheirEnds_data();
    void cutNamesKeepTheirEnds();
    void datesAndSizesInChinese_data();
    void datesAndSizesInChinese();
    void fileFieldAndButtonsFramed_data();
    void fileFieldAndButtonsFramed();

private:
    QTemporaryDir m_home;
};

void TestModalBox::initTestCase()
{
    g_uiScale = 1.0f;
    // Never the user's own remembered login.
    QStandardPaths::setTestModeEnabled(true);
    // A home of the test's own: the pickers fall back to it, and the
    // folders of each case are made in it, so a folder removed after a case
    // leads the next picker back to this home.
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QCOMPARE(QDir::homePath(), m_home.path());
    // The program's own font, which has no glyph for the ellipsis.
    K::instance()->loadFont();
}

void TestModalBox::cleanupTestCase()
{
    ModalBox::setHook(nullptr);
}

void TestModalBox::boxOverStyledWindow_data()
{
    addWindowSheets();
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
    const QString fault = frameFault(s_box, s_button);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
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

void TestModalBox::pickerStartFolder_data()
{
    QTest::addColumn<bool>("files");
    QTest::newRow("folder dialog") << false;
    QTest::newRow("open-files dialog") << true;
}

// A picker starts where the user last picked (a folder, or files in it),
// never in the program's working folder; a cancelled picker changes
// nothing, a folder gone since gives the nearest one above it, and with no
// pick yet the picker starts at home.
void TestModalBox::pickerStartFolder()
{
    QFETCH(bool, files);
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/pick-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString picked = dir.path() + QStringLiteral("/客户/订单");
    QVERIFY(QDir().mkpath(picked));
    const QString photo = QStringLiteral("/照片.jpg");
    for (const QString &folder : {picked, dir.path() + QStringLiteral("/客户")}) {
        QFile file(folder + photo);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QWidget window;
    // The folder the user picked in the dialog, or the one of the files.
    const auto pick = [&window, files]() {
        if (!files)
            return ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"));
        const QStringList paths = ModalBox::getOpenFileNames(&window, QStringLiteral("选择照片文件"), QStringLiteral("图片文件 (*.jpg)"));
        return paths.isEmpty() ? QString() : QFileInfo(paths.first()).absolutePath();
    };
    QString started;
    QString answer;
    ModalBox::setHook([&](QDialog *dialog) {
        auto *box = qobject_cast<QFileDialog *>(dialog);
        started = box ? box->directory().absolutePath() : QString();
        if (!box || answer.isEmpty())
            return int(QDialog::Rejected);
        if (files)
            box->selectFile(answer + photo);
        else
            box->setDirectory(answer);
        return int(QDialog::Accepted);
    });
    // No pick yet (or the last one was in a case gone since).
    QCOMPARE(pick(), QString());
    QCOMPARE(started, QDir::homePath());

    // Picked in the dialog: the next one starts there, also after a cancel.
    answer = picked;
    QCOMPARE(QDir(pick()).absolutePath(), picked);
    answer.clear();
    for (int run = 0; run < 2; ++run) {
        QCOMPARE(pick(), QString());
        QCOMPARE(started, picked);
    }
    // Picked through the tests' hooks, as the windows' tests do.
    const QString other = dir.path() + QStringLiteral("/客户");
    ModalBox::setFolderHook([&other](QWidget *, const QString &) { return other; });
    ModalBox::setFilesHook([&other, &photo](QWidget *, const QString &, const QString &) { return QStringList{other + photo}; });
    QCOMPARE(pick(), other);
    ModalBox::setFolderHook(nullptr);
    ModalBox::setFilesHook(nullptr);
    pick();
    QCOMPARE(started, other);
    // The other kind of picker starts there too: one last folder for both.
    if (files)
        ModalBox::pickFolder(&window, QStringLiteral("选择分件目录"));
    else
        ModalBox::getOpenFileNames(&window, QStringLiteral("选择照片文件"), QString());
    QCOMPARE(started, other);

    QVERIFY(QDir(other).removeRecursively());
    pick();
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
            // The cell as the view shows it (dates and sizes are the view's
            // own, not the model's text).
            for (int row = 0; row < tree->model()->rowCount(tree->rootIndex()); ++row) {
                const QModelIndex cell = tree->model()->index(row, column, tree->rootIndex());
                if (tree->sizeHintForIndex(cell).width() > header->sectionSize(column))
                    cut << QStringLiteral("cell: ") + cell.data().toString();
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

void TestModalBox::pickerSize_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("textNeeds");
    // The share of the screen's width and height the picker takes.
    QTest::addColumn<double>("fromShare");
    QTest::addColumn<double>("toShare");
    QTest::newRow("1366x768") << QSize(1366, 768) << QSize(700, 420) << 0.6 << 0.72;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << QSize(700, 420) << 0.6 << 0.72;
    // Text that needs more than the screen has: the picker stays inside it.
    QTest::newRow("large text on 1366x768") << QSize(1366, 768) << QSize(1500, 900) << 0.85 << 0.9;
}

// Qt's own picker opened at about 605x455 on any screen: most of a large
// screen was left unused and long names were cut. It takes a good share of
// the screen, never less than its text needs nor more than the screen.
void TestModalBox::pickerSize()
{
    QFETCH(QSize, available);
    QFETCH(QSize, textNeeds);
    QFETCH(double, fromShare);
    QFETCH(double, toShare);
    const QSize size = ModalBox::pickerSize(textNeeds, available);
    const double width = double(size.width()) / available.width();
    const double height = double(size.height()) / available.height();
    QVERIFY2(width >= fromShare && width <= toShare, qPrintable(QString::number(width)));
    QVERIFY2(height >= fromShare && height <= toShare, qPrintable(QString::number(height)));
    // The text's needs, as far as the screen allows; larger than Qt's own.
    const QSize allowed = textNeeds.boundedTo(available * 9 / 10);
    QVERIFY(size.width() >= allowed.width() && size.height() >= allowed.height());
    QVERIFY(size.width() >= 605 && size.height() >= 455);
}

// The dialog itself opens at that size on the screen it is shown on.
void TestModalBox::pickerOpensAtScreenSize()
{
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/size-XXXXXX"));
    QVERIFY(dir.isValid());
    QSize opened;
    QSize available;
    const bool looked = lookAtFilesDialog(nullptr, dir.path(), 0, [&](QFileDialog *dialog) {
        opened = dialog->size();
        available = dialog->screen()->availableGeometry().size();
    });
    if (!looked)
        QSKIP("the platform's own file dialog");
    QVERIFY2(opened.width() <= available.width() && opened.height() <= available.height(),
             qPrintable(QStringLiteral("%1x%2").arg(opened.width()).arg(opened.height())));
    QVERIFY2(opened.width() >= available.width() * 6 / 10 && opened.height() >= available.height() * 6 / 10,
             qPrintable(QStringLiteral("%1x%2").arg(opened.width()).arg(opened.height())));
}

void TestModalBox::cutNamesKeepTheirEnds_data()
{
    QTest::addColumn<QString>("name");
    // Where the name is shown: the list of files in details or as a list,
    // the places of the sidebar (a folder), or the path of the folder shown.
    QTest::addColumn<QString>("view");
    const QString longName = QStringLiteral("velquora_demo_BD20240601001-1_") + QString(QStringLiteral("原片_婚纱照_")).repeated(8)
                             + QStringLiteral("IMG_1001.jpg");
    QTest::newRow("details") << longName << QStringLiteral("treeView");
    QTest::newRow("photos told apart by their number") << QString(longName).replace(QStringLiteral("1001"), QStringLiteral("1008"))
                                                        << QStringLiteral("treeView");
    QTest::newRow("list") << longName << QStringLiteral("listView");
    QTest::newRow("sidebar") << QStringLiteral("客户_velquora_demo_") + QString(QStringLiteral("门店自取_")).repeated(6) + QStringLiteral("FJ202")
                             << QStringLiteral("sidebar");
    QTest::newRow("path") << QString(QStringLiteral("客户订单_velquora_demo/")).repeated(6) + QStringLiteral("FJ202_门店自取")
                          << QStringLiteral("lookInCombo");
}

// A name too long for its cell keeps its start and its end with an
// ellipsis between, drawn with the program's font (which has no glyph for
// it): Qt's own elision cut out a piece with nothing in its place, and
// "IMG_1001.jpg" read as "IMG_11.jpg".
void TestModalBox::cutNamesKeepTheirEnds()
{
    QFETCH(QString, name);
    QFETCH(QString, view);
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/cut-XXXXXX"));
    QVERIFY(dir.isValid());
    const QString path = dir.path() + QLatin1Char('/') + name;
    const bool folder = view == QLatin1String("sidebar") || view == QLatin1String("lookInCombo");
    if (folder) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const bool lookIn = view == QLatin1String("lookInCombo");
    if (lookIn)
        name = path;
    QString drawn;
    const bool looked = lookAtFilesDialog(nullptr, lookIn ? path : dir.path(), lookIn ? 0 : 1, [&](QFileDialog *dialog) {
        // The name alone in its row. The dialog keeps its columns, places
        // and kind of view for the next one: they are put back after.
        QHeaderView *header = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))->header();
        for (int column = 1; column < header->count(); ++column)
            header->hideSection(column);
        const QList<QUrl> places = dialog->sidebarUrls();
        if (view == QLatin1String("sidebar"))
            dialog->setSidebarUrls({QUrl::fromLocalFile(path)});
        if (view == QLatin1String("listView"))
            dialog->setViewMode(QFileDialog::List);
        QCoreApplication::processEvents();
        renderWidget(dialog, QStringLiteral("modalbox_cut_") + view);
        if (lookIn) {
            auto *box = dialog->findChild<QComboBox *>(view);
            TextRecorder recorder(box->size());
            box->render(&recorder);
            drawn = recorder.texts.join(QString());
        } else {
            auto *shown = dialog->findChild<QAbstractItemView *>(view);
            const QModelIndex root = view == QLatin1String("sidebar") ? QModelIndex() : shown->rootIndex();
            const QModelIndex cell = shown->model()->index(0, 0, root);
            drawn = drawnIn(shown, cell, cell);
        }
        dialog->setViewMode(QFileDialog::Detail);
        dialog->setSidebarUrls(places);
        for (int column = 1; column < header->count(); ++column)
            header->showSection(column);
    });
    if (!looked)
        QSKIP("the platform's own file dialog");
    QVERIFY2(drawn != name && drawn.count(kEllipsis) == 1, qPrintable(drawn));
    const QString head = drawn.section(kEllipsis, 0, 0);
    const QString tail = drawn.section(kEllipsis, 1);
    QVERIFY2(!head.isEmpty() && name.startsWith(head), qPrintable(drawn));
    QVERIFY2(!tail.isEmpty() && name.endsWith(tail), qPrintable(drawn));
}

void TestModalBox::datesAndSizesInChinese_data()
{
    QTest::addColumn<QDateTime>("modified");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("size");
    QTest::newRow("morning") << QDateTime(QDate(2024, 6, 1), QTime(9, 3)) << 2500 << QStringLiteral("2024/6/1 09:03")
                             << QStringLiteral("2.44 kB");
    // A 24-hour clock, and a size in megabytes.
    QTest::newRow("evening") << QDateTime(QDate(2024, 12, 10), QTime(21, 45)) << 3 * 1024 * 1024 + 300 * 1024
                             << QStringLiteral("2024/12/10 21:45") << QStringLiteral("3.29 MB");
}

// The dialog's dates and sizes are written in Chinese, whatever language
// the system has: Qt's file model wrote "1 Jun 2024 09:03:00" among
// Chinese labels.
void TestModalBox::datesAndSizesInChinese()
{
    QFETCH(QDateTime, modified);
    QFETCH(int, bytes);
    QFETCH(QString, date);
    QFETCH(QString, size);
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/dates-XXXXXX"));
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("IMG_0001.jpg")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(bytes));
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();
    QString drawn;
    const bool looked = lookAtFilesDialog(nullptr, dir.path(), 1, [&](QFileDialog *dialog) {
        dialog->setViewMode(QFileDialog::Detail);
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
        // Wait for the file's details, which Qt's model gathers on a thread.
        const QModelIndex name = tree->model()->index(0, 0, tree->rootIndex());
        if (!QTest::qWaitFor([&]() { return !tree->model()->index(0, 3, tree->rootIndex()).data().toString().isEmpty(); }, 5000))
            qWarning("文件对话框没有列出修改日期");
        QCoreApplication::processEvents();
        renderWidget(dialog, QStringLiteral("modalbox_dates"));
        drawn = drawnIn(tree, name, name.sibling(0, tree->header()->count() - 1));
    });
    if (!looked)
        QSKIP("the platform's own file dialog");
    QVERIFY2(drawn.contains(date), qPrintable(drawn));
    QVERIFY2(drawn.contains(size), qPrintable(drawn));
    QVERIFY2(!drawn.contains(QLocale::c().monthName(modified.date().month(), QLocale::ShortFormat)), qPrintable(drawn));
}

void TestModalBox::fileFieldAndButtonsFramed_data()
{
    addWindowSheets();
}

// The file name field and the dialog's buttons have a visible frame over
// any window: over a window whose sheet made its fields and buttons
// frameless, the field could not be seen.
void TestModalBox::fileFieldAndButtonsFramed()
{
    QFETCH(QString, windowSheet);
    QMainWindow window;
    window.setStyleSheet(windowSheet);
    window.resize(500, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTemporaryDir dir(QDir::homePath() + QStringLiteral("/frame-XXXXXX"));
    QVERIFY(dir.isValid());
    QStringList faults;
    QStringList parts;
    const bool looked = lookAtFilesDialog(&window, dir.path(), 0, [&](QFileDialog *dialog) {
        const QImage image = renderWidget(dialog, QStringLiteral("modalbox_files_") + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
        QList<QWidget *> framed{dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))};
        if (auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))) {
            for (QAbstractButton *button : buttons->buttons())
                framed << button;
        }
        for (QWidget *part : framed) {
            if (!part)
                continue;
            parts << part->objectName();
            const QString fault = frameFault(image, QRect(part->mapTo(dialog, QPoint(0, 0)), part->size()));
            if (!fault.isEmpty())
                faults << part->objectName() + QLatin1Char(' ') + part->property("text").toString() + QLatin1Char(' ') + fault;
        }
    });
    if (!looked)
        QSKIP("the platform's own file dialog");
    QCOMPARE(parts.size(), 3);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestModalBox)
#include "tst_modalbox.moc"
