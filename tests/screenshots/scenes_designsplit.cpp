// The design-split window in its four modes (design split and the three
// downloads): idle, the searched order list, a batch running and its final
// box.

#include <QCheckBox>
#include <QComboBox>
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

    if (mode.pickFiles) {
        r.act(QStringLiteral("点第一单"), []() {
            QTableWidget *table = window()->leftPanel->table;
            const QRect cell = table->visualItemRect(table->item(0, 1));
            QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        });
        r.wait(QStringLiteral("该单的原始档"), []() { return window()->rightPanel->currentRow == 0; });
        r.act(QStringLiteral("全选未下载的原始档"), []() { click(window()->rightPanel->undownloadedSelectAllButton); });
        r.shot(QStringLiteral("files-picked"), 1200);
    } else {
        r.act(QStringLiteral("全选订单"), []() { click(window()->leftPanel->selectAllButton); });
        r.shot(QStringLiteral("ticked"));
    }

    const QString target = QStringLiteral("/velquora_demo/截图分件目录/") + QString::fromLatin1(mode.scene);
    r.act(QStringLiteral("选择分件目录"), [target]() {
        const QString path = QDir::homePath() + target;
        QDir().mkpath(path);
        ModalBox::setFolderHook([path](QWidget *, const QString &) { return path; });
        click(window()->rightPanel->chooseDirectoryButton);
        ModalBox::setFolderHook(nullptr);
    });
    r.act(QStringLiteral("开始"), []() { click(window()->rightPanel->startButton); });
    // The demo's batches are short: the running state is taken as soon as
    // the window shows it.
    r.wait(QStringLiteral("分件进行中"), []() { return window()->isRunning() || modalBox(); });
    r.shot(QStringLiteral("running"), 0);
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
}
