#pragma once

// File descriptors and writes as the system gives them, with the system's
// own reason for a failure; shared by saving and the recovery files.

#include <QByteArrayView>
#include <QString>

#include <sys/types.h>
#include <utility>

namespace holvane {

// A system error number, or 0 for success.
using Errno = int;

QString systemReason(Errno error);

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor();
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd);
    // Gives the descriptor up without closing it.
    int release() { return std::exchange(m_fd, -1); }
    // Closing can report the failure of a write that the file system delayed.
    Errno close();

private:
    int m_fd;
};

// Writes all of `size` bytes, at `offset`, or at the file position where
// `offset` is negative (a device that cannot seek).
Errno writeAll(int fd, const char *data, size_t size, off_t offset);
inline Errno writeAll(int fd, QByteArrayView bytes, off_t offset)
{
    return writeAll(fd, bytes.data(), size_t(bytes.size()), offset);
}

} // namespace holvane
