#include "base/modalbox.h"

#include <QDialog>
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
