#pragma once

#include <functional>
#include <memory>

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include "designsplit/jobs/fjrungate.h"

class QThreadPool;

// Data and dispatch object of the design-split window: the current order's
// shared data, one "拷贝照片" job per photo of a list, the crop and marking
// pictures to download, and the order's products with distinct names.
// Lives and runs on the window's thread.
class FJDataOperate : public QObject
{
    Q_OBJECT

public:
    explicit FJDataOperate(QObject *parent = nullptr);

    // The text of order[key]; empty for a value that is not a JSON string.
    QString value(const QString &key) const;
    // allDir = root + "/all/".
    void setAllDir(const QString &root);

    // One "拷贝照片" job per element of photos, in order, on pool, reporting
    // to owner, writing inside orderRoot. The job's source is named after
    // each dispatcher.
    void copyRetouchedPhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool, QObject *owner);
    void copyFinishedThumbnails(const QJsonArray &photos, const QString &destDir, QThreadPool *pool, QObject *owner);
    void copyFinishedOnly(const QJsonArray &photos, const QString &destDir, QThreadPool *pool, QObject *owner);
    void copyFinishedPhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool, QObject *owner);
    void copyRejectedPhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool, QObject *owner);
    void copyBasePhotos(const QJsonArray &photos, const QString &destDir, QThreadPool *pool, QObject *owner);

    // Queues the "cropping_imgurl" of every element as a "标记" download.
    void collectCropImages(const QJsonArray &images);
    // Gives every product and sub-product of the order a distinct name
    // (name, name(1), name(2) ...), queues their crop pictures as "裁剪"
    // downloads and appends the products to pros.
    void normaliseGoods(const QJsonObject &order);
    void normaliseOrders(const QJsonArray &orders);

    void downloadImageAsDataUrl(const QString &url,
                                const std::function<void(bool, const QString &, const QString &)> &callback);

    // The production sheet from this object's own data and picture map,
    // written to folder/明细制作单.pdf. False when no sheet was written.
    bool buildProductionSheet(const QString &folder);

    // The current order's folder, ending with a separator: the jobs'
    // writes stay inside it.
    QString orderRoot;
    // The batch's hold and stop, given to every job dispatched.
    std::shared_ptr<FJRunGate> gate;
    QString barcodeUrl;
    QString serviceCount = QStringLiteral("0");
    QJsonObject orderDetail;
    QJsonObject order;
    QJsonArray visits;
    QString allDir;
    QMap<QString, QJsonObject> markedPhotos;
    QMap<QString, QJsonObject> selectedPhotos;
    QMap<QString, QJsonObject> basePhotos;
    QMap<QString, QJsonObject> spareMap;
    QMap<QString, QString> pictureSources;
    QStringList downImgUrls;
    QMap<QString, QJsonObject> downImgInfos;
    QList<QJsonObject> pros;
    QJsonArray namingRule;

private:
    enum class Source {
        LocalPath,
        LocalPath90,
        AllDir,
    };
    void dispatch(const QJsonArray &photos, const QString &category, Source source, const QString &destDir,
                  QThreadPool *pool, QObject *owner);
    void queueCropImages(const QJsonArray &pictures);
};

// A thread holding a dispatcher; kept for callers that expect one. Its run
// does nothing.
class FJThread : public QThread
{
    Q_OBJECT

public:
    explicit FJThread(QObject *parent = nullptr);
    ~FJThread() override;

    FJDataOperate dataOperate;

protected:
    void run() override;
};
