// Every design-split job that writes, on the table of hostile trees: a link
// where its file goes, a dangling one, a linked folder of the order's, an
// order folder that is itself a link, and a name with a backslash. Each is
// refused with a message: nothing outside the order folder changes and no
// success is reported.

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "designsplit/jobs/fjdatathread.h"
#include "designsplit/jobs/fjdownloadsave.h"
#include "tests/support/hostiletree.h"
#include "tests/support/jobreceiver.h"
#include "tests/support/jpegfixture.h"
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
    QString order;  // ending with a separator, as the jobs take it
    QString folder; // order + the job's folder, ending with a separator
    QString name;   // the name the job is given
    QString target; // where the job would write
    QString inside; // a file of the order's that a backslash would name

    // A file of the share the job reads, written with data.
    QString source(const QString &relative, const QByteArray &data) const
    {
        const QString path = dir.filePath(QStringLiteral("share/") + relative);
        TreeFixture::write(path, data);
        return path;
    }
};

Planted::Planted(const QString &jobFolder, const QString &fileName)
    : tree(dir.path())
{
    QFETCH(int, hostile);
    kind = HostileTree::Case(hostile);
    order = dir.path() + QStringLiteral("/订单/");
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
    }
    target = folder + name;
}

// A camera JPEG that has to be turned, and one that is upright.
QByteArray cameraJpeg(int orientation)
{
    JpegFixture::Options options;
    options.orientation = orientation;
    options.cameraMake = QStringLiteral("Canon");
    options.dateTaken = QStringLiteral("2024:05:01 10:00:00");
    return JpegFixture::encode(JpegFixture::storedFor(JpegFixture::quadrants(64, 48), orientation), options);
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

void TestFJHostileTrees::deliveryCopy()
{
    const Planted p(QStringLiteral("原片"), QStringLiteral("IMG_0001.jpg"));
    // Both ways of the delivery copy: turned upright by the engine, and the
    // byte copy of an upright photo.
    for (int orientation : {6, 1}) {
        const QString source = p.source(QStringLiteral("原片/IMG_0001.jpg"), cameraJpeg(orientation));
        const JobReport r = runFileJob(p, QStringLiteral("下载照片交付-拷贝原片"), source, p.target);
        verifyRefused(p, r.ok, r.message);
    }
}

void TestFJHostileTrees::rawDelivery()
{
    const Planted p(QStringLiteral("原始档"), QStringLiteral("IMG_0001.CR2"));
    const QString source = p.source(QStringLiteral("原始档/IMG_0001.CR2"), "raw");
    const JobReport r = runFileJob(p, QStringLiteral("下载照片交付-拷贝原始档"), source, p.target);
    verifyRefused(p, r.ok, r.message);
}

void TestFJHostileTrees::rawDownload()
{
    const Planted p(QStringLiteral("原始档"), QStringLiteral("IMG_0001.CR2"));
    const QString source = p.source(QStringLiteral("原始档/IMG_0001.CR2"), "raw");
    const JobReport r = runFileJob(p, QStringLiteral("下载原始档"), source, p.order + QStringLiteral("原始档"));
    verifyRefused(p, r.ok, r.message);
    // Not downloaded: the service is not told it was.
    QCOMPARE(r.detail, QString());
}

void TestFJHostileTrees::categoryCopy()
{
    const Planted p(QStringLiteral("其他/成品"), QStringLiteral("IMG_0001.jpg"));
    p.source(QStringLiteral("90/IMG_0001.jpg"), "thumbnail");
    p.source(QStringLiteral("原始档/IMG_0001.CR2"), "raw");
    const QString source = p.source(QStringLiteral("all/IMG_0001.jpg"), "photo");
    auto *job = new FJDataThread(QStringLiteral("拷贝照片"), QStringLiteral("成品"), source, p.name,
                                 p.order + QStringLiteral("其他/"), &m_receiver);
    job->orderRoot = p.order;
    const JobReport r = m_receiver.runOne(job);
    verifyRefused(p, r.ok, r.message);
}

void TestFJHostileTrees::downloadSave()
{
    const Planted p(QStringLiteral("其他/标记"), QStringLiteral("IMG_0001.jpg"));
    // As received (a JPEG under a JPEG name) and converted (a PNG under it):
    // both ways of writing a download.
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        JpegFixture::quadrants(64, 48).save(&buffer, "PNG");
    }
    for (const QByteArray &data : {cameraJpeg(6), png}) {
        QString path;
        QString message;
        const bool ok = FJDownloadSave::save(data, p.order, p.folder, p.name, false, &path, &message);
        verifyRefused(p, ok, message);
    }
}

void TestFJHostileTrees::productFolders()
{
    // The job's folder is the product's, in the order's production folder.
    Planted p(kProduction, kProduct);
    QString picture = QStringLiteral("IMG_0001.jpg");
    if (p.kind == HostileTree::BackslashName) {
        // The product's name is cleaned; a picture's is refused.
        picture = QStringLiteral("deep\\deeper\\IMG_0001.jpg");
        QDir(p.order + kProduction).removeRecursively();
        p.target = p.folder + kProduct;
        p.inside = p.order + QStringLiteral("其他/成品/deep/deeper/IMG_0001.jpg");
        QVERIFY(TreeFixture::write(p.inside, "unlisted"));
    }
    if (p.kind != HostileTree::OrderFolderIsLink)
        QVERIFY(TreeFixture::write(p.order + QStringLiteral("其他/成品/") + picture, "picture"));
    const JobReport r = m_receiver.runOne(
        new FJDataThread(QStringLiteral("创建产品"), order(), good(picture), p.order, &m_receiver));
    verifyRefused(p, r.ok, r.message);
    if (p.kind == HostileTree::BackslashName)
        QCOMPARE(QDir(p.target).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    else
        QVERIFY2(r.message.contains(QStringLiteral("相册 产品文件夹创建失败：")), qPrintable(r.message));
}

void TestFJHostileTrees::productionSheet()
{
    QFETCH(int, hostile);
    if (hostile == HostileTree::BackslashName)
        QSKIP("the sheet's file name is its own, no name from the service");
    const Planted p(QStringLiteral("其他"), QStringLiteral("明细制作单.pdf"));
    auto *job = new FJDataThread(QStringLiteral("生成Html"), &m_receiver);
    job->orderRoot = p.order;
    job->orderDetail = QJsonObject{{"order", order()}};
    const JobReport r = m_receiver.runOne(job);
    verifyRefused(p, r.ok, r.message);
    QVERIFY2(r.message.startsWith(QStringLiteral("明细制作单.pdf 生成失败：")), qPrintable(r.message));
}

QTEST_MAIN(TestFJHostileTrees)
#include "tst_fjhostiletrees.moc"
