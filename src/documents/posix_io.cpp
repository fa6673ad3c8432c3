#include "documents/posix_io.h"

#include <cerrno>
#include <unistd.h>

namespace holvane {

QString systemReason(Errno error)
{
    return qt_error_string(error);
}

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void FileDescriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

Errno FileDescriptor::close()
{
    // Linux releases the descriptor even when close fails, so it is never retried.
    return ::close(std::exchange(m_fd, -1)) == 0 ? 0 : errno;
}

Errno writeAll(int fd, const char *data, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return EIO; // never seen; "Unknown error" would say even less
        data += written;
        size -= size_t(written);
        if (offset >= 0)
            offset += written;
    }
    return 0;
}

} // namespace holvane
