#include "documents/document_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace holvane {
namespace {

const QString kIsFolder = QStringLiteral("フォルダーです (is a folder)");
const QString kNotRegular = QStringLiteral("通常のファイルではありません (not a regular file)");

QString systemReason(int error)
{
    return qt_error_string(error);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closing can report the failure of a write that the file system delayed.
    int close() { return ::close(std::exchange(m_fd, -1)); }

private:
    int m_fd;
};

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        left -= written;
    }
    return true;
}

// Writes over the file where it stands: the same inode, so its owner, group,
// links, ACLs and extended attributes stay as they are. Where the file system
// can, the space is reserved first, so that a full disk fails before a byte
// of the old text is touched; the old bytes are then written over and the
// file cut to the new length. Devices are written the same way, minus the
// reserving and cutting.
std::optional<QString> writeInPlace(const QString &path, const QByteArray &bytes)
{
    // Non-blocking, so that a FIFO without a reader fails instead of hanging.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return errno == ENXIO ? kNotRegular : systemReason(errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return systemReason(errno);
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        return kNotRegular;
    if (::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0)
        return systemReason(errno);
    const bool regular = S_ISREG(info.st_mode);
    if (regular && !bytes.isEmpty() && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return systemReason(errno);
    if (!writeAll(fd.get(), bytes))
        return systemReason(errno);
    if (regular && (::ftruncate(fd.get(), off_t(bytes.size())) != 0 || ::fsync(fd.get()) != 0))
        return systemReason(errno);
    if (fd.close() != 0)
        return systemReason(errno);
    return std::nullopt;
}

// Gives the new file the old one's owner, group and extended attributes
// (ACLs among them); false where the system does not allow it.
bool carryIdentity(int newFile, const QByteArray &oldPath, const struct stat &old)
{
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) && ::fchown(newFile, old.st_uid, old.st_gid) != 0)
        return false;
    const ssize_t listSize = ::listxattr(oldPath.constData(), nullptr, 0);
    if (listSize < 0)
        return errno == ENOTSUP;
    std::vector<char> names(size_t(listSize) + 1, '\0');
    if (::listxattr(oldPath.constData(), names.data(), names.size()) != listSize)
        return false;
    for (const char *name = names.data(); name < names.data() + listSize; name += std::strlen(name) + 1) {
        const ssize_t size = ::getxattr(oldPath.constData(), name, nullptr, 0);
        if (size < 0)
            return false;
        std::vector<char> value(size_t(size) + 1);
        const ssize_t got = ::getxattr(oldPath.constData(), name, value.data(), value.size());
        if (got < 0 || ::fsetxattr(newFile, name, value.data(), size_t(got), 0) != 0)
            return false;
    }
    return true;
}

enum class Replaced { Done, Failed, CannotKeepIdentity };

// The new bytes go to a temporary file beside the old one, which is renamed
// over it only once they are completely written: a failed save leaves the old
// file whole.
Replaced replaceWhole(const QString &path, const struct stat *old, const QByteArray &bytes, QString &reason)
{
    // QSaveFile gives the new file the permissions of the one it replaces.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
        return old ? Replaced::CannotKeepIdentity : Replaced::Failed;
    }
    if (old && !carryIdentity(int(file.handle()), QFile::encodeName(path), *old)) {
        file.cancelWriting();
        return Replaced::CannotKeepIdentity;
    }
    if (file.write(bytes) != bytes.size()) {
        reason = file.errorString();
        file.cancelWriting();
        return Replaced::Failed;
    }
    if (!file.commit()) {
        reason = file.errorString();
        return Replaced::Failed;
    }
    return Replaced::Done;
}

// Renaming a new file into place would split hard links, and is impossible
// where the folder cannot be written; the file is then written in place.
bool canReplace(const QString &path, const struct stat &info)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return info.st_nlink == 1 && ::access(folder.constData(), W_OK | X_OK) == 0;
}

struct FileBytes {
    std::optional<QByteArray> bytes;
    QString error;
};

FileBytes readFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && info.isDir())
        return {std::nullopt, kIsFolder};
    if (info.exists() && !info.isFile())
        return {std::nullopt, kNotRegular};
    // Not using QIODevice::Text: line ends must reach the pane as they are.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};
    return {std::move(bytes), QString()};
}


} // namespace


ReadOutcome readDocument(const QString &path, std::optional<Encoding> forced)
{
    FileBytes file = readFile(path);
    if (!file.bytes)
        return {std::nullopt, file.error};
    return {decodeDocument(*file.bytes, forced), QString()};
}

std::optional<QByteArray> bytesOfUnchangedFile(const QString &path, QStringView text, Encoding encoding,
                                               bool byteOrderMark)
{
    FileBytes file = readFile(path);
    if (!file.bytes)
        return std::nullopt;
    const DecodedDocument read = decodeDocument(*file.bytes, encoding);
    if (read.byteOrderMark != byteOrderMark || read.text != text)
        return std::nullopt;
    return file.bytes;
}

std::optional<QString> writeDocument(const QString &path, const QByteArray &bytes)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno != ENOENT)
            return systemReason(errno);
        QString reason;
        return replaceWhole(path, nullptr, bytes, reason) == Replaced::Done ? std::nullopt : std::optional(reason);
    }
    if (S_ISDIR(info.st_mode))
        return kIsFolder;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        return kNotRegular; // a FIFO would hang the editor until someone reads it
    if (!S_ISREG(info.st_mode))
        return writeInPlace(path, bytes); // a device: never replaced by a regular file

    // A symbolic link keeps pointing at the file it names, which is what gets written.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (canReplace(target, info)) {
        QString reason;
        switch (replaceWhole(target, &info, bytes, reason)) {
        case Replaced::Done:
            return std::nullopt;
        case Replaced::Failed:
            return reason;
        case Replaced::CannotKeepIdentity:
            break;
        }
    }
    return writeInPlace(target, bytes);
}

} // namespace holvane
