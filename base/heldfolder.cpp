#include "base/heldfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringList>

#include <cerrno>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <iterator>
#include <vector>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The longest name a folder entry may have on the file systems the studio
// uses (bytes on POSIX, UTF-16 units on Windows).
constexpr int kMaxNameLength = 255;
// What the temporary file adds to the name: "." and six random characters.
constexpr int kTempSuffixLength = 7;
// Bytes gathered before they go to the disk in one write.
constexpr qsizetype kBufferBytes = 1024 * 1024;

void setText(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString cleaned(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The names from root down to path, or false when path is not root or
// below it by its names.
bool namesBelow(const QString &root, const QString &path, QStringList *names)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    if (path.compare(root, cs) == 0) {
        names->clear();
        return true;
    }
    const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (!path.startsWith(prefix, cs))
        return false;
    *names = path.mid(prefix.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return !names->contains(QStringLiteral("..")) && !names->contains(QStringLiteral("."));
}

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString linkedFolderText(const QString &path)
{
    return QStringLiteral("目标目录是链接，拒绝写入: ") + QDir::toNativeSeparators(path);
}

QString notAFolderText(const QString &path)
{
    return QStringLiteral("路径中的同名文件不是目录: ") + QDir::toNativeSeparators(path);
}

// The temporary name beside name: name and a random suffix, the name cut
// (at a character) where the whole would be too long for the file system.
// What makeFolder() says of a name that was taken already.
HeldFolder::MakeFolder existingFolder(HeldFolder::Kind kind, QString *error)
{
    switch (kind) {
    case HeldFolder::Kind::Folder:
        return HeldFolder::MakeFolder::Existed;
    case HeldFolder::Kind::Link:
        setText(error, QStringLiteral("是链接"));
        break;
    default:
        setText(error, QStringLiteral("已存在同名文件"));
        break;
    }
    return HeldFolder::MakeFolder::Failed;
}

QString tempNameFor(const QString &name)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString base = name;
#ifdef Q_OS_WIN
    const auto length = [](const QString &s) { return int(s.size()); };
#else
    const auto length = [](const QString &s) { return int(QFile::encodeName(s).size()); };
#endif
    while (!base.isEmpty() && length(base) + kTempSuffixLength > kMaxNameLength) {
        base.chop(1);
        if (!base.isEmpty() && base.at(base.size() - 1).isHighSurrogate())
            base.chop(1);
    }
    QString suffix(QLatin1Char('.'));
    for (int i = 0; i < kTempSuffixLength - 1; ++i)
        suffix += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof(kChars) - 1))]);
    return base + suffix;
}

} // namespace

QString HeldFolder::diskFullText()
{
    return QStringLiteral("磁盘空间不足");
}

// ---------------------------------------------------------------------------
#ifndef Q_OS_WIN

struct HeldFolder::Handle
{
    int fd = -1;
    QString path;
    ~Handle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct HeldFolder::TempFile::Private
{
    int dirFd = -1;
    int fd = -1;
    QByteArray tempName;
    QByteArray name;
    QByteArray buffer;
    qint64 pos = 0;
    qint64 size = 0;
    int failure = 0;
    bool finished = false;
};

namespace {

int openFolderAt(int at, const QByteArray &name, bool follow)
{
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (!follow)
        flags |= O_NOFOLLOW;
    int fd;
    do {
        fd = ::openat(at, name.constData(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

HeldFolder::Kind kindOfMode(mode_t mode)
{
    if (S_ISLNK(mode))
        return HeldFolder::Kind::Link;
    if (S_ISDIR(mode))
        return HeldFolder::Kind::Folder;
    if (S_ISREG(mode))
        return HeldFolder::Kind::File;
    return HeldFolder::Kind::Special;
}

bool writeAll(int fd, const char *data, qint64 size, int *failure)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(size, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *failure = errno;
            return false;
        }
        if (n == 0) {
            *failure = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

QString HeldFolder::errorText(int code)
{
    switch (code) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return diskFullText();
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限");
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case ENOENT:
        return QStringLiteral("文件或目录不存在");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是目录");
    case EISDIR:
        return QStringLiteral("是一个目录");
    case ELOOP:
        return QStringLiteral("路径中有链接");
    case ENAMETOOLONG:
        return QStringLiteral("路径或文件名过长");
    case EEXIST:
    case ENOTEMPTY:
        return QStringLiteral("已存在同名的文件或目录");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被占用");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("打开的文件过多");
    case EIO:
        return QStringLiteral("磁盘读写错误");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("不是普通文件");
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ESTALE:
        return QStringLiteral("网络路径不可用");
    default:
        return QStringLiteral("系统错误 %1").arg(code);
    }
}

HeldFolder HeldFolder::open(const QString &path, QString *error)
{
    const QString p = cleaned(path);
    const int fd = openFolderAt(AT_FDCWD, QFile::encodeName(p), true);
    if (fd < 0) {
        setText(error, errorText(errno) + QStringLiteral(": ") + QDir::toNativeSeparators(p));
        return HeldFolder();
    }
    auto handle = std::make_unique<Handle>();
    handle->fd = fd;
    handle->path = p;
    return HeldFolder(std::move(handle));
}

HeldFolder HeldFolder::openBeneath(const QString &root, const QString &path, bool create, QString *error,
                                   QString *link)
{
    if (root.isEmpty() || path.isEmpty()) {
        setText(error, QStringLiteral("目标路径为空"));
        return HeldFolder();
    }
    const QString r = cleaned(root);
    const QString p = cleaned(path);
    QStringList names;
    if (!namesBelow(r, p, &names)) {
        setText(error, QStringLiteral("目标路径指向订单目录之外，拒绝写入: ") + QDir::toNativeSeparators(p));
        return HeldFolder();
    }
    // The root may lie below links (a mounted share); it may not be one,
    // or everything in it lies elsewhere.
    const QByteArray rootName = QFile::encodeName(r);
    int fd = openFolderAt(AT_FDCWD, rootName, false);
    if (fd < 0 && errno == ENOENT && create && QDir().mkpath(r))
        fd = openFolderAt(AT_FDCWD, rootName, false);
    if (fd < 0) {
        const int why = errno;
        struct stat st;
        if ((why == ELOOP || why == ENOTDIR) && ::lstat(rootName.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
            setText(link, r);
            setText(error, linkedFolderText(r));
        } else if (why == ENOENT) {
            setText(error, QStringLiteral("目录不存在: ") + QDir::toNativeSeparators(r));
        } else if (why == ENOTDIR) {
            setText(error, notAFolderText(r));
        } else {
            setText(error, errorText(why) + QStringLiteral(": ") + QDir::toNativeSeparators(r));
        }
        return HeldFolder();
    }
    auto handle = std::make_unique<Handle>();
    handle->fd = fd;
    handle->path = r;
    for (const QString &name : qAsConst(names)) {
        const QByteArray n = QFile::encodeName(name);
        const QString at = joined(handle->path, name);
        int next = openFolderAt(handle->fd, n, false);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(handle->fd, n.constData(), 0777) != 0 && errno != EEXIST) {
                setText(error, QStringLiteral("无法创建目录(") + errorText(errno) + QStringLiteral("): ")
                            + QDir::toNativeSeparators(at));
                return HeldFolder();
            }
            next = openFolderAt(handle->fd, n, false);
        }
        if (next < 0) {
            const int why = errno;
            struct stat st;
            const bool looked = ::fstatat(handle->fd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
            if (looked && S_ISLNK(st.st_mode)) {
                setText(link, at);
                setText(error, linkedFolderText(at));
            } else if (looked && !S_ISDIR(st.st_mode)) {
                setText(error, notAFolderText(at));
            } else if (why == ENOENT) {
                setText(error, QStringLiteral("目录不存在: ") + QDir::toNativeSeparators(at));
            } else {
                setText(error, errorText(why) + QStringLiteral(": ") + QDir::toNativeSeparators(at));
            }
            return HeldFolder();
        }
        ::close(handle->fd);
        handle->fd = next;
        handle->path = at;
    }
    return HeldFolder(std::move(handle));
}

HeldFolder::Kind HeldFolder::kindOf(const QString &name) const
{
    if (!m_handle)
        return Kind::Unknown;
    struct stat st;
    if (::fstatat(m_handle->fd, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Kind::Missing : Kind::Unknown;
    return kindOfMode(st.st_mode);
}

bool HeldFolder::removeFile(const QString &name, QString *error) const
{
    if (!m_handle) {
        setText(error, QStringLiteral("目录未打开"));
        return false;
    }
    const QByteArray n = QFile::encodeName(name);
    struct stat st;
    if (::fstatat(m_handle->fd, n.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        setText(error, errno == ENOENT ? QStringLiteral("文件不存在") : errorText(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        setText(error, S_ISLNK(st.st_mode) ? QStringLiteral("是链接") : QStringLiteral("不是普通文件"));
        return false;
    }
    if (::unlinkat(m_handle->fd, n.constData(), 0) != 0) {
        const int why = errno;
        // A file in a folder the user may not change.
        setText(error, why == EACCES || why == EPERM ? QStringLiteral("没有删除权限") : errorText(why));
        return false;
    }
    return true;
}

QVector<HeldFolder::Entry> HeldFolder::entries() const
{
    QVector<Entry> result;
    if (!m_handle)
        return result;
    // A descriptor of its own: closedir() closes it, not the held one.
    const int fd = ::openat(m_handle->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return result;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return result;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        Entry e;
        e.name = QFile::decodeName(raw);
        e.undecodable = QFile::encodeName(e.name) != raw;
        struct stat st;
        if (::fstatat(m_handle->fd, raw.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            e.kind = kindOfMode(st.st_mode);
            if (e.kind == Kind::File)
                e.size = qint64(st.st_size);
        }
        result.append(e);
    }
    ::closedir(dir);
    return result;
}

HeldFolder::MakeFolder HeldFolder::makeFolder(const QString &name, QString *error) const
{
    if (!m_handle) {
        setText(error, QStringLiteral("目录未打开"));
        return MakeFolder::Failed;
    }
    if (::mkdirat(m_handle->fd, QFile::encodeName(name).constData(), 0777) == 0)
        return MakeFolder::Made;
    const int why = errno;
    if (why != EEXIST) {
        setText(error, errorText(why));
        return MakeFolder::Failed;
    }
    return existingFolder(kindOf(name), error);
}

std::unique_ptr<HeldFolder::TempFile> HeldFolder::createTemp(const QString &name, bool ownerOnly,
                                                             QString *error) const
{
    if (!m_handle) {
        setText(error, QStringLiteral("目录未打开"));
        return nullptr;
    }
    auto d = std::make_unique<TempFile::Private>();
    d->name = QFile::encodeName(name);
    mode_t keptMode = 0;
    struct stat st;
    if (!ownerOnly && ::fstatat(m_handle->fd, d->name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(st.st_mode))
        keptMode = st.st_mode & 07777;
    int why = EEXIST;
    for (int attempt = 0; attempt < 64 && d->fd < 0 && why == EEXIST; ++attempt) {
        d->tempName = QFile::encodeName(tempNameFor(name));
        d->fd = ::openat(m_handle->fd, d->tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         ownerOnly ? 0600 : 0666);
        if (d->fd < 0)
            why = errno;
    }
    if (d->fd < 0) {
        setText(error, errorText(why));
        return nullptr;
    }
    // Kept from the file replaced, as a plain overwrite would keep them; a
    // new file has the user's default (the mode above less the umask).
    if (keptMode)
        ::fchmod(d->fd, keptMode);
    d->dirFd = ::fcntl(m_handle->fd, F_DUPFD_CLOEXEC, 0);
    if (d->dirFd < 0) {
        why = errno;
        ::close(d->fd);
        ::unlinkat(m_handle->fd, d->tempName.constData(), 0);
        setText(error, errorText(why));
        return nullptr;
    }
    std::unique_ptr<TempFile> file(new TempFile(std::move(d)));
    file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return file;
}

bool HeldFolder::openSource(const QString &path, QFile *file, QString *error)
{
    const QByteArray p = QFile::encodeName(path);
    struct stat st;
    if (::lstat(p.constData(), &st) != 0) {
        setText(error, errno == ENOENT ? QStringLiteral("不存在") : errorText(errno));
        return false;
    }
    // A pipe would block the open or the read for ever, a device would
    // give endless or no bytes: neither is ever opened.
    if (!S_ISREG(st.st_mode)) {
        setText(error, S_ISLNK(st.st_mode) ? QStringLiteral("是链接，未读取")
                                           : S_ISDIR(st.st_mode) ? QStringLiteral("是一个目录")
                                                                 : QStringLiteral("不是普通文件"));
        return false;
    }
    int fd;
    do {
        fd = ::open(p.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        setText(error, errno == ELOOP ? QStringLiteral("是链接，未读取") : errorText(errno));
        return false;
    }
    // What was opened may have been put there after the look above.
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        setText(error, QStringLiteral("不是普通文件"));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        setText(error, QStringLiteral("无法打开文件"));
        return false;
    }
    return true;
}

HeldFolder::TempFile::~TempFile()
{
    discard();
}

bool HeldFolder::TempFile::seekFile(qint64 pos)
{
    if (::lseek(d->fd, off_t(pos), SEEK_SET) < 0) {
        d->failure = errno;
        return false;
    }
    return true;
}

void HeldFolder::TempFile::keepPermissionsOf(const QFile &source)
{
    struct stat st;
    if (d->fd >= 0 && source.handle() >= 0 && ::fstat(source.handle(), &st) == 0)
        ::fchmod(d->fd, st.st_mode & 07777);
}

bool HeldFolder::TempFile::drain()
{
    if (d->failure)
        return false;
    if (d->buffer.isEmpty())
        return true;
    const bool ok = writeAll(d->fd, d->buffer.constData(), d->buffer.size(), &d->failure);
    d->buffer.clear();
    return ok;
}

qint64 HeldFolder::TempFile::writeThrough(const char *data, qint64 size)
{
    if (d->fd < 0 || d->failure)
        return -1;
    if (d->buffer.size() + size <= kBufferBytes) {
        if (d->buffer.capacity() < kBufferBytes)
            d->buffer.reserve(kBufferBytes);
        d->buffer.append(data, int(size));
        if (d->buffer.size() < kBufferBytes)
            return size;
        if (drain())
            return size;
        setErrorString(errorText(d->failure));
        return -1;
    }
    if (!drain() || !writeAll(d->fd, data, size, &d->failure)) {
        setErrorString(errorText(d->failure));
        return -1;
    }
    return size;
}

HeldFolder::TempFile::Commit HeldFolder::TempFile::commit(QString *error)
{
    if (d->finished || d->fd < 0) {
        setText(error, QStringLiteral("临时文件已关闭"));
        return Commit::WriteFailed;
    }
    bool ok = drain();
    if (ok && ::fsync(d->fd) != 0) {
        d->failure = errno;
        ok = false;
    }
    if (::close(d->fd) != 0 && ok) {
        d->failure = errno;
        ok = false;
    }
    d->fd = -1;
    QIODevice::close();
    if (!ok) {
        setText(error, errorText(d->failure));
        discard();
        return Commit::WriteFailed;
    }
    if (::renameat(d->dirFd, d->tempName.constData(), d->dirFd, d->name.constData()) != 0) {
        setText(error, errorText(errno));
        discard();
        return Commit::ReplaceFailed;
    }
    d->finished = true;
    ::close(d->dirFd);
    d->dirFd = -1;
    return Commit::Done;
}

void HeldFolder::TempFile::discard()
{
    if (d->fd >= 0) {
        ::close(d->fd);
        d->fd = -1;
    }
    if (!d->finished && d->dirFd >= 0)
        ::unlinkat(d->dirFd, d->tempName.constData(), 0);
    d->finished = true;
    if (d->dirFd >= 0) {
        ::close(d->dirFd);
        d->dirFd = -1;
    }
    if (isOpen())
        QIODevice::close();
}

// ---------------------------------------------------------------------------
#else // Q_OS_WIN

struct HeldFolder::Handle
{
    // The folder and every folder above it up to the root the job named,
    // held without delete sharing: none of them can be renamed, removed or
    // replaced by a junction while the job works.
    std::vector<HANDLE> chain;
    QString path;
    ~Handle()
    {
        for (HANDLE h : chain)
            ::CloseHandle(h);
    }
};

struct HeldFolder::TempFile::Private
{
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring tempPath;
    std::wstring path;
    QByteArray buffer;
    qint64 pos = 0;
    qint64 size = 0;
    int failure = 0;
    bool finished = false;
};

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE openFolderHandle(const QString &path, bool follow)
{
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    if (!follow)
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    return ::CreateFileW(native(path).c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, flags, nullptr);
}

DWORD attributesOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(handle, &info))
        return INVALID_FILE_ATTRIBUTES;
    return info.dwFileAttributes;
}

// The handle's path as the system resolved it, for comparing a folder
// with the one above it.
QString finalPathOf(HANDLE handle)
{
    wchar_t buffer[32768];
    const DWORD n = ::GetFinalPathNameByHandleW(handle, buffer, DWORD(std::size(buffer)), FILE_NAME_NORMALIZED);
    if (n == 0 || n >= std::size(buffer))
        return QString();
    return QString::fromWCharArray(buffer, int(n));
}

HeldFolder::Kind kindOfAttributes(DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return HeldFolder::Kind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return HeldFolder::Kind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return HeldFolder::Kind::Special;
    return HeldFolder::Kind::File;
}

bool writeAll(HANDLE file, const char *data, qint64 size, int *failure)
{
    while (size > 0) {
        DWORD written = 0;
        const DWORD want = DWORD(qMin<qint64>(size, 1 << 30));
        if (!::WriteFile(file, data, want, &written, nullptr)) {
            *failure = int(::GetLastError());
            return false;
        }
        if (written == 0) {
            *failure = ERROR_DISK_FULL;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

QString HeldFolder::errorText(int code)
{
    switch (DWORD(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED, missing from older SDK headers
        return diskFullText();
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("没有权限");
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("磁盘是只读的");
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return QStringLiteral("文件或目录不存在");
    case ERROR_DIRECTORY:
        return QStringLiteral("路径中有一段不是目录");
    case ERROR_FILENAME_EXCED_RANGE:
        return QStringLiteral("路径或文件名过长");
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
    case ERROR_DIR_NOT_EMPTY:
        return QStringLiteral("已存在同名的文件或目录");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return QStringLiteral("文件正被占用");
    case ERROR_TOO_MANY_OPEN_FILES:
        return QStringLiteral("打开的文件过多");
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
        return QStringLiteral("磁盘读写错误");
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_BAD_NET_NAME:
        return QStringLiteral("网络路径不可用");
    default:
        return QStringLiteral("系统错误 %1").arg(code);
    }
}

HeldFolder HeldFolder::open(const QString &path, QString *error)
{
    const QString p = cleaned(path);
    const HANDLE h = openFolderHandle(p, true);
    if (h == INVALID_HANDLE_VALUE) {
        setText(error, errorText(int(::GetLastError())) + QStringLiteral(": ") + QDir::toNativeSeparators(p));
        return HeldFolder();
    }
    auto handle = std::make_unique<Handle>();
    handle->chain.push_back(h);
    handle->path = p;
    return HeldFolder(std::move(handle));
}

HeldFolder HeldFolder::openBeneath(const QString &root, const QString &path, bool create, QString *error,
                                   QString *link)
{
    if (root.isEmpty() || path.isEmpty()) {
        setText(error, QStringLiteral("目标路径为空"));
        return HeldFolder();
    }
    const QString r = cleaned(root);
    const QString p = cleaned(path);
    QStringList names;
    if (!namesBelow(r, p, &names)) {
        setText(error, QStringLiteral("目标路径指向订单目录之外，拒绝写入: ") + QDir::toNativeSeparators(p));
        return HeldFolder();
    }
    if (create && !QFileInfo(r).exists())
        QDir().mkpath(r);
    auto handle = std::make_unique<Handle>();
    handle->path = r;
    const auto fail = [&](const QString &at, DWORD attributes, DWORD code) {
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            setText(link, at);
            setText(error, linkedFolderText(at));
        } else if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            setText(error, notAFolderText(at));
        } else if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            setText(error, QStringLiteral("目录不存在: ") + QDir::toNativeSeparators(at));
        } else {
            setText(error, errorText(int(code)) + QStringLiteral(": ") + QDir::toNativeSeparators(at));
        }
        return HeldFolder();
    };
    HANDLE h = openFolderHandle(r, false);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        return fail(r, ::GetFileAttributesW(native(r).c_str()), code);
    }
    handle->chain.push_back(h);
    DWORD attributes = attributesOf(h);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return fail(r, attributes, ::GetLastError());
    QString above = finalPathOf(h);
    for (const QString &name : qAsConst(names)) {
        const QString at = joined(handle->path, name);
        h = openFolderHandle(at, false);
        if (h == INVALID_HANDLE_VALUE && create) {
            DWORD code = ::GetLastError();
            if ((code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
                && !::CreateDirectoryW(native(at).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
                setText(error, QStringLiteral("无法创建目录(") + errorText(int(::GetLastError()))
                            + QStringLiteral("): ") + QDir::toNativeSeparators(at));
                return HeldFolder();
            }
            h = openFolderHandle(at, false);
        }
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD code = ::GetLastError();
            return fail(at, ::GetFileAttributesW(native(at).c_str()), code);
        }
        handle->chain.push_back(h);
        attributes = attributesOf(h);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return fail(at, attributes, ::GetLastError());
        // The folder opened is the one below the held folder by that name,
        // not one a reparse point above it leads to.
        const QString here = finalPathOf(h);
        if (!above.isEmpty() && !here.isEmpty()
            && here.compare(above + QLatin1Char('\\') + name, Qt::CaseInsensitive) != 0) {
            setText(link, at);
            setText(error, linkedFolderText(at));
            return HeldFolder();
        }
        above = here;
        handle->path = at;
    }
    return HeldFolder(std::move(handle));
}

HeldFolder::Kind HeldFolder::kindOf(const QString &name) const
{
    if (!m_handle)
        return Kind::Unknown;
    const DWORD attributes = ::GetFileAttributesW(native(filePath(name)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Kind::Missing : Kind::Unknown;
    }
    return kindOfAttributes(attributes);
}

bool HeldFolder::removeFile(const QString &name, QString *error) const
{
    if (!m_handle) {
        setText(error, QStringLiteral("目录未打开"));
        return false;
    }
    switch (kindOf(name)) {
    case Kind::File:
        break;
    case Kind::Missing:
        setText(error, QStringLiteral("文件不存在"));
        return false;
    case Kind::Link:
        setText(error, QStringLiteral("是链接"));
        return false;
    default:
        setText(error, QStringLiteral("不是普通文件"));
        return false;
    }
    if (!::DeleteFileW(native(filePath(name)).c_str())) {
        const DWORD code = ::GetLastError();
        setText(error, code == ERROR_ACCESS_DENIED ? QStringLiteral("没有删除权限") : errorText(int(code)));
        return false;
    }
    return true;
}

QVector<HeldFolder::Entry> HeldFolder::entries() const
{
    QVector<Entry> result;
    if (!m_handle)
        return result;
    // The folder and those above it are held without delete sharing: its
    // path still names it.
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(native(filePath(QStringLiteral("*"))).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return result;
    do {
        const QString name = QString::fromWCharArray(data.cFileName);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        Entry e;
        e.name = name;
        e.kind = kindOfAttributes(data.dwFileAttributes);
        if (e.kind == Kind::File)
            e.size = (qint64(data.nFileSizeHigh) << 32) | qint64(data.nFileSizeLow);
        result.append(e);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return result;
}

HeldFolder::MakeFolder HeldFolder::makeFolder(const QString &name, QString *error) const
{
    if (!m_handle) {
        setText(error, QStringLiteral("目录未打开"));
        return MakeFolder::Failed;
    }
    if (::CreateDirectoryW(native(filePath(name)).c_str(), nullptr))
        return MakeFolder::Made;
    const DWORD code = ::GetLastError();
    if (code != ERROR_ALREADY_EXISTS) {
        setText(error, errorText(int(code)));
        return MakeFolder::Failed;
    }
    return existingFolder(kindOf(name), error);
}

std::unique_ptr<HeldFolder::TempFile> HeldFolder::createTemp(const QString &name, bool ownerOnly,
                                                             QString *error) const
{
    Q_UNUSED(ownerOnly) // the per-user folders' own access lists apply
    if (!m_handle) {
        setText(error, QStringLiteral("目录未打开"));
        return nullptr;
    }
    auto d = std::make_unique<TempFile::Private>();
    d->path = native(filePath(name));
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 64 && d->file == INVALID_HANDLE_VALUE && code == ERROR_FILE_EXISTS; ++attempt) {
        d->tempPath = native(filePath(tempNameFor(name)));
        d->file = ::CreateFileW(d->tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
        if (d->file == INVALID_HANDLE_VALUE)
            code = ::GetLastError();
    }
    if (d->file == INVALID_HANDLE_VALUE) {
        setText(error, errorText(int(code)));
        return nullptr;
    }
    std::unique_ptr<TempFile> file(new TempFile(std::move(d)));
    file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return file;
}

bool HeldFolder::openSource(const QString &path, QFile *file, QString *error)
{
    const std::wstring p = native(path);
    const DWORD attributes = ::GetFileAttributesW(p.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        setText(error, code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? QStringLiteral("不存在")
                                                                                       : errorText(int(code)));
        return false;
    }
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        setText(error, (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? QStringLiteral("是链接，未读取")
                       : (attributes & FILE_ATTRIBUTE_DIRECTORY)  ? QStringLiteral("是一个目录")
                                                                   : QStringLiteral("不是普通文件"));
        return false;
    }
    const HANDLE h = ::CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                   nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        setText(error, errorText(int(::GetLastError())));
        return false;
    }
    const DWORD opened = attributesOf(h);
    if (::GetFileType(h) != FILE_TYPE_DISK || opened == INVALID_FILE_ATTRIBUTES
        || (opened & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        ::CloseHandle(h);
        setText(error, QStringLiteral("不是普通文件"));
        return false;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        setText(error, QStringLiteral("无法打开文件"));
        return false;
    }
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        setText(error, QStringLiteral("无法打开文件"));
        return false;
    }
    return true;
}

HeldFolder::TempFile::~TempFile()
{
    discard();
}

bool HeldFolder::TempFile::seekFile(qint64 pos)
{
    LARGE_INTEGER to;
    to.QuadPart = pos;
    if (!::SetFilePointerEx(d->file, to, nullptr, FILE_BEGIN)) {
        d->failure = int(::GetLastError());
        return false;
    }
    return true;
}

void HeldFolder::TempFile::keepPermissionsOf(const QFile &source)
{
    Q_UNUSED(source) // a new file takes its folder's access list
}

bool HeldFolder::TempFile::drain()
{
    if (d->failure)
        return false;
    if (d->buffer.isEmpty())
        return true;
    const bool ok = writeAll(d->file, d->buffer.constData(), d->buffer.size(), &d->failure);
    d->buffer.clear();
    return ok;
}

qint64 HeldFolder::TempFile::writeThrough(const char *data, qint64 size)
{
    if (d->file == INVALID_HANDLE_VALUE || d->failure)
        return -1;
    if (d->buffer.size() + size <= kBufferBytes) {
        if (d->buffer.capacity() < kBufferBytes)
            d->buffer.reserve(kBufferBytes);
        d->buffer.append(data, int(size));
        if (d->buffer.size() < kBufferBytes)
            return size;
        if (drain())
            return size;
        setErrorString(errorText(d->failure));
        return -1;
    }
    if (!drain() || !writeAll(d->file, data, size, &d->failure)) {
        setErrorString(errorText(d->failure));
        return -1;
    }
    return size;
}

HeldFolder::TempFile::Commit HeldFolder::TempFile::commit(QString *error)
{
    if (d->finished || d->file == INVALID_HANDLE_VALUE) {
        setText(error, QStringLiteral("临时文件已关闭"));
        return Commit::WriteFailed;
    }
    bool ok = drain();
    if (ok && !::FlushFileBuffers(d->file)) {
        d->failure = int(::GetLastError());
        ok = false;
    }
    ::CloseHandle(d->file);
    d->file = INVALID_HANDLE_VALUE;
    QIODevice::close();
    if (!ok) {
        setText(error, errorText(d->failure));
        discard();
        return Commit::WriteFailed;
    }
    if (!::MoveFileExW(d->tempPath.c_str(), d->path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        setText(error, errorText(int(::GetLastError())));
        discard();
        return Commit::ReplaceFailed;
    }
    d->finished = true;
    return Commit::Done;
}

void HeldFolder::TempFile::discard()
{
    if (d->file != INVALID_HANDLE_VALUE) {
        ::CloseHandle(d->file);
        d->file = INVALID_HANDLE_VALUE;
    }
    if (!d->finished)
        ::DeleteFileW(d->tempPath.c_str());
    d->finished = true;
    if (isOpen())
        QIODevice::close();
}

#endif // Q_OS_WIN
// ---------------------------------------------------------------------------

HeldFolder::HeldFolder() = default;
HeldFolder::HeldFolder(std::unique_ptr<Handle> handle)
    : m_handle(std::move(handle))
{
}
HeldFolder::HeldFolder(HeldFolder &&other) noexcept = default;
HeldFolder &HeldFolder::operator=(HeldFolder &&other) noexcept = default;
HeldFolder::~HeldFolder() = default;

bool HeldFolder::isValid() const
{
    return m_handle != nullptr;
}

QString HeldFolder::path() const
{
    return m_handle ? m_handle->path : QString();
}

QString HeldFolder::filePath(const QString &name) const
{
    return joined(path(), name);
}

HeldFolder::TempFile::TempFile(std::unique_ptr<Private> d)
    : d(std::move(d))
{
}

int HeldFolder::TempFile::failure() const
{
    return d->failure;
}

qint64 HeldFolder::TempFile::writeData(const char *data, qint64 size)
{
    const qint64 written = writeThrough(data, size);
    if (written > 0) {
        d->pos += written;
        d->size = qMax(d->size, d->pos);
    }
    return written;
}

bool HeldFolder::TempFile::flushBuffer()
{
    if (drain())
        return true;
    setErrorString(errorText(d->failure));
    return false;
}

qint64 HeldFolder::TempFile::size() const
{
    return d->size;
}

bool HeldFolder::TempFile::seek(qint64 pos)
{
    if (pos < 0 || !drain() || !seekFile(pos))
        return false;
    d->pos = pos;
    return QIODevice::seek(pos);
}

qint64 HeldFolder::TempFile::readData(char *, qint64)
{
    return -1;
}
