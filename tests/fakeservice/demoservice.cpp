// The demo order service: the fake service on 127.0.0.1 over TLS with the
// demo certificate and the demo data set, for trying the program by hand.
// It runs until it is killed.

#include <cstdio>

#include <QBuffer>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>

#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/jpegfixture.h"

QString writeBatchDeleteDemoFolders(const FakeModel &model); // demo_batchdelete.cpp

namespace {

void say(const QString &line)
{
    // Line by line and flushed: run.sh sends the output to a log file.
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QByteArray readResource(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A small picture per photo entry, so the program has something to show.
QByteArray makePicture(int seed)
{
    QImage image(320, 240, QImage::Format_RGB32);
    const QColor top = QColor::fromHsv((seed * 47) % 360, 90, 235);
    const QColor bottom = QColor::fromHsv((seed * 47 + 40) % 360, 160, 150);
    for (int y = 0; y < image.height(); ++y) {
        const qreal t = qreal(y) / (image.height() - 1);
        const QColor c = QColor::fromRgbF(top.redF() * (1 - t) + bottom.redF() * t,
                                          top.greenF() * (1 - t) + bottom.greenF() * t,
                                          top.blueF() * (1 - t) + bottom.blueF() * t);
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, c.rgb());
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(110 + (seed * 31) % 100, 120), 60, 60);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

// Serves a picture for every photo entry of the data set that has no address.
void servePictures(FakeOrderService &service)
{
    FakeModel &model = service.modelStore();
    QJsonArray orders = model.list(QStringLiteral("orders"));
    int seed = 0;
    for (int i = 0; i < orders.size(); ++i) {
        QJsonObject order = orders.at(i).toObject();
        for (const char *listKey : {"images", "images_taipian"}) {
            QJsonArray images = order.value(QLatin1String(listKey)).toArray();
            for (int j = 0; j < images.size(); ++j) {
                QJsonObject image = images.at(j).toObject();
                if (!image.value(QStringLiteral("url")).toString().isEmpty())
                    continue;
                const QString name = image.value(QStringLiteral("img_name")).toString().section(QLatin1Char('.'), 0, 0)
                    + QStringLiteral(".jpg");
                image.insert(QStringLiteral("url"), service.addFile(name, makePicture(++seed), QStringLiteral("image/jpeg")));
                images.replace(j, image);
            }
            order.insert(QLatin1String(listKey), images);
        }
        // The shared photo folder of the demo lives on this machine.
        const QString shared = order.value(QStringLiteral("picpathnew")).toObject().value(QStringLiteral("netpath")).toString();
        if (shared.startsWith(QDir::tempPath() + QLatin1Char('/')))
            QDir().mkpath(shared);
        orders.replace(i, order);
    }
    model.setList(QStringLiteral("orders"), orders);
}

// Camera files to pick in the photo-transfer tool: one photo per EXIF
// orientation (each shows the same upright scene once turned) and a trial
// video. Existing files are kept.
QString writeSampleFiles()
{
    const QString folder = QDir::homePath() + QStringLiteral("/velquora_demo/相机样片");
    QDir().mkpath(folder);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QString path = folder + QStringLiteral("/IMG_100") + QString::number(orientation) + QStringLiteral(".jpg");
        if (!QFile::exists(path))
            JpegFixture::writeUprightQuadrants(path, 1500, 1000, orientation);
    }
    const QString video = folder + QStringLiteral("/试拍视频_01.mp4");
    if (!QFile::exists(video)) {
        QFile file(video);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(256 * 1024, '\0'));
    }
    return folder;
}

// Files to pick in the two import tools: camera originals, each JPEG with
// its raw file, and retouched photos, one of them not among the customer's
// selection. Existing files are kept.
QString writeImportSamples()
{
    const QString folder = QDir::homePath() + QStringLiteral("/velquora_demo/导入样片");
    QDir().mkpath(folder + QStringLiteral("/原片"));
    QDir().mkpath(folder + QStringLiteral("/精修片"));
    for (int i = 1; i <= 4; ++i) {
        const QString base = folder + QStringLiteral("/原片/IMG_200") + QString::number(i);
        if (!QFile::exists(base + QStringLiteral(".JPG")))
            JpegFixture::writeUprightQuadrants(base + QStringLiteral(".JPG"), 1500, 1000, i % 2 ? 1 : 6);
        QFile raw(base + QStringLiteral(".CR2"));
        if (!raw.exists() && raw.open(QIODevice::WriteOnly))
            raw.write(QByteArray(2 * 1024 * 1024 + i, char('A' + i)));
    }
    for (const char *name : {"IMG_2001.jpg", "IMG_2002.jpg", "IMG_2005.jpg"}) {
        const QString path = folder + QStringLiteral("/精修片/") + QLatin1String(name);
        if (!QFile::exists(path))
            JpegFixture::writeUprightQuadrants(path, 1200, 800, 1);
    }
    return folder;
}

QString logLine(const FakeOrderService::Request &request)
{
    static const QStringList secrets{QStringLiteral("password"), QStringLiteral("token")};
    QStringList fields;
    for (const auto &field : request.fields)
        fields << field.first + QLatin1Char('=') + (secrets.contains(field.first) ? QStringLiteral("***") : field.second);
    QString line = QString::fromLatin1(request.method) + QLatin1Char(' ') + QString::fromUtf8(request.target);
    if (!fields.isEmpty())
        line += QLatin1Char(' ') + fields.join(QLatin1Char('&'));
    return line;
}

} // namespace

QString writeDesignSplitShares(const FakeModel &model); // demofiles_designsplit.cpp

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    quint16 port = 18443;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        bool ok = false;
        if (args.at(i) == QLatin1String("--port") && i + 1 < args.size()) {
            const uint value = args.at(++i).toUInt(&ok);
            ok = ok && value > 0 && value <= 65535;
            port = quint16(value);
        }
        if (!ok) {
            say(QStringLiteral("用法: velquora_demo_service [--port 端口]"));
            return 2;
        }
    }

    FakeOrderService service;
    const QSslCertificate certificate(readResource(QStringLiteral(":/demo/certs/demo-server.pem")), QSsl::Pem);
    const QSslKey key(readResource(QStringLiteral(":/demo/certs/demo-server.key")), QSsl::Rsa, QSsl::Pem);
    if (certificate.isNull() || key.isNull()) {
        say(QStringLiteral("演示证书无法读取"));
        return 1;
    }
    service.setTlsIdentity(certificate, key);
    if (!service.loadModelFile(QStringLiteral(":/demo/demo-data.json"))) {
        say(QStringLiteral("演示数据无法读取"));
        return 1;
    }
    // Each tool's demo orders and shops, in a data file of its own.
    const QDir extra(QStringLiteral(":/demo/data"));
    for (const QString &name : extra.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        if (!service.mergeModelFile(extra.filePath(name))) {
            say(QStringLiteral("演示数据无法读取: %1").arg(name));
            return 1;
        }
    }
    if (!service.start(FakeOrderService::Mode::Tls, port)) {
        say(QStringLiteral("无法在 127.0.0.1:%1 上监听，端口可能已被占用").arg(port));
        return 1;
    }
    servePictures(service);

    const QJsonObject account = service.modelStore().list(QStringLiteral("accounts")).at(0).toObject();
    say(QStringLiteral("演示订单服务已启动: %1").arg(service.baseUrl()));
    say(QStringLiteral("证书由演示CA签发: tests/fakeservice/certs/demo-ca.pem"));
    say(QStringLiteral("演示账号: %1").arg(account.value(QStringLiteral("username")).toString()));
    say(QStringLiteral("演示密码: %1").arg(account.value(QStringLiteral("password")).toString()));
    say(QStringLiteral("可导入的样片: %1").arg(writeSampleFiles()));
    say(QStringLiteral("分件订单的共享目录: %1").arg(writeDesignSplitShares(service.modelStore())));
    say(QStringLiteral("导入原片/精修片的样片: %1").arg(writeImportSamples()));
    say(QStringLiteral("批量删除的演示目录: %1").arg(writeBatchDeleteDemoFolders(service.modelStore())));

    QObject::connect(&service, &FakeOrderService::requestReceived, &service,
                     [](const FakeOrderService::Request &request) { say(logLine(request)); });
    return app.exec();
}
