// The share folders of the demo's design-split orders: the photos of every
// list in "all" and "90", the raw files in "原始档", as the studio's photo
// transfer leaves them. Existing files are kept.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include "tests/fakeservice/fakemodel.h"
#include "tests/support/jpegfixture.h"

namespace {

const char *const kShareRoot = "/velquora_demo/分件共享/";

void writePhoto(const QString &path, int seed, int orientation)
{
    if (QFile::exists(path))
        return;
    JpegFixture::Options options;
    options.orientation = orientation;
    const QImage upright = JpegFixture::quadrants(1200 + (seed % 5) * 40, 800);
    JpegFixture::write(path, JpegFixture::storedFor(upright, orientation), options);
}

void writeRaw(const QString &path)
{
    QFile file(path);
    if (file.exists() || !file.open(QIODevice::WriteOnly))
        return;
    file.write(QByteArray(64 * 1024, '\x5a'));
}

} // namespace

QString writeDesignSplitShares(const FakeModel &model)
{
    const QString root = QDir::homePath() + QString::fromUtf8(kShareRoot);
    for (const QJsonValue &value : model.list(QStringLiteral("orders"))) {
        const QJsonObject order = value.toObject();
        const QString netpath = order.value(QStringLiteral("netpath")).toString();
        if (!netpath.startsWith(QStringLiteral("~") + QString::fromUtf8(kShareRoot)))
            continue;
        const QString share = QDir::homePath() + netpath.mid(1);
        for (const char *folder : {"/all", "/90", "/原始档"})
            QDir().mkpath(share + QString::fromUtf8(folder));
        // The originals turn by their EXIF orientation in the delivery copy.
        QSet<QString> originals;
        for (const QJsonValue &item : order.value(QStringLiteral("images_yuanpian")).toArray())
            originals.insert(item.toObject().value(QStringLiteral("img_name")).toString());
        int seed = 0;
        for (const char *list : {"images", "images_all", "images_jingxiu", "images_taipian", "images_rudi"}) {
            for (const QJsonValue &item : order.value(QLatin1String(list)).toArray()) {
                const QString name = item.toObject().value(QStringLiteral("img_name")).toString();
                if (name.isEmpty() || name.contains(QLatin1Char('/')))
                    continue;
                writePhoto(share + QStringLiteral("/all/") + name, ++seed, originals.contains(name) ? 6 : 1);
                writePhoto(share + QStringLiteral("/90/") + name, seed, 1);
            }
        }
        for (const char *list : {"images_1_0", "images_1_1"}) {
            for (const QJsonValue &item : order.value(QLatin1String(list)).toArray()) {
                const QString name = item.toObject().value(QStringLiteral("img_name")).toString();
                if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
                    writeRaw(share + QStringLiteral("/原始档/") + name);
            }
        }
        // Each photo's raw companion, for the design split's raw copies.
        for (const QJsonValue &item : order.value(QStringLiteral("images")).toArray()) {
            const QString name = item.toObject().value(QStringLiteral("img_name")).toString();
            if (!name.isEmpty() && !name.contains(QLatin1Char('/')))
                writeRaw(share + QStringLiteral("/原始档/") + name.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".CR2"));
        }
    }
    return root;
}
