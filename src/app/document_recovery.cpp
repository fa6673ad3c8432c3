#include "app/document_recovery.h"

namespace holvane {

DocumentRecovery::DocumentRecovery(Document document, QObject *parent) : QObject(parent), m_document(std::move(document))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DocumentRecovery::submitPending);
    m_sinceSubmit.start();
}

DocumentRecovery::~DocumentRecovery()
{
    bringUpToDate();
    m_writer.reset();
}

void DocumentRecovery::open(const QString &folder)
{
    RecoveryStore::Opening opening = RecoveryStore::open(folder);
    m_folder = folder;
    m_openingError = opening.error;
    if (!opening.store)
        return;
    m_writer.reset();
    m_store = std::move(opening.store);
    m_writer = std::make_unique<RecoveryWriter>(*m_store, [this](const RecoveryResult &result) {
        QMetaObject::invokeMethod(this, [this, result] { received(result); }, Qt::QueuedConnection);
    });
    m_name = m_store->newDocumentName();
    m_submitted = m_generation;
    m_unchanged = m_document.text(); // what the window holds now is nobody's edit
}

void DocumentRecovery::noteChange()
{
    if (m_replacing || !m_store)
        return;
    ++m_generation;
    schedule();
}

void DocumentRecovery::schedule()
{
    if (m_timer.isActive())
        return;
    const auto waited = std::chrono::milliseconds(m_sinceSubmit.elapsed());
    m_timer.start(std::max(std::chrono::milliseconds(0), m_interval - waited));
}

void DocumentRecovery::submitPending()
{
    if (!m_store || m_submitted == m_generation)
        return;
    m_timer.stop();
    RecoveryJob job;
    job.name = m_name;
    // A text equal to the file's has no unsaved edits: its file goes. Told
    // by the snapshots, which share their pieces where the text is the same.
    const TextSnapshot text = m_document.text();
    if (!m_unchanged || !(*m_unchanged == text))
        job.text = [text] { return text.toString(); };
    job.record = m_document.describe();
    job.document = m_documentSerial;
    job.generation = m_generation;
    m_submitted = m_generation;
    m_sinceSubmit.restart();
    m_writer->submit(std::move(job));
}

void DocumentRecovery::beginDocument(Previous previous)
{
    if (!m_store)
        return;
    if (previous == Previous::Keep) {
        submitPending();
    } else {
        removeFile();
    }
    ++m_documentSerial;
    m_name = m_store->newDocumentName();
    m_unchanged.reset();
    m_submitted = m_generation;
    // A big document fills its pane for a moment after it is read; its
    // first write waits for that rather than hurrying it.
    m_sinceSubmit.restart();
}

void DocumentRecovery::markUnedited()
{
    if (!m_store)
        return;
    removeFile();
    m_submitted = m_generation;
    m_unchanged = m_document.text();
}

void DocumentRecovery::removeFile()
{
    // A job without a record has the writer remove the document's file.
    m_timer.stop();
    m_writer->submit({m_name, {}, {}, m_documentSerial, m_generation});
}

void DocumentRecovery::adopt(const QString &orphanName)
{
    if (!m_store)
        return;
    m_unchanged.reset();
    if (m_store->adopt(orphanName, m_name)) {
        // Not taken over: the text is written afresh under this program's name.
        ++m_generation;
        schedule();
    }
}

void DocumentRecovery::bringUpToDate()
{
    if (!m_store)
        return;
    m_timer.stop();
    submitPending();
    m_writer->finish();
}

void DocumentRecovery::received(const RecoveryResult &result)
{
    if (result.outcome != RecoveryOutcome::Failed) {
        m_failureShown = false;
        return;
    }
    // What failed is still to be written: at the next edit, or at the end.
    if (result.document == m_documentSerial && result.generation <= m_submitted)
        m_submitted = std::min(m_submitted, result.generation - 1);
    if (!std::exchange(m_failureShown, true))
        emit writeFailed(result.error);
}

} // namespace holvane
