// Unsaved edits kept in recovery files and offered back at start-up, and
// the question before a save overwrites a file another program changed.
#include "app/main_window.h"

#include "app/document_recovery.h"
#include "documents/recovery_store.h"
#include "editor/edit_pane.h"
#include "platform/recovery_question.h"

#include <unistd.h>

namespace holvane {
namespace {

QString problemName(RecoveryProblem problem)
{
    switch (problem) {
    case RecoveryProblem::NotOurs:
        return QStringLiteral("holvane の復元ファイルではありません");
    case RecoveryProblem::Newer:
        return QStringLiteral("新しい版の holvane が書いたファイルです");
    case RecoveryProblem::Damaged:
        break;
    }
    return QStringLiteral("途中で切れているか、壊れています");
}

QString setAsideReport(const QString &folder, const std::vector<Orphans::SetAside> &setAside)
{
    QString lines;
    for (const Orphans::SetAside &file : setAside)
        lines += QStringLiteral("・%1: %2\n  %3\n")
                     .arg(file.name, problemName(file.problem),
                          file.newName.isEmpty() ? QStringLiteral("名前を変えられず、そのまま残しています。")
                                                 : QStringLiteral("「%1」として残しました。").arg(file.newName));
    return QStringLiteral("復元ファイルのフォルダー「%1」に、読めないファイルがありました。\n%2"
                          "これらのファイルは削除していません。")
        .arg(folder, lines);
}

} // namespace

void MainWindow::watchForRecovery()
{
    m_recovery = std::make_unique<DocumentRecovery>(
        DocumentRecovery::Document{[this] { return recoveryText(); }, [this] { return recoveryRecord(); }});
    for (EditPane *pane : {m_unwrappedPane, m_wrappingPane})
        connect(pane, &EditPane::textChanged, m_recovery.get(), &DocumentRecovery::noteChange);
    connect(m_recovery.get(), &DocumentRecovery::writeFailed, this, [this](const QString &reason) {
        m_services.messages.error(this, QStringLiteral("保存していない変更を復元ファイルに書き込めませんでした。\n"
                                                       "理由: %1\n"
                                                       "このままプログラムが終わると、保存していない変更は失われます。")
                                            .arg(reason));
    });
}

// The one place the recovery takes the document's text: a snapshot, which
// costs a pointer now and is made a string on the writer's thread.
TextSnapshot MainWindow::recoveryText() const
{
    return activePane().snapshot();
}

RecoveryRecord MainWindow::recoveryRecord() const
{
    // The document's own name: while a file dialog's answer is being
    // opened or written, the dialog already holds the next one.
    RecoveryRecord record;
    record.path = m_onDisk.path;
    record.encoding = m_format.encoding;
    record.byteOrderMark = m_format.byteOrderMark;
    record.writtenAtMs = QDateTime::currentMSecsSinceEpoch();
    record.caret = activePane().selectionStart();
    record.onDisk = m_onDisk.identity;
    record.writerPid = quint32(::getpid());
    return record;
}

void MainWindow::keepRecoveryIn(const QString &folder)
{
    m_recovery->open(folder);
}

void MainWindow::bringRecoveryUpToDate()
{
    m_recovery->bringUpToDate();
}

void MainWindow::offerRecoveredDocuments(RecoveryQuestion &question)
{
    RecoveryStore *store = m_recovery->store();
    if (!store) {
        if (!m_recovery->openingError().isEmpty())
            m_services.messages.error(this, QStringLiteral("復元ファイルのフォルダー「%1」を使えません。\n理由: %2\n"
                                                           "保存していない変更は、プログラムが終わると失われます。")
                                                .arg(m_recovery->folder(), m_recovery->openingError()));
        return;
    }
    Orphans orphans = store->takeOrphans();
    if (!orphans.setAside.empty())
        m_services.messages.error(this, setAsideReport(store->folder(), orphans.setAside));
    if (orphans.found.empty())
        return;
    std::vector<RecoveryOffer> offers;
    for (const Orphans::Found &found : orphans.found)
        offers.push_back({found.record.path, QDateTime::fromMSecsSinceEpoch(found.record.writtenAtMs),
                          firstLine(found.record.text)});
    for (;;) {
        const RecoveryAnswer answer = question.ask(this, offers);
        switch (answer.choice) {
        case RecoveryChoice::Restore:
            if (answer.index < orphans.found.size())
                restoreDocument(orphans.found[answer.index].record, orphans.found[answer.index].name);
            return;
        case RecoveryChoice::Discard:
            if (!m_services.messages.confirm(this,
                                             QStringLiteral("保存していない %1 個の文書を破棄します。\n"
                                                            "破棄した文書は元に戻せません。よろしいですか？")
                                                 .arg(offers.size()),
                                             QStringLiteral("破棄"), QStringLiteral("キャンセル")))
                continue;
            for (const Orphans::Found &found : orphans.found)
                store->remove(found.name);
            return;
        case RecoveryChoice::Keep:
            return;
        }
    }
}

void MainWindow::restoreDocument(const RecoveryRecord &record, const QString &fileName)
{
    m_recovery->beginDocument(DocumentRecovery::Previous::Keep);
    showDocumentText(record.text);
    m_format = {record.encoding, record.byteOrderMark};
    // The text on disk is not known, only which file was read: a save still
    // asks where another program changed it since.
    m_onDisk = {record.path, m_format, std::nullopt, record.onDisk};
    m_fileDialog.path = record.path;
    if (record.path.isEmpty())
        setWindowTitle(QStringLiteral("holvane"));
    else
        setDocumentCaption(record.path);
    activePane().setSelectionStart(record.caret);
    m_recovery->adopt(fileName);
}

bool MainWindow::mayOverwrite(const QString &path)
{
    if (m_onDisk.path != path || !m_onDisk.identity)
        return true;
    const std::optional<FileIdentity> now = fileIdentity(path);
    if (!now || *now == *m_onDisk.identity) // a file deleted meanwhile is simply written again
        return true;
    return m_services.messages.confirm(this,
                                       QStringLiteral("「%1」は、読み込んだ後 (または前回の保存の後) に"
                                                      "ほかのプログラムによって変更されています。\n"
                                                      "上書きすると、その変更は失われます。上書き保存しますか？")
                                           .arg(path),
                                       QStringLiteral("上書き保存"), QStringLiteral("キャンセル"));
}

} // namespace holvane
