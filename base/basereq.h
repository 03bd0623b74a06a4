#pragma once

#include <functional>

#include <QByteArray>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// The one client of the studio's order service: posts a form body with the
// fixed identification tail, parses the JSON reply and hands it to the
// caller's callback on the GUI thread. Also fetches images by address.
class BaseReq : public QObject
{
    Q_OBJECT

public:
    using ReplyCallback = std::function<void(bool, const QJsonDocument &)>;
    using ImageCallback = std::function<void(bool, const QByteArray &, const QString &)>;

    explicit BaseReq(QObject *parent = nullptr);
    ~BaseReq() override;

    // Sends this object's requests over connections the program keeps open
    // and shares between request objects (on the GUI thread), instead of
    // connections of its own that close with it. Call before the first
    // request. A reply still on its way when the object goes is aborted and
    // reaches no callback.
    void useSharedConnections();

    void post(const QString &action, const QByteArray &params, ReplyCallback callback);
    void sendPost(const QString &url, const QByteArray &body);
    void sendGet(const QString &url);
    void abortRequest();

    void downloadImage(const QString &url, ImageCallback callback);
    void downloadImageAsDataUrl(const QString &url, std::function<void(bool, const QString &)> callback);
    static QString detectImageMime(const QByteArray &data);

    void releaseReply(QNetworkReply *reply);

    // Time after which a stalled transfer ends with a failure. 60 s unless a
    // test shortens it.
    static void setTransferTimeout(int ms);
    static int transferTimeout();

    // Overall time a service request (post, sendGet) may take, however
    // steadily its reply trickles in: 120 s unless a test changes it.
    static void setRequestDeadline(int ms);
    static int requestDeadline();
    // Largest JSON reply read: 32 MiB unless a test changes it. A larger
    // reply ends the request with a failure before it is held in memory.
    static void setMaxReplyBytes(qint64 bytes);
    static qint64 maxReplyBytes();
    // Overall time of a downloadImage call: 30 minutes unless a test changes
    // it (whole photos over slow lines); its body may reach 1 GiB.
    static void setDownloadDeadline(int ms);
    static int downloadDeadline();

    // Ends reply with an error (as an abort does) once it has run for
    // deadlineMs in all or once its body is known to pass maxBytes (0: no
    // size limit). Call on the reply's thread right after sending it.
    static void limitReply(QNetworkReply *reply, int deadlineMs, qint64 maxBytes);

    // The TLS settings of every request of the program: the server is
    // verified against the system's CAs and the build's extra CA.
    static QSslConfiguration tlsConfiguration();

    // A thumbnail GET as the picture grids send it: browser user agent, TLS
    // settings, safe redirects and the transfer time-out.
    static QNetworkRequest thumbnailRequest(const QString &url);
    // Sends thumbnailRequest(url) through manager, limited to the request
    // deadline and to maxBytes (the largest picture that is decoded at all).
    static QNetworkReply *getThumbnail(QNetworkAccessManager *manager, const QString &url, qint64 maxBytes);

    // The address of the last downloadImage call.
    QString requestUrl;

public slots:
    void serviceRequestFinished(QNetworkReply *reply);
    void imageDownloadFinished(QNetworkReply *reply);

private:
    void handleServiceReply(QNetworkReply *reply, const ReplyCallback &callback);
    // Parses a large reply on another thread, then calls back on this one.
    void parseElsewhere(const QByteArray &body, const ReplyCallback &callback);
    // Whether the server refused the request's "Expect: 100-continue" (417);
    // the object then stops sending it.
    bool expectationRefused(QNetworkReply *reply);
    void handleImageReply(QNetworkReply *reply, const ImageCallback &callback);
    // An image GET: the program's TLS settings and the transfer time-out.
    static QNetworkRequest makeRequest(const QString &url);
    QNetworkAccessManager *manager();
    void track(QNetworkReply *reply);

    QPointer<QNetworkReply> m_reply;
    QNetworkRequest m_request;
    QNetworkAccessManager *m_manager = nullptr;
    bool m_shared = false;
    // Replies of the shared connections, which outlive this object.
    QList<QPointer<QNetworkReply>> m_sharedReplies;
    ReplyCallback m_callback;
    ImageCallback m_imageCallback;
};
