#pragma once

#include <atomic>

#include <QList>
#include <QMetaType>
#include <QPixmap>
#include <QString>

// What the photo-transfer tool imports: photos get four entries per picked
// file ("all", "90", "190", "1920"), videos one.
enum class UploadType : int {
    Photos = 0,
    TrialVideo = 1,
    RetouchedVideo = 2,
};

// The current upload type. Written by the order table on the GUI thread and
// read by worker threads (thumbnails), hence atomic.
inline std::atomic<int> g_uploadType{static_cast<int>(UploadType::Photos)};

// Upload state of one entry or copy.
enum class PhotoStatus : int {
    Uploaded = 0,
    NotUploaded = 1,
    Failed = 2,
};

// Where an order stands in the photo-transfer tool's import sequence. The
// sequence decides by this value; uploadStatus holds its label for the table.
enum class OrderRunState : int {
    NotSelected = 0,
    Waiting = 1,
    Importing = 2,
    Done = 3,
    Failed = 4,
    NotUploaded = 5,
};

// One picture or video of the photo-transfer tool: a server photo of an order,
// or one entry (one size) of a file picked for import.
struct PhotoInfo
{
    QString id;
    QString spareText;
    int importFlag = static_cast<int>(PhotoStatus::NotUploaded);
    QPixmap thumbnail;
    QString img_name;
    QString ratio;
    QString sizeTag;
    QString url;
    QString targetDir;
    QString localpath;
    int statusOrigin = static_cast<int>(PhotoStatus::NotUploaded);
    int status2 = static_cast<int>(PhotoStatus::NotUploaded);
    int status3 = static_cast<int>(PhotoStatus::NotUploaded);
    int status4 = static_cast<int>(PhotoStatus::NotUploaded);
};

// One order of the photo-transfer tool, as the order list describes it, plus
// the working state of its import.
struct OrderInfo
{
    QString id;
    QString order_photo_id;
    QString orderpayforkey;
    QString servicetimes;
    QString mname;
    QString wname;
    QString shotdate;
    QString shotdate_year;
    QString shotdate_month;
    QString shotdate_day;
    QString imagesize_small;
    QString imagesize_middle;
    QString imagesize_big;
    QString issample;
    QString tiaosename;
    QString storesname;
    QString selectphotoname;
    QString wphone;
    QString mphone;
    QString selectphototime;
    QString role1;
    QString role2;
    QString spareText;
    int selectedCount = 0;
    QString uploadStatus;
    OrderRunState runState = OrderRunState::NotSelected;
    QString netpath;
    int importedCount = 0;
    QString publicImportPath;
    QString publicNetpath;
    QString importPath;
    QString resolvedImportPath;
    QList<PhotoInfo> selectedFiles;
    QList<PhotoInfo> photos;
    QList<PhotoInfo> trialVideos;
    QList<PhotoInfo> retouchedVideos;
    int failedCount = 0;
    bool spareFlag = false;
    int row = -1;
};

// The branch the service requests about an order speak for: the shop id
// sent in a branch switch and the EID and SUPERID of its reply.
struct ReportContext
{
    QString shopId;
    QString eid;
    QString superId;
};

Q_DECLARE_METATYPE(PhotoInfo)
Q_DECLARE_METATYPE(OrderInfo)
