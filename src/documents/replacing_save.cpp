#include "documents/save_routes.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace holvane::saving {
namespace {

// A new file beside the one it will replace, removed again unless kept. Its
// name is short, so that a file whose own name is as long as the system
// allows still has room for it.
class TemporaryFile {
public:
    TemporaryFile(const QByteArray &folder, mode_t mode)
    {
        static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = folder + "/.holvane-";
            for (int i = 0; i < 8; ++i)
                name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0) {
                m_fd.reset(fd);
                m_name = std::move(name);
                return;
            }
            if (errno != EEXIST)
                break;
        }
        m_error = errno;
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
    }
    Errno error() const { return m_error; }
    FileDescriptor &fd() { return m_fd; }
    // Gives the file the name `path`, replacing what was there.
    Errno renameTo(const QByteArray &path)
    {
        if (::rename(m_name.constData(), path.constData()) != 0)
            return errno;
        m_name.clear();
        return 0;
    }

private:
    FileDescriptor m_fd;
    QByteArray m_name;
    Errno m_error = 0;
};

// The names or the value of extended attributes, asked for with `ask`, which
// takes a buffer and its size, as listxattr and getxattr do. Asked twice: once
// for the size, once for the data, again where it grew in between.
template<typename Ask>
std::optional<QByteArray> askSized(Ask ask)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = ask(nullptr, 0);
        if (size <= 0)
            return size == 0 ? std::optional(QByteArray()) : std::nullopt;
        QByteArray buffer(size, Qt::Uninitialized);
        const ssize_t got = ask(buffer.data(), size_t(buffer.size()));
        if (got >= 0)
            return buffer.left(got);
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt;
}

QByteArrayList attributeNames(std::optional<QByteArray> list)
{
    QByteArrayList names = list ? list->split('\0') : QByteArrayList();
    names.removeAll(QByteArray());
    return names;
}

// Makes the new file's extended attributes exactly the old file's: ACLs are
// among them, so one inherited from the folder's default ACL goes, and one
// the old file had comes along.
bool copyExtendedAttributes(const QByteArray &oldPath, int newFile)
{
    const auto oldList = askSized([&](char *b, size_t n) { return ::listxattr(oldPath.constData(), b, n); });
    if (!oldList && errno != ENOTSUP)
        return false;
    const auto newList = askSized([&](char *b, size_t n) { return ::flistxattr(newFile, b, n); });
    if (!newList && errno != ENOTSUP)
        return false;
    const QByteArrayList oldNames = attributeNames(oldList);
    for (const QByteArray &name : attributeNames(newList)) {
        if (!oldNames.contains(name) && ::fremovexattr(newFile, name.constData()) != 0)
            return false;
    }
    for (const QByteArray &name : oldNames) {
        const auto value =
            askSized([&](char *b, size_t n) { return ::getxattr(oldPath.constData(), name.constData(), b, n); });
        if (!value)
            return false;
        // A security label the new file already has need not be set again,
        // which the system might not allow.
        if (askSized([&](char *b, size_t n) { return ::fgetxattr(newFile, name.constData(), b, n); }) == value)
            continue;
        if (::fsetxattr(newFile, name.constData(), value->constData(), size_t(value->size()), 0) != 0)
            return false;
    }
    return true;
}

// Gives the new file the old one's owner, group, extended attributes and
// mode bits, in that order: changing the owner clears setuid and setgid, and
// setting an ACL sets permission bits. The new file's own owner and group
// are what count (a setgid folder gives it the folder's group). The system
// can also quietly leave out setgid, hence the check at the end.
bool carryIdentity(int newFile, const QByteArray &oldPath, const struct stat &old)
{
    struct stat now {};
    if (::fstat(newFile, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(newFile, old.st_uid, old.st_gid) != 0)
        return false;
    if (!copyExtendedAttributes(oldPath, newFile) || ::fchmod(newFile, old.st_mode & 07777) != 0)
        return false;
    return ::fstat(newFile, &now) == 0 && (now.st_mode & 07777) == (old.st_mode & 07777) && now.st_uid == old.st_uid
           && now.st_gid == old.st_gid;
}

// Makes the rename itself last. A folder that cannot be opened for reading
// or does not take fsync leaves nothing to do.
Errno syncFolder(const QByteArray &folder)
{
    FileDescriptor fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return errno == EACCES ? 0 : errno;
    return ::fsync(fd.get()) == 0 || errno == EINVAL ? 0 : errno;
}

} // namespace

ReplaceOutcome replaceWhole(const QString &path, const struct stat *old, const QByteArray &bytes)
{
    const auto failed = [](Errno error) { return ReplaceOutcome{Replaced::Failed, systemReason(error)}; };
    const QByteArray target = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    // A new file gets what any new file in the folder would; a replacement
    // is private until it has the old one's identity.
    TemporaryFile file(folder, old ? 0600 : 0666);
    if (file.error())
        return old ? ReplaceOutcome{Replaced::CannotKeepIdentity, {}} : failed(file.error());
    // Written before the identity is carried: writing clears setuid, setgid and file capabilities.
    if (const Errno error = writeAll(file.fd().get(), bytes.constData(), size_t(bytes.size()), 0))
        return failed(error);
    if (old && !carryIdentity(file.fd().get(), target, *old))
        return {Replaced::CannotKeepIdentity, {}};
    if (::fsync(file.fd().get()) != 0)
        return failed(errno);
    if (const Errno error = file.fd().close())
        return failed(error);
    if (const Errno error = file.renameTo(target))
        return old ? ReplaceOutcome{Replaced::CannotKeepIdentity, {}} : failed(error);
    if (const Errno error = syncFolder(folder))
        return failed(error);
    return {Replaced::Done, {}};
}

} // namespace holvane::saving
