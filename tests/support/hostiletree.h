#pragma once

#include <atomic>
#include <thread>

#include <QMap>
#include <QString>
#include <QStringList>

// Hostile folder trees for the tests of every job that writes or deletes:
// an "outside" folder whose files no job may touch, and links planted where
// a job expects a file or a folder. Each test maps the cases onto its own
// job's layout with addCases() and plant().
class HostileTree
{
public:
    enum Case {
        LinkAsTarget,      // the file the job writes or deletes is a link to a file outside
        DanglingLink,      // the same, its target missing (a write would create it outside)
        LinkedSubFolder,   // a folder of the order's is a link to the outside folder
        OrderFolderIsLink, // the order's folder itself is a link to the outside folder
        BackslashName,     // a file named "deep\deeper\victim.jpg" (Linux: one name)
        FifoAsTarget,      // a named pipe where the job's file goes: never opened, a conflict
        SocketAsTarget,    // a socket there
        DeviceAsTarget,    // a character device there (as /dev/null)
        FlippingFolder,    // a folder of the order's keeps flipping between itself and a link to outside (FolderFlipper)
        FullVolume,        // the order lies on a nearly full volume, an older file at the job's target (TinyVolume)
    };

    // Adds the column "hostile" (int, a Case) and one row per case, with
    // the row names prefixed.
    static void addCases(const char *prefix = "");

    // Sources that are no regular file: a job must fail the file, naming
    // it, without blocking and without writing anything.
    enum Source {
        FifoSource,
        SocketSource,
        DeviceSource,
    };
    // Adds the column "source" (int, a Source) and one row per kind.
    static void addSourceCases(const char *prefix = "");

    // A special file of the kind at path (its folders made): a pipe, a
    // bound socket or a character device. False with *why (for QSKIP) where
    // this system does not allow it (a device needs root).
    static bool plantSpecial(Case kind, const QString &path, QString *why = nullptr);
    static bool plantSource(Source kind, const QString &path, QString *why = nullptr);
    static bool isSpecialTarget(Case kind) { return kind == FifoAsTarget || kind == SocketAsTarget || kind == DeviceAsTarget; }
    // Whether a special file (not regular, not a folder, not a link) is at path.
    static bool isSpecialAt(const QString &path);

    // Makes root/outside with a few files whose contents are recorded.
    explicit HostileTree(const QString &root);

    QString outside() const;
    // A file outside that a link points at.
    QString victim() const;

    // A symbolic link at path (its folders made) to target.
    static bool link(const QString &target, const QString &path);
    // A link at path to victim(), or to a missing file outside when dangling.
    bool linkToVictim(const QString &path, bool dangling = false) const;
    // A link at path to the outside folder.
    bool linkToOutside(const QString &path) const;

    // Whether the outside folder holds what it held at the start, nothing
    // more, nothing less, nothing changed; *what says what differs.
    bool untouched(QString *what = nullptr) const;

private:
    QString m_root;
    QMap<QString, QByteArray> m_files;
};

// Flips a folder between itself and a link to another folder, as fast as it
// can, on a thread of its own, until destroyed: the folder is renamed to a
// name beside it (still inside the order), a link takes its place, then the
// link goes and the folder comes back. A job that looks a path up again
// after checking it is sent through the link now and then; one that holds
// what it checked never is. Destroyed, it leaves the real folder in place.
class FolderFlipper
{
public:
    FolderFlipper(const QString &folder, const QString &linkTarget);
    ~FolderFlipper();
    FolderFlipper(const FolderFlipper &) = delete;
    FolderFlipper &operator=(const FolderFlipper &) = delete;

    // How many times the link stood in the folder's place so far.
    int flips() const { return m_flips.load(); }
    // Where the real folder is while the link stands in its place.
    QString parked() const { return m_parked; }

private:
    QString m_folder;
    QString m_parked;
    QString m_target;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_flips{0};
    std::thread m_thread;
};

// Opens the pipes given, for both ends, once afterMs passed, so that a job
// blocked opening or reading one of them ends; released() then says a job
// blocked. The pipes are left in place.
class FifoReleaser
{
public:
    explicit FifoReleaser(const QStringList &fifos, int afterMs = 10000);
    ~FifoReleaser();
    FifoReleaser(const FifoReleaser &) = delete;
    FifoReleaser &operator=(const FifoReleaser &) = delete;

    bool released() const { return m_released.load(); }

private:
    QStringList m_fifos;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_released{false};
    std::thread m_thread;
};
