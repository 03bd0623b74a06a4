#include "login/loginwarning.h"

#include <QMessageBox>
#include <QPointer>

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
    QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(QStringLiteral("温馨提示"));
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    box->setStyleSheet(QString::fromUtf8(kMessageBoxStyle));
    ModalBox::exec(box);
    delete box.data();
}
