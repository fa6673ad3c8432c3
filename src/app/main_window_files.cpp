// The file menu and the document read and write of the main window.
#include "app/main_window.h"

#include "app/document_recovery.h"
#include "dialogs/new_document_dialog.h"
#include "documents/document_file.h"
#include "editor/edit_pane.h"

#include <QGuiApplication>
#include <QInputMethod>

namespace holvane {
namespace {

// How the messages name an encoding; code page 932 as it always has been.
QString describe(Encoding encoding)
{
    return encoding == Encoding::Cp932 ? QStringLiteral("Shift-JIS (コードページ 932)") : encodingName(encoding);
}

QString unencodableQuestion(Encoding encoding, const std::vector<Unencodable> &found)
{
    const Unencodable &first = found.front();
    return QStringLiteral("この文書には %1 で書けない文字が %2 個あります。\n"
                          "最初の文字: U+%3 「%4」 (%5 行目、%6 文字目)\n\n"
                          "これらの文字を HTML の文字参照 (&#%7; の形) として書き込みますか？\n"
                          "キャンセルすると何も書き込みません。")
        .arg(describe(encoding), QString::number(found.size()),
             QStringLiteral("%1").arg(uint(first.codePoint), 4, 16, QLatin1Char('0')).toUpper(),
             QString::fromUcs4(&first.codePoint, 1), QString::number(first.line), QString::number(first.column),
             QString::number(uint(first.codePoint)));
}

// "utf-16" names no byte order; a page that says so agrees with either.
bool agrees(const DeclaredCharset &declared, Encoding encoding)
{
    const bool utf16 = encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be;
    return declared.encoding == encoding
           || (utf16 && declared.label.trimmed().compare(QLatin1String("utf-16"), Qt::CaseInsensitive) == 0);
}

} // namespace

void MainWindow::setDocumentCaption(const QString &path)
{
    const QString encoding =
        m_format.encoding == Encoding::Cp932 ? QString() : QStringLiteral(" [%1]").arg(encodingName(m_format.encoding));
    setWindowTitle(path + encoding + QStringLiteral(" - holvas"));
}

void MainWindow::tellAboutKeptBytes(const QString &path, qsizetype count)
{
    const QString notice = QStringLiteral("「%1」には %2 として読めないバイトが %3 個ありました。\n"
                                          "それらのバイトはそのまま保たれ、保存するとそのまま書き戻されます。")
                               .arg(path, describe(m_format.encoding), QString::number(count));
    if (isVisible())
        m_services.messages.information(this, notice);
    else
        m_pendingNotice = notice;
}

TextSnapshot MainWindow::showDocumentText(const QString &text)
{
    // Both panes share the text; neither copies it.
    const auto replacing = m_recovery->replacingText();
    m_unwrappedPane->setText(text);
    const TextSnapshot shown = m_unwrappedPane->snapshot();
    m_wrappingPane->setSnapshot(shown);
    m_undo.before = m_undo.after = shown;
    return shown;
}

bool MainWindow::loadDocument(const QString &path, bool reportFailure, std::optional<Encoding> forced)
{
    // Noted before reading: a change made while the file is read is a change too.
    const std::optional<FileIdentity> identity = fileIdentity(path);
    ReadOutcome read = readDocument(path, forced);
    if (!read.document) {
        if (reportFailure)
            m_services.messages.error(this, QStringLiteral("「%1」を開けませんでした。\n理由: %2").arg(path, read.error));
        return false;
    }
    // Reading the file again in another encoding is what the user chose
    // over the edits (asked first); another document leaves them kept.
    m_recovery->beginDocument(forced ? DocumentRecovery::Previous::Discard : DocumentRecovery::Previous::Keep);
    const TextSnapshot loaded = showDocumentText(read.document->text);
    m_format = {read.document->encoding, read.document->byteOrderMark};
    m_onDisk = {path, m_format, loaded, identity};
    m_recovery->markUnedited();
    if (read.document->keptBytes > 0)
        tellAboutKeptBytes(path, read.document->keptBytes);
    return true;
}

QByteArray MainWindow::bytesToWrite(const TextSnapshot &text, const QString &written, const EncodeResult &encoded) const
{
    const bool unedited = !m_onDisk.path.isEmpty() && m_onDisk.format == m_format && m_onDisk.text == text;
    if (unedited && encoded.unencodable.empty())
        if (auto own = bytesOfUnchangedFile(m_onDisk.path, written, m_format.encoding, m_format.byteOrderMark))
            return *own;
    return encoded.bytes;
}

void MainWindow::warnAboutDeclaredCharset(const QString &text)
{
    const auto declared = declaredCharset(text);
    if (!declared || agrees(*declared, m_format.encoding))
        return;
    m_services.messages.information(
        this, QStringLiteral("この文書は <meta> で文字コードを「%1」と宣言していますが、%2 で保存しました。\n"
                             "文書の中身は変えていません。")
                  .arg(declared->label, encodingName(m_format.encoding)));
}

bool MainWindow::writeActivePane(const QString &path)
{
    QGuiApplication::inputMethod()->commit();
    const TextSnapshot snapshot = activePane().snapshot();
    const QString text = snapshot.toString();
    // Encoded once: the bytes with references are only written if the user agrees.
    const EncodeResult encoded =
        encodeDocument(text, m_format.encoding, m_format.byteOrderMark, UnencodablePolicy::CharacterReference);
    if (!encoded.unencodable.empty()
        && !m_services.messages.confirm(this, unencodableQuestion(m_format.encoding, encoded.unencodable),
                                        QStringLiteral("文字参照にして保存"), QStringLiteral("キャンセル")))
        return false;
    if (const auto failure = writeDocument(path, bytesToWrite(snapshot, text, encoded))) {
        m_services.messages.error(this, QStringLiteral("「%1」を保存できませんでした。\n理由: %2").arg(path, *failure));
        return false;
    }
    m_onDisk = {path, m_format, encoded.unencodable.empty() ? std::optional(snapshot) : std::nullopt, fileIdentity(path)};
    m_recovery->markUnedited();
    warnAboutDeclaredCharset(text);
    return true;
}

void MainWindow::openDocument()
{
    const QString previous = m_fileDialog.path;
    if (!m_fileDialog.askOpenPath(this))
        return;
    if (!loadDocument(m_fileDialog.path, true)) {
        m_fileDialog.path = previous;
        return;
    }
    setDocumentCaption(m_fileDialog.path);
}

void MainWindow::saveDocumentAs()
{
    const QString previous = m_fileDialog.path;
    if (!m_fileDialog.askSavePath(this))
        return;
    if (!writeActivePane(m_fileDialog.path)) {
        m_fileDialog.path = previous;
        return;
    }
    setDocumentCaption(m_fileDialog.path);
}

void MainWindow::saveDocument()
{
    if (m_fileDialog.path.isEmpty()) {
        saveDocumentAs();
        return;
    }
    if (mayOverwrite(m_fileDialog.path) && writeActivePane(m_fileDialog.path))
        setDocumentCaption(m_fileDialog.path);
}

void MainWindow::newDocument()
{
    m_services.beeper.beep();
    NewDocumentDialog confirmation(this);
    if (confirmation.exec() != QDialog::Accepted)
        return;
    m_recovery->beginDocument(DocumentRecovery::Previous::Discard);
    {
        const auto emptying = m_recovery->replacingText();
        m_unwrappedPane->setText(QString());
        m_wrappingPane->setText(QString());
    }
    setWindowTitle(QStringLiteral("holvane"));
    m_fileDialog.path.clear();
    m_format = {};
    m_onDisk = {};
    m_recovery->markUnedited();
}

} // namespace holvane
