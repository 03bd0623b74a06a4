#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QWidget>

#include "importfiles/jobs/deletefilerunnable.h"

class ElementButton;
class QJsonDocument;
class QLabel;
class QThreadPool;
class ThumbnailTableView;

// The originals already stored for the order selected in the import window
// (kind 0): each original with its raw files in a thumbnail grid, with
// refresh, select all, deselect all and delete. Deleting asks the service
// first and then removes each photo's local files on the view's own pool.
class OriginalView : public QWidget
{
    Q_OBJECT

public:
    explicit OriginalView(QWidget *parent = nullptr);
    ~OriginalView() override;

    void initUi();
    // The order's values by their service names; "importPath" is the
    // order's folder, the only place its photos are deleted from.
    void setOrder(const QMap<QString, QString> &order);
    void reqPhotoData();
    void deleteSelectedFiles();

    // Read-only views for tests.
    ThumbnailTableView *grid() const { return thumbnailView; }
    QString title() const;
    bool isIdle() const { return idle; }

public slots:
    void onDeleteFinished(const DeleteFileResult &result);

private slots:
    void onRefreshClicked();
    void onSelectAllClicked();
    void onDeselectAllClicked();
    void onDeleteClicked();

private:
    void finishDelete();
    void onPhotoDataReply(bool ok, const QJsonDocument &reply);
    void onDeleteReply(const QList<ThumbnailPhoto> &photos, bool ok, const QJsonDocument &reply);
    QString stamp();

    QLabel *titleLabel = nullptr;
    ElementButton *refreshButton = nullptr;
    ElementButton *selectAllButton = nullptr;
    ElementButton *deselectAllButton = nullptr;
    ElementButton *deleteButton = nullptr;
    ThumbnailTableView *thumbnailView = nullptr;
    QString timestamp;
    QMap<QString, QString> order;
    QThreadPool *pool = nullptr;
    bool idle = true;
    QString deleteMessages;
    int deleteTotal = 0;
    int deleteSuccessCount = 0;
    int deleteFailCount = 0;
    qint64 lastStamp = 0;
};
