#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace holvane {

struct LoadedDocument {
    QString text;
    qsizetype keptBytes = 0; // bytes that are not code page 932, kept as they are
};

struct ReadOutcome {
    std::optional<LoadedDocument> document;
    QString error; // the system's reason when document is empty
};

// Reads a whole document file. Only regular files are read: a folder, a
// device or a FIFO is refused before it is opened, so that nothing hangs on
// a FIFO or reads /dev/zero until memory runs out.
ReadOutcome readDocument(const QString &path);

// Writes a whole document file. An existing regular file is replaced only
// once the new bytes are completely written and flushed, so a failed save
// leaves the old file as it was; the file keeps its permissions, and a
// symbolic link keeps pointing at the file it names, which is what gets
// written. Returns the system's reason on failure.
std::optional<QString> writeDocument(const QString &path, const QByteArray &bytes);

} // namespace holvane
