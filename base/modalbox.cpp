#include "base/modalbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QListView>
#include <QPointer>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>

namespace ModalBox {

namespace {

Hook &hook()
{
    static Hook h;
    return h;
}

FilesHook &filesHook()
{
    static FilesHook h;
    return h;
}

FolderHook &folderHook()
{
    static FolderHook h;
    return h;
}

// The folder last picked in this run of the program, where the next folder
// dialog starts.
QString &lastFolder()
{
    static QString folder;
    return folder;
}

// The last folder picked while it is still there (else the nearest folder
// above it that is), else the user's home: never the program's working
// folder, which is where Qt starts without a folder and is no place the
// user chose.
QString startFolder()
{
    QString folder = lastFolder();
    while (!folder.isEmpty()) {
        if (QFileInfo(folder).isDir())
            return folder;
        const QString up = QFileInfo(folder).path();
        if (up == folder || up == QLatin1String("."))
            break;
        folder = up;
    }
    return QDir::homePath();
}

// Qt's own folder dialog (where the platform has none) sizes its sidebar
// and columns for Qt's default font: at the program's larger font the
// sidebar's names and the type column are cut. Its parts are fitted to
// their text; the platform's own dialog has none of these parts and is left
// alone.
void fitFolderDialog(QFileDialog *dialog)
{
    auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"));
    auto *sidebar = dialog->findChild<QListView *>(QStringLiteral("sidebar"));
    auto *splitter = dialog->findChild<QSplitter *>(QStringLiteral("splitter"));
    if (!tree || !sidebar || !splitter)
        return;
    const QFontMetrics metrics(sidebar->font());
    int side = 0;
    if (QAbstractItemModel *places = sidebar->model()) {
        for (int row = 0; row < places->rowCount(); ++row)
            side = qMax(side, metrics.horizontalAdvance(places->index(row, 0).data().toString()));
    }
    // Icon, the gap beside it, the frame and a vertical scroll bar.
    side += sidebar->iconSize().width() + metrics.averageCharWidth() * 4
            + sidebar->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    sidebar->setMinimumWidth(side);

    QHeaderView *header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setMinimumSectionSize(metrics.averageCharWidth() * 6);

    const QFontMetrics treeMetrics(tree->font());
    // The name column takes what is left; the others hold a size, a type
    // ("文件夹") and a date with time.
    const int columns = treeMetrics.averageCharWidth() * 40
                        + treeMetrics.horizontalAdvance(QStringLiteral("9999 KB  File Folder  2000/00/00 00:00  "))
                        + treeMetrics.averageCharWidth() * 12;
    QSize size(side + columns, treeMetrics.height() * 30);
    if (const QScreen *screen = dialog->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog->resize(size.expandedTo(dialog->sizeHint()));
    splitter->setSizes({side, size.width() - side});
}

const char kLookApplied[] = "vqBoxLook";

// Every property a window's sheet might set on its own labels and buttons is
// given here: a widget's own sheet wins over an inherited one only where it
// names the property.
const char kBoxLook[] =
    "QMessageBox { background: #ffffff; border: 1px solid #9ca3af; }"
    "QMessageBox QLabel { background: transparent; color: #1f2937; border: none; margin: 0px; padding: 0px;"
    " font-size: %1px; font-weight: normal; }"
    "QMessageBox QPushButton { background: #f9fafb; color: #1f2937; border: 1px solid #9ca3af;"
    " border-radius: 4px; padding: 5px 16px; margin: 0px; min-width: 64px; min-height: 0px;"
    " font-size: %1px; font-weight: normal; }"
    "QMessageBox QPushButton:hover { background: #eef4ff; border-color: #2980ff; }"
    "QMessageBox QPushButton:pressed { background: #dbe7ff; }"
    "QMessageBox QPushButton:default { border: 1px solid #2980ff; }"
    "QMessageBox QTextEdit { background: #ffffff; color: #1f2937; border: 1px solid #d1d5db; }"
    "QMessageBox QCheckBox { background: transparent; color: #1f2937; }";

} // namespace

void applyBoxLook(QMessageBox *box)
{
    if (!box || box->property(kLookApplied).toBool())
        return;
    box->setProperty(kLookApplied, true);
    // The program's own text size, not one a window set for its labels.
    const int textPx = QFontInfo(QApplication::font()).pixelSize();
    const QString sheet = QString::fromLatin1(kBoxLook).arg(textPx) + box->styleSheet();
    box->setStyleSheet(sheet);
    // A box is a window of its own, and for the widgets in it the sheet of
    // the window it belongs to wins over the box's sheet; only a widget's
    // own sheet wins over both. So each part of the box carries the look
    // (the selectors still name the box, and the rules a window gave the
    // box come last and win).
    for (QWidget *part : box->findChildren<QWidget *>())
        part->setStyleSheet(sheet);
    // Text only, as on Windows: some desktop themes put an icon on each
    // button of a box.
    for (QAbstractButton *button : box->buttons())
        button->setIcon(QIcon());
}

int exec(QDialog *dialog)
{
    if (!dialog)
        return 0;
    applyBoxLook(qobject_cast<QMessageBox *>(dialog));
    if (hook())
        return hook()(dialog);
    return dialog->exec();
}

void setHook(Hook h)
{
    hook() = std::move(h);
}

int showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                const QString &styleSheet, const QString &details)
{
    QPointer<QMessageBox> box = new QMessageBox(icon, title, text, QMessageBox::Ok, parent);
    if (!styleSheet.isEmpty())
        box->setStyleSheet(styleSheet);
    if (!details.isEmpty())
        box->setDetailedText(details);
    const int result = exec(box);
    delete box.data();
    return result;
}

QStringList getOpenFileNames(QWidget *parent, const QString &caption, const QString &filter)
{
    if (filesHook())
        return filesHook()(parent, caption, filter);
    return QFileDialog::getOpenFileNames(parent, caption, QString(), filter);
}

void setFilesHook(FilesHook h)
{
    filesHook() = std::move(h);
}

QString pickFolder(QWidget *parent, const QString &caption)
{
    QString picked;
    if (folderHook()) {
        picked = folderHook()(parent, caption);
    } else {
        // Not on the caller's stack: the dialog goes with its parent, which
        // may be closed while it is open.
        QPointer<QFileDialog> dialog = new QFileDialog(parent, caption, startFolder());
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
        fitFolderDialog(dialog);
        const int result = exec(dialog);
        if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
            picked = dialog->selectedFiles().first();
        delete dialog.data();
    }
    if (!picked.isEmpty())
        lastFolder() = picked;
    return picked;
}

void setFolderHook(FolderHook h)
{
    folderHook() = std::move(h);
}

} // namespace ModalBox
