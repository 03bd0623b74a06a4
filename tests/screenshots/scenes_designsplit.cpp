// The design-split window in its four modes (design split and the three
// downloads): idle, the searched order list, a batch running and its final
// box; the date popup beside the panel, the question of a close mid-run,
// the warnings before a start, an account without a shop.

#include <chrono>
#include <thread>

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "base/modalbox.h"
#include "designsplit/fjhome.h"
#include "designsplit/fjleftpanel.h"
#include "designsplit/fjrightpanel.h"
#include "designsplit/jobs/fjdatathread.h"
#include "public/datepopup.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

FJHome *window()
{
    return qobject_cast<FJHome *>(topLevel("FJHome"));
}

bool searchDone()
{
    FJHome *w = window();
    return w && w->rightPanel->searchButton->text() == QStringLiteral("搜索订单") && w->rightPanel->searchButton->isEnabled();
}

struct Mode
{
    const char *scene;
    QString card;
    // Searched with this keyword; empty for the mode's own default search.
    QString keyword;
    // The raw-file download needs an order's files picked first.
    bool pickFiles;
};

// The first order of the raw-file list that has raw files to download.
int firstWithRawFiles()
{
    const QList<OrderData> &orders = window()->leftPanel->orders;
    for (int row = 0; row < orders.size(); ++row) {
        if (!orders.at(row).undownloadedImages.isEmpty())
            return row;
    }
    return 0;
}

void chooseFolder(const QString &scene)
{
    const QString path = QDir::homePath() + QStringLiteral("/velquora_demo/截图分件目录/") + scene;
    QDir().mkpath(path);
    ModalBox::setFolderHook([path](QWidget *, const QString &) { return path; });
}

// The calendar of the shot date, opened beside the panel.
void addDatePopup(ShotRunner &r)
{
    r.act(QStringLiteral("按拍照日期搜索"), []() { window()->rightPanel->searchTypeCombo->setCurrentIndex(1); });
    r.act(QStringLiteral("点日期框"), []() { click(window()->rightPanel->shotDateEdit); });
    r.wait(QStringLiteral("日历"), []() {
        QCalendarWidget *calendar = window()->rightPanel->datePopup->currentPopup();
        return calendar && calendar->isVisible();
    });
    r.shot(QStringLiteral("date-popup"));
    r.act(QStringLiteral("关上日历"), []() {
        if (QCalendarWidget *calendar = window()->rightPanel->datePopup->currentPopup())
            calendar->close();
        window()->rightPanel->searchTypeCombo->setCurrentIndex(0);
    });
}

// Start pressed before a folder is chosen: the warning names the start
// button as it reads; the folder dialog that follows it is answered.
void addNoFolderWarning(ShotRunner &r, const QString &scene)
{
    r.act(QStringLiteral("未选目录就开始"), []() { click(window()->rightPanel->startButton); });
    r.wait(QStringLiteral("选目录的提示"), []() { return modalText().startsWith(QStringLiteral("请选择分件目录")); });
    r.shot(QStringLiteral("box-no-folder"));
    r.act(QStringLiteral("关闭提示框，选择目录"), [scene]() {
        chooseFolder(scene);
        closeModalBox();
    });
    r.wait(QStringLiteral("目录已选"), []() { return !modalBox() && !window()->rightPanel->splitDirectory.isEmpty(); });
    r.act(QStringLiteral("恢复目录对话框"), []() { ModalBox::setFolderHook(nullptr); });
}

// Every delivery box unticked: the warning names them as they read.
void addNothingTickedWarning(ShotRunner &r)
{
    auto ticked = std::make_shared<QList<bool>>();
    r.act(QStringLiteral("取消所有下载选项并开始"), [ticked]() {
        FJRightPanel *panel = window()->rightPanel;
        ticked->clear();
        for (QCheckBox *box : {panel->rawBox, panel->originalBox, panel->simpleRetouchBox,
                               panel->simpleRetouchRejectsBox, panel->fineRetouchBox}) {
            ticked->append(box->isChecked());
            box->setChecked(false);
        }
        click(panel->startButton);
    });
    r.wait(QStringLiteral("未勾选的提示"), []() { return modalText().startsWith(QStringLiteral("请勾选要下载的内容")); });
    r.shot(QStringLiteral("box-nothing-ticked"));
    r.act(QStringLiteral("关闭提示框，恢复选项"), [ticked]() {
        closeModalBox();
        FJRightPanel *panel = window()->rightPanel;
        int i = 0;
        for (QCheckBox *box : {panel->rawBox, panel->originalBox, panel->simpleRetouchBox,
                               panel->simpleRetouchRejectsBox, panel->fineRetouchBox})
            box->setChecked(ticked->value(i++));
    });
}

// The demo's batch is short: its jobs are slowed so that the window is
// closed while it runs. The question is shot, answered "no", and the batch
// goes on to its final box.
void addCloseQuestion(ShotRunner &r)
{
    r.act(QStringLiteral("放慢任务并开始"), []() {
        FJDataThread::setRunHook([](const QString &) { std::this_thread::sleep_for(std::chrono::milliseconds(400)); });
        click(window()->rightPanel->startButton);
    });
    r.wait(QStringLiteral("分件进行中"), []() { return window()->isRunning() && window()->copyPicFinishNum > 0; });
    r.act(QStringLiteral("关闭窗口"), []() { window()->close(); });
    r.wait(QStringLiteral("关闭前的询问"), []() { return modalText().contains(QStringLiteral("还在进行")); });
    r.shot(QStringLiteral("box-close-question"));
    r.act(QStringLiteral("回答否"), []() {
        FJDataThread::setRunHook(nullptr);
        closeModalBox();
    });
}

// An account without a shop: the window says so when it opens.
void addNoShop(ShotRunner &r)
{
    r.scene(QStringLiteral("split-noshop"));
    loginToChooser(r, QStringLiteral("noshop"));
    openTool(r, QStringLiteral("设计分件"), "FJHome");
    r.wait(QStringLiteral("没有门店的提示"), []() { return modalText().contains(QStringLiteral("没有可用的门店")); });
    r.shot(QStringLiteral("box-noshop"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("提示框关上"), []() { return !modalBox(); });
    r.shot(QStringLiteral("idle"));
}

void addMode(ShotRunner &r, const Mode &mode)
{
    toolScene(r, QString::fromLatin1(mode.scene), mode.card, "FJHome");

    const QString keyword = mode.keyword;
    r.act(QStringLiteral("搜索订单"), [keyword]() {
        FJHome *w = window();
        if (!keyword.isEmpty()) {
            w->rightPanel->searchTypeCombo->setCurrentIndex(0);
            typeInto(w->rightPanel->keywordEdit, keyword);
        }
        click(w->rightPanel->searchButton);
    });
    r.wait(QStringLiteral("订单列表"), []() { return searchDone() && !window()->leftPanel->orders.isEmpty(); });
    r.shot(QStringLiteral("searched"));
    const QString scene = QString::fromLatin1(mode.scene);
    if (mode.card == QStringLiteral("设计分件"))
        addDatePopup(r);

    if (mode.pickFiles) {
        r.act(QStringLiteral("点第一个有原始档的订单"), []() {
            QTableWidget *table = window()->leftPanel->table;
            const QRect cell = table->visualItemRect(table->item(firstWithRawFiles(), 1));
            QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        });
        r.wait(QStringLiteral("该单的原始档"), []() { return window()->rightPanel->currentRow == firstWithRawFiles(); });
        r.act(QStringLiteral("全选未下载的原始档"), []() { click(window()->rightPanel->undownloadedSelectAllButton); });
        // A second order ticked with nothing picked: the batch passes it,
        // and its bar ends full.
        r.act(QStringLiteral("再勾选下一单"), []() {
            if (QTableWidgetItem *tick = window()->leftPanel->tickAt(firstWithRawFiles() + 1))
                tick->setCheckState(Qt::Checked);
        });
        r.shot(QStringLiteral("files-picked"), 1200);
        addNoFolderWarning(r, scene);
    } else {
        r.act(QStringLiteral("全选订单"), []() { click(window()->leftPanel->selectAllButton); });
        r.shot(QStringLiteral("ticked"));
    }

    r.act(QStringLiteral("选择分件目录"), [scene]() {
        chooseFolder(scene);
        click(window()->rightPanel->chooseDirectoryButton);
        ModalBox::setFolderHook(nullptr);
    });
    if (mode.card == QStringLiteral("下载照片交付"))
        addNothingTickedWarning(r);
    if (mode.card == QStringLiteral("设计分件")) {
        addCloseQuestion(r);
    } else {
        r.act(QStringLiteral("开始"), []() { click(window()->rightPanel->startButton); });
        // The demo's batches are short: the running state is taken as soon
        // as the window shows it.
        r.wait(QStringLiteral("分件进行中"), []() { return window()->isRunning() || modalBox(); });
        r.shot(QStringLiteral("running"), 0);
    }
    r.wait(QStringLiteral("结束框"), []() { return modalBox() != nullptr && !window()->isRunning(); }, 120000);
    r.shot(QStringLiteral("box-final"));
    r.act(QStringLiteral("关闭结束框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("窗口空闲"), []() { return !modalBox() && searchDone(); });
    r.shot(QStringLiteral("finished"));
}

} // namespace

void addDesignSplitScenes(ShotRunner &r)
{
    for (const Mode &mode : {Mode{"split", QStringLiteral("设计分件"), QStringLiteral("FJ"), false},
                             Mode{"download-raw", QStringLiteral("下载原始档"), QString(), true},
                             Mode{"download-selection", QStringLiteral("下载选片结果"), QString(), false},
                             Mode{"download-delivery", QStringLiteral("下载照片交付"), QStringLiteral("FJ"), false}})
        addMode(r, mode);
    addNoShop(r);
}
