// The file and folder pickers, Qt's own dialogs where the platform has
// none: the photo-transfer window's photo picker in a folder of long photo
// names (cut with an ellipsis, dates in Chinese), and design split's folder
// picker over the same folder.

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>

#include "base/modalbox.h"
#include "designsplit/fjhome.h"
#include "designsplit/fjrightpanel.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"
#include "transferphotos/tfhome.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

tfhomeorders_OrderListWidget *orderTable()
{
    auto *window = qobject_cast<tfhome *>(topLevel("tfhome"));
    return window ? window->ordersPanel()->orderListWidget() : nullptr;
}

bool pickerShown()
{
    QWidget *box = modalBox();
    return box && box->inherits("QFileDialog");
}

// A folder of a shoot whose photos differ only near the end of long names,
// made the folder last picked so that the pickers start in it.
void lastPickedLongNames()
{
    const QString folder = QDir::homePath()
                           + QStringLiteral("/velquora_demo/BD20240601001-1_张三李四_婚纱照外景_海边与城市夜景_原片与精修");
    QDir().mkpath(folder + QStringLiteral("/第一组_海边日落_velquora_demo"));
    for (int i = 1001; i <= 1008; ++i) {
        QFile photo(folder + QStringLiteral("/velquora_demo_张三李四_婚纱照_海边日落_第一组_IMG_%1.jpg").arg(i));
        if (photo.open(QIODevice::WriteOnly))
            photo.write(QByteArray(2500 * (i - 1000), 'x'));
    }
    ModalBox::setFolderHook([folder](QWidget *, const QString &) { return folder; });
    ModalBox::pickFolder(nullptr, QString());
    ModalBox::setFolderHook(nullptr);
}

} // namespace

void addPickerScenes(ShotRunner &r)
{
    toolScene(r, QStringLiteral("photo-picker"), QStringLiteral("导片工具"), "tfhome");
    r.act(QStringLiteral("搜索"), []() { click(topLevel("tfhome")->findChild<QPushButton *>(QStringLiteral("searchButton"))); });
    r.wait(QStringLiteral("订单列表"), []() { return orderTable() && orderTable()->orderCount() > 0; });
    r.act(QStringLiteral("为第一单选照片"), []() {
        lastPickedLongNames();
        tfhomeorders_OrderListWidget::setFilePicker(nullptr);
        if (QWidget *cell = orderTable()->tableWidget()->cellWidget(0, 6))
            click(cell->findChild<QPushButton *>(QStringLiteral("selectPhotosButton")));
    });
    r.wait(QStringLiteral("选照片的对话框"), pickerShown);
    r.shot(QStringLiteral("open"), 1000);
    r.act(QStringLiteral("关上对话框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("对话框关上"), []() { return !modalBox(); });

    toolScene(r, QStringLiteral("folder-picker"), QStringLiteral("设计分件"), "FJHome");
    r.act(QStringLiteral("选择分件目录"), []() {
        lastPickedLongNames();
        click(qobject_cast<FJHome *>(topLevel("FJHome"))->rightPanel->chooseDirectoryButton);
    });
    r.wait(QStringLiteral("选目录的对话框"), pickerShown);
    r.shot(QStringLiteral("open"), 1000);
    r.act(QStringLiteral("关上对话框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("对话框关上"), []() { return !modalBox(); });
}
