#include "base/modalbox.h"

#include <QDialog>
#include <QPointer>
#include <QFileDialog>

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

} // namespace

int exec(QDialog *dialog)
{
    if (!dialog)
        return 0;
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

} // namespace ModalBox
