#include "documents/document_file.h"

#include "documents/cp932_codec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace holvane {
namespace {

// Devices and FIFOs cannot be replaced by a renamed temporary file (that
// would put a regular file where the device node was), so they are written
// in place, with every step checked.
std::optional<QString> writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (file.write(bytes) != bytes.size())
        return file.errorString();
    file.close();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return std::nullopt;
}

} // namespace

ReadOutcome readDocument(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && info.isDir())
        return {std::nullopt, QStringLiteral("フォルダーです (is a folder)")};
    if (info.exists() && !info.isFile())
        return {std::nullopt, QStringLiteral("通常のファイルではありません (not a regular file)")};

    // Not using QIODevice::Text: line ends must reach the pane as they are.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};

    cp932::DecodeResult decoded = cp932::decode(bytes);
    return {LoadedDocument{std::move(decoded.text), decoded.keptBytes}, QString()};
}

std::optional<QString> writeDocument(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (info.exists() && info.isDir())
        return QStringLiteral("フォルダーです (is a folder)");
    if (info.exists() && !info.isFile())
        return writeInPlace(path, bytes);

    // QSaveFile follows a symbolic link and writes its target, and gives the
    // new file the permissions of the one it replaces.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace holvane
