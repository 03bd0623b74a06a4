#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#include "tests/support/hostiletree.h"
#include "tests/support/treefixture.h"

// Entries a batch delete must leave where they are, planted in a real
// folder tree for the scan's and the run's tests. Destroyed, it puts back
// what would keep the temporary folder from going: a folder's mode, a name
// QDir cannot address.
class PlantedEntries
{
public:
    // outside is a folder apart from the order's, for what links point at.
    PlantedEntries(const QString &root, const QString &outside)
        : m_root(root)
        , m_outside(outside)
    {
    }
    ~PlantedEntries()
    {
        for (const std::function<void()> &step : qAsConst(m_undo))
            step();
    }
    PlantedEntries(const PlantedEntries &) = delete;
    PlantedEntries &operator=(const PlantedEntries &) = delete;

    // Plants "kind:path", path relative to root:
    //  file       a small file; each "~" in its path is the byte 0xff, no UTF-8
    //  pipe, socket, device
    //  dangling   a link to a missing file outside
    //  linkdir    a link to a folder outside
    //  linkpipe   a link to a pipe outside
    //  readonly   a folder holding locked.jpg, that the account may not change
    //  unreadable a folder holding locked.jpg, that the account may not read
    // False when it cannot; *skip says why when this system does not allow
    // it (a device needs root, root ignores a folder's mode, a locale that
    // decodes every byte), and is empty when the planting failed.
    bool plant(const QString &spec, QString *skip)
    {
        skip->clear();
        const QString how = spec.section(QLatin1Char(':'), 0, 0);
        const QString path = m_root + QLatin1Char('/') + spec.section(QLatin1Char(':'), 1);
        if (how == QLatin1String("file"))
            return plantFile(path, skip);
        if (how == QLatin1String("pipe") || how == QLatin1String("socket") || how == QLatin1String("device")) {
            const HostileTree::Case kind = how == QLatin1String("pipe") ? HostileTree::FifoAsTarget
                : how == QLatin1String("socket")                        ? HostileTree::SocketAsTarget
                                                                        : HostileTree::DeviceAsTarget;
            if (!HostileTree::plantSpecial(kind, path, skip))
                return false;
            if (kind == HostileTree::FifoAsTarget)
                m_pipes << path;
            m_stays << QFile::encodeName(path);
            return true;
        }
        if (how == QLatin1String("dangling"))
            return link(m_outside + QStringLiteral("/gone.jpg"), path);
        if (how == QLatin1String("linkdir"))
            return TreeFixture::write(m_outside + QStringLiteral("/keep/x.jpg"), "kept")
                && link(m_outside + QStringLiteral("/keep"), path);
        if (how == QLatin1String("linkpipe")) {
            const QString pipe = m_outside + QStringLiteral("/pipe");
            if (!HostileTree::plantSpecial(HostileTree::FifoAsTarget, pipe, skip))
                return false;
            m_pipes << pipe;
            return link(pipe, path);
        }
        if (how == QLatin1String("readonly") || how == QLatin1String("unreadable"))
            return plantLockedFolder(path, how == QLatin1String("readonly"), skip);
        return false;
    }

    // The pipes planted, for a FifoReleaser.
    QStringList pipes() const { return m_pipes; }
    // The raw paths of what must still be there after a run.
    QList<QByteArray> stays() const { return m_stays; }

private:
    bool plantFile(const QString &path, QString *skip)
    {
        QByteArray raw = QFile::encodeName(path);
        raw.replace('~', '\xff');
        if (raw.contains('\xff') && QFile::encodeName(QFile::decodeName(raw)) == raw) {
            *skip = QStringLiteral("every byte sequence is a name in this locale's encoding");
            return false;
        }
        const QByteArray folder = raw.left(raw.lastIndexOf('/'));
        if (::mkdir(folder.constData(), 0755) == 0)
            m_undo.prepend([folder]() { ::rmdir(folder.constData()); });
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0)
            return false;
        const bool written = ::write(fd, "photo", 5) == 5;
        ::close(fd);
        m_undo.prepend([raw]() { ::unlink(raw.constData()); });
        m_stays << raw;
        return written;
    }

    bool plantLockedFolder(const QString &path, bool readOnly, QString *skip)
    {
        if (::geteuid() == 0) {
            *skip = QStringLiteral("root ignores a folder's mode bits");
            return false;
        }
        const QString file = path + QStringLiteral("/locked.jpg");
        if (!TreeFixture::write(file, "photo"))
            return false;
        const QFileDevice::Permissions mode = readOnly ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                       : QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        if (!QFile::setPermissions(path, mode))
            return false;
        m_undo << [path]() {
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        };
        m_stays << QFile::encodeName(file);
        return true;
    }

    bool link(const QString &target, const QString &path)
    {
        if (!HostileTree::link(target, path))
            return false;
        m_stays << QFile::encodeName(path);
        return true;
    }

    QString m_root;
    QString m_outside;
    QStringList m_pipes;
    QList<QByteArray> m_stays;
    QList<std::function<void()>> m_undo;
};
