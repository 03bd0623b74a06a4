#include "base/basereq.h"

#include <exception>
#include <memory>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>

#include "base/buildconfig.h"
#include "base/formfield.h"
#include "base/globals.h"
#include "base/handover.h"

Q_LOGGING_CATEGORY(lcReq, "velquora.request")

namespace {

int s_transferTimeout = 60000;
int s_requestDeadline = 120000;
qint64 s_maxReplyBytes = 32 * 1024 * 1024;
// Replies from this size on are parsed off the GUI thread.
constexpr int kParseElsewhereBytes = 256 * 1024;
int s_downloadDeadline = 30 * 60 * 1000;
constexpr qint64 kMaxDownloadBytes = 1024 * 1024 * 1024;

// Set once a server answered "Expect: 100-continue" with 417: the program
// stops asking for it.
bool s_expectRefused = false;

// The extra CA of the build (the demo service's), on top of the system's.
const QList<QSslCertificate> &extraCaCertificates()
{
    static const QList<QSslCertificate> certs = QSslCertificate::fromData(QByteArray(VQ_EXTRA_CA_PEM), QSsl::Pem);
    return certs;
}

// The system's CAs, read once: reading and decoding the certificate store
// takes 100-200 ms, which the first request would otherwise spend on the
// GUI thread (see preloadTls).
const QList<QSslCertificate> &systemCaCertificates()
{
    static const QList<QSslCertificate> certs = QSslConfiguration::systemCaCertificates();
    return certs;
}

} // namespace

// What arrived of a service reply so far. A reply of megabytes is read a
// piece a turn of the event loop: the network thread hands over what it
// holds as fast as it is read, so reading it all as it comes would copy and
// page in the whole reply without the window getting a turn in between.
class BodyReader : public QObject
{
public:
    explicit BodyReader(QNetworkReply *reply)
        : QObject(reply)
        , m_reply(reply)
    {
        reply->setReadBufferSize(kReadPieceBytes);
        connect(reply, &QNetworkReply::metaDataChanged, this, &BodyReader::reserve);
        connect(reply, &QNetworkReply::readyRead, this, &BodyReader::schedule);
    }

    qint64 size() const { return m_body.size() + m_reply->bytesAvailable(); }
    // Calls then once the finished reply has been read to its end, at once
    // when it has.
    void whenRead(const std::function<void()> &then)
    {
        if (m_reply->bytesAvailable() <= kReadPieceBytes || m_body.size() > s_maxReplyBytes) {
            then();
            return;
        }
        m_then = then;
        schedule();
    }
    // The whole body, once the reply has finished.
    QByteArray take()
    {
        m_body.append(m_reply->readAll());
        return std::move(m_body);
    }

private:
    // What the network stack holds of a reply before it waits for us to
    // read, and what one turn reads of it.
    static constexpr qint64 kReadPieceBytes = 256 * 1024;

    void reserve()
    {
        const qint64 declared = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (declared > 0 && declared <= s_maxReplyBytes && m_body.isEmpty())
            m_body.reserve(int(declared));
    }
    void schedule()
    {
        if (m_scheduled)
            return;
        m_scheduled = true;
        QTimer::singleShot(0, this, &BodyReader::readPiece);
    }
    void readPiece()
    {
        m_scheduled = false;
        // Past the limit the reply is being aborted: nothing more is kept.
        if (m_body.size() > s_maxReplyBytes)
            return;
        m_body.append(m_reply->read(kReadPieceBytes));
        if (m_reply->bytesAvailable() > 0) {
            schedule();
        } else if (m_then) {
            const std::function<void()> then = std::move(m_then);
            m_then = nullptr;
            then();
        }
    }

    QNetworkReply *m_reply;
    QByteArray m_body;
    bool m_scheduled = false;
    std::function<void()> m_then;
};


QSslConfiguration BaseReq::tlsConfiguration()
{
    // The server certificate is verified against the system's CAs (and the
    // build's extra CA): the requests carry the account's password and token.
    QSslConfiguration cfg = QSslConfiguration::defaultConfiguration();
    cfg.setProtocol(QSsl::TlsV1_2OrLater);
    cfg.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!extraCaCertificates().isEmpty())
        cfg.setCaCertificates(systemCaCertificates() + cfg.caCertificates() + extraCaCertificates());
    return cfg;
}

void BaseReq::preloadTls()
{
    if (extraCaCertificates().isEmpty())
        return;
    // A request made meanwhile waits for this read instead of starting its own.
    QThreadPool::globalInstance()->start(QRunnable::create([]() { systemCaCertificates(); }));
}

QNetworkRequest BaseReq::thumbnailRequest(const QString &url)
{
    QNetworkRequest request = makeRequest(url);
    request.setRawHeader("User-Agent", "Mozilla/5.0");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return request;
}

QNetworkReply *BaseReq::getThumbnail(QNetworkAccessManager *manager, const QString &url, qint64 maxBytes)
{
    QNetworkReply *reply = manager->get(thumbnailRequest(url));
    limitReply(reply, s_requestDeadline, maxBytes);
    return reply;
}

void BaseReq::limitReply(QNetworkReply *reply, int deadlineMs, qint64 maxBytes)
{
    if (!reply || reply->isFinished())
        return;
    // The transfer time-out only notices silence: a server that sends a byte
    // now and then, or without end, would hold the request for ever.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [reply, deadlineMs]() {
        if (reply->isFinished())
            return;
        qCWarning(lcReq).noquote() << QStringLiteral("请求超过总时限 %1 秒，已中止:").arg(deadlineMs / 1000.0)
                                   << reply->url().toString(QUrl::RemoveQuery);
        reply->abort();
    });
    connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    deadline->start(deadlineMs);
    if (maxBytes <= 0)
        return;
    // A declared length stops the reply with its headers; an undeclared one
    // as soon as what arrived passes the limit.
    auto stopIfOver = [reply, maxBytes](qint64 bytes) {
        if (bytes <= maxBytes || reply->isFinished())
            return;
        qCWarning(lcReq).noquote() << QStringLiteral("回复超过 %1 字节，已中止:").arg(maxBytes)
                                   << reply->url().toString(QUrl::RemoveQuery);
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, stopIfOver]() {
        stopIfOver(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [stopIfOver](qint64 received, qint64 total) { stopIfOver(qMax(received, total)); });
}

BaseReq::BaseReq(QObject *parent)
    : QObject(parent)
{
    if (!QSslSocket::supportsSsl())
        qCDebug(lcReq) << "需要的SSL版本:" << QSslSocket::sslLibraryVersionString();
    m_request.setSslConfiguration(tlsConfiguration());
    m_request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    m_request.setTransferTimeout(s_transferTimeout);
}

BaseReq::~BaseReq()
{
    for (const QPointer<QNetworkReply> &reply : qAsConst(m_sharedReplies)) {
        if (!reply)
            continue;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
    }
}

void BaseReq::useSharedConnections()
{
    // One manager per program, living on the GUI thread: its connection
    // cache keeps connections (and TLS sessions) alive between requests.
    static QPointer<QNetworkAccessManager> shared;
    QCoreApplication *app = QCoreApplication::instance();
    if (m_manager || !app || thread() != app->thread() || QThread::currentThread() != app->thread())
        return;
    if (!shared)
        shared = new QNetworkAccessManager(app);
    m_manager = shared;
    m_shared = true;
    // On a kept-alive connection the network stack holds the body of a
    // small POST back until the server acknowledges its head, which a server
    // delays by some 40 ms while it waits for the body. A server that is
    // asked to confirm the head ("100 Continue") answers at once.
    if (!s_expectRefused)
        m_request.setRawHeader("Expect", "100-continue");
}

QNetworkAccessManager *BaseReq::manager()
{
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    return m_manager;
}

void BaseReq::track(QNetworkReply *reply)
{
    m_reply = reply;
    if (!m_shared)
        return;
    m_sharedReplies.removeAll(QPointer<QNetworkReply>());
    m_sharedReplies.append(reply);
}

void BaseReq::setTransferTimeout(int ms)
{
    s_transferTimeout = ms;
}

int BaseReq::transferTimeout()
{
    return s_transferTimeout;
}

void BaseReq::setRequestDeadline(int ms)
{
    s_requestDeadline = ms;
}

int BaseReq::requestDeadline()
{
    return s_requestDeadline;
}

void BaseReq::setMaxReplyBytes(qint64 bytes)
{
    s_maxReplyBytes = bytes;
}

qint64 BaseReq::maxReplyBytes()
{
    return s_maxReplyBytes;
}

void BaseReq::setDownloadDeadline(int ms)
{
    s_downloadDeadline = ms;
}

int BaseReq::downloadDeadline()
{
    return s_downloadDeadline;
}

void BaseReq::post(const QString &action, const QByteArray &params, ReplyCallback callback)
{
    m_callback = std::move(callback);

    QByteArray body = params;
    body += QStringLiteral("&token=%1").arg(g_token).toUtf8();
    body += QStringLiteral("&version=%1").arg(g_version).toUtf8();
    body += QStringLiteral("&architecture=%1").arg(g_architecture).toUtf8();
    body += (QStringLiteral("&uid=") + g_userId).toUtf8();
    body += QByteArrayLiteral("&device=windows");

    m_request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    const QString group = action == QLatin1String("&m=Version&a=check_update") ? QStringLiteral("g=publicapi")
                                                                                : g_groupParam;
    sendPost(g_indexUrl + group + action, body);
}

void BaseReq::sendPost(const QString &url, const QByteArray &body)
{
    qCDebug(lcReq) << "url: " << url;
    qCDebug(lcReq).noquote() << "paras: "
                             << QString::fromUtf8(FormField::redacted(
                                    body, {QStringLiteral("password"), QStringLiteral("token")}));
    m_request.setUrl(QUrl(url, QUrl::TolerantMode));
    QNetworkReply *reply = manager()->post(m_request, body);
    limitReply(reply, s_requestDeadline, s_maxReplyBytes);
    track(reply);
    const QPointer<BodyReader> received = new BodyReader(reply);
    // Each reply keeps the callback it was sent with, so a second request on
    // the same object cannot take over the first one's answer.
    const ReplyCallback callback = m_callback;
    connect(reply, &QNetworkReply::finished, this, [this, reply, callback, url, body, received]() {
        if (expectationRefused(reply)) {
            // Sent once more without the expectation, to the same callback.
            reply->deleteLater();
            m_callback = callback;
            sendPost(url, body);
            return;
        }
        finishServiceReply(reply, callback, received);
    });
}

bool BaseReq::expectationRefused(QNetworkReply *reply)
{
    if (reply->request().rawHeader("Expect").isEmpty()
        || reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 417)
        return false;
    qCDebug(lcReq) << "服务器不接受 Expect: 100-continue，不再使用";
    s_expectRefused = true;
    m_request.setRawHeader("Expect", QByteArray());
    return true;
}

void BaseReq::sendGet(const QString &url)
{
    m_request.setUrl(QUrl(url, QUrl::TolerantMode));
    // A GET has no body: the length left in the template by an earlier post
    // would make the server wait for bytes that never come.
    QNetworkRequest request = m_request;
    request.setHeader(QNetworkRequest::ContentLengthHeader, QVariant());
    request.setRawHeader("Expect", QByteArray());
    QNetworkReply *reply = manager()->get(request);
    limitReply(reply, s_requestDeadline, s_maxReplyBytes);
    track(reply);
    const QPointer<BodyReader> received = new BodyReader(reply);
    const ReplyCallback callback = m_callback;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, callback, received]() { finishServiceReply(reply, callback, received); });
}

void BaseReq::finishServiceReply(QNetworkReply *reply, const ReplyCallback &callback, BodyReader *received)
{
    if (!received) {
        handleServiceReply(reply, callback);
        return;
    }
    // The rest of a large reply is read a piece a turn; this object may go
    // meanwhile, and its answer with it.
    received->whenRead([self = QPointer<BaseReq>(this), reply, callback, received = QPointer<BodyReader>(received)]() {
        if (self)
            self->handleServiceReply(reply, callback, received);
    });
}

void BaseReq::serviceRequestFinished(QNetworkReply *reply)
{
    handleServiceReply(reply, m_callback);
}

void BaseReq::handleServiceReply(QNetworkReply *reply, const ReplyCallback &callback, BodyReader *received)
{
    if (!reply)
        return;
    bool ok = false;
    QJsonDocument doc;
    const qint64 size = received ? received->size() : reply->bytesAvailable();
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcReq) << "请求失败:" << reply->errorString();
    } else if (size > s_maxReplyBytes) {
        // A reply that came in whole before its size could stop it.
        qCWarning(lcReq).noquote() << QStringLiteral("回复超过 %1 字节，不予解析:").arg(s_maxReplyBytes)
                                   << reply->url().toString(QUrl::RemoveQuery);
    } else {
        const QByteArray body = received ? received->take() : reply->readAll();
        if (body.size() >= kParseElsewhereBytes) {
            reply->deleteLater();
            if (m_reply == reply)
                m_reply = nullptr;
            parseElsewhere(body, callback);
            return;
        }
        QJsonParseError error;
        doc = QJsonDocument::fromJson(body, &error);
        ok = error.error == QJsonParseError::NoError && doc.isObject();
    }
    reply->deleteLater();
    if (m_reply == reply)
        m_reply = nullptr;
    if (callback)
        callback(ok, doc);
}

void BaseReq::parseElsewhere(const QByteArray &body, const ReplyCallback &callback)
{
    // A search of thousands of orders answers with megabytes of JSON:
    // parsed on the GUI thread, the window would not react meanwhile. The
    // answer goes back through the application object, which outlives this
    // one, and reaches the callback only while this object is still there,
    // as a reply does.
    QPointer<BaseReq> self(this);
    HandOver::start(QThreadPool::globalInstance(), [self, body, callback]() {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
        const bool ok = error.error == QJsonParseError::NoError && doc.isObject();
        HandOver::post(QCoreApplication::instance(), [self, ok, doc, callback]() {
            if (self && callback)
                callback(ok, doc);
        });
    });
}

void BaseReq::abortRequest()
{
    qCDebug(lcReq) << "abort1";
    if (m_reply && m_reply->isRunning()) {
        qCDebug(lcReq) << "abort2";
        qCDebug(lcReq) << (m_reply->isFinished() ? "true" : "false");
        m_reply->abort();
        qCDebug(lcReq) << "abort3";
    }
}

QNetworkRequest BaseReq::makeRequest(const QString &url)
{
    QNetworkRequest request{QUrl(url, QUrl::TolerantMode)};
    request.setSslConfiguration(tlsConfiguration());
    // A server that accepts the connection and then stalls must end in a
    // failed transfer, not one that loads for ever.
    request.setTransferTimeout(s_transferTimeout);
    return request;
}

void BaseReq::downloadImage(const QString &url, ImageCallback callback)
{
    m_imageCallback = std::move(callback);
    requestUrl = url;
    QNetworkReply *reply = manager()->get(makeRequest(url));
    limitReply(reply, s_downloadDeadline, kMaxDownloadBytes);
    track(reply);
    const ImageCallback bound = m_imageCallback;
    m_imageCallback = nullptr;
    connect(reply, &QNetworkReply::finished, this, [this, reply, bound]() { handleImageReply(reply, bound); });
}

void BaseReq::imageDownloadFinished(QNetworkReply *reply)
{
    const ImageCallback callback = m_imageCallback;
    m_imageCallback = nullptr;
    handleImageReply(reply, callback);
}

void BaseReq::handleImageReply(QNetworkReply *reply, const ImageCallback &callback)
{
    if (!reply)
        return;
    bool ok = false;
    QByteArray data;
    QString mime;
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcReq) << "图片下载失败:" << reply->errorString();
        qCDebug(lcReq) << reply->url();
    } else {
        data = reply->readAll();
        if (!data.isEmpty()) {
            mime = detectImageMime(data);
            ok = true;
        }
    }
    reply->deleteLater();
    if (m_reply == reply)
        m_reply = nullptr;
    if (!callback) {
        qCDebug(lcReq) << "警告：imageCallback 为空";
        return;
    }
    try {
        callback(ok, ok ? data : QByteArray(), mime);
    } catch (const std::exception &e) {
        qCWarning(lcReq) << "回调函数执行异常:" << e.what();
    }
}

void BaseReq::downloadImageAsDataUrl(const QString &url, std::function<void(bool, const QString &)> callback)
{
    downloadImage(url, [callback](bool ok, const QByteArray &data, const QString &mime) {
        if (!callback)
            return;
        if (ok && !data.isEmpty())
            callback(true, QStringLiteral("data:%1;base64,%2").arg(mime, QString::fromLatin1(data.toBase64())));
        else
            callback(false, QString());
    });
}

QString BaseReq::detectImageMime(const QByteArray &data)
{
    if (data.isEmpty())
        return QString();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QString format = QString::fromLatin1(reader.format()).toLower();
    if (!format.isEmpty()) {
        if (format == QLatin1String("jpeg") || format == QLatin1String("jpg"))
            return QStringLiteral("image/jpeg");
        if (format == QLatin1String("png"))
            return QStringLiteral("image/png");
        if (format == QLatin1String("gif"))
            return QStringLiteral("image/gif");
        if (format == QLatin1String("webp"))
            return QStringLiteral("image/webp");
        if (format == QLatin1String("bmp"))
            return QStringLiteral("image/bmp");
        return QStringLiteral("image/") + format;
    }
    if (data.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("image/jpeg");
    if (data.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8)))
        return QStringLiteral("image/png");
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return QStringLiteral("image/gif");
    if (data.startsWith("RIFF") && data.contains("WEBP"))
        return QStringLiteral("image/webp");
    if (data.startsWith("BM"))
        return QStringLiteral("image/bmp");
    return QStringLiteral("image/jpeg");
}

void BaseReq::releaseReply(QNetworkReply *reply)
{
    if (reply)
        reply->deleteLater();
    m_reply = nullptr;
}
