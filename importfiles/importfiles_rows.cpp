// The import window's row actions: picking files for an order (where its
// folder is settled and made), dropping them, and opening the folder.

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

#include "base/k.h"
#include "base/modalbox.h"
#include "base/sharedfolderopener.h"
#include "importfiles/importfiles.h"
#include "importfiles/importfiletablemodel.h"
#include "importfiles/jobs/importlog.h"
#include "public/simpledialog.h"
#include "public/theme.h"
#include "public/toastwidget.h"

namespace {

QString rowButtonStyle(const QString &colour, const QString &hover)
{
    return QStringLiteral("QPushButton { background-color: ") + colour
        + QStringLiteral("; color: white; border: none; border-radius: 4px; font-size: ")
        + K::instance()->scaleText(10) + QStringLiteral("px; }QPushButton:hover { background-color: ") + hover
        + QStringLiteral("; }");
}

} // namespace

void ImportFiles::makeFileButtons(int row)
{
    K *k = K::instance();
    auto *strip = new QWidget(m_orderTable);
    strip->setStyleSheet(QStringLiteral("QWidget {background: transparent;}"));
    auto *layout = new QHBoxLayout(strip);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);

    const auto makeButton = [&](const QString &text, const QString &name, int width, const QString &colour,
                                const QString &hover) {
        auto *button = new QPushButton(text, strip);
        button->setObjectName(name);
        button->setFixedSize(k->scale(width), k->scale(26));
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(rowButtonStyle(colour, hover));
        layout->addWidget(button);
        return button;
    };
    QPushButton *select = makeButton(QStringLiteral("选择文件"), QStringLiteral("selectFilesButton"), 60,
                                     Theme::importBlue.name(), Theme::importBlueDeep.name());
    connect(select, &QPushButton::clicked, this, [this, row]() { selectFilesButtonClicked(row); });
    QPushButton *clear = makeButton(QStringLiteral("清空已选"), QStringLiteral("clearFilesButton"), 45,
                                    Theme::importRed.name(), Theme::importRedDeep.name());
    connect(clear, &QPushButton::clicked, this, [this, row]() {
        if (importing) {
            warn(QStringLiteral("温馨提示"), QStringLiteral("导片中..."));
            return;
        }
        onClearFilesClicked(row);
    });
    if (openypml == 1) {
        QPushButton *open = makeButton(QStringLiteral("打开目录"), QStringLiteral("openDirButton"), 45,
                                       Theme::importGrey.name(), Theme::importGreyDeep.name());
        connect(open, &QPushButton::clicked, this, [this, row]() { onOpenDirClicked(row); });
    }
    layout->addStretch(1);
    if (m_stripWidth <= 0) {
        strip->ensurePolished();
        m_stripWidth = layout->sizeHint().width();
    }
    const int column = columnOf(QStringLiteral("操作"));
    if (column >= 0)
        m_orderTable->setCellWidget(row, column, strip);
}

void ImportFiles::selectFilesButtonClicked(int row)
{
    if (importing) {
        warn(QStringLiteral("温馨提示"), QStringLiteral("导片中..."));
        return;
    }
    if (row < 0 || row >= orders.size())
        return;
    const ImportOrder &order = orders.at(row);
    if (order.importPath.isEmpty() && order.publicNetpath.isEmpty()) {
        ModalBox::showMessage(this, QMessageBox::Information, QStringLiteral("温馨提示"), order.storesname + QStringLiteral(" 没有设置本地云导片路径, 请在后台设置本地云导片路径！"));
        return;
    }
    onSelectFilesClicked(row);
}

void ImportFiles::onSelectFilesClicked(int row)
{
    if (row < 0 || row >= orders.size())
        return;
    const QString orderPhotoId = orders.at(row).order_photo_id;
    const QString filter = importType == Retouched
        ? QStringLiteral("图片文件 (*.jpg *.jpeg);;所有文件 (*.*)")
        : QStringLiteral("图片文件 (*.jpg *.jpeg *raw *.cr2 *.cr3 *.nef *.arw *.raf);;所有文件 (*.*)");
    QPointer<ImportFiles> guard(this);
    const QStringList paths = ModalBox::getOpenFileNames(this, QStringLiteral("选择要导入的文件"), filter);
    if (!guard || closing || paths.isEmpty())
        return;
    // Replies kept arriving while the dialog was open.
    if (importing) {
        warn(QStringLiteral("温馨提示"), QStringLiteral("导片中..."));
        return;
    }
    if (!isOrderAt(row, orderPhotoId))
        return;

    // Worked out on a copy: the order changes only when the pick is taken.
    ImportOrder order = orders.at(row);
    const QString folder = ImportRecords::settleOrderFolder(&order);
    if (folder.isEmpty()) {
        warn(QStringLiteral("温馨提示"),
             QStringLiteral("订单 ") + order.orderpayforkey + QStringLiteral(" 的导片路径无效，请在后台检查本地云导片路径！"));
        return;
    }
    // The folders are made now, each inside the order folder and none
    // through a link: an order folder that leads elsewhere takes no pick.
    QStringList dirs{folder};
    for (const QString &sub : ImportRecords::subFolders(importType))
        dirs << folder + QLatin1Char('/') + sub;
    for (const QString &dir : qAsConst(dirs)) {
        QString error;
        if (!ImportFileCopyRunnable::ensureDirectory(dir, folder, &error)) {
            warn(QStringLiteral("温馨提示"),
                 QStringLiteral("订单 ") + order.orderpayforkey + QStringLiteral(" 的导片目录无法使用：") + error);
            return;
        }
    }

    QList<ImportFile> files;
    for (const QString &path : paths)
        files.append(ImportRecords::fileFromPath(path, order, files.size(), importType));

    const QStringList clashes = ImportRecords::sameTargetNames(files);
    if (!clashes.isEmpty()) {
        warn(QStringLiteral("温馨提示"),
             QStringLiteral("以下文件与其他选中的文件同名，会导入到同一个位置，请只选择其中一个：\n") + clashes.join(QLatin1Char('\n')));
        return;
    }

    if (importType == Retouched) {
        const QStringList strangers = ImportRecords::unselectedNames(files, order.selectedNames);
        if (!strangers.isEmpty()) {
            QString mismatch;
            for (const QString &name : strangers)
                mismatch += QLatin1Char('\n') + name;
            SimpleDialog::showQuestion(
                this, QStringLiteral("温馨提示"),
                QStringLiteral("要上传的精修照片与客人选中的照片名不一致，确认要继续上传吗？\n下列是不一致的照片：") + mismatch,
                [guard, row, orderPhotoId, folder, files](bool accepted) {
                    if (accepted && guard && !guard->closing)
                        guard->applyPick(row, orderPhotoId, folder, files);
                },
                false);
            return;
        }
    }
    applyPick(row, orderPhotoId, folder, files);
}

void ImportFiles::applyPick(int row, const QString &orderPhotoId, const QString &folder, const QList<ImportFile> &files)
{
    if (!isOrderAt(row, orderPhotoId))
        return;
    if (importing) {
        warn(QStringLiteral("温馨提示"), QStringLiteral("导片中..."));
        return;
    }
    ImportOrder &order = orders[row];
    order.pickGeneration = ++m_generation;
    order.importPath = folder;
    order.failedNames.clear();
    order.failedFiles.clear();
    order.importedFiles.clear();
    order.files = files;
    for (ImportFile &file : order.files)
        file.pickGeneration = order.pickGeneration;
    setImportPath(row, folder);
    setSelectedCount(row, order.files.size());
    if (currentRow == row)
        showOrderFiles(row);
}

void ImportFiles::onClearFilesClicked(int row)
{
    if (row < 0 || row >= orders.size())
        return;
    ImportOrder &order = orders[row];
    order.files.clear();
    // Results of copies still under way belong to the dropped pick.
    order.pickGeneration = ++m_generation;
    setSelectedCount(row, 0);
    setPhotoStatus(row, QStringLiteral("未选择"));
    if (currentRow == row)
        fileModel->clear();
    qCDebug(lcImport) << QStringLiteral("订单") + order.orderpayforkey + QStringLiteral("已清空文件");
}

void ImportFiles::onOpenDirClicked(int row)
{
    if (row < 0 || row >= orders.size() || orders.at(row).importPath.isEmpty())
        return;
    const QString error = folderOpener->openLocalFolder(orders.at(row).importPath);
    if (!error.isEmpty())
        ToastWidget::showToast(this, error, 2000);
}
