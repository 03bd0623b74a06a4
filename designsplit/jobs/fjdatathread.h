#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include <QJsonArray>
#include <QSet>
#include <QJsonObject>
#include <QObject>
#include <QRunnable>
#include <QString>

#include "designsplit/jobs/fjrungate.h"

namespace FJWrites {
enum class Copy;
}

// The product folders taken in one run of one order, shared by that run's
// product jobs. A folder of the same name that is already there and not
// taken in this run is the same product's folder from an earlier run (one
// cut short, or the order split again) and is used again; one taken in this
// run belongs to another product with the same name, which gets the next
// number.
class FJFolderClaims
{
public:
    // Whether path was free in this run; it is taken from now on.
    bool claim(const QString &path)
    {
        // A std::mutex, not a QMutex: QMutex locks inside Qt's library,
        // where the tests' ThreadSanitizer cannot see it order the jobs.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_taken.contains(path))
            return false;
        m_taken.insert(path);
        return true;
    }

private:
    std::mutex m_mutex;
    QSet<QString> m_taken;
};

// One unit of background work of the design-split and download tools: one
// file operation chosen by the mode string, reported to the owner by one
// queued call of its slot slt_copypicthread(bool, QString, QString, QString,
// QString) with ok, mode, source path, detail and message. The job holds
// copies of everything it needs and never touches the owner otherwise.
class FJDataThread : public QRunnable
{
public:
    // File job: "下载精修片", "下载原始档", "拷贝照片" (with a category),
    // "下载照片交付-拷贝原始档", "下载照片交付-拷贝原片".
    FJDataThread(const QString &mode, const QString &category, const QString &sourcePath, const QString &fileName,
                 const QString &destDir, QObject *owner);
    // Data-URL job: "存储照片".
    FJDataThread(const QString &mode, const QJsonObject &photo, const QString &dataUrl, const QString &destDir,
                 QObject *owner);
    // Product job: "创建产品". destDir is the order folder itself, and so
    // its orderRoot too.
    FJDataThread(const QString &mode, const QJsonObject &order, const QJsonObject &good, const QString &destDir,
                 QObject *owner);
    // Bare job: "生成Html".
    FJDataThread(const QString &mode, QObject *owner);
    ~FJDataThread() override;

    void run() override;

    // For tests: called on the job's thread before each job does its work,
    // with the job's source, to stand for a share that answers slowly. Set
    // while no job runs.
    using RunHook = std::function<void(const QString &sourcePath)>;
    static void setRunHook(RunHook hook);

    // The text of order[key]; empty for a value that is not a JSON string.
    QString orderValue(const QString &key) const;

    // The folder name the naming rule gives for item (the product itself or
    // one of its sub-products), before it is cleaned for the file system.
    QString buildProductName(const QJsonObject &item) const;

    // The picture at path as "data:<mime>;base64,...": the file's own bytes
    // when w or h is below 1, else the picture fitted and centred on a white
    // w x h canvas. Empty when the file is missing or no picture.
    static QString imageToDataUrl(const QString &path, int w, int h);

    // Set by the builder after construction, as the mode needs them.
    // orderRoot: the order folder, ending with a separator. Every write of
    // the job stays inside it and never goes through a link (a job without
    // one writes nothing); the production sheet is made below it.
    QString orderRoot;
    QJsonObject orderDetail;
    QString photoId;
    QJsonArray namingRule;
    // Product jobs of one order run share these; without them every run
    // makes a new numbered folder beside an existing one.
    std::shared_ptr<FJFolderClaims> folderClaims;
    // The batch's hold and stop; a job without one is never held.
    std::shared_ptr<FJRunGate> gate;

private:
    void reportResult(bool ok, const QString &detail, const QString &message);

    void copyToDir();
    void copyFile();
    void copyWithExifRotation();
    void saveDataUrlImage();
    void copyPhotoByCategory();
    void createProductFolders();
    void buildProductionSheet();

    // Whether fileName may name a file in an output folder; reports
    // "<name> 文件名非法" and returns false when it may not.
    bool checkFileName();

    // The order folder in the file system's form, for the confined writes.
    QString orderFolder() const;
    // Makes folder (a service path) inside the order folder; false with
    // *error (the refusal, or why it could not be made) otherwise.
    bool makeFolder(const QString &folder, QString *error = nullptr) const;
    // "<fileName> 拷贝失败", followed by "：" and why when there is a why.
    QString copyFailure(const QString &why) const;
    // Reports a copy that never replaces a file: the same bytes already
    // there are done, with detail; a different file stays and is a failure.
    void reportCopy(FJWrites::Copy result, const QString &detail, const QString &target, const QString &error);

    QObject *owner = nullptr;
    QString mode;
    QString sourcePath;
    QString fileName;
    QString destDir;
    QString category;
    QJsonObject photo;
    QString dataUrl;
    QJsonObject good;
    QJsonObject order;
};
