#pragma once

#include "documents/text_codec.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace holvane {

struct ReadOutcome {
    std::optional<DecodedDocument> document;
    QString error; // the system's reason when document is empty
};

// Reads a whole document file, in the encoding it is recognised to be in or
// in `forced`. Only regular files are read: a folder, a device or a FIFO is
// refused before it is opened, so that nothing hangs on a FIFO or reads
// /dev/zero until memory runs out.
ReadOutcome readDocument(const QString &path, std::optional<Encoding> forced = std::nullopt);

// The bytes of the file at `path` where they read, in `encoding`, exactly as
// `text` with or without a byte order mark as given: a document saved
// without an edit then comes back byte for byte, even where the encoder
// would have chosen other codes for the same text (code page 932's
// duplicates, ISO-2022-JP's escapes).
std::optional<QByteArray> bytesOfUnchangedFile(const QString &path, QStringView text, Encoding encoding,
                                               bool byteOrderMark);

// Writes a whole document file and changes nothing about it but its text:
// mode bits (setuid, setgid and sticky too), owner, group, ACL, extended
// attributes and links stay as they were. An existing file is replaced by a
// complete new one where the new one can take all of that over; otherwise
// (hard links, a folder the user cannot write, an owner or ACL the system
// will not carry over) it is written in place, with the space reserved
// before the first byte of the old text is touched. Either way a failed save
// leaves the old file whole. A symbolic link keeps pointing at the file it
// names, which is what gets written. A FIFO or a socket is refused; a device
// is written in place. Returns the system's reason on failure.
std::optional<QString> writeDocument(const QString &path, const QByteArray &bytes);

} // namespace holvane
