// The shared widgets of every tool: toasts, the loading overlay in its
// states, the program's own dialog in its four kinds, message boxes and the
// popup menu, shown over the photo-transfer window.

#include <QMessageBox>

#include "base/modalbox.h"
#include "public/contextmenu.h"
#include "public/fullscreenloading.h"
#include "public/simpledialog.h"
#include "public/toastwidget.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

QWidget *host()
{
    return topLevel("tfhome");
}

FullScreenLoading *overlay()
{
    return FullScreenLoading::instance(host());
}

const char kLongText[] =
    "以下照片没有导入成功，请检查共享文件夹是否可以访问，然后重新导入：\n"
    "DSC_4001.jpg  目标文件夹不可写\n"
    "DSC_4002.jpg  目标文件夹不可写\n"
    "DSC_4003.jpg  源文件已损坏，无法读取\n"
    "DSC_4004.jpg  文件名重复\n"
    "DSC_4005.jpg  网络路径不可达：\\\\nas-studio\\导片\\2024-06-01\\DR20240601002-张三\\all\n"
    "DSC_4006.jpg  目标文件夹不可写\n"
    "DSC_4007.jpg  目标文件夹不可写\n"
    "DSC_4008.jpg  目标文件夹不可写\n"
    "DSC_4009.jpg  目标文件夹不可写\n"
    "DSC_4010.jpg  目标文件夹不可写\n"
    "DSC_4011.jpg  目标文件夹不可写\n"
    "DSC_4012.jpg  目标文件夹不可写\n"
    "DSC_4013.jpg  目标文件夹不可写\n"
    "DSC_4014.jpg  目标文件夹不可写\n"
    "DSC_4015.jpg  目标文件夹不可写\n"
    "DSC_4016.jpg  目标文件夹不可写\n"
    "DSC_4017.jpg  目标文件夹不可写\n"
    "DSC_4018.jpg  目标文件夹不可写";

} // namespace

void addSharedWidgetScenes(ShotRunner &r)
{
    r.scene(QStringLiteral("shared"));
    loginToChooser(r);
    SceneSteps::openTool(r, QStringLiteral("导片工具"), "tfhome");

    r.act(QStringLiteral("长提示"), []() {
        ToastWidget::showToast(host(), QStringLiteral("共享文件夹 \\\\nas-studio\\导片 暂时无法访问，请检查网络连接后重试"), 3000);
    });
    r.wait(QStringLiteral("提示"), []() { return topLevel("ToastWidget") != nullptr; });
    r.shot(QStringLiteral("toast-long"), 300);
    r.wait(QStringLiteral("提示消失"), []() { return topLevel("ToastWidget") == nullptr; });

    r.act(QStringLiteral("加载层"), []() { FullScreenLoading::showLoading(host(), QStringLiteral("正在加载订单..."), true); });
    r.shot(QStringLiteral("overlay-loading"));
    r.act(QStringLiteral("可取消的加载层"), []() {
        FullScreenLoading::showWithCancel(host(), QStringLiteral("正在扫描订单文件夹，文件较多时需要几分钟，请稍候..."),
                                          QStringLiteral("取消"), true);
    });
    r.shot(QStringLiteral("overlay-cancel"));
    r.act(QStringLiteral("成功"), []() { overlay()->showSuccess(QStringLiteral("删除成功"), 0); });
    r.shot(QStringLiteral("overlay-success"));
    r.act(QStringLiteral("失败"), []() {
        overlay()->showError(QStringLiteral("账号验证失败：密码错误，请重新输入"), 0);
    });
    r.shot(QStringLiteral("overlay-error"));
    r.act(QStringLiteral("不变暗的加载层"), []() {
        overlay()->closeOverlay();
        FullScreenLoading::showLoading(host(), QStringLiteral("加载中..."), false);
    });
    r.shot(QStringLiteral("overlay-clear"));
    r.act(QStringLiteral("关上加载层"), []() { overlay()->closeOverlay(); });
    r.wait(QStringLiteral("加载层关上"), []() { return !host()->findChild<FullScreenLoading *>(); });

    r.act(QStringLiteral("成功对话框"), []() {
        SimpleDialog::showSuccess(host(), QStringLiteral("导入完成"), QStringLiteral("共导入 24 张照片，全部成功。"));
    });
    r.wait(QStringLiteral("对话框"), []() { return modalBox() != nullptr; });
    r.shot(QStringLiteral("dialog-success"));
    r.act(QStringLiteral("关闭对话框"), []() { closeModalBox(); });
    r.act(QStringLiteral("提醒对话框"), []() {
        SimpleDialog::showInfo(host(), QStringLiteral("温馨提示"), QStringLiteral("请先选择要导入的订单"));
    });
    r.wait(QStringLiteral("对话框"), []() { return modalBox() != nullptr; });
    r.shot(QStringLiteral("dialog-info"));
    r.act(QStringLiteral("关闭对话框"), []() { closeModalBox(); });
    r.act(QStringLiteral("长错误对话框"), []() {
        SimpleDialog::showError(host(), QStringLiteral("部分照片导入失败"), QString::fromUtf8(kLongText));
    });
    r.wait(QStringLiteral("对话框"), []() { return modalBox() != nullptr; });
    r.shot(QStringLiteral("dialog-error-long"));
    r.act(QStringLiteral("关闭对话框"), []() { closeModalBox(); });
    r.act(QStringLiteral("询问对话框"), []() {
        SimpleDialog::showQuestion(host(), QStringLiteral("确认删除"),
                                   QStringLiteral("确定要删除选中的 2 张照片吗？删除后无法恢复。"), [](bool) {});
    });
    r.wait(QStringLiteral("对话框"), []() { return modalBox() != nullptr; });
    r.shot(QStringLiteral("dialog-question"));
    r.act(QStringLiteral("关闭对话框"), []() { closeModalBox(); });

    r.act(QStringLiteral("带详情的错误框"), []() {
        ModalBox::showMessage(host(), QMessageBox::Critical, QStringLiteral("启动失败"),
                              QStringLiteral("无法启动程序：velquora_print.exe"),
                              QString(), QStringLiteral("进程退出代码 2\n找不到所需的 DLL 文件"));
    });
    r.wait(QStringLiteral("错误框"), []() { return modalBox() != nullptr; });
    r.shot(QStringLiteral("box-critical"));
    r.act(QStringLiteral("关闭错误框"), []() { closeModalBox(); });

    r.act(QStringLiteral("右键菜单"), []() {
        ContextMenu *menu = ContextMenu::create(host());
        menu->addItem(QStringLiteral("打开文件夹"), []() {});
        menu->addItem(QStringLiteral("复制订单号"), []() {});
        menu->addItem(QStringLiteral("重新上传"), []() {}, QString(), false);
        menu->addSeparator();
        menu->addItem(QStringLiteral("删除照片"), []() {}, QString(), true, true);
        menu->popup(host()->mapToGlobal(host()->rect().center()));
    });
    r.wait(QStringLiteral("菜单"), []() { return topLevel("ContextMenu") != nullptr; });
    r.shot(QStringLiteral("context-menu"), 400);
    r.act(QStringLiteral("关上菜单"), []() {
        if (auto *menu = qobject_cast<ContextMenu *>(topLevel("ContextMenu")))
            menu->close();
    });
}
