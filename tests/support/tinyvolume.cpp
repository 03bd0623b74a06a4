#include "tests/support/tinyvolume.h"

#include <QFile>

#ifdef Q_OS_LINUX
#include <sched.h>
#include <sys/mount.h>
#endif

namespace {

bool g_isolated = false;

} // namespace

void TinyVolume::isolateMounts()
{
#ifdef Q_OS_LINUX
    if (g_isolated)
        return;
    // Mounts made from here on stay in this process, and a mount point made
    // private never passes a mount back to the parent namespace.
    if (::unshare(CLONE_NEWNS) != 0)
        return;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return;
    g_isolated = true;
#endif
}

TinyVolume::TinyVolume(qint64 bytes)
{
#ifdef Q_OS_LINUX
    if (!g_isolated || !dir.isValid())
        return;
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
    mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                      options.constData())
        == 0;
#else
    Q_UNUSED(bytes)
#endif
}

TinyVolume::~TinyVolume()
{
#ifdef Q_OS_LINUX
    if (mounted)
        ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
#endif
}

bool TinyVolume::fill(qint64 leaveBytes)
{
    if (!mounted)
        return false;
    QFile filler(filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    return filler.resize(qMax<qint64>(0, filler.size() - leaveBytes));
}

const char *TinyVolume::unavailableReason()
{
    return "no private mount namespace for a small volume here (needs root on Linux)";
}
