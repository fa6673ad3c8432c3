#include "documents/save_routes.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace holvane::saving {
namespace {

Errno writeZeros(int fd, off_t from, off_t to)
{
    static const char zeros[65536] = {};
    for (off_t at = from; at < to;) {
        const size_t size = size_t(std::min<off_t>(to - at, off_t(sizeof zeros)));
        if (const Errno error = writeAll(fd, zeros, size, at))
            return error;
        at += off_t(size);
    }
    return 0;
}

// Makes sure that writing `size` bytes from the start cannot run out of
// space, without changing a byte of the old text. fallocate does it where the
// file system has it. Elsewhere (ext2, NFSv3, many FUSE systems) the growth
// is written as zeros past the old end; glibc's posix_fallocate emulation
// would need the file open for reading as well. The fsync is there for
// network file systems, which may only report a full disk when the data
// reaches the server. Holes in the old file are left to the file system
// (Linux's ext2 refuses a write into one before writing anything).
Errno reserve(int fd, off_t oldSize, off_t size)
{
    if (size == 0)
        return 0;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    if (size <= oldSize)
        return 0;
    if (const Errno error = writeZeros(fd, oldSize, size))
        return error;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// Writing as anyone but root makes the kernel drop setuid and setgid. The
// owner may set them again, and does; for anyone else the kernel's choice
// stands.
void restoreMode(int fd, mode_t oldMode)
{
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_mode & 07777) != (oldMode & 07777))
        (void)::fchmod(fd, oldMode & 07777);
}

std::optional<QString> writeRegularFile(FileDescriptor &fd, const struct stat &old, const QByteArray &bytes)
{
    const off_t size = off_t(bytes.size());
    if (const Errno error = reserve(fd.get(), old.st_size, size)) {
        (void)::ftruncate(fd.get(), old.st_size); // what was added beyond the old end goes again
        return systemReason(error);
    }
    if (const Errno error = writeAll(fd.get(), bytes.constData(), size_t(bytes.size()), 0))
        return systemReason(error);
    if (::ftruncate(fd.get(), size) != 0)
        return systemReason(errno);
    restoreMode(fd.get(), old.st_mode);
    if (::fsync(fd.get()) != 0)
        return systemReason(errno);
    if (const Errno error = fd.close())
        return systemReason(error);
    return std::nullopt;
}

std::optional<QString> writeDevice(FileDescriptor &fd, const QByteArray &bytes)
{
    if (const Errno error = writeAll(fd.get(), bytes.constData(), size_t(bytes.size()), -1))
        return systemReason(error);
    if (const Errno error = fd.close())
        return systemReason(error);
    return std::nullopt;
}

} // namespace

std::optional<QString> writeInPlace(const QString &path, const QByteArray &bytes)
{
    // Non-blocking, so that a FIFO without a reader fails instead of hanging.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        return errno == ENXIO ? notRegularReason() : systemReason(errno);
    struct stat old {};
    if (::fstat(fd.get(), &old) != 0)
        return systemReason(errno);
    if (S_ISFIFO(old.st_mode) || S_ISSOCK(old.st_mode))
        return notRegularReason();
    if (::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0)
        return systemReason(errno);
    return S_ISREG(old.st_mode) ? writeRegularFile(fd, old, bytes) : writeDevice(fd, bytes);
}

QString notRegularReason()
{
    return QStringLiteral("通常のファイルではありません (not a regular file)");
}

} // namespace holvane::saving
