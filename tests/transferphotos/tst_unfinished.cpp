// The note an order not finished keeps in its folder: a run without one
// writes it; a run that finds one keeps exactly the copies made since it
// (real files, not links, not empty, not older) and counts what is left;
// neither the note's write nor its delete goes through a link.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/hostiletree.h"
#include "tests/support/transferorders.h"
#include "transferphotos/jobs/tfunfinished.h"

namespace {

const QStringList kTags{QStringLiteral("all"), QStringLiteral("90"), QStringLiteral("190"), QStringLiteral("1920")};

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

class TestUnfinished : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstRunWritesTheNote();
    void cutRunKeepsItsCopies_data();
    void cutRunKeepsItsCopies();
    void finishRemovesTheNote();
    void noteThatIsALink_data();
    void noteThatIsALink();

private:
    QString noteOf(const QString &folder) const { return folder + QLatin1Char('/') + TfUnfinished::fileName(); }
    // Two picked photos, A.jpg and B.jpg, four entries each.
    OrderInfo twoPhotos() const;

    QTemporaryDir m_dir;
    QString m_folder;
};

void TestUnfinished::init()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.path() + QStringLiteral("/order-") + QString::fromLatin1(QTest::currentTestFunction())
        + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    QVERIFY(QDir().mkpath(m_folder));
}

OrderInfo TestUnfinished::twoPhotos() const
{
    const QString source = m_dir.path() + QStringLiteral("/camera");
    return TransferOrders::importOrder(QStringLiteral("U1"), m_folder,
                                       TransferOrders::photoEntries(source + QStringLiteral("/A.jpg"))
                                           + TransferOrders::photoEntries(source + QStringLiteral("/B.jpg")));
}

void TestUnfinished::firstRunWritesTheNote()
{
    OrderInfo order = twoPhotos();
    const TfUnfinished::Resume resume = TfUnfinished::begin(&order, m_folder);
    QVERIFY(!resume.resumed);
    QVERIFY(resume.kept.isEmpty());
    QVERIFY(QFileInfo(noteOf(m_folder)).isFile());
    for (const PhotoInfo &entry : qAsConst(order.selectedFiles))
        QCOMPARE(entry.importFlag, int(PhotoStatus::NotUploaded));
    // The note says what it is about.
    QFile note(noteOf(m_folder));
    QVERIFY(note.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(note.readAll()).contains(QStringLiteral("导片还没有完成")));
}

void TestUnfinished::cutRunKeepsItsCopies_data()
{
    // Each copy: "made" (written since the note), "old" (older than the
    // note), "empty", "link" (a link to a real file), or missing.
    QTest::addColumn<QStringList>("copiesOfA");
    QTest::addColumn<QStringList>("copiesOfB");
    QTest::addColumn<QList<int>>("kept");
    QTest::addColumn<int>("redo");
    QTest::addColumn<int>("whole");
    const QStringList none{QString(), QString(), QString(), QString()};
    const QString made = QStringLiteral("made");
    QTest::newRow("nothing made") << none << none << QList<int>() << 2 << 0;
    QTest::newRow("one whole photo, one half")
        << QStringList{made, made, made, made} << QStringList{made, QString(), made, QString()}
        << QList<int>{0, 1, 2, 3, 4, 6} << 1 << 1;
    QTest::newRow("every copy") << QStringList{made, made, made, made} << QStringList{made, made, made, made}
                                << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << 0 << 2;
    QTest::newRow("older than the note")
        << QStringList{QStringLiteral("old"), made, made, made} << none << QList<int>{1, 2, 3} << 2 << 0;
    QTest::newRow("empty and linked copies")
        << QStringList{QStringLiteral("empty"), QStringLiteral("link"), made, made} << none << QList<int>{2, 3} << 2 << 0;
}

void TestUnfinished::cutRunKeepsItsCopies()
{
    QFETCH(QStringList, copiesOfA);
    QFETCH(QStringList, copiesOfB);
    QFETCH(QList<int>, kept);
    QFETCH(int, redo);
    QFETCH(int, whole);

    OrderInfo first = twoPhotos();
    QVERIFY(!TfUnfinished::begin(&first, m_folder).resumed);
    const QDateTime noted = QFileInfo(noteOf(m_folder)).lastModified();
    const QString elsewhere = m_dir.path() + QStringLiteral("/elsewhere.jpg");
    QVERIFY(writeFile(elsewhere, "elsewhere"));
    const QList<QPair<QString, QStringList>> photos{{QStringLiteral("A.jpg"), copiesOfA}, {QStringLiteral("B.jpg"), copiesOfB}};
    for (const auto &photo : photos) {
        for (int t = 0; t < kTags.size(); ++t) {
            const QString kind = photo.second.at(t);
            const QString path = m_folder + QLatin1Char('/') + kTags.at(t) + QLatin1Char('/') + photo.first;
            if (kind.isEmpty())
                continue;
            if (kind == QLatin1String("link")) {
                QVERIFY(QDir().mkpath(QFileInfo(path).path()));
                QVERIFY(QFile::link(elsewhere, path));
                continue;
            }
            QVERIFY(writeFile(path, kind == QLatin1String("empty") ? QByteArray() : QByteArray("copy")));
            if (kind == QLatin1String("old")) {
                // A file of the same name from an earlier, finished import.
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadWrite));
                QVERIFY(file.setFileTime(noted.addSecs(-3600), QFileDevice::FileModificationTime));
            }
        }
    }

    // The next run of the order, its picks made afresh.
    OrderInfo next = twoPhotos();
    const TfUnfinished::Resume resume = TfUnfinished::begin(&next, m_folder);
    QVERIFY(resume.resumed);
    QCOMPARE(resume.kept, kept);
    QCOMPARE(resume.redo, redo);
    QCOMPARE(resume.whole, whole);
    for (int i = 0; i < next.selectedFiles.size(); ++i)
        QCOMPARE(next.selectedFiles.at(i).importFlag,
                 int(kept.contains(i) ? PhotoStatus::Uploaded : PhotoStatus::NotUploaded));
    // The note stays as it was: the copies of every cut run since count.
    QCOMPARE(QFileInfo(noteOf(m_folder)).lastModified(), noted);
}

void TestUnfinished::finishRemovesTheNote()
{
    OrderInfo order = twoPhotos();
    TfUnfinished::begin(&order, m_folder);
    QVERIFY(QFileInfo::exists(noteOf(m_folder)));
    TfUnfinished::finish(m_folder);
    QVERIFY(!QFileInfo::exists(noteOf(m_folder)));
    // Nothing there: nothing happens.
    TfUnfinished::finish(m_folder);
    OrderInfo again = twoPhotos();
    QVERIFY(!TfUnfinished::begin(&again, m_folder).resumed);
}

void TestUnfinished::noteThatIsALink_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::newRow("link to a file outside") << false;
    QTest::newRow("dangling link") << true;
}

// A link where the note goes is no note: nothing is kept for it, nothing is
// written or deleted through it.
void TestUnfinished::noteThatIsALink()
{
    QFETCH(bool, dangling);
    HostileTree tree(m_folder + QStringLiteral("-tree"));
    QVERIFY(tree.linkToVictim(noteOf(m_folder), dangling));
    QVERIFY(writeFile(m_folder + QStringLiteral("/all/A.jpg"), "copy"));
    OrderInfo order = twoPhotos();
    const TfUnfinished::Resume resume = TfUnfinished::begin(&order, m_folder);
    QVERIFY(!resume.resumed);
    QVERIFY(resume.kept.isEmpty());
    TfUnfinished::finish(m_folder);
    QVERIFY(QFileInfo(noteOf(m_folder)).isSymLink());
    QString what;
    QVERIFY2(tree.untouched(&what), qPrintable(what));
}

QTEST_MAIN(TestUnfinished)
#include "tst_unfinished.moc"
