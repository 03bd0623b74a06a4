#pragma once

#include <functional>

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include "base/orderinfo.h"
#include "base/orderservice.h"

class BaseReq;

// Reports every imported file, each order's import folder and each finished
// order to the order service. Builds the bodies, reads the replies and keeps
// per order what the service was told: the photos it saved, the reports it
// did not take (shown on the order and sent again on request) and the
// failures of the current run (shown once when the run has ended). No
// widgets: tests drive it directly.
class tfhomereports : public QObject
{
    Q_OBJECT

public:
    explicit tfhomereports(QObject *parent = nullptr);
    ~tfhomereports() override;

    // The branch of reports about orders that have no run (see beginRun).
    void setContext(const ReportContext &context) { m_context = context; }
    ReportContext context() const { return m_context; }

    // Action and body of the report of one imported file. sharePath is the
    // file's path as the service stores it (K::fixSharePath already applied).
    static OrderService::Action photoAction(UploadType type);
    static QByteArray photoBody(const QString &orderPhotoId, qint64 size, const QString &sharePath,
                                const PhotoInfo &entry, UploadType type, const ReportContext &context);
    static QByteArray orderPathBody(const QString &orderPhotoId, const QString &shareFolder,
                                    const ReportContext &context);
    static QByteArray orderDataBody(const QString &orderPhotoId, int count, const QString &shareFolder,
                                    const QString &names, UploadType type, const ReportContext &context);
    // The "type" the service keeps for photos ("1"), trial ("2") and
    // retouched videos ("3").
    static QString typeText(UploadType type);

    // The path the window reports for an entry: its folder, size tag and
    // name, with forward slashes.
    static QString entryPath(const PhotoInfo &entry);

    // Whether this entry is reported at all: for photos only the full-size
    // "all" entry stands for the photo, every video entry stands for itself.
    static bool isReported(const PhotoInfo &entry, UploadType type);

    // An import run of the order begins. Its reports speak for context until
    // the next run, whatever branch is chosen meanwhile; the photos of the
    // order that will be copied again count as not reported until they are.
    void beginRun(const OrderInfo &order, const ReportContext &context);

    // Reports one imported file of order (the stored copy, for its id, row
    // and share host): entry is the "all" entry of a photo whose four copies
    // all succeeded, or a video. A file the service already saved in this
    // order is not sent again. A copy that failed or does not exist is
    // gathered as a failure of the run instead.
    void reportPhoto(const OrderInfo &order, const PhotoInfo &entry, const QString &path, UploadType type,
                     bool copied, const QString &copyError);
    void reportOrderPath(const OrderInfo &order, const QString &folder);
    void reportOrderData(const OrderInfo &order, int count, const QString &names, UploadType type);

    // The order's run has ended. Once its outstanding per-file reports have
    // answered, orderSettled tells the window to send the order report (when
    // reportOrder is set: the run copied everything it had to) and the
    // run's failures come out through orderReportsFailed.
    void finishOrder(const OrderInfo &order, bool reportOrder = false);

    // Sends again what the service did not take for this order: the files
    // copied but not saved (entries as for reportPhoto), the folder report,
    // then the order report (through orderSettled).
    void resubmit(const OrderInfo &order, const QList<PhotoInfo> &entries, UploadType type);

    // Whether the service saved this file of the order.
    bool isSaved(const QString &orderPhotoId, const QString &name) const;
    // What the service has not taken for the order, one line each; empty
    // when everything was reported.
    QStringList openProblems(const QString &orderPhotoId) const;
    int pendingReports(const QString &orderPhotoId) const;
    // Per-file reports are still on their way for some order.
    bool isBusy() const;

signals:
    // The service saved one file; entry is the service's record of it.
    // Emitted only when the reply names the reported file.
    void photoSaved(QString orderPhotoId, int row, PhotoInfo entry, int uploadType);
    // Failed per-file reports of a finished order, one line each.
    void orderReportsFailed(QString orderPhotoId, QString orderLabel, QStringList failures);
    // Every per-file report of the finished run has answered: the service
    // now holds what it will hold of the run.
    void orderSettled(QString orderPhotoId, int row);
    // The order report of a run was answered (problems empty when the
    // service took every report of the order).
    void orderReportsDone(QString orderPhotoId, int row, QStringList problems);
    // No per-file report is on its way any more.
    void idle();

private:
    struct OrderReports
    {
        ReportContext context;
        bool hasContext = false;
        QString label;
        int row = -1;
        // Per-file reports in flight, by file name.
        QSet<QString> pendingNames;
        // Files the service saved, and files whose report it did not take.
        QSet<QString> saved;
        QSet<QString> unsaved;
        QString folder;
        QString folderProblem;
        QString dataProblem;
        // The order report of the last run has been answered.
        bool runReported = false;
        // The run: ended by the engine, to be reported as an order, its
        // failures (each file once).
        bool finished = false;
        bool reportOrder = false;
        QStringList failures;
        QSet<QString> failedNames;
    };

    void post(OrderService::Action action, const QByteArray &body, OrderService::Callback callback);
    ReportContext contextOf(const QString &orderPhotoId) const;
    OrderReports &stateOf(const OrderInfo &order);
    void addFailure(OrderReports &state, const QString &name, const QString &line);
    void settle(const QString &orderPhotoId);
    static QString replyProblem(bool ok, const QJsonDocument &doc);
    static QString orderLabel(const OrderInfo &order);

    ReportContext m_context;
    BaseReq *m_req = nullptr;
    QHash<QString, OrderReports> m_orders;
};
