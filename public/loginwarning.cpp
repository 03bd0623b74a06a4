#include "public/loginwarning.h"

#include "base/modalbox.h"
#include "public/theme.h"

namespace {

const char kMessageBoxStyle[] =
    "QMessageBox {    background-color: white;    color: black;}"
    "QMessageBox QLabel {    color: black;}"
    "QMessageBox QPushButton {    background-color: @loginBlue;    color: white;    border: none;"
    "    border-radius: 4px;    padding: 6px 12px;    min-width: 60px;}"
    "QMessageBox QPushButton:hover {    background-color: @loginBlueHover;}";

} // namespace

void showLoginWarning(QWidget *parent, const QString &text)
{
    ModalBox::showMessage(parent, QMessageBox::Warning, QStringLiteral("温馨提示"), text,
                          Theme::sheet(QString::fromUtf8(kMessageBoxStyle)));
}
