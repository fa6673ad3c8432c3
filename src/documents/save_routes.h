#pragma once

// The two ways a document file is written; writeDocument (document_file.h)
// chooses between them. Inside the documents folder only.

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>

namespace holvane::saving {

// A system error number, or 0 for success.
using Errno = int;

QString systemReason(Errno error);
QString notRegularReason();

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor();
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd);
    // Closing can report the failure of a write that the file system delayed.
    Errno close();

private:
    int m_fd;
};

// Writes all of `size` bytes, at `offset`, or at the file position where
// `offset` is negative (a device that cannot seek).
Errno writeAll(int fd, const char *data, size_t size, off_t offset);

// Writes over the file where it stands, keeping its inode and so its owner,
// group, links, ACLs and extended attributes. A failure before the first
// byte of the new text leaves the old one whole, full disks included.
// Devices are written the same way, minus what only makes sense for files.
std::optional<QString> writeInPlace(const QString &path, const QByteArray &bytes);

enum class Replaced { Done, Failed, CannotKeepIdentity };

struct ReplaceOutcome {
    Replaced result;
    QString reason; // with Failed
};

// Writes a complete new file beside `path` and renames it over `path`, so
// that a failure leaves the old file whole. With `old`, the new file first
// takes the old one's mode, owner, group, ACL and extended attributes
// exactly; where the system refuses any of it, nothing has been changed and
// the answer is CannotKeepIdentity.
ReplaceOutcome replaceWhole(const QString &path, const struct stat *old, const QByteArray &bytes);

} // namespace holvane::saving
