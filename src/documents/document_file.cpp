#include "documents/document_file.h"

#include "documents/codec_support.h"
#include "documents/save_routes.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace holvane {
namespace {

const QString kIsFolder = QStringLiteral("フォルダーです (is a folder)");

// Where writing `path` goes: the file a symbolic link names, however many
// links lead there, also when that file does not exist yet.
QString finalTarget(const QString &path)
{
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

// Renaming a new file into place would split hard links, is impossible where
// the folder cannot be written, and must not get round a file that the user
// may not write; the file is then written in place.
bool canReplace(const QString &path, const struct stat &info)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    return info.st_nlink == 1 && ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0
           && ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
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
        return {std::nullopt, saving::notRegularReason()};
    // Not using QIODevice::Text: line ends must reach the pane as they are.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    // Read into a buffer of the file's size that takes huge pages, then on
    // to the end, in case the file grew meanwhile (not mapped: a file that
    // another program cuts short while it is read must not crash the editor).
    QByteArray bytes(file.size(), Qt::Uninitialized);
    codec::preferHugePages(bytes.data(), size_t(bytes.size()));
    const qint64 got = file.read(bytes.data(), bytes.size());
    if (got < 0 || file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};
    bytes.truncate(got);
    bytes += file.readAll();
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
        const saving::ReplaceOutcome created = saving::replaceWhole(finalTarget(path), nullptr, bytes);
        return created.result == saving::Replaced::Done ? std::nullopt : std::optional(created.reason);
    }
    if (S_ISDIR(info.st_mode))
        return kIsFolder;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        return saving::notRegularReason(); // a FIFO would hang the editor until someone reads it
    if (!S_ISREG(info.st_mode))
        return saving::writeInPlace(path, bytes); // a device: never replaced by a regular file

    // A symbolic link keeps pointing at the file it names, which is what gets written.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (canReplace(target, info)) {
        const saving::ReplaceOutcome replaced = saving::replaceWhole(target, &info, bytes);
        if (replaced.result == saving::Replaced::Done)
            return std::nullopt;
        if (replaced.result == saving::Replaced::Failed)
            return replaced.reason;
    }
    return saving::writeInPlace(target, bytes);
}

} // namespace holvane
