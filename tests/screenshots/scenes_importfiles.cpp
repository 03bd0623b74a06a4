// The two import windows (originals, retouched photos): idle, searched,
// files picked, importing, their boxes and the finished list; the
// originals window's view of an order's stored originals.

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "base/modalbox.h"
#include "importfiles/importfiles.h"
#include "importfiles/originalview.h"
#include "public/thumbnailtableview.h"
#include "tests/screenshots/scenes.h"
#include "tests/screenshots/shotrunner.h"

using namespace Screens;
using namespace SceneSteps;

namespace {

ImportFiles *window()
{
    return qobject_cast<ImportFiles *>(topLevel("ImportFiles"));
}

QPushButton *button(const char *name)
{
    ImportFiles *w = window();
    return w ? w->findChild<QPushButton *>(QLatin1String(name)) : nullptr;
}

int rowOf(const QString &number)
{
    const QList<ImportOrder> orders = window()->orderList();
    for (int row = 0; row < orders.size(); ++row) {
        if (orders.at(row).orderpayforkey == number)
            return row;
    }
    return -1;
}

QStringList samples(const QString &folder)
{
    QDir dir(QDir::homePath() + QStringLiteral("/velquora_demo/导入样片/") + folder);
    QStringList paths;
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

// A box of the program in front: a message box, or the program's own
// dialog (which is not modal).
bool anyBox()
{
    return modalBox() != nullptr || topLevel("SimpleDialog") != nullptr;
}

void closeAnyBox()
{
    if (modalBox())
        closeModalBox();
    else if (QWidget *dialog = topLevel("SimpleDialog"))
        dialog->close();
}

// Answers the program's own dialog in front with its OK button.
void acceptDialog()
{
    QWidget *dialog = topLevel("SimpleDialog");
    if (!dialog)
        return;
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->isVisible() && button->text() != QStringLiteral("取消")) {
            button->click();
            return;
        }
    }
}

struct ImportWindow
{
    const char *scene;
    QString card;
    QString samplesFolder;
    QString order;
    // Retouched photos the customer did not select are asked about first.
    bool asksMismatch;
    // The demo answers the order's report with files to import again: the
    // run stops on that dialog instead of ending with its box.
    bool asksReimport;
};

void addWindow(ShotRunner &r, const ImportWindow &w)
{
    toolScene(r, QString::fromLatin1(w.scene), w.card, "ImportFiles");

    r.act(QStringLiteral("搜索"), []() { click(button("searchButton")); });
    r.wait(QStringLiteral("订单列表"), []() { return !window()->orderList().isEmpty(); });
    r.shot(QStringLiteral("searched"));

    const QString samplesFolder = w.samplesFolder;
    const QString order = w.order;
    r.act(QStringLiteral("为订单选择文件"), [samplesFolder, order]() {
        const QStringList files = samples(samplesFolder);
        ModalBox::setFilesHook([files](QWidget *, const QString &, const QString &) { return files; });
        const int row = qMax(0, rowOf(order));
        QTableWidget *table = window()->orderTable();
        table->selectRow(row);
        const int column = window()->headers().indexOf(QStringLiteral("操作"));
        if (QWidget *strip = table->cellWidget(row, column))
            click(strip->findChild<QPushButton *>(QStringLiteral("selectFilesButton")));
        ModalBox::setFilesHook(nullptr);
    });
    if (w.asksMismatch) {
        r.wait(QStringLiteral("照片名不一致的确认框"), []() { return topLevel("SimpleDialog") != nullptr; });
        r.shot(QStringLiteral("question-mismatch"));
        r.act(QStringLiteral("继续上传"), []() { acceptDialog(); });
    }
    r.wait(QStringLiteral("文件列表"), []() { return window()->fileTable()->model()->rowCount() > 0; });
    r.shot(QStringLiteral("picked"), 1200);

    r.act(QStringLiteral("开始全部导入"), []() { click(button("startAllButton")); });
    r.wait(QStringLiteral("导入中"), []() { return window()->isImporting() || anyBox(); });
    r.shot(QStringLiteral("importing"), 0);
    if (w.asksReimport) {
        r.wait(QStringLiteral("重新导入的提示"), []() { return topLevel("SimpleDialog") != nullptr; }, 60000);
        r.shot(QStringLiteral("dialog-reimport"));
    } else {
        r.wait(QStringLiteral("导入完成"), []() { return modalText() == QStringLiteral("导入完成！"); }, 60000);
        r.shot(QStringLiteral("box-done"));
    }
    r.act(QStringLiteral("关闭提示"), []() { closeAnyBox(); });
    r.wait(QStringLiteral("导入结束"), []() { return !window()->isImporting() && !anyBox(); });
    r.shot(QStringLiteral("finished"), 1500);
}

} // namespace

void addImportScenes(ShotRunner &r)
{
    addWindow(r, {"import-originals", QStringLiteral("导入原片"), QStringLiteral("原片"), QStringLiteral("DR20240601002"), false, true});
    // The stored originals the import reported, in the view below the list.
    r.act(QStringLiteral("刷新原片"), []() {
        if (OriginalView *view = window()->originals())
            click(view->findChild<QPushButton *>(QStringLiteral("refreshButton")));
    });
    r.pause(1500);
    r.shot(QStringLiteral("originals-view"), 1500);
    // An order the design split filed: its stored originals come with
    // pictures of the demo's own.
    r.act(QStringLiteral("选择分件订单"), []() {
        const int row = rowOf(QStringLiteral("FJ20240601001"));
        if (row >= 0) {
            window()->orderTable()->scrollToItem(window()->orderTable()->item(row, 0));
            window()->orderTable()->selectRow(row);
        }
    });
    r.wait(QStringLiteral("分件订单的原片"), []() {
        OriginalView *view = window()->originals();
        return view && view->grid()->photoCount() > 0;
    });
    r.shot(QStringLiteral("originals-designsplit"), 2500);

    addWindow(r, {"import-retouched", QStringLiteral("导入精修片"), QStringLiteral("精修片"), QStringLiteral("DR20240601001"), true, false});
}
