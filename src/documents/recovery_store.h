#pragma once

// The folder where the text of documents with unsaved edits is kept while
// they are edited, so that it outlives the program: $XDG_STATE_HOME/holvane
// (by default ~/.local/state/holvane), private to the user.
//
// Every running program holds an flock on a lock file of its own there,
// "<pid>-<random>.lock"; its recovery files are "<pid>-<random>-<n>.recovery",
// one per document it had. A program that is no longer running holds no
// lock, so its files can be found and offered; a live one's never are. The
// lock is what tells, not the process id, which a later program may reuse.
#include "documents/recovery_format.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace holvane {

class RecoveryStore;

// Recovery files left by programs that are no longer running. While this
// lives it holds those programs' locks, so no other program starting now
// offers or takes the same files.
class Orphans {
public:
    struct Found {
        QString name; // in the store's folder
        RecoveryRecord record;
    };
    // A file that was not offered: not ours, damaged, or from a newer
    // format. It was renamed so that it is reported once, never deleted.
    struct SetAside {
        QString name;
        QString newName; // empty where even the rename failed
        RecoveryProblem problem;
    };

    Orphans() = default;
    Orphans(Orphans &&) noexcept;
    Orphans &operator=(Orphans &&) noexcept;
    ~Orphans();

    std::vector<Found> found;       // newest first
    std::vector<SetAside> setAside;

private:
    friend class RecoveryStore;
    struct Held {
        QString session; // whose lock this is
        int fd = -1;
    };
    const RecoveryStore *m_store = nullptr;
    std::vector<Held> m_held;
    void release();
};

class RecoveryStore {
public:
    // $XDG_STATE_HOME/holvane where that is an absolute path, otherwise
    // ~/.local/state/holvane.
    static QString defaultFolder();

    struct Opening {
        std::unique_ptr<RecoveryStore> store;
        QString error; // the system's reason when there is no store
    };
    // Creates the folder where needed (0700, the folders above it too),
    // makes it private if it is not, and takes this program's lock.
    static Opening open(const QString &folder);

    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;
    // Gives up the lock: what is left here is then another program's to offer.
    ~RecoveryStore();

    QString folder() const { return m_folder; }
    QString session() const { return m_session; }
    // The name of this program's next document's recovery file.
    QString newDocumentName();

    // Atomically: a temporary file (0600), written, synced, renamed over
    // `name`, and the folder synced. The system's reason on failure, when
    // the old file, if any, is still whole. Safe from any thread.
    std::optional<QString> write(const QString &name, const RecoveryRecord &record) const;
    // No error when the file is already gone. Safe from any thread.
    std::optional<QString> remove(const QString &name) const;

    // Locks the programs that are gone, reads their recovery files and sets
    // aside those that cannot be offered. Their temporary files (a write
    // cut short) and lock files without recovery files go.
    Orphans takeOrphans() const;
    // Makes an orphan this program's own under `ourName`.
    std::optional<QString> adopt(const QString &orphanName, const QString &ourName) const;

private:
    RecoveryStore(QString folder, int folderFd, QString session, int lockFd);
    friend class Orphans;
    QStringList entryNames() const;
    void readOrphansOf(const std::vector<QString> &names, Orphans &orphans) const;
    std::optional<ParsedRecovery> readAt(const QByteArray &name) const; // nothing when it is gone
    QString setAside(const QString &name, RecoveryProblem problem) const; // the new name, if any
    std::optional<int> lockIfGone(const QString &lockName) const;

    QString m_folder;
    int m_folderFd = -1;
    QString m_session;
    int m_lockFd = -1;
    int m_documents = 0;
};

} // namespace holvane
