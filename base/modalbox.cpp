#include "base/modalbox.h"

#include <QDialog>

namespace ModalBox {

namespace {

Hook &hook()
{
    static Hook h;
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

} // namespace ModalBox
