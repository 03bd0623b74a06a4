// The batch-delete window: idle, searched, an order's files scanned, the
// account confirmed again (the re-verification dialog), the run and its
// summary box; a close mid-run (否, then 是 and the next run that deletes
// the rest); an account without a shop.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QThread>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "batchdelete/batchdelete.h"
#include "batchdelete/batchdelete_filelistwidget.h"
#include "batchdelete/batchdelete_orderlistwidget.h"
#include "batchdelete/batchlogindialog.h"
#include "batchdelete/jobs/batchdeleterun.h"
#include "batchdelete/jobs/filedeleteprobe.h"
#include "base/orderservice.h"
#include "tests/support/batchdeletefixture.h"
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

// Each file takes a while: the run is still under way when the window is
// closed.
class SlowProbe : public FileDeleteProbe
{
public:
    bool remove(const QString &path) const override
    {
        QThread::msleep(250);
        return FileDeleteProbe::remove(path);
    }
};

const QString kOrder = QStringLiteral("BD20240601001");

// The demo order's folder filled again (the first scene emptied it).
void refillOrder()
{
    QStringList names;
    for (int i = 1; i <= 24; ++i)
        names << QStringLiteral("原片/IMG_9%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
    BatchDeleteFixture::writeFiles(QDir::homePath() + QStringLiteral("/velquora_demo/批量删除/BD20240601001-1 张伟"), names);
}

// Ticks the demo order alone.
void tickOrder()
{
    BatchDelete_OrderListWidget *panel = window()->orderPanel();
    panel->selectAllBox()->setChecked(false);
    for (int row = 0; row < panel->allOrders().size(); ++row) {
        if (panel->allOrders().at(row).orderpayforkey != kOrder)
            continue;
        if (QWidget *cell = panel->table()->cellWidget(row, panel->column(QStringLiteral("选择"))))
            cell->findChild<QCheckBox *>()->setChecked(true);
    }
}

void searchBD(ShotRunner &r)
{
    r.act(QStringLiteral("搜索 BD"), []() {
        for (QLineEdit *edit : window()->findChildren<QLineEdit *>()) {
            if (edit->placeholderText().startsWith(QStringLiteral("搜索订单号")))
                typeInto(edit, QStringLiteral("BD"));
        }
        click(buttonOf(QStringLiteral("搜索")));
    });
    r.wait(QStringLiteral("订单列表"), []() { return window()->orderPanel()->table()->rowCount() > 0; });
}

// Starts the run of the ticked order and confirms the account.
void startRun(ShotRunner &r)
{
    r.act(QStringLiteral("开始批量删除"), []() { click(buttonOf(QStringLiteral("开始批量删除"))); });
    r.wait(QStringLiteral("验证账号的对话框"), []() { return dialog() && dialog()->isVisible() && passwordField(); });
    r.act(QStringLiteral("正确的密码"), []() { typePassword(QStringLiteral("demo123")); });
}

void addCloseScene(ShotRunner &r)
{
    toolScene(r, QStringLiteral("batch-delete-close"), QStringLiteral("批量删除"), "BatchDelete");
    searchBD(r);
    for (const bool yes : {false, true}) {
        // The rows stay from the search: the run looks into the folder again.
        r.act(QStringLiteral("订单目录放入文件"), []() { refillOrder(); });
        r.act(QStringLiteral("只勾选一个订单，删除放慢"), []() {
            tickOrder();
            window()->setFileProbe(std::make_shared<SlowProbe>());
        });
        startRun(r);
        r.wait(QStringLiteral("删除进行中"), []() {
            return window()->deleteRun()->isRunning() && window()->deleteRun()->currentOrder().successFiles.size() >= 3;
        }, 30000);
        r.act(QStringLiteral("关闭窗口"), []() { window()->close(); });
        r.wait(QStringLiteral("关闭的确认框"), []() { return modalText().contains(QStringLiteral("的删除还在进行")); });
        r.shot(yes ? QStringLiteral("question-close-yes") : QStringLiteral("question-close"));
        if (yes)
            break;
        r.act(QStringLiteral("否"), []() { closeModalBox(); });
        r.wait(QStringLiteral("删除结果"), []() { return modalBox() != nullptr; }, 60000);
        r.shot(QStringLiteral("box-summary-after-no"));
        r.act(QStringLiteral("关闭结果框"), []() { closeModalBox(); });
        r.wait(QStringLiteral("窗口空闲"), []() { return !modalBox(); });
    }
    r.act(QStringLiteral("是"), []() {
        if (auto *box = qobject_cast<QMessageBox *>(modalBox()))
            box->button(QMessageBox::Yes)->click();
    });
    r.wait(QStringLiteral("窗口关闭"), []() { return !window(); }, 30000);
    openTool(r, QStringLiteral("批量删除"), "BatchDelete");
    searchBD(r);
    r.act(QStringLiteral("只勾选同一个订单"), []() { tickOrder(); });
    startRun(r);
    r.wait(QStringLiteral("删除结果"), []() { return modalBox() && !dialog(); }, 60000);
    r.shot(QStringLiteral("box-summary-resumed"));
    r.act(QStringLiteral("关闭结果框"), []() { closeModalBox(); });
}

// An account without a shop opens the tool: the window says what to do.
void addNoShopScene(ShotRunner &r)
{
    r.scene(QStringLiteral("batch-delete-noshop"));
    loginToChooser(r, QStringLiteral("noshop"));
    openTool(r, QStringLiteral("批量删除"), "BatchDelete");
    r.wait(QStringLiteral("没有门店的提示框"), []() { return modalText() == OrderService::noShopText(); });
    r.shot(QStringLiteral("box-noshop"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
}

} // namespace

void addBatchDeleteScenes(ShotRunner &r)
{
    toolScene(r, QStringLiteral("batch-delete"), QStringLiteral("批量删除"), "BatchDelete");

    searchBD(r);
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

    addCloseScene(r);
    addNoShopScene(r);
}
