// The worst case of the photo-transfer engine, for the build that ships as
// well as the sanitized one: photos of near-full-range noise (the largest
// JPEGs a picture makes, which outgrow every first guess of an output size)
// at odd sizes and at sizes that turn losslessly, in every sampling and
// orientation, imported again and again through one manager with its pool
// full, stopped and restarted in between. Every copy is checked against the
// source as a viewer shows it. VQ_STRESS_ROUNDS sets how many imports.

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/jpegfixture.h"
#include "tests/support/transferorders.h"
#include "transferphotos/jobs/tfimportthreadmanager.h"

namespace {

struct Photo
{
    QString path;
    QSize upright;
    // What a viewer shows of the source, made small.
    QImage reference;
};

QImage readAsViewer(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestEngineStress : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QList<Photo> photos;
    QList<PhotoInfo> entries;

    // Every copy of every photo in folder: whole, upright, of its size, and
    // showing what a viewer shows of the source.
    QString checkFolder(const QString &folder) const
    {
        for (const Photo &photo : photos) {
            const QString name = QFileInfo(photo.path).fileName();
            for (const char *tag : {"all", "1920", "190", "90"}) {
                const QString path = folder + QLatin1Char('/') + QLatin1String(tag) + QLatin1Char('/') + name;
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly))
                    return QStringLiteral("missing: ") + path;
                const QByteArray bytes = file.readAll();
                QString why;
                if (!JpegFixture::decodesCleanly(bytes, &why))
                    return QStringLiteral("damaged: %1 (%2)").arg(path, why);
                const int orientation = JpegFixture::readExif(bytes).orientation;
                if (orientation > 1)
                    return QStringLiteral("orientation %1 left in %2").arg(orientation).arg(path);
                QImageReader reader(path);
                reader.setAutoTransform(false);
                const QImage copy = reader.read();
                const QSize size = copy.size();
                // The copy keeps the upright picture's shape, to a pixel.
                if (qAbs(qint64(size.width()) * photo.upright.height() - qint64(size.height()) * photo.upright.width())
                    > qMax(photo.upright.width(), photo.upright.height()))
                    return QStringLiteral("shape %1x%2 of %3").arg(size.width()).arg(size.height()).arg(path);
                if (qstrcmp(tag, "all") == 0) {
                    if (size != photo.upright)
                        return QStringLiteral("size %1x%2 of %3").arg(size.width()).arg(size.height()).arg(path);
                } else {
                    // Scaled into the target size (its sides rounded down
                    // twice), or kept whole within a few pixels of it.
                    const int target = QByteArray(tag).toInt();
                    const int longSide = qMax(size.width(), size.height());
                    const bool keptOwn = size == photo.upright && qAbs(longSide - target) <= 9;
                    if ((longSide > target || longSide < target - 3) && !keptOwn)
                        return QStringLiteral("size %1x%2 of %3").arg(size.width()).arg(size.height()).arg(path);
                }
                const QString difference = JpegFixture::cellDifference(photo.reference, copy, 32, 40);
                if (!difference.isEmpty())
                    return path + QStringLiteral(": ") + difference;
            }
        }
        return QString();
    }

    static int rounds()
    {
        const int asked = qEnvironmentVariableIntValue("VQ_STRESS_ROUNDS");
        return asked > 0 ? asked : 3;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QLoggingCategory::setFilterRules(QStringLiteral("velquora.*.debug=false"));
        const QString sources = dir.filePath(QStringLiteral("sources"));
        QVERIFY(QDir().mkpath(sources));
        // Odd sizes (no lossless turn: decoded, turned and encoded again),
        // sizes of whole blocks (turned losslessly), and a few large ones.
        const QList<QSize> sizes = {QSize(1999, 1333), QSize(1024, 768), QSize(1501, 997),  QSize(2401, 1601),
                                    QSize(833, 1249),  QSize(1920, 1280), QSize(1277, 1919), QSize(3001, 2003)};
        const QList<int> samplings = {420, 422, 444, 400};
        int index = 0;
        for (int sampling : samplings) {
            for (int orientation = 1; orientation <= 8; ++orientation, ++index) {
                Photo photo;
                photo.upright = sizes.at((index * 3 + sampling / 100) % sizes.size());
                photo.path = QDir(sources).filePath(QStringLiteral("N%1_%2_o%3.jpg")
                                                        .arg(index, 2, 10, QLatin1Char('0'))
                                                        .arg(sampling)
                                                        .arg(orientation));
                JpegFixture::Options options;
                options.orientation = orientation;
                options.sampling = sampling;
                options.quality = 92;
                const QImage upright =
                    JpegFixture::noisyQuadrants(photo.upright.width(), photo.upright.height(), quint32(index));
                QVERIFY(JpegFixture::write(photo.path, JpegFixture::storedFor(upright, orientation), options));
                const QImage viewer = readAsViewer(photo.path);
                QCOMPARE(viewer.size(), photo.upright);
                photo.reference = viewer.scaled(256, 256, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                photos.append(photo);
                entries += TransferOrders::photoEntries(photo.path);
            }
        }
    }

    void importsAgainAndAgain()
    {
        tfimportthreadmanager manager;
        manager.setWorkerCount(2);
        QSignalSpy imported(&manager, &tfimportthreadmanager::photoImported);
        QSignalSpy completed(&manager, &tfimportthreadmanager::orderImportCompleted);
        const QString folders[2] = {dir.filePath(QStringLiteral("A")), dir.filePath(QStringLiteral("B"))};
        for (int round = 0; round < rounds(); ++round) {
            // Into both folders in turn: from the third round on over the
            // copies of an earlier one.
            const QString folder = folders[round % 2];
            QList<PhotoInfo> order = entries;
            imported.clear();
            completed.clear();
            if (round == 1) {
                // Stopped with the pool full, then started again with what
                // was reported marked done, as the window restarts it.
                manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("STRESS"), folder, order)});
                QTRY_VERIFY_WITH_TIMEOUT(imported.count() >= 10, 120000);
                manager.stopAll();
                QVERIFY(!imported.wait(300));
                for (const QList<QVariant> &args : qAsConst(imported)) {
                    if (args.at(3).toBool())
                        order[args.at(2).toInt()].importFlag = static_cast<int>(PhotoStatus::Uploaded);
                }
                imported.clear();
            }
            manager.addBatchTasks({TransferOrders::importOrder(QStringLiteral("STRESS"), folder, order)});
            QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 1, 600000);
            for (const QList<QVariant> &args : qAsConst(imported))
                QVERIFY2(args.at(3).toBool(), qPrintable(args.at(1).toString() + QLatin1Char(' ') + args.at(4).toString()));
            const QString problem = checkFolder(folder);
            QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round + 1).arg(problem)));
        }
    }
};

QTEST_MAIN(TestEngineStress)
#include "tst_enginestress.moc"
