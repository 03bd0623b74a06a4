#include "base/modalbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontInfo>
#include <QPointer>

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
    if (folderHook())
        return folderHook()(parent, caption);
    return QFileDialog::getExistingDirectory(parent, caption, QString(), QFileDialog::ShowDirsOnly);
}

void setFolderHook(FolderHook h)
{
    folderHook() = std::move(h);
}

} // namespace ModalBox
