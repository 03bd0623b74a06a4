// The two import windows (originals, retouched photos): idle, searched,
// files picked, importing, their boxes and the finished list, a clicked cell
// of the selected row; the originals window's view of an order's stored
// originals; a close mid-run (否, then 是 and the next run that completes
// the order); an account without a shop.

#include <atomic>

#include <QAbstractButton>
#include <QCursor>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QThread>

#include "base/modalbox.h"
#include "base/orderservice.h"
#include "importfiles/importfiles.h"
#include "importfiles/jobs/importfilecopyrunnable.h"
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

// Copies after the first four of a pick wait, written but not yet renamed,
// while this is set: a run stays under way long enough to be closed.
std::atomic_bool s_holdCopies{false};

void holdCopies(bool hold)
{
    s_holdCopies = hold;
    // Installed once and left: a copy may be inside it at any time.
    static const bool installed = []() {
        ImportFileCopyRunnable::setCheckpointHook(
            [](ImportFileCopyRunnable::Checkpoint point, const ImportFile &file, const std::atomic_bool &cancel) {
                if (point != ImportFileCopyRunnable::CopyWritten || file.fileIndex < 4)
                    return;
                while (s_holdCopies && !cancel)
                    QThread::msleep(5);
            });
        return true;
    }();
    Q_UNUSED(installed)
}

// Picks the folder's sample files for the order's row, with the row selected.
void pickFor(const QString &samplesFolder, const QString &order)
{
    const QStringList files = samples(samplesFolder);
    ModalBox::setFilesHook([files](QWidget *, const QString &, const QString &) { return files; });
    const int row = qMax(0, rowOf(order));
    QTableWidget *table = window()->orderTable();
    table->selectRow(row);
    const int column = window()->headers().indexOf(QStringLiteral("操作"));
    if (QWidget *strip = table->cellWidget(row, column))
        click(strip->findChild<QPushButton *>(QStringLiteral("selectFilesButton")));
    ModalBox::setFilesHook(nullptr);
}

// Answers the box in front with its 是 button.
void answerYes()
{
    if (auto *box = qobject_cast<QMessageBox *>(modalBox())) {
        if (QAbstractButton *yes = box->button(QMessageBox::Yes))
            yes->click();
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
    // run stops on that dialog, and ends with its box once it is closed.
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
    r.act(QStringLiteral("为订单选择文件"), [samplesFolder, order]() { pickFor(samplesFolder, order); });
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
        // Closed, the run ends with its box as any run does.
        r.act(QStringLiteral("确定重新导入的提示"), []() { acceptDialog(); });
    }
    r.wait(QStringLiteral("导入完成"), []() { return modalText() == QStringLiteral("导入完成！"); }, 60000);
    r.shot(QStringLiteral("box-done"));
    r.act(QStringLiteral("关闭提示"), []() { closeAnyBox(); });
    r.wait(QStringLiteral("导入结束"), []() { return !window()->isImporting() && !anyBox(); });
    r.shot(QStringLiteral("finished"), 1500);

    // A click on the selected row's path: the pointer stays over the cell.
    r.act(QStringLiteral("点选中行的导片路径"), [order]() {
        QTableWidget *table = window()->orderTable();
        const int row = qMax(0, rowOf(order));
        const QRect cell = table->visualRect(table->model()->index(row, window()->headers().indexOf(QStringLiteral("导片路径"))));
        QCursor::setPos(table->viewport()->mapToGlobal(cell.center()));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    });
    r.shot(QStringLiteral("row-clicked"), 800);
}

// Closing mid-run: 否 lets the run end with its box; 是 closes the window
// with the order cut short, and the next run of it says what it did over.
void addCloseScene(ShotRunner &r)
{
    const QString order = QStringLiteral("DR20240601001");
    toolScene(r, QStringLiteral("import-close"), QStringLiteral("导入原片"), "ImportFiles");
    r.act(QStringLiteral("搜索"), []() { click(button("searchButton")); });
    r.wait(QStringLiteral("订单列表"), []() { return !window()->orderList().isEmpty(); });
    for (const bool yes : {false, true}) {
        r.act(QStringLiteral("为订单选择文件"), [order]() { pickFor(QStringLiteral("原片"), order); });
        r.wait(QStringLiteral("文件列表"), []() { return window()->fileTable()->model()->rowCount() > 0; });
        r.act(QStringLiteral("开始全部导入，后四个文件停住"), []() {
            holdCopies(true);
            click(button("startAllButton"));
        });
        r.wait(QStringLiteral("导入中"), []() { return window()->isImporting(); });
        r.act(QStringLiteral("关闭窗口"), []() { window()->close(); });
        r.wait(QStringLiteral("关闭的确认框"), []() { return modalText().contains(QStringLiteral("的导入还在进行")); });
        r.shot(yes ? QStringLiteral("question-close-yes") : QStringLiteral("question-close"));
        if (yes)
            break;
        r.act(QStringLiteral("否"), []() {
            closeModalBox();
            holdCopies(false);
        });
        r.wait(QStringLiteral("导入完成"), []() { return modalText() == QStringLiteral("导入完成！"); }, 60000);
        r.shot(QStringLiteral("box-done-after-no"));
        r.act(QStringLiteral("关闭提示"), []() { closeModalBox(); });
        r.wait(QStringLiteral("导入结束"), []() { return !window()->isImporting() && !anyBox(); });
    }
    r.act(QStringLiteral("是"), []() {
        answerYes();
        holdCopies(false);
    });
    r.wait(QStringLiteral("窗口关闭"), []() { return !window(); });
    openTool(r, QStringLiteral("导入原片"), "ImportFiles");
    r.act(QStringLiteral("搜索"), []() { click(button("searchButton")); });
    r.wait(QStringLiteral("订单列表"), []() { return !window()->orderList().isEmpty(); });
    r.act(QStringLiteral("再次选择同样的文件"), [order]() { pickFor(QStringLiteral("原片"), order); });
    r.wait(QStringLiteral("文件列表"), []() { return window()->fileTable()->model()->rowCount() > 0; });
    r.act(QStringLiteral("开始全部导入"), []() { click(button("startAllButton")); });
    r.wait(QStringLiteral("补齐后的导入完成"), []() { return modalText().startsWith(QStringLiteral("导入完成！")); }, 60000);
    r.shot(QStringLiteral("box-done-redone"));
    r.act(QStringLiteral("关闭提示"), []() { closeModalBox(); });
}

// An account without a shop opens the tool: the window says what to do.
void addNoShopScene(ShotRunner &r)
{
    r.scene(QStringLiteral("import-noshop"));
    loginToChooser(r, QStringLiteral("noshop"));
    openTool(r, QStringLiteral("导入原片"), "ImportFiles");
    r.wait(QStringLiteral("没有门店的提示框"), []() { return modalText() == OrderService::noShopText(); });
    r.shot(QStringLiteral("box-noshop"));
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
    r.act(QStringLiteral("搜索"), []() { click(button("searchButton")); });
    r.wait(QStringLiteral("搜索时的提示框"), []() { return modalText() == OrderService::noShopText(); });
    r.act(QStringLiteral("关闭提示框"), []() { closeModalBox(); });
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
    addCloseScene(r);
    addNoShopScene(r);
}
