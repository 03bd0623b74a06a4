// The import window's endings: a close mid-run, which asks first and holds
// the run while it asks; the box that ends a run; the dialog of the names
// the service wants imported again; and the note of an order left
// unfinished.

#include <utility>

#include <QCloseEvent>
#include <QMessageBox>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include "base/handover.h"
#include "base/modalbox.h"
#include "base/pathutil.h"
#include "importfiles/importfiles.h"
#include "importfiles/jobs/importlog.h"
#include "public/simpledialog.h"

namespace {

QString orderLabel(const ImportOrder &order)
{
    return order.orderpayforkey + QLatin1Char('-') + order.servicetimes;
}

} // namespace

void ImportFiles::closeEvent(QCloseEvent *event)
{
    if (closing || !isBusy()) {
        QMainWindow::closeEvent(event);
        return;
    }
    // A second close while the question is open waits for its answer.
    if (m_held) {
        event->ignore();
        return;
    }
    holdRun();
    QPointer<ImportFiles> guard(this);
    const bool stop = askStopRun();
    if (!guard)
        return;
    if (!stop) {
        event->ignore();
        releaseRun();
        return;
    }
    m_held = false;
    m_heldFiles.clear();
    m_heldSteps.clear();
    if (importing && importRow >= 0 && importRow < orders.size())
        qCWarning(lcImport) << "导入被中断，订单未完成:" << orderLabel(orders.at(importRow));
    // Running copies are cancelled and waited for: a cancelled copy leaves
    // no file behind, and the order's note stays for its next run.
    if (importing)
        stopRun();
    else
        stopAllImports();
    QMainWindow::closeEvent(event);
}

bool ImportFiles::askStopRun() const
{
    QString text;
    if (importing && importRow >= 0 && importRow < orders.size()) {
        const ImportOrder &order = orders.at(importRow);
        text = QStringLiteral("订单%1的导入还在进行（已完成 %2/%3 个文件）。现在关闭，这个订单不会完成：已导入的文件保留，"
                              "再次为这个订单导入时只补齐其余的文件。\n确定要关闭吗？")
                   .arg(orderLabel(order))
                   .arg(ImportRecords::finishedCount(order))
                   .arg(order.files.size());
    } else {
        text = QStringLiteral("还有文件正在重新导入。现在关闭，这些文件不会导入。\n确定要关闭吗？");
    }
    // On the heap: the window may go while the box is open, and the box with it.
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Question, QStringLiteral("温馨提示"), text,
                                                QMessageBox::Yes | QMessageBox::No, const_cast<ImportFiles *>(this));
    box->setDefaultButton(QMessageBox::No);
    const int answer = ModalBox::exec(box);
    delete box.data();
    return answer == QMessageBox::Yes;
}

void ImportFiles::holdRun()
{
    m_held = true;
    // Queued copies go back: none starts while the question is open.
    // Running ones finish their file; what they report is recorded.
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if (ImportFileCopyRunnable::drop(it.value().claim)) {
            m_heldFiles.append(it.value().file);
            it = m_inFlight.erase(it);
        } else {
            ++it;
        }
    }
}

void ImportFiles::releaseRun()
{
    m_held = false;
    QPointer<ImportFiles> guard(this);
    for (const ImportFile &file : std::exchange(m_heldFiles, {})) {
        if (isCurrentPick(file) && orders.at(file.orderRow).files.at(file.fileIndex).status == Waiting)
            startJob(file);
    }
    for (const QString &key : m_deferred.keys())
        startDeferred(key);
    // In the order they came due; a step may ask or close the window.
    for (const std::function<void()> &step : std::exchange(m_heldSteps, {})) {
        if (!guard || closing || m_held)
            return;
        step();
    }
}

bool ImportFiles::heldBack(std::function<void()> step)
{
    if (!m_held)
        return false;
    m_heldSteps.append(std::move(step));
    return true;
}

QString ImportFiles::endText() const
{
    QString text = QStringLiteral("导入完成！");
    if (!m_redone.isEmpty())
        text += QStringLiteral("\n\n") + m_redone.join(QLatin1Char('\n'));
    return text;
}

void ImportFiles::noteOrderReported(ImportOrder *order)
{
    const QString folder = PathUtil::toFs(order->importPath);
    m_ownNotes.remove(folder);
    if (order->resumed) {
        int kept = 0;
        int copied = 0;
        for (const ImportFile &file : qAsConst(order->files)) {
            if (file.status == Succeeded)
                ++(file.kept ? kept : copied);
        }
        m_redone << QStringLiteral("订单 %1 上次导入被中断：本次补齐 %2 个文件，上次已导入的 %3 个文件保留")
                        .arg(orderLabel(*order))
                        .arg(copied)
                        .arg(kept);
        order->resumed = false;
    }
    HandOver::start(listingPool, [folder]() { ImportUnfinished::finish(folder); });
}

void ImportFiles::showReimport(int row, const ImportReport::Reimport &names, bool endsRun)
{
    const ImportOrder &order = orders.at(row);
    auto *dialog = new SimpleDialog(this);
    dialog->setKind(2);
    dialog->setTitle(QStringLiteral("温馨提示"));
    dialog->setMessage(ImportReport::reimportMessage(order, names, importType), true);
    if (endsRun) {
        // The run ended with this order: its box follows the dialog, as
        // it follows the last order of a run, once the dialog has gone.
        const QString label = orderLabel(order);
        connect(dialog, &QDialog::finished, this, [this, label, row]() {
            QTimer::singleShot(0, this, [this, label, row]() {
                if (closing || importing)
                    return;
                int waiting = 0;
                for (int next = row + 1; next < orders.size(); ++next)
                    waiting += ImportRecords::pendingCount(orders.at(next)) > 0 ? 1 : 0;
                const QString text = waiting == 0
                    ? endText()
                    : QStringLiteral("导入已停止：订单 %1 有文件需要重新导入。\n还有 %2 个订单的文件没有导入，"
                                     "点击“开始全部导入”继续。")
                          .arg(label)
                          .arg(waiting);
                ModalBox::showMessage(this, QMessageBox::Information, QStringLiteral("温馨提示"), text);
            });
        });
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
