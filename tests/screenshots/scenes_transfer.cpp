// The photo-transfer window: idle, searched, a row picked, importing,
// finished, and its boxes, toast, calendar and drop-down list; closed
// mid-run and run again; opened by an account without a branch.

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "base/orderservice.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"
#include "tests/support/jpegfixture.h"
#include "transferphotos/tfhome.h"
#include "transferphotos/tfhomeorders.h"
#include "transferphotos/tfhomeorders_orderlistwidget.h"
#include "transferphotos/tfhomeorders_photodisplaywidget.h"
#include "transferphotos/tfhomephotos.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

tfhome *window()
{
    return qobject_cast<tfhome *>(topLevel("tfhome"));
}

tfhomeorders_OrderListWidget *table()
{
    tfhome *w = window();
    return w ? w->ordersPanel()->orderListWidget() : nullptr;
}

bool boxTitled(const QString &title)
{
    QWidget *box = modalBox();
    return box && box->windowTitle() == title;
}

// Camera-sized photos, enough that an import lasts a few seconds and its
// progress can be seen.
QStringList cameraPhotos()
{
    const QString folder = QDir::homePath() + QStringLiteral("/velquora_demo/截图样片");
    QDir().mkpath(folder);
    QStringList paths;
    for (int i = 1; i <= 24; ++i) {
        const QString path = folder + QStringLiteral("/DSC_%1.jpg").arg(4000 + i, 4, 10, QLatin1Char('0'));
        if (!QFile::exists(path))
            JpegFixture::writeUprightQuadrants(path, 3000, 2000, i % 8 + 1);
        paths << path;
    }
    return paths;
}

void pickCameraPhotos(int row)
{
    const QStringList photos = cameraPhotos();
    tfhomeorders_OrderListWidget::setFilePicker([photos](QWidget *, const QString &, const QString &) { return photos; });
    QWidget *cell = table()->tableWidget()->cellWidget(row, 6);
    if (cell)
        click(cell->findChild<QPushButton *>(QStringLiteral("selectPhotosButton")));
}

void answerYes()
{
    if (auto *box = qobject_cast<QMessageBox *>(modalBox())) {
        if (QAbstractButton *yes = box->button(QMessageBox::Yes))
            yes->click();
    }
}

// Searches, picks the camera photos for the second order and starts.
void startSecondOrder(ShotRunner &r)
{
    r.act(QStringLiteral("搜索"), []() { click(window()->findChild<QPushButton *>(QStringLiteral("searchButton"))); });
    r.wait(QStringLiteral("订单列表"), []() { return table() && table()->orderCount() > 1; });
    r.act(QStringLiteral("为第二单选照片"), []() { pickCameraPhotos(1); });
    r.wait(QStringLiteral("已选择的提示框"), []() { return boxTitled(QStringLiteral("成功")); });
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.act(QStringLiteral("全部开始"), []() { click(table()->findChild<QPushButton *>(QStringLiteral("startAllButton"))); });
}

// Closed mid-run: the question, then 是; the next run of the order says
// what it does over.
void addResumeScene(ShotRunner &r)
{
    r.scene(QStringLiteral("transfer-resume"));
    loginToChooser(r);
    openTool(r, QStringLiteral("导片工具"), "tfhome");
    startSecondOrder(r);
    r.wait(QStringLiteral("导片进度"), []() {
        const QString progress = table()->cellText(1, QStringLiteral("已选"));
        return progress.contains(QLatin1Char('%')) && !progress.startsWith(QLatin1String("0%"));
    }, 60000);
    r.act(QStringLiteral("导片中关闭窗口"), []() { window()->close(); });
    r.wait(QStringLiteral("关闭前的询问"), []() { return modalText().contains(QStringLiteral("确定要关闭吗")); });
    r.shot(QStringLiteral("box-close-mid-run"));
    r.act(QStringLiteral("是"), []() { answerYes(); });
    r.wait(QStringLiteral("窗口关闭"), []() { return !window(); }, 60000);

    openTool(r, QStringLiteral("导片工具"), "tfhome");
    startSecondOrder(r);
    r.wait(QStringLiteral("重新导入的提示"), []() { return topLevel("ToastWidget") != nullptr; }, 60000);
    r.shot(QStringLiteral("toast-resumed"), 300);
    r.wait(QStringLiteral("全部导完"), []() { return boxTitled(QStringLiteral("全部导完")); }, 120000);
    r.shot(QStringLiteral("box-all-done-resumed"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
}

// An account without a branch opens the tool.
void addNoShopScene(ShotRunner &r)
{
    r.scene(QStringLiteral("transfer-noshop"));
    loginToChooser(r, QStringLiteral("noshop"));
    openTool(r, QStringLiteral("导片工具"), "tfhome");
    r.wait(QStringLiteral("没有门店的提示框"), []() { return modalText() == OrderService::noShopText(); });
    r.shot(QStringLiteral("box-no-shop"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
}

} // namespace

void addTransferScenes(ShotRunner &r)
{
    toolScene(r, QStringLiteral("transfer"), QStringLiteral("导片工具"), "tfhome");

    r.act(QStringLiteral("打开分店列表"), []() {
        if (auto *combo = window()->findChild<QComboBox *>(QStringLiteral("m_branchCombo")))
            combo->showPopup();
    });
    r.shot(QStringLiteral("branch-list"), 500);
    r.act(QStringLiteral("关上分店列表"), []() {
        if (auto *combo = window()->findChild<QComboBox *>(QStringLiteral("m_branchCombo")))
            combo->hidePopup();
    });

    r.act(QStringLiteral("打开选片日期的日历"), []() {
        for (QDateEdit *edit : window()->findChildren<QDateEdit *>()) {
            if (edit->isVisible())
                click(edit);
        }
    });
    r.wait(QStringLiteral("日历"), []() { return topLevel("QCalendarWidget") != nullptr; });
    r.shot(QStringLiteral("calendar"), 500);
    r.act(QStringLiteral("关上日历"), []() {
        if (QWidget *calendar = topLevel("QCalendarWidget"))
            calendar->close();
    });

    r.act(QStringLiteral("搜索"), []() { click(window()->findChild<QPushButton *>(QStringLiteral("searchButton"))); });
    r.wait(QStringLiteral("订单列表"), []() { return table() && table()->orderCount() > 0; });
    r.shot(QStringLiteral("searched"));

    r.act(QStringLiteral("选中第一行"), []() { table()->tableWidget()->selectRow(0); });
    r.shot(QStringLiteral("row-selected"));

    r.act(QStringLiteral("点订单号"), []() {
        QTableWidget *t = table()->tableWidget();
        const QRect cell = t->visualRect(t->model()->index(0, 0));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    });
    r.wait(QStringLiteral("提示"), []() { return topLevel("ToastWidget") != nullptr; });
    r.shot(QStringLiteral("toast-copied"), 300);

    r.act(QStringLiteral("为第一单选照片"), []() { pickCameraPhotos(0); });
    r.wait(QStringLiteral("已选择的提示框"), []() { return boxTitled(QStringLiteral("成功")); });
    r.shot(QStringLiteral("box-picked"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("已选列表的卡片"), []() { return window()->photosPanel()->cards().size() == 24; }, 60000);
    r.shot(QStringLiteral("picked"));

    r.act(QStringLiteral("全部开始"), []() { click(table()->findChild<QPushButton *>(QStringLiteral("startAllButton"))); });
    r.wait(QStringLiteral("导片进度"), []() {
        const QString progress = table()->cellText(0, QStringLiteral("已选"));
        return progress.contains(QLatin1Char('%')) && !progress.startsWith(QLatin1String("0%"));
    }, 60000);
    r.shot(QStringLiteral("importing"), 0);
    r.wait(QStringLiteral("全部导完"), []() { return boxTitled(QStringLiteral("全部导完")); }, 120000);
    r.shot(QStringLiteral("box-all-done"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.wait(QStringLiteral("已导入的照片"), []() {
        tfhomeorders_PhotoDisplayWidget *grid = window()->ordersPanel()->photoDisplayWidget();
        return grid->itemCount() >= 24 && grid->isPhotoLoaded(0);
    }, 60000);
    r.shot(QStringLiteral("finished"), 1500);

    r.act(QStringLiteral("选中两张已导入的照片"), []() {
        tfhomeorders_PhotoDisplayWidget *grid = window()->ordersPanel()->photoDisplayWidget();
        grid->setPhotoSelected(0, true);
        grid->setPhotoSelected(1, true);
    });
    r.shot(QStringLiteral("imported-selected"), 300);
    r.act(QStringLiteral("删除选中"), []() {
        click(window()->ordersPanel()->photoDisplayWidget()->findChild<QPushButton *>(QStringLiteral("deleteButton")));
    });
    r.wait(QStringLiteral("删除确认框"), []() { return modalBox() != nullptr; });
    r.shot(QStringLiteral("box-delete-confirm"));
    r.act(QStringLiteral("不删除"), []() { closeModalBox(); });

    r.act(QStringLiteral("搜索没有的订单"), []() {
        auto *type = window()->findChild<QComboBox *>(QStringLiteral("m_searchTypeCombo"));
        type->setCurrentIndex(0);
        typeInto(window()->findChild<QLineEdit *>(QStringLiteral("m_keywordEdit")), QStringLiteral("没有这个订单"));
        click(window()->findChild<QPushButton *>(QStringLiteral("searchButton")));
    });
    r.wait(QStringLiteral("未检索到订单的提示框"), []() { return modalText() == QStringLiteral("未检索到订单"); });
    r.shot(QStringLiteral("box-no-orders"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });

    addResumeScene(r);
    addNoShopScene(r);
}
