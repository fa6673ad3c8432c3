#pragma once

// The two ways a document file is written; writeDocument (document_file.h)
// chooses between them. Inside the documents folder only.

#include "documents/posix_io.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>

namespace holvane::saving {

QString notRegularReason();

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
