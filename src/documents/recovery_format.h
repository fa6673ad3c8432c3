#pragma once

// The recovery file: the text of a document with unsaved edits and what is
// needed to take it up again where it was left.
//
// Layout, little-endian throughout:
//   magic "\x89holvrec" | u32 format version | u8 encoding | u8 flags
//   (1: byte order mark, 2: file identity present) | u16 0 |
//   i64 time written (ms since the epoch, UTC) | i64 caret |
//   u64 device | u64 inode | i64 size | i64 seconds | i64 nanoseconds
//   (the file as read or last written) | u32 writer's process id |
//   u32 path length | path | u64 text length | text | u32 CRC-32 of all before it
// Path and text are UTF-16 code units as the editor holds them, so kept
// bytes (lone surrogates U+DC80..U+DCFF) come back as they were; lengths
// count code units. A version above ours is never read: its layout after
// the version is unknown.
#include "documents/file_identity.h"
#include "documents/text_codec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace holvane {

inline constexpr quint32 kRecoveryFormatVersion = 1;

struct RecoveryRecord {
    QString path; // empty: the document has no name yet
    Encoding encoding = Encoding::Cp932;
    bool byteOrderMark = false;
    qint64 writtenAtMs = 0; // UTC
    qint64 caret = 0;       // index into the text
    std::optional<FileIdentity> onDisk; // the document's file as read or last written
    quint32 writerPid = 0;
    QString text;
    bool operator==(const RecoveryRecord &) const = default;
};

enum class RecoveryProblem {
    NotOurs,  // no magic: some other file
    Damaged,  // cut short, a wrong checksum or fields that do not add up
    Newer,    // written by a later format version
};

struct ParsedRecovery {
    std::optional<RecoveryRecord> record;
    RecoveryProblem problem = RecoveryProblem::Damaged; // when there is no record
    quint32 version = 0; // as the file says, where it says one
};

// The file in three parts, so that a big text is written from where it
// stands instead of being copied: `head`, the text's code units, `tail`.
struct RecoveryBytes {
    QByteArray head;
    QByteArrayView text; // little-endian UTF-16; points into `ownText` or the record's text
    QByteArray ownText;  // a byte-swapped copy, on big-endian machines only
    QByteArray tail;
};
RecoveryBytes recoveryBytes(const RecoveryRecord &record);
QByteArray encodeRecovery(const RecoveryRecord &record);
ParsedRecovery parseRecovery(QByteArrayView bytes);

// The first line of a text, at most `limit` characters, to name a document
// that has no name.
QString firstLine(const QString &text, qsizetype limit = 60);

} // namespace holvane
