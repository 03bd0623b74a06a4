#include "tests/support/hostiletree.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <chrono>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "tests/support/treefixture.h"

void HostileTree::addCases(const char *prefix)
{
    QTest::addColumn<int>("hostile");
    const QString p = QString::fromUtf8(prefix);
    QTest::newRow(qPrintable(p + QStringLiteral("link as target"))) << int(LinkAsTarget);
    QTest::newRow(qPrintable(p + QStringLiteral("dangling link as target"))) << int(DanglingLink);
    QTest::newRow(qPrintable(p + QStringLiteral("linked sub-folder"))) << int(LinkedSubFolder);
    QTest::newRow(qPrintable(p + QStringLiteral("order folder is a link"))) << int(OrderFolderIsLink);
    QTest::newRow(qPrintable(p + QStringLiteral("name with a backslash"))) << int(BackslashName);
    QTest::newRow(qPrintable(p + QStringLiteral("pipe at the target"))) << int(FifoAsTarget);
    QTest::newRow(qPrintable(p + QStringLiteral("socket at the target"))) << int(SocketAsTarget);
    QTest::newRow(qPrintable(p + QStringLiteral("device at the target"))) << int(DeviceAsTarget);
    QTest::newRow(qPrintable(p + QStringLiteral("folder flipping to a link"))) << int(FlippingFolder);
    QTest::newRow(qPrintable(p + QStringLiteral("full volume, older file at the target"))) << int(FullVolume);
}

void HostileTree::addSourceCases(const char *prefix)
{
    QTest::addColumn<int>("source");
    const QString p = QString::fromUtf8(prefix);
    QTest::newRow(qPrintable(p + QStringLiteral("pipe as source"))) << int(FifoSource);
    QTest::newRow(qPrintable(p + QStringLiteral("socket as source"))) << int(SocketSource);
    QTest::newRow(qPrintable(p + QStringLiteral("device as source"))) << int(DeviceSource);
}

bool HostileTree::plantSpecial(Case kind, const QString &path, QString *why)
{
    const auto fail = [why](const char *text) {
        if (why)
            *why = QString::fromUtf8(text);
        return false;
    };
#ifdef Q_OS_UNIX
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray p = QFile::encodeName(path);
    switch (kind) {
    case FifoAsTarget:
        return ::mkfifo(p.constData(), 0666) == 0 || fail("mkfifo failed");
    case SocketAsTarget: {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (size_t(p.size()) >= sizeof(address.sun_path))
            return fail("the socket's path is too long for a socket address here");
        memcpy(address.sun_path, p.constData(), size_t(p.size()));
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (s < 0)
            return fail("no socket");
        // The socket file stays after the descriptor is closed.
        const bool bound = ::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
        ::close(s);
        return bound || fail("bind failed");
    }
    case DeviceAsTarget:
        // The device /dev/null is: endless nothing to read, anything to write.
        return ::mknod(p.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0
            || fail("a device node needs root (mknod refused)");
    default:
        return fail("not a special file");
    }
#else
    Q_UNUSED(kind)
    Q_UNUSED(path)
    return fail("special files are a POSIX thing");
#endif
}

bool HostileTree::plantSource(Source kind, const QString &path, QString *why)
{
    switch (kind) {
    case FifoSource:
        return plantSpecial(FifoAsTarget, path, why);
    case SocketSource:
        return plantSpecial(SocketAsTarget, path, why);
    case DeviceSource:
        break;
    }
    return plantSpecial(DeviceAsTarget, path, why);
}

bool HostileTree::isSpecialAt(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)
        && !S_ISLNK(st.st_mode);
#else
    Q_UNUSED(path)
    return false;
#endif
}

HostileTree::HostileTree(const QString &root)
    : m_root(root)
{
    m_files.insert(QStringLiteral("victim.jpg"), QByteArray("outside victim"));
    m_files.insert(QStringLiteral("合同.pdf"), QByteArray("another order's contract"));
    m_files.insert(QStringLiteral("all/IMG_0001.jpg"), QByteArray("another order's photo"));
    m_files.insert(QStringLiteral("原片/IMG_0001.jpg"), QByteArray("another order's original"));
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
        TreeFixture::write(outside() + QLatin1Char('/') + it.key(), it.value());
}

QString HostileTree::outside() const
{
    return m_root + QStringLiteral("/outside");
}

QString HostileTree::victim() const
{
    return outside() + QStringLiteral("/victim.jpg");
}

bool HostileTree::link(const QString &target, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return QFile::link(target, path);
}

bool HostileTree::linkToVictim(const QString &path, bool dangling) const
{
    return link(dangling ? outside() + QStringLiteral("/missing.jpg") : victim(), path);
}

bool HostileTree::linkToOutside(const QString &path) const
{
    return link(outside(), path);
}

bool HostileTree::untouched(QString *what) const
{
    const QStringList now = TreeFixture::below(outside(), QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs
                                                               | QDir::NoDotAndDotDot);
    QStringList expected;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        expected << it.key();
        const QString dir = QFileInfo(it.key()).path();
        if (dir != QLatin1String(".") && !expected.contains(dir))
            expected << dir;
    }
    expected.sort();
    if (now != expected) {
        if (what)
            *what = QStringLiteral("outside holds %1").arg(now.join(QStringLiteral(", ")));
        return false;
    }
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it) {
        if (TreeFixture::read(outside() + QLatin1Char('/') + it.key()) != it.value()) {
            if (what)
                *what = QStringLiteral("outside file changed: ") + it.key();
            return false;
        }
    }
    return true;
}

FolderFlipper::FolderFlipper(const QString &folder, const QString &linkTarget)
    : m_folder(QDir::cleanPath(folder))
    , m_parked(QDir::cleanPath(folder) + QStringLiteral(".parked"))
    , m_target(linkTarget)
{
    m_thread = std::thread([this] {
        const QByteArray folderName = QFile::encodeName(m_folder);
        const QByteArray parkedName = QFile::encodeName(m_parked);
        const QByteArray target = QFile::encodeName(m_target);
        while (!m_stop.load()) {
#ifdef Q_OS_UNIX
            // Not there (yet): the job may make it.
            if (::rename(folderName.constData(), parkedName.constData()) != 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if (::symlink(target.constData(), folderName.constData()) == 0) {
                m_flips.fetch_add(1);
                std::this_thread::yield();
                ::unlink(folderName.constData());
            }
            // A job that found the folder gone may have made a new one (and
            // written into it) meanwhile: that one is moved aside, still
            // inside the order, so the real folder always comes back.
            for (int aside = 0; ::rename(parkedName.constData(), folderName.constData()) != 0; ++aside) {
                const QByteArray made = folderName + ".made." + QByteArray::number(aside);
                ::rename(folderName.constData(), made.constData());
            }
            std::this_thread::yield();
#else
            break;
#endif
        }
    });
}

FolderFlipper::~FolderFlipper()
{
    m_stop.store(true);
    m_thread.join();
}

FifoReleaser::FifoReleaser(const QStringList &fifos, int afterMs)
    : m_fifos(fifos)
{
    m_thread = std::thread([this, afterMs] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(afterMs);
        while (!m_stop.load() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (m_stop.load())
            return;
#ifdef Q_OS_UNIX
        // Keep releasing until the test is done with the job: a job that
        // opens the pipe again after a release would block again.
        while (!m_stop.load()) {
            for (const QString &fifo : qAsConst(m_fifos)) {
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
                if (fd >= 0) {
                    m_released.store(true);
                    ::close(fd);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
#endif
    });
}

FifoReleaser::~FifoReleaser()
{
    m_stop.store(true);
    m_thread.join();
}
