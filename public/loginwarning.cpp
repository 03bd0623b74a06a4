#include "public/loginwarning.h"

#include "base/modalbox.h"

namespace {

const char kMessageBoxStyle[] =
    "QMessageBox {    background-color: white;    color: black;}"
    "QMessageBox QLabel {    color: black;}"
    "QMessageBox QPushButton {    background-color: #2980ff;    color: white;    border: none;"
    "    border-radius: 4px;    padding: 6px 12px;    min-width: 60px;}"
    "QMessageBox QPushButton:hover {    background-color: #3a8bff;}";

} // namespace

void showLoginWarning(QWidget *parent, const QString &text)
{
    ModalBox::showMessage(parent, QMessageBox::Warning, QStringLiteral("温馨提示"), text,
                          QString::fromUtf8(kMessageBoxStyle));
}
