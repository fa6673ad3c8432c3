#pragma once

#include "documents/recovery_writer.h"
#include "editor/text_buffer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QScopedValueRollback>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace holvane {

// Keeps the window's document in a recovery file while it has unsaved
// edits, so that neither a crash nor the program's end loses more than the
// last moments of typing, and nothing at all where the program ends in an
// orderly way.
//
// An edit is a change the panes report that the window did not make itself
// (loading a document, the wrap switch copying the text between panes).
// The first edit after a quiet spell is written at once, later ones at most
// `interval` apart, by a thread of its own: what the window hands it is a
// cheap copy of the text, so a key costs what it cost without recovery.
class DocumentRecovery : public QObject {
    Q_OBJECT
public:
    struct Document {
        std::function<TextSnapshot()> text;       // the text as it stands, made a string on the writer's thread
        std::function<RecoveryRecord()> describe; // all but the text
    };

    explicit DocumentRecovery(Document document, QObject *parent = nullptr);
    ~DocumentRecovery() override; // up to date first, where there is a store

    // Opens the store in `folder`; without one nothing is kept and the
    // reason waits in openingError() until the window can tell it.
    void open(const QString &folder);
    RecoveryStore *store() const { return m_store.get(); }
    QString folder() const { return m_folder; }
    QString openingError() const { return m_openingError; }

    // A pane's text changed (its textChanged signal).
    void noteChange();
    // While it lives, what the panes report is the window's own doing.
    [[nodiscard]] QScopedValueRollback<bool> replacingText() { return QScopedValueRollback<bool>(m_replacing, true); }

    enum class Previous {
        Keep,    // the previous document's edits stay, offered at the next start
        Discard, // the user chose the file's text over them
    };
    // Before the panes take another document.
    void beginDocument(Previous previous);
    // The text as it stands is the file's: saved, or just read.
    void markUnedited();
    // A restored document: the file it came from becomes its own.
    void adopt(const QString &orphanName);
    // Writes what is not yet written and waits for it.
    void bringUpToDate();

    // How many edits were seen; the window's own changes are none.
    quint64 edits() const { return m_generation; }
    void setInterval(std::chrono::milliseconds interval) { m_interval = interval; }

signals:
    // Once, until a write succeeds again.
    void writeFailed(const QString &reason);

private:
    void schedule();
    void submitPending();
    void removeFile();
    void received(const RecoveryResult &result);

    Document m_document;
    std::unique_ptr<RecoveryStore> m_store;
    std::unique_ptr<RecoveryWriter> m_writer; // goes before the store it writes to
    QString m_folder;
    QString m_openingError;
    QString m_name;            // the current document's file
    std::optional<TextSnapshot> m_unchanged; // its text as the file has it, where known
    quint64 m_documentSerial = 0;
    quint64 m_generation = 0;  // one more at every edit
    quint64 m_submitted = 0;   // the generation last handed to the writer
    bool m_replacing = false;
    bool m_failureShown = false;
    std::chrono::milliseconds m_interval{500};
    QElapsedTimer m_sinceSubmit;
    QTimer m_timer;
};

} // namespace holvane
