#pragma once

#include <functional>

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QObject>
#include <QString>
#include <QStringList>

#include "transferphotos/orderinfo.h"

class BaseReq;

// The shop the requests speak for: the ids of the last branch switch.
struct ReportContext
{
    QString shopId;
    QString eid;
    QString superId;
};

// Reports every imported file, each order's import folder and each finished
// order to the order service. Builds the bodies, reads the replies and keeps
// the failed per-file reports of each order until the order is finished, so
// the window shows them once. No widgets: tests drive it directly.
class tfhomereports : public QObject
{
    Q_OBJECT

public:
    explicit tfhomereports(QObject *parent = nullptr);
    ~tfhomereports() override;

    void setContext(const ReportContext &context) { m_context = context; }
    ReportContext context() const { return m_context; }

    // Action and body of the report of one imported file. sharePath is the
    // file's path as the service stores it (K::fixSharePath already applied).
    static QString photoAction(UploadType type);
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

    // Reports one imported file of order (the stored copy, for its id, row
    // and share host). Only a copy that succeeded and exists is reported;
    // anything else is gathered as a failure of the order.
    void reportPhoto(const OrderInfo &order, const PhotoInfo &entry, const QString &path, UploadType type,
                     bool copied, const QString &copyError);
    void reportOrderPath(const OrderInfo &order, const QString &folder);
    void reportOrderData(const OrderInfo &order, int count, const QString &names, UploadType type);

    // The order's import run has ended: once its outstanding per-file
    // reports have answered, failures are handed out through
    // orderReportsFailed (once per run).
    void finishOrder(const OrderInfo &order);

    int pendingReports(const QString &orderPhotoId) const;

signals:
    // The service saved one file; entry is the service's record of it.
    // Emitted only when the reply names the reported file.
    void photoSaved(QString orderPhotoId, int row, PhotoInfo entry, int uploadType);
    // Failed per-file reports of a finished order, one line each.
    void orderReportsFailed(QString orderPhotoId, QString orderLabel, QStringList failures);

private:
    struct OrderRun
    {
        int pending = 0;
        bool finished = false;
        QString label;
        QStringList failures;
    };

    void post(const QString &action, const QByteArray &body,
              std::function<void(bool, const QJsonDocument &)> callback);
    void addFailure(const QString &orderPhotoId, const QString &line);
    void settle(const QString &orderPhotoId);
    static QString orderLabel(const OrderInfo &order);

    ReportContext m_context;
    BaseReq *m_req = nullptr;
    QHash<QString, OrderRun> m_runs;
};
