// Every design-split job that writes, on the table of hostile trees: a link
// where its file goes, a dangling one, a linked folder of the order's, an
// order folder that is itself a link, a name with a backslash, a pipe, socket
// or device where its file goes, its folder flipping between itself and a
// link while the job runs again and again, and a nearly full volume. Nothing
// outside the order folder changes, nothing special is opened, and no
// success is reported for what was not written.

#include <QBuffer>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/jobs/fjdownloadsave.h"
#include "base/fileops.h"
#include "base/heldfolder.h"
#include "tests/support/hostiletree.h"
#include "tests/support/jobreceiver.h"
#include "tests/support/jpegfixture.h"
#include "tests/support/tinyvolume.h"
#include "tests/support/treefixture.h"

namespace {

// The hostile tree of the current row, planted where a job writes the file
// order/<folder>/<name>.
struct Planted
{
    Planted(const QString &folder, const QString &fileName);

    QTemporaryDir dir;
    HostileTree tree;
    HostileTree::Case kind = HostileTree::LinkAsTarget;
    std::unique_ptr<TinyVolume> volume; // FullVolume: the order lies on it
    QString skip;   // why this row cannot be planted here (for QSKIP)
    QString order;  // ending with a separator, as the jobs take it
    QString folder; // order + the job's folder, ending with a separator
    QString name;   // the name the job is given
    QString target; // where the job would write
    QString inside; // a file of the order's that a backslash would name

    // A file of the share the job reads, written with data. On a full
    // volume the data is made larger than the room left (a JPEG stays one:
    // what follows its end is not read).
    QString source(const QString &relative, QByteArray data) const
    {
        if (kind == HostileTree::FullVolume)
            data += noiseBytes(64 * 1024);
        const QString path = dir.filePath(QStringLiteral("share/") + relative);
        TreeFixture::write(path, data);
        return path;
    }
    // FullVolume: the volume is filled once the tree is set up.
    void fill() const
    {
        if (volume)
            QVERIFY(volume->fill(6 * 1024));
    }
    // FullVolume, for a job that never replaces a file: no older file.
    void dropOlder() const
    {
        if (kind == HostileTree::FullVolume)
            QFile::remove(QDir::cleanPath(target));
    }

    static QByteArray noiseBytes(int bytes)
    {
        QByteArray data(bytes, Qt::Uninitialized);
        quint32 seed = 7;
        for (char &c : data) {
            seed = seed * 1103515245u + 12345u;
            c = char(seed >> 24);
        }
        return data;
    }
};

const QByteArray kOlder = "the older file";

// A row this system cannot plant (no device without root, no small volume)
// is skipped.
#define SKIP_IF_UNPLANTED(p)                                                                                        \
    if (!(p).skip.isEmpty())                                                                                         \
    QSKIP(qPrintable((p).skip))

Planted::Planted(const QString &jobFolder, const QString &fileName)
    : tree(dir.path())
{
    QFETCH(int, hostile);
    kind = HostileTree::Case(hostile);
    order = dir.path() + QStringLiteral("/订单/");
    if (kind == HostileTree::FullVolume) {
        volume = std::make_unique<TinyVolume>(512 * 1024);
        if (!volume->isValid())
            skip = QString::fromLatin1(TinyVolume::unavailableReason());
        order = volume->filePath(QStringLiteral("订单/"));
    }
    folder = order + jobFolder + QLatin1Char('/');
    name = fileName;
    QDir().mkpath(folder);
    switch (kind) {
    case HostileTree::LinkAsTarget:
        tree.linkToVictim(folder + name);
        break;
    case HostileTree::DanglingLink:
        tree.linkToVictim(folder + name, true);
        break;
    case HostileTree::LinkedSubFolder:
        QDir().rmdir(folder);
        tree.linkToOutside(QDir::cleanPath(folder));
        break;
    case HostileTree::OrderFolderIsLink:
        // The outside folder holds "原片/IMG_0001.jpg" and "all/...": what an
        // order folder holds, so a write through the link replaces it.
        QDir(order).removeRecursively();
        tree.linkToOutside(QDir::cleanPath(order));
        break;
    case HostileTree::BackslashName:
        name = QStringLiteral("deep\\deeper\\") + fileName;
        inside = folder + QStringLiteral("deep/deeper/") + fileName;
        TreeFixture::write(inside, "unlisted");
        break;
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget:
        if (!HostileTree::plantSpecial(kind, QDir::cleanPath(folder + name), &skip) && skip.isEmpty())
            skip = QStringLiteral("no special file here");
        break;
    case HostileTree::FlippingFolder:
        // Flipped by run() while the job runs.
        break;
    case HostileTree::FullVolume:
        if (!skip.isEmpty())
            break;
        TreeFixture::write(QDir::cleanPath(folder + name), kOlder);
        break;
    }
    target = folder + name;
}

// A camera JPEG that has to be turned, and one that is upright; a large
// one of noise where a small one would fit in what a full volume has left.
QByteArray cameraJpeg(int orientation, bool large = false)
{
    JpegFixture::Options options;
    options.orientation = orientation;
    options.cameraMake = QStringLiteral("Canon");
    options.dateTaken = QStringLiteral("2024:05:01 10:00:00");
    const QImage picture = large ? JpegFixture::noise(320, 240) : JpegFixture::quadrants(64, 48);
    return JpegFixture::encode(JpegFixture::storedFor(picture, orientation), options);
}

QJsonObject order()
{
    return QJsonObject{{"orderpayforkey", "NO1"}, {"servicetimes", "2"},   {"mname", "张"},
                       {"wname", "李"},         {"pickuptime", "05-01"}, {"isurgenttime", "05-03"}};
}

QJsonObject good(const QString &picture)
{
    return QJsonObject{{"id", "12"},
                       {"goodname", "相册"},
                       {"goodtypename", "相册类"},
                       {"goodamount", "2"},
                       {"goodtypeid", "33"},
                       {"factoryname", "厂A"},
                       {"isurgent", ""},
                       {"isems", "快递"},
                       {"imgs", QJsonArray{QJsonObject{{"img_name", picture}}}}};
}

const QString kProduction = QStringLiteral("厂A 张-李 05-01取 快递");
const QString kProduct = QStringLiteral("12#相册 相册类 2 NO1 张-李 05-01取 快递");

} // namespace

class TestFJHostileTrees : public QObject
{
    Q_OBJECT

private slots:
    void deliveryCopy_data() { HostileTree::addCases(); }
    void deliveryCopy();
    void rawDelivery_data() { HostileTree::addCases(); }
    void rawDelivery();
    void rawDownload_data() { HostileTree::addCases(); }
    void rawDownload();
    void categoryCopy_data() { HostileTree::addCases(); }
    void categoryCopy();
    void downloadSave_data() { HostileTree::addCases(); }
    void downloadSave();
    void productFolders_data() { HostileTree::addCases(); }
    void productFolders();
    void productionSheet_data() { HostileTree::addCases(); }
    void productionSheet();

private:
    // A file job as the order's planner makes it, run to its report.
    JobReport runFileJob(const Planted &p, const QString &mode, const QString &source, const QString &dest);
    // What every case asserts once the job ran: refused with a message that
    // says why, the outside folder as it was, a planted link still a link,
    // and the file a backslash would name untouched.
    void verifyRefused(const Planted &p, bool ok, const QString &message);
    // Runs the job (job() returns its outcome) as the row asks and checks
    // what the row asks. flipped is the folder a FlippingFolder row flips,
    // the job's own folder by default.
    struct Outcome
    {
        bool ok = false;
        QString message;
    };
    void run(const Planted &p, const std::function<Outcome()> &job, const QString &flipped = QString());
    JobReceiver m_receiver;
};

JobReport TestFJHostileTrees::runFileJob(const Planted &p, const QString &mode, const QString &source,
                                         const QString &dest)
{
    auto *job = new FJDataThread(mode, QString(), source, p.name, dest, &m_receiver);
    job->orderRoot = p.order;
    job->photoId = QStringLiteral("p1");
    return m_receiver.runOne(job);
}

void TestFJHostileTrees::verifyRefused(const Planted &p, bool ok, const QString &message)
{
    QVERIFY2(!ok, qPrintable(message));
    if (p.kind == HostileTree::BackslashName) {
        QVERIFY2(message.contains(QStringLiteral("文件名非法")), qPrintable(message));
        QCOMPARE(TreeFixture::read(p.inside), QByteArray("unlisted"));
    } else {
        QVERIFY2(message.contains(QStringLiteral("拒绝写入")), qPrintable(message));
    }
    if (p.kind == HostileTree::LinkAsTarget || p.kind == HostileTree::DanglingLink)
        QVERIFY(QFileInfo(QDir::cleanPath(p.target)).isSymLink());
    QString what;
    QVERIFY2(p.tree.untouched(&what), qPrintable(what));
}

void TestFJHostileTrees::run(const Planted &p, const std::function<Outcome()> &job, const QString &flipped)
{
    if (!p.skip.isEmpty())
        QSKIP(qPrintable(p.skip));
    QString what;
    switch (p.kind) {
    case HostileTree::FifoAsTarget:
    case HostileTree::SocketAsTarget:
    case HostileTree::DeviceAsTarget: {
        // A conflict, never opened: a pipe opened for writing would block.
        const Outcome r = job();
        QVERIFY2(!r.ok, qPrintable(r.message));
        QVERIFY2(r.message.contains(QStringLiteral("不是普通文件")) || r.message.contains(QStringLiteral("已存在")),
                 qPrintable(r.message));
        QVERIFY(HostileTree::isSpecialAt(QDir::cleanPath(p.target)));
        QVERIFY2(p.tree.untouched(&what), qPrintable(what));
        return;
    }
    case HostileTree::FlippingFolder: {
        const QString folder = QDir::cleanPath(flipped.isEmpty() ? p.folder : flipped);
        int runs = 0;
        int ok = 0;
        // Held before the flips begin, it stays the real folder: what a run
        // wrote is taken away there and never through the link.
        const HeldFolder real = HeldFolder::open(folder);
        QVERIFY(real.isValid());
        {
            FolderFlipper flipper(folder, p.tree.outside());
            QElapsedTimer timer;
            timer.start();
            while ((timer.elapsed() < 1000 || flipper.flips() < 20) && timer.elapsed() < 10000) {
                // A file the run wrote is taken away, so that each run
                // writes anew.
                if (job().ok)
                    ++ok;
                ++runs;
                real.removeFile(p.name);
            }
            QVERIFY2(flipper.flips() > 0, "the folder never flipped");
        }
        qInfo("%d runs, %d done", runs, ok);
        QVERIFY2(p.tree.untouched(&what), qPrintable(what));
        QVERIFY(QFileInfo(folder).isDir() && !QFileInfo(folder).isSymLink());
        return;
    }
    case HostileTree::FullVolume: {
        p.fill();
        const QString target = QDir::cleanPath(p.target);
        const bool older = QFileInfo::exists(target);
        const QStringList before = TreeFixture::below(QDir::cleanPath(p.order));
        const Outcome r = job();
        QVERIFY2(!r.ok, qPrintable(r.message));
        QVERIFY2(r.message.contains(FileOps::diskFullText()), qPrintable(r.message));
        // The older file whole, and no temporary or partial file left.
        if (older)
            QCOMPARE(TreeFixture::read(target), kOlder);
        const QStringList after = TreeFixture::below(QDir::cleanPath(p.order));
        for (const QString &file : after)
            QVERIFY2(before.contains(file), qPrintable(QStringLiteral("left behind: ") + file));
        return;
    }
    default: {
        const Outcome r = job();
        verifyRefused(p, r.ok, r.message);
    }
    }
}

void TestFJHostileTrees::deliveryCopy()
{
    const Planted p(QStringLiteral("原片"), QStringLiteral("IMG_0001.jpg"));
    SKIP_IF_UNPLANTED(p);
    const bool large = p.kind == HostileTree::FullVolume;
    // Both ways of the delivery copy: turned upright by the engine, and the
    // byte copy of an upright photo.
    for (int orientation : {6, 1}) {
        const QString source = p.source(QStringLiteral("原片/IMG_0001.jpg"), cameraJpeg(orientation, large));
        run(p, [&] {
            const JobReport r = runFileJob(p, QStringLiteral("下载照片交付-拷贝原片"), source, p.target);
            return Outcome{r.ok, r.message};
        });
        if (QTest::currentTestFailed())
            return;
    }
}

void TestFJHostileTrees::rawDelivery()
{
    const Planted p(QStringLiteral("原始档"), QStringLiteral("IMG_0001.CR2"));
    SKIP_IF_UNPLANTED(p);
    p.dropOlder();
    const QString source = p.source(QStringLiteral("原始档/IMG_0001.CR2"), "raw");
    run(p, [&] {
        const JobReport r = runFileJob(p, QStringLiteral("下载照片交付-拷贝原始档"), source, p.target);
        return Outcome{r.ok, r.message};
    });
}

void TestFJHostileTrees::rawDownload()
{
    const Planted p(QStringLiteral("原始档"), QStringLiteral("IMG_0001.CR2"));
    SKIP_IF_UNPLANTED(p);
    p.dropOlder();
    const QString source = p.source(QStringLiteral("原始档/IMG_0001.CR2"), "raw");
    run(p, [&] {
        const JobReport r = runFileJob(p, QStringLiteral("下载原始档"), source, p.order + QStringLiteral("原始档"));
        // Not downloaded: the service is not told it was.
        if (!r.ok && !r.detail.isEmpty())
            return Outcome{true, QStringLiteral("reported as downloaded: ") + r.detail};
        return Outcome{r.ok, r.message};
    });
}

void TestFJHostileTrees::categoryCopy()
{
    const Planted p(QStringLiteral("其他/成品"), QStringLiteral("IMG_0001.jpg"));
    SKIP_IF_UNPLANTED(p);
    p.dropOlder();
    p.source(QStringLiteral("90/IMG_0001.jpg"), "thumbnail");
    p.source(QStringLiteral("原始档/IMG_0001.CR2"), "raw");
    const QString source = p.source(QStringLiteral("all/IMG_0001.jpg"), "photo");
    run(p, [&] {
        auto *job = new FJDataThread(QStringLiteral("拷贝照片"), QStringLiteral("成品"), source, p.name,
                                     p.order + QStringLiteral("其他/"), &m_receiver);
        job->orderRoot = p.order;
        const JobReport r = m_receiver.runOne(job);
        return Outcome{r.ok, r.message};
    });
}

void TestFJHostileTrees::downloadSave()
{
    const Planted p(QStringLiteral("其他/标记"), QStringLiteral("IMG_0001.jpg"));
    SKIP_IF_UNPLANTED(p);
    // As received (a JPEG under a JPEG name) and converted (a PNG under it):
    // both ways of writing a download.
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const QImage picture = p.kind == HostileTree::FullVolume ? JpegFixture::noise(160, 120)
                                                                  : JpegFixture::quadrants(64, 48);
        picture.save(&buffer, "PNG");
    }
    for (const QByteArray &data : {cameraJpeg(6, p.kind == HostileTree::FullVolume), png}) {
        run(p, [&] {
            Outcome r;
            QString path;
            r.ok = FJDownloadSave::save(data, p.order, p.folder, p.name, false, &path, &r.message);
            return r;
        });
        if (QTest::currentTestFailed())
            return;
    }
}

void TestFJHostileTrees::productFolders()
{
    // The job's folder is the product's, in the order's production folder.
    Planted p(kProduction, kProduct);
    SKIP_IF_UNPLANTED(p);
    p.dropOlder();
    QString picture = QStringLiteral("IMG_0001.jpg");
    if (p.kind == HostileTree::BackslashName) {
        // The product's name is cleaned; a picture's is refused.
        picture = QStringLiteral("deep\\deeper\\IMG_0001.jpg");
        QDir(p.order + kProduction).removeRecursively();
        p.target = p.folder + kProduct;
        p.inside = p.order + QStringLiteral("其他/成品/deep/deeper/IMG_0001.jpg");
        QVERIFY(TreeFixture::write(p.inside, "unlisted"));
    }
    if (p.kind != HostileTree::OrderFolderIsLink) {
        const QByteArray data = p.kind == HostileTree::FullVolume ? Planted::noiseBytes(64 * 1024) : "picture";
        QVERIFY(TreeFixture::write(p.order + QStringLiteral("其他/成品/") + picture, data));
    }
    run(p, [&] {
        const JobReport r = m_receiver.runOne(
            new FJDataThread(QStringLiteral("创建产品"), order(), good(picture), p.order, &m_receiver));
        // A refused product names itself and why.
        if (!r.ok && p.kind <= HostileTree::OrderFolderIsLink
            && !r.message.contains(QStringLiteral("相册 产品文件夹创建失败：")))
            return Outcome{true, QStringLiteral("unnamed failure: ") + r.message};
        return Outcome{r.ok, r.message};
    });
    if (QTest::currentTestFailed())
        return;
    if (p.kind == HostileTree::BackslashName)
        QCOMPARE(QDir(p.target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestFJHostileTrees::productionSheet()
{
    QFETCH(int, hostile);
    if (hostile == HostileTree::BackslashName)
        QSKIP("the sheet's file name is its own, no name from the service");
    const Planted p(QStringLiteral("其他"), QStringLiteral("明细制作单.pdf"));
    SKIP_IF_UNPLANTED(p);
    run(p, [&] {
        auto *job = new FJDataThread(QStringLiteral("生成Html"), &m_receiver);
        job->orderRoot = p.order;
        job->orderDetail = QJsonObject{{"order", order()}};
        const JobReport r = m_receiver.runOne(job);
        if (!r.ok && !r.message.startsWith(QStringLiteral("明细制作单.pdf 生成失败：")))
            return Outcome{true, QStringLiteral("unnamed failure: ") + r.message};
        return Outcome{r.ok, r.message};
    });
}

TINYVOLUME_TEST_MAIN(TestFJHostileTrees)
#include "tst_fjhostiletrees.moc"
