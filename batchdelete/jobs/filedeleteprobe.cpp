#include "batchdelete/jobs/filedeleteprobe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

FileDeleteProbe::~FileDeleteProbe() = default;

bool FileDeleteProbe::isRemoteDrive(const QString &driveRoot) const
{
#ifdef Q_OS_WIN
    const QString root = QDir::toNativeSeparators(driveRoot.left(3));
    return GetDriveTypeW(reinterpret_cast<const wchar_t *>(root.utf16())) == DRIVE_REMOTE;
#else
    Q_UNUSED(driveRoot)
    return false;
#endif
}

bool FileDeleteProbe::isLocked(const QString &path) const
{
#ifdef Q_OS_WIN
    const QString native = QDir::toNativeSeparators(path);
    HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_READ | GENERIC_WRITE, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    }
    CloseHandle(handle);
    return false;
#else
    const QByteArray native = QFile::encodeName(path);
    // Only a regular file is opened: opening a pipe would wait for a
    // writer, and a device may act on being opened. A pipe put in the
    // file's place after this look still does not block the open.
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    bool locked = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        locked = errno == EWOULDBLOCK;
    else
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return locked;
#endif
}

bool FileDeleteProbe::isWritable(const QString &path) const
{
    return QFileInfo(path).isWritable();
}

bool FileDeleteProbe::remove(const QString &path) const
{
    Q_UNUSED(path)
    return true;
}

bool FileDeleteProbe::systemRefusesBusyFiles()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

std::shared_ptr<const FileDeleteProbe> FileDeleteProbe::system()
{
    static const std::shared_ptr<const FileDeleteProbe> probe = std::make_shared<FileDeleteProbe>();
    return probe;
}
