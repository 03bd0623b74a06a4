#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

#include "designsplit/jobs/fjrecords.h"

class FJDataOperate;
class QObject;
class QThreadPool;

// What the planner needs besides the service's reply: the window's mode and
// the choices of its panels when the order's detail arrived.
struct FJPlanInput
{
    int mode = DesignSplit;
    QString splitDirectory;
    QString shopId;
    QString superId;
    QString issjfenjianms;
    // The ticked order as the order list gave it (raw files picked in it).
    OrderData order;
    // The shop's stored product-folder naming rule (design split).
    QJsonArray namingRule;
    // The delivery folders to download (photo delivery).
    bool raw = false;
    bool original = false;
    bool simpleRetouch = false;
    bool simpleRetouchRejects = false;
    bool fineRetouch = true;
};

// The work one order became.
struct FJPlan
{
    enum class Outcome {
        // Jobs are running and downloads queued; the counts below hold.
        Planned,
        // The detail could not be had: a box with `message`, then the next
        // order.
        ServiceError,
        // The order cannot be worked on: `message` is one line of the final
        // list, then the next order.
        Skipped,
    };
    Outcome outcome = Outcome::Planned;
    QString message;
    // Planned, but part of the order cannot be had: a line of the final list.
    QString warning;
    QString orderRoot;
    // What an earlier run of the order, cut short, left undone (the note it
    // left in the order folder); empty when the order folder has none.
    QString redo;
    int total = 0;
    int copyPicTotal = 0;
    int downImgTotal = 0;
    // Design split without photo copies: the product folders start at once.
    bool startProductsNow = false;
};

// Turns the service's full detail of one order ("orderphotodetail") into
// work: makes the order folder, reads what an earlier run cut short left
// undone, keeps the reply for the production sheet, resets the pool and
// starts the copy jobs on it (reporting to owner, passing data's gate),
// queues the pictures to download in data and fills its products. No
// widgets: the window hands in its panels' choices.
namespace FJOrderPlanner {

FJPlan plan(bool ok, const QJsonDocument &reply, const FJPlanInput &input, FJDataOperate &data, QThreadPool *pool,
            QObject *owner);

// The order folder's name, "<number>-服务<times> <man>-<woman> <pickup>",
// cleaned for the file system.
QString orderFolderName(const QJsonObject &order);

// The barcode picture's address of an order.
QString barcodeUrl(const QString &orderPhotoId, const QString &shopId, const QString &superId);

} // namespace FJOrderPlanner
