#pragma once

#include <QString>

#include <optional>

namespace holvane {

// Which file a path names and what the file system says of its contents
// without reading them. When any of these differs from what was noted when
// the document was read or written, another program has replaced or
// rewritten the file since (an editor that saves by renaming changes the
// inode; one that writes in place changes the time or the size).
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    bool operator==(const FileIdentity &) const = default;
};

// The identity of the file `path` names, through symbolic links as a save
// writes it; nothing when there is no such file or it cannot be looked at.
std::optional<FileIdentity> fileIdentity(const QString &path);

} // namespace holvane
