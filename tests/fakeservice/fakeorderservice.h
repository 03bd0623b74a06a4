#pragma once

#include <functional>
#include <map>

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QUrlQuery>

#include "tests/fakeservice/fakemodel.h"

class QTcpServer;
class QTcpSocket;

// An in-process stand-in for the studio's order service: a small HTTP/1.1
// server (plain or TLS) on 127.0.0.1 that routes POST /index.php by the query
// values g, m and a to one function per action, answers from a stateful
// in-memory model, records every request for assertions and can be told to
// misbehave per action. It also serves files handed to addFile by GET.
class FakeOrderService : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Http,
        Tls,          // certificate for 127.0.0.1/localhost signed by the test CA
        TlsUntrusted, // self-signed certificate that no CA vouches for
    };

    // How one action misbehaves until clearFaults() or Fault::None.
    enum class Fault {
        None,
        CodeZeroMessage, // {"code":"0","message":text}
        CodeZeroMsg,     // {"code":"0","msg":text}
        NumericCode,     // the normal reply with "code" as the JSON number 1
        Http500,         // status 500 with a JSON body
        InvalidJson,     // a body that does not parse
        TopLevelArray,   // the normal reply wrapped in a JSON array
        Delay,           // the normal reply after delayMs
        NoAnswer,        // the connection stays open, nothing is sent
        CloseConnection, // the connection is closed without a reply
        Trickle,         // headers promise 1 MiB of body, then one byte every delayMs
        Oversized,       // the start of a JSON object whose string never ends, sent as fast as
                         // the client reads it, its length undeclared: only a client that
                         // stops at its own limit ends it before its deadline
    };

    struct Request
    {
        QByteArray method;
        QString path;
        QString g;
        QString m;
        QString a;
        QUrlQuery query;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QList<QPair<QString, QString>> fields;
        QByteArray target; // request target as sent, e.g. "/index.php?g=...&m=...&a=..."
        QString serviceUrl; // baseUrl() of the service that received it, for addresses it hands out
        quint16 peerPort = 0; // the client's port: requests of one kept-alive connection share it

        // Header value by case-insensitive name; empty when absent.
        QByteArray header(const QByteArray &name) const;
        // Decoded form field; the last one wins when a name repeats, as in
        // the service's own form parser.
        QString field(const QString &name) const;
        bool hasField(const QString &name) const;
        // "&m=<m>&a=<a>", the key of the action tables.
        QString action() const;
    };

    using Handler = std::function<QJsonObject(const Request &)>;
    // A built-in action: reads and changes the model, returns the reply.
    using Action = std::function<QJsonObject(FakeModel &model, const Request &request)>;
    // A built-in GET of /index.php that answers with bytes (a picture, a
    // text) instead of JSON: fills body and mime, or returns false for 404.
    using Download = std::function<bool(FakeModel &model, const Request &request, QByteArray *body, QByteArray *mime)>;

    explicit FakeOrderService(QObject *parent = nullptr);
    ~FakeOrderService() override;

    // Listens on 127.0.0.1; port 0 picks a free port.
    bool start(Mode mode = Mode::Http, quint16 port = 0);
    void stop();
    quint16 port() const;
    QString baseUrl() const;  // "http://127.0.0.1:PORT" or "https://127.0.0.1:PORT"
    QString indexUrl() const; // baseUrl() + "/index.php?"

    void loadModel(const QJsonObject &model);
    bool loadModelFile(const QString &path);
    // Adds the lists of a second data file to the model (see FakeModel::merge).
    bool mergeModelFile(const QString &path);
    QJsonObject model() const;
    FakeModel &modelStore() { return m_model; }

    QList<Request> requests() const { return m_requests; }
    QList<Request> requestsFor(const QString &action) const; // action "&m=public&a=dologin"
    void clearRequests() { m_requests.clear(); }

    void setFault(const QString &action, Fault fault, const QString &text = QString(), int delayMs = 0);
    void clearFaults() { m_faults.clear(); }

    // A custom reply for one action, in place of the built-in one.
    void setHandler(const QString &action, Handler handler);
    void clearHandlers() { m_handlers.clear(); }

    // Serves data by GET at the returned absolute URL (call after start()).
    QString addFile(const QString &name, const QByteArray &data, const QString &mime);
    void setGetDelay(int ms) { m_getDelayMs = ms; }
    // Delay for one file of addFile (by the URL addFile returned), on top of
    // setGetDelay: lets a test make one download finish after another.
    void setFileDelay(const QString &url, int ms);

    // When set, a request whose "token" field differs is refused.
    void setExpectedToken(const QString &token) { m_expectedToken = token; }

    // Certificate and key that Mode::Tls serves instead of the test ones.
    void setTlsIdentity(const QSslCertificate &certificate, const QSslKey &key);

    static QSslCertificate testCaCertificate();
    // Adds the test CA to QSslConfiguration::defaultConfiguration.
    static void trustTestCa();

    // Form body decoding as the service does it: a leading or doubled "&" is
    // skipped, "%XX" is decoded, a malformed "%" stays, "+" stays "+".
    static QList<QPair<QString, QString>> decodeForm(const QByteArray &body);
    static QByteArray percentDecode(const QByteArray &text);

    // The built-in actions, keyed by "&m=<m>&a=<a>" (see fakeactions.cpp).
    static QHash<QString, Action> builtinActions();
    // The built-in GET downloads, keyed like the actions.
    static QHash<QString, Download> builtinDownloads();
    // The groups ("g") whose requests reach the built-in actions.
    static QStringList serviceGroups();

signals:
    void requestReceived(const FakeOrderService::Request &request);

private:
    struct Connection;
    struct FaultSetting
    {
        Fault fault = Fault::None;
        QString text;
        int delayMs = 0;
    };
    struct File
    {
        QByteArray data;
        QString mime;
        int delayMs = 0;
    };

    void acceptConnection(qintptr descriptor);
    void readFrom(QTcpSocket *socket);
    void processBuffer(QTcpSocket *socket);
    void dispatch(QTcpSocket *socket, const Request &request, bool closeAfter);
    void serveFile(QTcpSocket *socket, const Request &request, bool closeAfter);
    QJsonObject replyFor(const Request &request);
    void writeReply(QTcpSocket *socket, int status, const QByteArray &contentType, const QByteArray &body,
                    bool closeAfter);
    void finishReply(QTcpSocket *socket, int status, const QByteArray &contentType, const QByteArray &body,
                     bool closeAfter, int delayMs);
    void dropConnection(QTcpSocket *socket);
    void trickle(QTcpSocket *socket, int intervalMs);
    void sendOversized(QTcpSocket *socket);

    QTcpServer *m_server = nullptr;
    Mode m_mode = Mode::Http;
    FakeModel m_model;
    QList<Request> m_requests;
    QHash<QString, FaultSetting> m_faults;
    QHash<QString, Handler> m_handlers;
    QHash<QString, Action> m_actions;
    QHash<QString, Download> m_downloads;
    QHash<QString, File> m_files;
    std::map<QTcpSocket *, Connection *> m_connections;
    int m_getDelayMs = 0;
    int m_fileCounter = 0;
    QString m_expectedToken;
    QSslCertificate m_certificate;
    QSslKey m_key;
};

Q_DECLARE_METATYPE(FakeOrderService::Request)
Q_DECLARE_METATYPE(FakeOrderService::Mode)
Q_DECLARE_METATYPE(FakeOrderService::Fault)
