// Reports of imported files, folders and orders to the fake order service:
// bodies field by field for photos and videos, awkward characters, copies
// that failed or vanished, refused or mismatched replies gathered per order.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "base/globals.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "transferphotos/tfhomereports.h"

namespace {

QStringList fieldNames(const FakeOrderService::Request &request)
{
    QStringList names;
    for (const auto &field : request.fields)
        names << field.first;
    return names;
}

const QStringList kEnvelope = {QStringLiteral("token"), QStringLiteral("version"), QStringLiteral("architecture"),
                               QStringLiteral("uid"), QStringLiteral("device")};
const QStringList kTail = {QStringLiteral("shopid"), QStringLiteral("eid"), QStringLiteral("superid"),
                           QStringLiteral("personid")};

} // namespace

class TestTfHomeReports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void photoReportBody_data();
    void photoReportBody();
    void onlyFullSizeEntryOfPhotoReported();
    void failedCopyNotReported();
    void missingFileNotReported();
    void failedReportsGatheredOnce();
    void replyForAnotherFileDropped();
    void orderPathAndSummaryBodies();
    void runKeepsItsBranchAndSavedPhotos();
    void refusedOrderReportsResubmitted();
    void entryPathSeparators_data();
    void entryPathSeparators();

private:
    OrderInfo makeOrder(const QString &folder) const;
    PhotoInfo makeEntry(const QString &folder, const QString &name, const QString &tag, bool writeFile);

    FakeOrderService m_fake;
    QTemporaryDir m_dir;
    ReportContext m_context{QStringLiteral("11"), QStringLiteral("7001"), QStringLiteral("9001")};
};

void TestTfHomeReports::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<PhotoInfo>();
    QVERIFY(m_fake.start());
    g_indexUrl = m_fake.indexUrl();
    g_enterpriseId = QStringLiteral("E55");
}

void TestTfHomeReports::init()
{
    m_fake.clearRequests();
    m_fake.clearFaults();
    m_fake.clearHandlers();
    m_fake.loadModel(FakeModel::testData());
}

OrderInfo TestTfHomeReports::makeOrder(const QString &folder) const
{
    OrderInfo order;
    order.id = QStringLiteral("1");
    order.order_photo_id = QStringLiteral("301");
    order.orderpayforkey = QStringLiteral("A20240507001");
    order.servicetimes = QStringLiteral("1");
    order.importPath = folder;
    order.row = 0;
    return order;
}

PhotoInfo TestTfHomeReports::makeEntry(const QString &folder, const QString &name, const QString &tag, bool writeFile)
{
    PhotoInfo entry;
    entry.img_name = name;
    entry.sizeTag = tag;
    entry.targetDir = folder;
    entry.url = QStringLiteral("/source/") + name;
    if (writeFile) {
        QDir().mkpath(folder + QLatin1Char('/') + tag);
        QFile file(folder + QLatin1Char('/') + tag + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(1234, 'x'));
    }
    return entry;
}

void TestTfHomeReports::photoReportBody_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("typeField");

    QTest::newRow("photo") << int(UploadType::Photos) << QStringLiteral("all") << QStringLiteral("IMG 1&2+3%.jpg")
                           << QStringLiteral("&m=order&a=savepicpath") << QString();
    QTest::newRow("trial video") << int(UploadType::TrialVideo) << QStringLiteral("试拍视频")
                                 << QStringLiteral("试拍 a&b+c%20.mp4") << QStringLiteral("&m=order&a=savepicpathmv")
                                 << QStringLiteral("2");
    QTest::newRow("retouched video") << int(UploadType::RetouchedVideo) << QStringLiteral("精修视频")
                                     << QStringLiteral("精修#1=ok.mov") << QStringLiteral("&m=order&a=savepicpathmv")
                                     << QStringLiteral("3");
}

void TestTfHomeReports::photoReportBody()
{
    QFETCH(int, type);
    QFETCH(QString, tag);
    QFETCH(QString, name);
    QFETCH(QString, action);
    QFETCH(QString, typeField);

    const QString folder = m_dir.path() + QStringLiteral("/订单 &+%/") + QString::fromLatin1(QTest::currentDataTag());
    const OrderInfo order = makeOrder(folder);
    const PhotoInfo entry = makeEntry(folder, name, tag, true);
    const QString path = tfhomereports::entryPath(entry);

    tfhomereports reports;
    reports.setContext(m_context);
    QSignalSpy saved(&reports, &tfhomereports::photoSaved);
    reports.reportPhoto(order, entry, path, UploadType(type), true, QString());
    QVERIFY(saved.wait(5000));

    const auto requests = m_fake.requestsFor(action);
    QCOMPARE(requests.size(), 1);
    const FakeOrderService::Request request = requests.first();
    QStringList expected{QStringLiteral("order_photo_id"), QStringLiteral("person_id"), QStringLiteral("size"),
                         QStringLiteral("ratio"), QStringLiteral("path")};
    if (!typeField.isEmpty())
        expected << QStringLiteral("type") << QStringLiteral("photonames");
    expected << kTail << kEnvelope;
    QCOMPARE(fieldNames(request), expected);
    QCOMPARE(request.field(QStringLiteral("order_photo_id")), QStringLiteral("301"));
    QCOMPARE(request.field(QStringLiteral("person_id")), QStringLiteral("E55"));
    QCOMPARE(request.field(QStringLiteral("size")), QStringLiteral("1234"));
    QCOMPARE(request.field(QStringLiteral("ratio")), QStringLiteral("all"));
    // Every character of folder and name arrives as it was.
    QCOMPARE(request.field(QStringLiteral("path")), folder + QLatin1Char('/') + tag + QLatin1Char('/') + name);
    if (!typeField.isEmpty()) {
        QCOMPARE(request.field(QStringLiteral("type")), typeField);
        QCOMPARE(request.field(QStringLiteral("photonames")), name);
    }
    QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
    QCOMPARE(request.field(QStringLiteral("eid")), QStringLiteral("7001"));
    QCOMPARE(request.field(QStringLiteral("superid")), QStringLiteral("9001"));
    QCOMPARE(request.field(QStringLiteral("personid")), QStringLiteral("7001"));

    // The service's record of the saved file comes back for the views.
    const PhotoInfo record = saved.first().at(2).value<PhotoInfo>();
    QCOMPARE(saved.first().at(0).toString(), QStringLiteral("301"));
    QCOMPARE(saved.first().at(1).toInt(), 0);
    QCOMPARE(saved.first().at(3).toInt(), type);
    QCOMPARE(record.img_name, name);
    QVERIFY(!record.id.isEmpty());
    QCOMPARE(record.localpath, request.field(QStringLiteral("path")));
    const QJsonArray images = m_fake.modelStore().order(QStringLiteral("301")).value(QStringLiteral("images")).toArray();
    QCOMPARE(images.size(), 1);
    QCOMPARE(images.first().toObject().value(QStringLiteral("type")).toString(),
             typeField.isEmpty() ? QStringLiteral("1") : typeField);
}

void TestTfHomeReports::onlyFullSizeEntryOfPhotoReported()
{
    const QString folder = m_dir.path() + QStringLiteral("/sizes");
    const OrderInfo order = makeOrder(folder);
    tfhomereports reports;
    QSignalSpy saved(&reports, &tfhomereports::photoSaved);
    for (const QString &tag : {QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920"), QStringLiteral("all")}) {
        const PhotoInfo entry = makeEntry(folder, QStringLiteral("a.jpg"), tag, true);
        reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, true, QString());
    }
    QVERIFY(saved.wait(5000));
    QCOMPARE(m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath")).size(), 1);
    QCOMPARE(m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath")).first().field(QStringLiteral("path")),
             folder + QStringLiteral("/all/a.jpg"));
}

void TestTfHomeReports::failedCopyNotReported()
{
    const QString folder = m_dir.path() + QStringLiteral("/failed");
    const OrderInfo order = makeOrder(folder);
    // The file of an earlier run is there, but this run's copy failed.
    const PhotoInfo entry = makeEntry(folder, QStringLiteral("b.jpg"), QStringLiteral("all"), true);
    tfhomereports reports;
    QSignalSpy failed(&reports, &tfhomereports::orderReportsFailed);
    reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, false,
                        QStringLiteral("磁盘已满"));
    reports.finishOrder(order);
    QCOMPARE(failed.size(), 1);
    const QStringList lines = failed.first().at(2).toStringList();
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().contains(QStringLiteral("b.jpg")));
    QVERIFY(lines.first().contains(QStringLiteral("磁盘已满")));
    QCOMPARE(failed.first().at(1).toString(), QStringLiteral("A20240507001-1"));
    QVERIFY(m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath")).isEmpty());
    QCOMPARE(reports.pendingReports(QStringLiteral("301")), 0);
}

void TestTfHomeReports::missingFileNotReported()
{
    const QString folder = m_dir.path() + QStringLiteral("/missing");
    const OrderInfo order = makeOrder(folder);
    const PhotoInfo entry = makeEntry(folder, QStringLiteral("c.jpg"), QStringLiteral("all"), false);
    tfhomereports reports;
    QSignalSpy failed(&reports, &tfhomereports::orderReportsFailed);
    reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, true, QString());
    QCOMPARE(reports.pendingReports(QStringLiteral("301")), 0);
    reports.finishOrder(order);
    QCOMPARE(failed.size(), 1);
    QVERIFY(failed.first().at(2).toStringList().first().contains(QStringLiteral("c.jpg")));
}

void TestTfHomeReports::failedReportsGatheredOnce()
{
    const QString folder = m_dir.path() + QStringLiteral("/gathered");
    const OrderInfo order = makeOrder(folder);
    m_fake.setFault(QStringLiteral("&m=order&a=savepicpath"), FakeOrderService::Fault::CodeZeroMessage,
                    QStringLiteral("空间不足"));
    tfhomereports reports;
    QSignalSpy failed(&reports, &tfhomereports::orderReportsFailed);
    QSignalSpy saved(&reports, &tfhomereports::photoSaved);
    for (const QString &name : {QStringLiteral("1.jpg"), QStringLiteral("2.jpg"), QStringLiteral("3.jpg")}) {
        const PhotoInfo entry = makeEntry(folder, name, QStringLiteral("all"), true);
        reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, true, QString());
    }
    QCOMPARE(reports.pendingReports(QStringLiteral("301")), 3);
    // The order ends before the service answered: the failures wait for
    // the last answer and come out together.
    reports.finishOrder(order);
    QCOMPARE(failed.size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    const QStringList lines = failed.first().at(2).toStringList();
    QCOMPARE(lines.size(), 3);
    for (const QString &line : lines)
        QVERIFY2(line.contains(QStringLiteral("空间不足")), qPrintable(line));
    QCOMPARE(saved.size(), 0);

    // A network failure is gathered too.
    failed.clear();
    m_fake.setFault(QStringLiteral("&m=order&a=savepicpath"), FakeOrderService::Fault::CloseConnection);
    const PhotoInfo entry = makeEntry(folder, QStringLiteral("4.jpg"), QStringLiteral("all"), true);
    reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, true, QString());
    reports.finishOrder(order);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    QVERIFY(failed.first().at(2).toStringList().first().contains(QStringLiteral("4.jpg")));
}

void TestTfHomeReports::replyForAnotherFileDropped()
{
    m_fake.setHandler(QStringLiteral("&m=order&a=savepicpath"), [](const FakeOrderService::Request &) {
        return QJsonObject{{QStringLiteral("code"), QStringLiteral("1")},
                           {QStringLiteral("id"), QStringLiteral("77")},
                           {QStringLiteral("img_name"), QStringLiteral("other.jpg")},
                           {QStringLiteral("url"), QStringLiteral("http://x/other.jpg")},
                           {QStringLiteral("localpath"), QStringLiteral("/elsewhere/other.jpg")}};
    });
    const QString folder = m_dir.path() + QStringLiteral("/mismatch");
    const OrderInfo order = makeOrder(folder);
    const PhotoInfo entry = makeEntry(folder, QStringLiteral("d.jpg"), QStringLiteral("all"), true);
    tfhomereports reports;
    QSignalSpy saved(&reports, &tfhomereports::photoSaved);
    QSignalSpy failed(&reports, &tfhomereports::orderReportsFailed);
    reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, true, QString());
    reports.finishOrder(order);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    QCOMPARE(saved.size(), 0);
}

void TestTfHomeReports::orderPathAndSummaryBodies()
{
    OrderInfo order = makeOrder(QStringLiteral("/Volumes/photos/2024/05/07/A1-1_张伟"));
    order.resolvedImportPath = QStringLiteral("nas01");
    tfhomereports reports;
    reports.setContext(m_context);
    reports.reportOrderPath(order, order.importPath);
    reports.reportOrderData(order, 2, QStringLiteral("a&b.jpg|:|c+d.jpg"), UploadType::TrialVideo);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=logreadpic")).size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=saveorderphotopath")).size(), 1, 5000);

    const auto folder = m_fake.requestsFor(QStringLiteral("&m=order&a=saveorderphotopath")).first();
    QCOMPARE(fieldNames(folder), QStringList({QStringLiteral("order_photo_id"), QStringLiteral("person_id"),
                                              QStringLiteral("path")})
                                     + kTail + kEnvelope);
    // A mounted share is reported as the share path on its server.
    QCOMPARE(folder.field(QStringLiteral("path")), QStringLiteral("\\\\nas01\\photos\\2024\\05\\07\\A1-1_张伟"));

    const auto summary = m_fake.requestsFor(QStringLiteral("&m=order&a=logreadpic")).first();
    QCOMPARE(fieldNames(summary), QStringList({QStringLiteral("order_photo_id"), QStringLiteral("picnumber"),
                                               QStringLiteral("orderpicpath"), QStringLiteral("photonames"),
                                               QStringLiteral("type")})
                                      + kTail + kEnvelope);
    QCOMPARE(summary.field(QStringLiteral("picnumber")), QStringLiteral("2"));
    QCOMPARE(summary.field(QStringLiteral("photonames")), QStringLiteral("a&b.jpg|:|c+d.jpg"));
    QCOMPARE(summary.field(QStringLiteral("type")), QStringLiteral("2"));
    QCOMPARE(summary.field(QStringLiteral("orderpicpath")), folder.field(QStringLiteral("path")));
    const QJsonObject stored = m_fake.modelStore().order(QStringLiteral("301"));
    QCOMPARE(stored.value(QStringLiteral("logreadpic")).toObject().value(QStringLiteral("picnumber")).toString(),
             QStringLiteral("2"));
}

// A run reports for the branch it began with; a photo the service took is
// not sent again by the next run unless that run copies it again.
void TestTfHomeReports::runKeepsItsBranchAndSavedPhotos()
{
    const QString folder = m_dir.path() + QStringLiteral("/runs");
    OrderInfo order = makeOrder(folder);
    for (const QString &name : {QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}) {
        for (const QString &tag : {QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")})
            order.selectedFiles << makeEntry(folder, name, tag, true);
    }
    tfhomereports reports;
    QSignalSpy saved(&reports, &tfhomereports::photoSaved);
    reports.beginRun(order, m_context);
    reports.setContext(ReportContext{QStringLiteral("12"), QStringLiteral("7002"), QStringLiteral("9002")});
    for (int i : {0, 4})
        reports.reportPhoto(order, order.selectedFiles.at(i), tfhomereports::entryPath(order.selectedFiles.at(i)),
                            UploadType::Photos, true, QString());
    QTRY_COMPARE_WITH_TIMEOUT(saved.size(), 2, 5000);
    for (const auto &request : m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath"))) {
        QCOMPARE(request.field(QStringLiteral("shopid")), QStringLiteral("11"));
        QCOMPARE(request.field(QStringLiteral("eid")), QStringLiteral("7001"));
    }
    QVERIFY(reports.isSaved(QStringLiteral("301"), QStringLiteral("a.jpg")));

    // Second run: a.jpg is done, b.jpg is copied again.
    for (int i = 0; i < 4; ++i)
        order.selectedFiles[i].importFlag = 0;
    m_fake.clearRequests();
    reports.beginRun(order, m_context);
    QVERIFY(reports.isSaved(QStringLiteral("301"), QStringLiteral("a.jpg")));
    QVERIFY(!reports.isSaved(QStringLiteral("301"), QStringLiteral("b.jpg")));
    for (int i : {0, 4})
        reports.reportPhoto(order, order.selectedFiles.at(i), tfhomereports::entryPath(order.selectedFiles.at(i)),
                            UploadType::Photos, true, QString());
    QTRY_COMPARE_WITH_TIMEOUT(saved.size(), 3, 5000);
    const auto again = m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath"));
    QCOMPARE(again.size(), 1);
    QCOMPARE(again.first().field(QStringLiteral("path")), folder + QStringLiteral("/all/b.jpg"));
}

// What the service refused stays open on the order until it is sent again
// and taken.
void TestTfHomeReports::refusedOrderReportsResubmitted()
{
    const QString folder = m_dir.path() + QStringLiteral("/refused");
    const OrderInfo order = makeOrder(folder);
    const PhotoInfo entry = makeEntry(folder, QStringLiteral("r.jpg"), QStringLiteral("all"), true);
    tfhomereports reports;
    QSignalSpy settled(&reports, &tfhomereports::orderSettled);
    QSignalSpy done(&reports, &tfhomereports::orderReportsDone);
    reports.beginRun(order, m_context);
    m_fake.setFault(QStringLiteral("&m=order&a=savepicpath"), FakeOrderService::Fault::CodeZeroMessage,
                    QStringLiteral("稍后再试"));
    m_fake.setFault(QStringLiteral("&m=order&a=saveorderphotopath"), FakeOrderService::Fault::Http500);
    reports.reportOrderPath(order, folder);
    reports.reportPhoto(order, entry, tfhomereports::entryPath(entry), UploadType::Photos, true, QString());
    reports.finishOrder(order, true);
    QVERIFY(settled.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(settled.size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(reports.openProblems(QStringLiteral("301")).size(), 2, 5000);
    reports.reportOrderData(order, 0, QString(), UploadType::Photos);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
    QStringList problems = done.last().at(2).toStringList();
    QCOMPARE(problems.size(), 2);
    QVERIFY2(problems.first().contains(QStringLiteral("r.jpg")), qPrintable(problems.first()));
    QVERIFY2(problems.last().startsWith(QStringLiteral("导片目录未能上报")), qPrintable(problems.last()));
    QCOMPARE(reports.openProblems(QStringLiteral("301")), problems);

    m_fake.clearFaults();
    m_fake.clearRequests();
    reports.resubmit(order, {entry}, UploadType::Photos);
    QTRY_COMPARE_WITH_TIMEOUT(settled.size(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_fake.requestsFor(QStringLiteral("&m=order&a=saveorderphotopath")).size(), 1, 5000);
    QCOMPARE(m_fake.requestsFor(QStringLiteral("&m=order&a=savepicpath")).size(), 1);
    QVERIFY(reports.isSaved(QStringLiteral("301"), QStringLiteral("r.jpg")));
    reports.reportOrderData(order, 1, QStringLiteral("r.jpg"), UploadType::Photos);
    QTRY_VERIFY_WITH_TIMEOUT(done.size() >= 2 && done.last().at(2).toStringList().isEmpty(), 5000);
    QVERIFY(reports.openProblems(QStringLiteral("301")).isEmpty());
}

void TestTfHomeReports::entryPathSeparators_data()
{
    QTest::addColumn<QString>("targetDir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("share") << QStringLiteral("\\\\nas\\share\\2024\\05\\07\\A1-1")
                           << QStringLiteral("//nas/share/2024/05/07/A1-1/all/x.jpg");
    QTest::newRow("trailing slash") << QStringLiteral("/data/A1-1/") << QStringLiteral("/data/A1-1/all/x.jpg");
    QTest::newRow("trailing backslash") << QStringLiteral("D:\\A1-1\\") << QStringLiteral("D:/A1-1/all/x.jpg");
}

void TestTfHomeReports::entryPathSeparators()
{
    QFETCH(QString, targetDir);
    QFETCH(QString, expected);
    PhotoInfo entry;
    entry.targetDir = targetDir;
    entry.sizeTag = QStringLiteral("all");
    entry.img_name = QStringLiteral("x.jpg");
    QCOMPARE(tfhomereports::entryPath(entry), expected);
}

QTEST_MAIN(TestTfHomeReports)
#include "tst_tfhomereports.moc"
