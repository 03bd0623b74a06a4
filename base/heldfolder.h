#pragma once

#include <memory>

#include <QIODevice>
#include <QString>
#include <QVector>

class QFile;

// The platform layer under every write and delete in a user's folders. A
// folder is held open while a job works in it, and each name is looked up
// relative to the held folder: a folder renamed, or swapped for a link,
// after it was checked cannot send the write or the delete elsewhere.
//
// Paths are in the file system's own form (PathUtil::toFs()). On POSIX a
// held folder is a directory descriptor reached with openat() and
// O_NOFOLLOW; on Windows it is a chain of handles opened without following
// reparse points and without delete sharing, so no folder on the way can be
// renamed or replaced while it is held.
class HeldFolder
{
public:
    // What stands at a name of the folder, the name itself not followed.
    enum class Kind {
        Missing,
        File,    // a regular file
        Folder,
        Link,    // a symbolic link or junction, also a dangling one
        Special, // a pipe, socket or device
        Unknown, // the look itself failed (permission, I/O)
    };

    HeldFolder();
    HeldFolder(HeldFolder &&other) noexcept;
    HeldFolder &operator=(HeldFolder &&other) noexcept;
    HeldFolder(const HeldFolder &) = delete;
    HeldFolder &operator=(const HeldFolder &) = delete;
    ~HeldFolder();

    // The folder at path, links on its way followed (a configuration
    // folder, a folder the user chose). Invalid with *error set otherwise.
    static HeldFolder open(const QString &path, QString *error = nullptr);

    // The folder at path, which is root or lies below it. root is opened as
    // it is (it may lie below links, as a mounted share does, but may not be
    // one); each folder below is reached from the one above without
    // following a link. With create, missing folders on the way (root
    // included) are made. On failure *error says why for the user and *link,
    // when a link stood on the way, names it.
    static HeldFolder openBeneath(const QString &root, const QString &path, bool create, QString *error = nullptr,
                                  QString *link = nullptr);

    bool isValid() const;
    // The path the folder was reached by, for messages and for names.
    QString path() const;
    QString filePath(const QString &name) const;

    Kind kindOf(const QString &name) const;

    // Removes the regular file name. False with *error set (and nothing
    // removed) when name is no regular file or the file system refuses.
    bool removeFile(const QString &name, QString *error = nullptr) const;

    // What the folder holds, read from the held folder itself (never from
    // its path looked up again), links not followed; "." and ".." left out.
    // size is that of a regular file, else 0. A name the system's encoding
    // cannot decode is listed with undecodable set: it cannot be named again.
    struct Entry
    {
        QString name;
        Kind kind = Kind::Unknown;
        qint64 size = 0;
        bool undecodable = false;
    };
    QVector<Entry> entries() const;

    // Makes the folder name in this folder. Made when it did, Existed when a
    // folder (not a link) of that name was there already, Failed with
    // *error set otherwise (a file, a link or a pipe of that name, a full
    // volume, no permission).
    enum class MakeFolder { Made, Existed, Failed };
    MakeFolder makeFolder(const QString &name, QString *error = nullptr) const;

    // A new temporary file in this folder that will take name's place: see
    // TempFile. Null with *error set when it cannot be made. With ownerOnly
    // the file is readable by its owner only; otherwise it keeps the
    // permissions of a regular file already at name.
    class TempFile;
    std::unique_ptr<TempFile> createTemp(const QString &name, bool ownerOnly, QString *error = nullptr) const;

    // The text of a platform error code (errno, GetLastError()) as the user
    // reads it, in Chinese; diskFullText() for a full volume or quota.
    static QString errorText(int code);
    static QString diskFullText();

    // Opens the regular file at path for reading into file, without
    // blocking and without following a link at path. A pipe, socket or
    // device is never opened for reading, nor read. False with *error set
    // otherwise, to a cause the caller puts after the file's name or
    // "源文件": "不存在", "不是普通文件", "是链接，未读取", "是一个目录",
    // errorText().
    static bool openSource(const QString &path, QFile *file, QString *error = nullptr);

    struct Handle;

private:
    explicit HeldFolder(std::unique_ptr<Handle> handle);

    std::unique_ptr<Handle> m_handle;
};

// The temporary file of one atomic write: written through this device (with
// its own buffer, whose every flush is checked), then committed: the rest of
// the buffer written, the file synced to the disk and renamed over its name
// in the held folder. A write that fails (a full disk) fails every later
// write and the commit. Destroyed without a commit, the temporary file is
// removed and whatever was at the name stays.
class HeldFolder::TempFile : public QIODevice
{
public:
    enum class Commit {
        Done,
        WriteFailed,   // the rest of the bytes, or the sync, did not reach the disk
        ReplaceFailed, // complete and synced, but could not take the name's place
    };

    ~TempFile() override;

    // Gives the file the permissions of source (an open file), as a plain
    // copy keeps them; no effect on Windows.
    void keepPermissionsOf(const QFile &source);
    // Writes out what the device holds back, so a full disk shows now.
    bool flushBuffer();
    Commit commit(QString *error = nullptr);
    // Removes the temporary file; the name keeps what it had.
    void discard();
    // The platform error code of the first failed write, 0 when none failed.
    int failure() const;

    // Seekable, for writers that go back (TIFF): a seek writes the buffer
    // out first.
    bool seek(qint64 pos) override;
    qint64 size() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    friend class HeldFolder;
    struct Private;
    explicit TempFile(std::unique_ptr<Private> d);
    bool drain();
    bool seekFile(qint64 pos);
    qint64 writeThrough(const char *data, qint64 size);

    std::unique_ptr<Private> d;
};
