#include "tests/fakeservice/fakeorderservice.h"

#include <memory>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcFake, "velquora.fakeservice")

static void registerFakeServiceResources()
{
    Q_INIT_RESOURCE(fakeservice);
}

static void initFakeServiceResources()
{
    // The library is static: without this call the linker drops the
    // compiled-in certificates, since nothing else refers to them.
    static const bool registered = (registerFakeServiceResources(), true);
    Q_UNUSED(registered)
}

namespace {

// Limits that keep a broken client from growing the buffers without end.
constexpr int MaxHeaderBytes = 64 * 1024;
constexpr qint64 MaxBodyBytes = 256 * 1024 * 1024;

class Server : public QTcpServer
{
public:
    explicit Server(std::function<void(qintptr)> onIncoming, QObject *parent)
        : QTcpServer(parent)
        , m_onIncoming(std::move(onIncoming))
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override { m_onIncoming(descriptor); }

private:
    std::function<void(qintptr)> m_onIncoming;
};

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    default: return "Status";
    }
}

QByteArray jsonBytes(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject failure(const QString &key, const QString &text)
{
    return QJsonObject{{QStringLiteral("code"), QStringLiteral("0")}, {key, text}};
}

QSslCertificate certificateFromResource(const QString &path)
{
    initFakeServiceResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QSslCertificate();
    return QSslCertificate(file.readAll(), QSsl::Pem);
}

QSslKey keyFromResource(const QString &path)
{
    initFakeServiceResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QSslKey();
    return QSslKey(file.readAll(), QSsl::Rsa, QSsl::Pem);
}

} // namespace

struct FakeOrderService::Connection
{
    QByteArray buffer;
    bool busy = false;         // a reply is still owed (delay, no answer)
    bool continueSent = false; // "100 Continue" already sent for the head in the buffer
};

// ---------------------------------------------------------------- Request

QByteArray FakeOrderService::Request::header(const QByteArray &name) const
{
    for (const auto &pair : headers) {
        if (pair.first.compare(name, Qt::CaseInsensitive) == 0)
            return pair.second;
    }
    return QByteArray();
}

QString FakeOrderService::Request::field(const QString &name) const
{
    QString value;
    for (const auto &pair : fields) {
        if (pair.first == name)
            value = pair.second;
    }
    return value;
}

bool FakeOrderService::Request::hasField(const QString &name) const
{
    for (const auto &pair : fields) {
        if (pair.first == name)
            return true;
    }
    return false;
}

QString FakeOrderService::Request::action() const
{
    return QStringLiteral("&m=") + m + QStringLiteral("&a=") + a;
}

// ---------------------------------------------------------------- service

FakeOrderService::FakeOrderService(QObject *parent)
    : QObject(parent)
    , m_actions(builtinActions())
    , m_downloads(builtinDownloads())
{
    qRegisterMetaType<FakeOrderService::Request>();
    initFakeServiceResources();
}

FakeOrderService::~FakeOrderService()
{
    stop();
}

bool FakeOrderService::start(Mode mode, quint16 port)
{
    stop();
    m_mode = mode;
    m_server = new Server([this](qintptr descriptor) { acceptConnection(descriptor); }, this);
    if (!m_server->listen(QHostAddress::LocalHost, port)) {
        qCWarning(lcFake) << "假服务无法监听端口" << port << m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    return true;
}

void FakeOrderService::stop()
{
    for (auto &entry : m_connections) {
        QTcpSocket *socket = entry.first;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        delete entry.second;
    }
    m_connections.clear();
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
}

quint16 FakeOrderService::port() const
{
    return m_server ? m_server->serverPort() : 0;
}

QString FakeOrderService::baseUrl() const
{
    const QString scheme = m_mode == Mode::Http ? QStringLiteral("http") : QStringLiteral("https");
    return QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(port());
}

QString FakeOrderService::indexUrl() const
{
    return baseUrl() + QStringLiteral("/index.php?");
}

void FakeOrderService::loadModel(const QJsonObject &model)
{
    m_model.load(model);
}

bool FakeOrderService::mergeModelFile(const QString &path)
{
    QFile file(path);
    QJsonParseError error;
    const QJsonDocument doc = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &error)
                                                             : QJsonDocument();
    if (!doc.isObject()) {
        qCWarning(lcFake) << "无法合并数据文件" << path;
        return false;
    }
    m_model.merge(doc.object());
    return true;
}

bool FakeOrderService::loadModelFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcFake) << "无法读取数据文件" << path;
        return false;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        qCWarning(lcFake) << "数据文件不是JSON对象" << path << error.errorString();
        return false;
    }
    m_model.load(doc.object());
    return true;
}

QJsonObject FakeOrderService::model() const
{
    return m_model.toJson();
}

QList<FakeOrderService::Request> FakeOrderService::requestsFor(const QString &action) const
{
    QList<Request> result;
    for (const Request &request : m_requests) {
        if (!request.a.isEmpty() && request.action() == action)
            result.append(request);
    }
    return result;
}

void FakeOrderService::setFault(const QString &action, Fault fault, const QString &text, int delayMs)
{
    if (fault == Fault::None) {
        m_faults.remove(action);
        return;
    }
    FaultSetting setting;
    setting.fault = fault;
    setting.text = text;
    setting.delayMs = delayMs;
    m_faults.insert(action, setting);
}

void FakeOrderService::setHandler(const QString &action, Handler handler)
{
    if (handler)
        m_handlers.insert(action, std::move(handler));
    else
        m_handlers.remove(action);
}

QString FakeOrderService::addFile(const QString &name, const QByteArray &data, const QString &mime)
{
    const QString path = QStringLiteral("/files/%1/%2").arg(++m_fileCounter).arg(name);
    m_files.insert(path, File{data, mime, 0});
    return baseUrl() + QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
}

void FakeOrderService::setFileDelay(const QString &url, int ms)
{
    const QString path = QUrl(url).path(QUrl::FullyDecoded);
    auto it = m_files.find(path);
    if (it != m_files.end())
        it->delayMs = ms;
}

void FakeOrderService::setTlsIdentity(const QSslCertificate &certificate, const QSslKey &key)
{
    m_certificate = certificate;
    m_key = key;
}

QSslCertificate FakeOrderService::testCaCertificate()
{
    return certificateFromResource(QStringLiteral(":/fakeservice/certs/test-ca.pem"));
}

void FakeOrderService::trustTestCa()
{
    const QSslCertificate ca = testCaCertificate();
    QSslConfiguration cfg = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> cas = cfg.caCertificates();
    if (cas.contains(ca))
        return;
    cas.append(ca);
    cfg.setCaCertificates(cas);
    QSslConfiguration::setDefaultConfiguration(cfg);
}

QByteArray FakeOrderService::percentDecode(const QByteArray &text)
{
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    QByteArray out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '%' && i + 2 < text.size()) {
            const int high = hexValue(text.at(i + 1));
            const int low = hexValue(text.at(i + 2));
            if (high >= 0 && low >= 0) {
                out.append(char(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.append(c);
    }
    return out;
}

QList<QPair<QString, QString>> FakeOrderService::decodeForm(const QByteArray &body)
{
    QList<QPair<QString, QString>> fields;
    for (const QByteArray &part : body.split('&')) {
        if (part.isEmpty())
            continue;
        const int eq = part.indexOf('=');
        const QByteArray name = eq < 0 ? part : part.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : part.mid(eq + 1);
        fields.append(qMakePair(QString::fromUtf8(percentDecode(name)), QString::fromUtf8(percentDecode(value))));
    }
    return fields;
}

QStringList FakeOrderService::serviceGroups()
{
    return {QStringLiteral("QuorplexDPc"), QStringLiteral("publicapi")};
}

// ---------------------------------------------------------------- HTTP

void FakeOrderService::acceptConnection(qintptr descriptor)
{
    QTcpSocket *socket = nullptr;
    if (m_mode == Mode::Http) {
        socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
    } else {
        auto *ssl = new QSslSocket(this);
        if (!ssl->setSocketDescriptor(descriptor)) {
            delete ssl;
            return;
        }
        QSslCertificate certificate;
        QSslKey key;
        if (m_mode == Mode::Tls && !m_certificate.isNull()) {
            certificate = m_certificate;
            key = m_key;
        } else if (m_mode == Mode::Tls) {
            certificate = certificateFromResource(QStringLiteral(":/fakeservice/certs/server.pem"));
            key = keyFromResource(QStringLiteral(":/fakeservice/certs/server.key"));
        } else {
            certificate = certificateFromResource(QStringLiteral(":/fakeservice/certs/untrusted.pem"));
            key = keyFromResource(QStringLiteral(":/fakeservice/certs/untrusted.key"));
        }
        QSslConfiguration cfg = ssl->sslConfiguration();
        cfg.setLocalCertificate(certificate);
        cfg.setPrivateKey(key);
        cfg.setProtocol(QSsl::TlsV1_2OrLater);
        cfg.setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->setSslConfiguration(cfg);
        connect(ssl, &QAbstractSocket::errorOccurred, this,
                [ssl](QAbstractSocket::SocketError error) {
                    // A client that hangs up is the normal end of a connection.
                    if (error != QAbstractSocket::RemoteHostClosedError)
                        qCDebug(lcFake) << "连接错误:" << ssl->errorString();
                });
        ssl->startServerEncryption();
        socket = ssl;
    }
    m_connections.emplace(socket, new Connection);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { readFrom(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket]() { dropConnection(socket); });
}

void FakeOrderService::dropConnection(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    delete it->second;
    m_connections.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
}

void FakeOrderService::readFrom(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    it->second->buffer += socket->readAll();
    processBuffer(socket);
}

void FakeOrderService::processBuffer(QTcpSocket *socket)
{
    // Requests on one connection are answered in order: while one reply is
    // owed (a delay, no answer) the next request waits in the buffer.
    while (true) {
        auto it = m_connections.find(socket);
        if (it == m_connections.end())
            return;
        Connection *conn = it->second;
        if (conn->busy)
            return;
        QByteArray &buffer = conn->buffer;
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0) {
            if (buffer.size() > MaxHeaderBytes)
                writeReply(socket, 431, "text/plain", "header too large", true);
            return;
        }
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/1.")) {
            writeReply(socket, 400, "text/plain", "bad request line", true);
            return;
        }
        Request request;
        request.method = requestLine.at(0);
        request.target = requestLine.at(1);
        request.peerPort = socket->peerPort();
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            const int colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            request.headers.append(qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
        }
        if (!request.header("Transfer-Encoding").isEmpty()) {
            // Our clients always send a length; a chunked body is not expected.
            writeReply(socket, 501, "text/plain", "chunked bodies are not supported", true);
            return;
        }
        qint64 length = 0;
        const QByteArray lengthText = request.header("Content-Length");
        if (!lengthText.isEmpty()) {
            bool ok = false;
            length = lengthText.toLongLong(&ok);
            if (!ok || length < 0) {
                writeReply(socket, 400, "text/plain", "bad Content-Length", true);
                return;
            }
            if (length > MaxBodyBytes) {
                writeReply(socket, 413, "text/plain", "body too large", true);
                return;
            }
        }
        const qint64 total = headEnd + 4 + length;
        if (buffer.size() < total) {
            if (!conn->continueSent && request.header("Expect").toLower() == "100-continue") {
                conn->continueSent = true;
                socket->write("HTTP/1.1 100 Continue\r\n\r\n");
            }
            return;
        }
        request.body = buffer.mid(headEnd + 4, int(length));
        buffer.remove(0, int(total));
        conn->continueSent = false;

        const QByteArray connectionHeader = request.header("Connection").toLower();
        const bool http10 = requestLine.at(2) == "HTTP/1.0";
        const bool closeAfter = connectionHeader == "close" || (http10 && connectionHeader != "keep-alive");

        const QUrl url(QString::fromLatin1(request.target), QUrl::TolerantMode);
        request.path = url.path(QUrl::FullyDecoded);
        request.query = QUrlQuery(url);
        request.g = request.query.queryItemValue(QStringLiteral("g"), QUrl::FullyDecoded);
        request.m = request.query.queryItemValue(QStringLiteral("m"), QUrl::FullyDecoded);
        request.a = request.query.queryItemValue(QStringLiteral("a"), QUrl::FullyDecoded);
        request.fields = decodeForm(request.body);
        request.serviceUrl = baseUrl();

        m_requests.append(request);
        emit requestReceived(request);
        // A slot of requestReceived may have stopped the service.
        if (m_connections.find(socket) == m_connections.end())
            return;
        dispatch(socket, request, closeAfter);
        if (closeAfter)
            return;
    }
}

void FakeOrderService::dispatch(QTcpSocket *socket, const Request &request, bool closeAfter)
{
    if (request.path != QLatin1String("/index.php")) {
        serveFile(socket, request, closeAfter);
        return;
    }
    if (request.method != "POST" && request.method != "GET") {
        writeReply(socket, 405, "text/plain", "method not allowed", true);
        return;
    }
    const QByteArray json = "application/json; charset=utf-8";
    const FaultSetting fault = m_faults.value(request.action());
    const auto download = m_downloads.constFind(request.action());
    if (request.method == "GET" && download != m_downloads.constEnd() && serviceGroups().contains(request.g)
        && (fault.fault == Fault::None || fault.fault == Fault::Delay)) {
        QByteArray body;
        QByteArray mime;
        if (download.value()(m_model, request, &body, &mime))
            finishReply(socket, 200, mime, body, closeAfter, m_getDelayMs + fault.delayMs);
        else
            finishReply(socket, 404, "text/plain", "not found", closeAfter, m_getDelayMs + fault.delayMs);
        return;
    }
    switch (fault.fault) {
    case Fault::None:
        finishReply(socket, 200, json, jsonBytes(replyFor(request)), closeAfter, 0);
        return;
    case Fault::CodeZeroMessage:
        finishReply(socket, 200, json, jsonBytes(failure(QStringLiteral("message"), fault.text)), closeAfter,
                    fault.delayMs);
        return;
    case Fault::CodeZeroMsg:
        finishReply(socket, 200, json, jsonBytes(failure(QStringLiteral("msg"), fault.text)), closeAfter,
                    fault.delayMs);
        return;
    case Fault::NumericCode: {
        QJsonObject reply = replyFor(request);
        reply.insert(QStringLiteral("code"), 1);
        finishReply(socket, 200, json, jsonBytes(reply), closeAfter, fault.delayMs);
        return;
    }
    case Fault::Http500: {
        const QString text = fault.text.isEmpty() ? QStringLiteral("服务器内部错误") : fault.text;
        finishReply(socket, 500, json, jsonBytes(failure(QStringLiteral("message"), text)), closeAfter,
                    fault.delayMs);
        return;
    }
    case Fault::InvalidJson: {
        const QByteArray body = fault.text.isEmpty() ? QByteArray("{\"code\":\"1\",\"message\":") : fault.text.toUtf8();
        finishReply(socket, 200, json, body, closeAfter, fault.delayMs);
        return;
    }
    case Fault::TopLevelArray: {
        const QJsonArray array{replyFor(request)};
        finishReply(socket, 200, json, QJsonDocument(array).toJson(QJsonDocument::Compact), closeAfter,
                    fault.delayMs);
        return;
    }
    case Fault::Delay:
        finishReply(socket, 200, json, jsonBytes(replyFor(request)), closeAfter, fault.delayMs);
        return;
    case Fault::NoAnswer:
        m_connections[socket]->busy = true;
        return;
    case Fault::CloseConnection:
        m_connections[socket]->busy = true; // nothing more is read on this connection
        socket->disconnectFromHost();
        return;
    case Fault::Trickle:
        trickle(socket, qMax(fault.delayMs, 1));
        return;
    case Fault::Oversized:
        sendOversized(socket);
        return;
    }
}

void FakeOrderService::trickle(QTcpSocket *socket, int intervalMs)
{
    m_connections[socket]->busy = true; // the reply never ends
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\n"
                  "Content-Length: 1048576\r\n\r\n{");
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [socket]() { socket->write(" "); });
    timer->start(intervalMs);
}

void FakeOrderService::sendOversized(QTcpSocket *socket)
{
    m_connections[socket]->busy = true; // the reply never ends
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\n"
                  "Connection: close\r\n\r\n{\"code\":\"1\",\"data\":\"");
    constexpr int chunk = 1024 * 1024;
    auto refill = [socket]() {
        // Keep at most two chunks queued: the body is never held whole.
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 2 * chunk)
            socket->write(QByteArray(chunk, 'x'));
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

QJsonObject FakeOrderService::replyFor(const Request &request)
{
    const QString action = request.action();
    const auto handler = m_handlers.constFind(action);
    if (handler != m_handlers.constEnd())
        return handler.value()(request);
    if (!m_expectedToken.isEmpty() && request.field(QStringLiteral("token")) != m_expectedToken)
        return failure(QStringLiteral("message"), QStringLiteral("token无效"));
    const auto builtin = m_actions.constFind(action);
    if (builtin == m_actions.constEnd() || !serviceGroups().contains(request.g))
        return failure(QStringLiteral("message"), QStringLiteral("未知的接口"));
    return builtin.value()(m_model, request);
}

void FakeOrderService::serveFile(QTcpSocket *socket, const Request &request, bool closeAfter)
{
    const auto file = m_files.constFind(request.path);
    if (request.method != "GET" || file == m_files.constEnd()) {
        finishReply(socket, 404, "text/plain", "not found", closeAfter, 0);
        return;
    }
    finishReply(socket, 200, file->mime.toUtf8(), file->data, closeAfter, m_getDelayMs + file->delayMs);
}

void FakeOrderService::finishReply(QTcpSocket *socket, int status, const QByteArray &contentType,
                                   const QByteArray &body, bool closeAfter, int delayMs)
{
    if (delayMs <= 0) {
        writeReply(socket, status, contentType, body, closeAfter);
        return;
    }
    m_connections[socket]->busy = true;
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(delayMs, this, [this, guard, status, contentType, body, closeAfter]() {
        if (!guard)
            return;
        auto it = m_connections.find(guard.data());
        if (it == m_connections.end())
            return;
        it->second->busy = false;
        writeReply(guard.data(), status, contentType, body, closeAfter);
        if (!closeAfter)
            processBuffer(guard.data());
    });
}

void FakeOrderService::writeReply(QTcpSocket *socket, int status, const QByteArray &contentType,
                                  const QByteArray &body, bool closeAfter)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += closeAfter ? "Connection: close\r\n" : "Connection: keep-alive\r\n";
    head += "\r\n";
    socket->write(head + body);
    if (closeAfter) {
        auto it = m_connections.find(socket);
        if (it != m_connections.end())
            it->second->busy = true; // nothing more is read on this connection
        socket->disconnectFromHost();
    }
}
