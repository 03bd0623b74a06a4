// The batch-delete window: idle, searched, an order's files scanned, the
// account confirmed again (the re-verification dialog), the run and its
// summary box.

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "batchdelete/batchdelete.h"
#include "batchdelete/batchdelete_filelistwidget.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/batchlogindialog.h"
#include "public/elementbutton.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

BatchDelete *window()
{
    return qobject_cast<BatchDelete *>(topLevel("BatchDelete"));
}

ElementButton *buttonOf(const QString &text)
{
    BatchDelete *w = window();
    if (!w)
        return nullptr;
    for (ElementButton *button : w->findChildren<ElementButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

BatchLoginDialog *dialog()
{
    return qobject_cast<BatchLoginDialog *>(topLevel("BatchLoginDialog"));
}

QLineEdit *passwordField()
{
    BatchLoginDialog *d = dialog();
    if (!d)
        return nullptr;
    for (QLineEdit *edit : d->findChildren<QLineEdit *>()) {
        if (edit->placeholderText() == QStringLiteral("密码"))
            return edit;
    }
    return nullptr;
}

void typePassword(const QString &password)
{
    typeInto(passwordField(), password);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog(), &enter);
}

} // namespace

void addBatchDeleteScenes(ShotRunner &r)
{
    toolScene(r, QStringLiteral("batch-delete"), QStringLiteral("批量删除"), "BatchDelete");

    r.act(QStringLiteral("搜索 BD"), []() {
        for (QLineEdit *edit : window()->findChildren<QLineEdit *>()) {
            if (edit->placeholderText().startsWith(QStringLiteral("搜索订单号")))
                typeInto(edit, QStringLiteral("BD"));
        }
        click(buttonOf(QStringLiteral("搜索")));
    });
    r.wait(QStringLiteral("订单列表"), []() { return window()->orderPanel()->table()->rowCount() > 0; });
    r.shot(QStringLiteral("searched"));

    r.act(QStringLiteral("点第一单"), []() {
        QTableWidget *table = window()->orderPanel()->table();
        table->setCurrentCell(0, 1);
    });
    r.wait(QStringLiteral("该单的文件"), []() {
        BatchDelete_FileListWidget *files = window()->filePanel();
        return files->scanCount() == 0 && files->table()->model()->rowCount() > 0;
    });
    r.shot(QStringLiteral("scan"));

    r.act(QStringLiteral("勾选全部订单"), []() { window()->orderPanel()->selectAllBox()->setChecked(true); });
    r.act(QStringLiteral("开始批量删除"), []() { click(buttonOf(QStringLiteral("开始批量删除"))); });
    r.wait(QStringLiteral("验证账号的对话框"), []() { return dialog() && dialog()->isVisible() && passwordField(); });
    r.shot(QStringLiteral("verify-empty"));
    r.act(QStringLiteral("错误的密码"), []() { typePassword(QStringLiteral("wrong")); });
    // The dialog is modal itself: the box is the modal widget in front of it.
    r.wait(QStringLiteral("密码被拒绝的提示框"), []() { return modalBox() && modalBox() != dialog(); });
    r.shot(QStringLiteral("verify-refused"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("对话框可再输入"), []() { return dialog() && modalBox() == dialog() && !dialog()->isVerifying(); });
    r.act(QStringLiteral("正确的密码"), []() { typePassword(QStringLiteral("demo123")); });
    r.wait(QStringLiteral("删除进行中"), []() { return !dialog() || (modalBox() && modalBox() != dialog()); });
    r.shot(QStringLiteral("running"), 0);
    r.wait(QStringLiteral("删除结果"), []() { return modalBox() != nullptr; }, 120000);
    r.shot(QStringLiteral("box-summary"));
    r.act(QStringLiteral("关闭结果框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("窗口空闲"), []() { return !modalBox(); });
    r.shot(QStringLiteral("finished"), 1000);
}
