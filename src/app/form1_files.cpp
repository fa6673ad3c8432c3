// The file menu and the document read and write of the main window.
#include "app/form1.h"

#include "documents/cp932_codec.h"
#include "documents/document_file.h"
#include "editor/edit_pane.h"
#include "dialogs/form2.h"

#include <QGuiApplication>
#include <QInputMethod>

namespace holvane {
namespace {

QString unencodableQuestion(const std::vector<cp932::Unencodable> &found)
{
    const cp932::Unencodable &first = found.front();
    return QStringLiteral("この文書には Shift-JIS (コードページ 932) で書けない文字が %1 個あります。\n"
                          "最初の文字: U+%2 「%3」 (%4 行目、%5 文字目)\n\n"
                          "これらの文字を HTML の文字参照 (&#%6; の形) として書き込みますか？\n"
                          "キャンセルすると何も書き込みません。")
        .arg(QString::number(found.size()),
             QStringLiteral("%1").arg(uint(first.codePoint), 4, 16, QLatin1Char('0')).toUpper(),
             QString::fromUcs4(&first.codePoint, 1), QString::number(first.line),
             QString::number(first.column), QString::number(uint(first.codePoint)));
}

} // namespace

void Form1::setDocumentCaption(const QString &path)
{
    setWindowTitle(path + QStringLiteral(" - holvas"));
}

void Form1::tellAboutKeptBytes(const QString &path, qsizetype count)
{
    const QString notice =
        QStringLiteral("「%1」には Shift-JIS (コードページ 932) として読めないバイトが %2 個ありました。\n"
                       "それらのバイトはそのまま保たれ、保存するとそのまま書き戻されます。")
            .arg(path, QString::number(count));
    if (isVisible())
        m_services.messages.information(this, notice);
    else
        m_pendingNotice = notice;
}

bool Form1::loadDocument(const QString &path, bool reportFailure)
{
    ReadOutcome read = readDocument(path);
    if (!read.document) {
        if (reportFailure)
            m_services.messages.error(this, QStringLiteral("「%1」を開けませんでした。\n理由: %2").arg(path, read.error));
        return false;
    }
    Mains->setText(read.document->text);
    Mains2->setText(Mains->Text());
    m_undo.after = Mains->Text();
    m_undo.before = Mains->Text();
    if (read.document->keptBytes > 0)
        tellAboutKeptBytes(path, read.document->keptBytes);
    return true;
}

bool Form1::writeActivePane(const QString &path)
{
    QGuiApplication::inputMethod()->commit();
    // Encoded once: the bytes with references are only written if the user agrees.
    const cp932::EncodeResult encoded =
        cp932::encode(activePane().Text(), cp932::UnencodablePolicy::CharacterReference);
    if (!encoded.unencodable.empty()
        && !m_services.messages.confirm(this, unencodableQuestion(encoded.unencodable),
                                        QStringLiteral("文字参照にして保存"), QStringLiteral("キャンセル")))
        return false;
    if (const auto failure = writeDocument(path, encoded.bytes)) {
        m_services.messages.error(this, QStringLiteral("「%1」を保存できませんでした。\n理由: %2").arg(path, *failure));
        return false;
    }
    return true;
}

void Form1::opener()
{
    const QString previous = CD.FileName;
    if (!CD.ShowOpen(this))
        return;
    if (!loadDocument(CD.FileName, true)) {
        CD.FileName = previous;
        return;
    }
    setDocumentCaption(CD.FileName);
}

void Form1::saver()
{
    const QString previous = CD.FileName;
    if (!CD.ShowSave(this))
        return;
    if (!writeActivePane(CD.FileName)) {
        CD.FileName = previous;
        return;
    }
    setDocumentCaption(CD.FileName);
}

void Form1::saver2()
{
    if (CD.FileName.isEmpty()) {
        saver();
        return;
    }
    if (writeActivePane(CD.FileName))
        setDocumentCaption(CD.FileName);
}

void Form1::news_Click()
{
    m_services.beeper.beep();
    Form2 confirmation(this);
    if (confirmation.exec() != QDialog::Accepted)
        return;
    Mains->setText(QString());
    Mains2->setText(QString());
    setWindowTitle(QStringLiteral("holvane"));
    CD.FileName.clear();
}

} // namespace holvane
