#pragma once

#include <QImage>
#include <QList>
#include <QObject>

class QNetworkAccessManager;
class QNetworkReply;

// Loads the pictures of the thumbnail grid on a thread of its own: a local
// file or resource as it is, or an image address fetched and scaled to the
// card. Every answer carries the grid's list generation it was asked for.
class ThumbnailLoadWorker : public QObject
{
    Q_OBJECT

public:
    explicit ThumbnailLoadWorker(QObject *parent = nullptr);
    ~ThumbnailLoadWorker() override;

signals:
    void photoLoaded(QImage image, QString name, int index, int generation);
    void photoLoadFailed(QString name, int index, int generation);

public slots:
    void loadPhoto(QString url, QString name, QString icon, int index, int generation);
    void cancelAllRequests();
    // Ends every request and drops the network objects; called on the
    // loader's thread before that thread stops.
    void shutdown();

private:
    void onReplyFinished(QNetworkReply *reply, const QString &name, int index, int generation);

    // Made on first use, on the loader's thread, so it lives and dies there.
    QNetworkAccessManager *networkManager = nullptr;
    QList<QNetworkReply *> pendingReplies;
};
