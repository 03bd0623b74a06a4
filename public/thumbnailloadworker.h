#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

// Loads the pictures of a photo grid on a thread of its own: a local file or
// resource as it is, or an image address fetched and scaled to the card.
// Every answer carries the generation of the grid's list it was asked for.
// Made, used and deleted only through ThumbnailLoadThread, so that it and
// every network object it makes live and die on the loader's thread.
class ThumbnailLoadWorker : public QObject
{
    Q_OBJECT

public:
    // side is the edge of the square a fetched picture is scaled into; given
    // on the owner's thread so that the loader reads no display setting.
    explicit ThumbnailLoadWorker(int side, QObject *parent = nullptr);
    // Runs on the loader's thread, as the thread ends.
    ~ThumbnailLoadWorker() override;

signals:
    void photoLoaded(QImage image, QString name, int index, int generation);
    void photoLoadFailed(QString name, int index, int generation);

public slots:
    void loadPhoto(QString url, QString name, QString icon, int index, int generation);
    void cancelAllRequests();

private:
    void onReplyFinished(QNetworkReply *reply, const QString &name, int index, int generation);

    const QSize box;
    // Made on first use, on the loader's thread, so it lives and dies there.
    QNetworkAccessManager *networkManager = nullptr;
    QList<QNetworkReply *> pendingReplies;
};

// The owner's side of a loader, on the owner's thread: starts the loader's
// thread, passes requests and answers through queued connections and, when
// it goes, ends the thread with the loader deleted on it. The owner never
// reaches the loader itself.
class ThumbnailLoadThread : public QObject
{
    Q_OBJECT

public:
    explicit ThumbnailLoadThread(int side, QObject *parent = nullptr);
    // Waits for the loader's thread: requests in flight are aborted there.
    ~ThumbnailLoadThread() override;

signals:
    // To the loader.
    void loadPhoto(QString url, QString name, QString icon, int index, int generation);
    void cancelAllRequests();
    // From the loader.
    void photoLoaded(QImage image, QString name, int index, int generation);
    void photoLoadFailed(QString name, int index, int generation);

private:
    QThread *thread = nullptr;
};
