#pragma once

#include "documents/recovery_store.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace holvane {

// What the writer is to do with one document's recovery file.
struct RecoveryJob {
    QString name; // the file, in the store
    // Produces the text on the writer's thread; the caller hands a cheap
    // copy or snapshot, never the work of copying. Empty: remove the file.
    std::function<QString()> text;
    RecoveryRecord record; // all but the text
    quint64 document = 0;  // the caller's, handed back
    quint64 generation = 0;
};

enum class RecoveryOutcome { Written, Removed, Failed };

struct RecoveryResult {
    quint64 document = 0;
    quint64 generation = 0;
    RecoveryOutcome outcome = RecoveryOutcome::Written;
    QString error; // the system's reason when Failed
};

// Writes recovery files on a thread of its own, so that no key waits for
// one. Jobs run in the order given; a job for a file replaces the one for
// the same file that has not started yet, which only newer text can follow.
class RecoveryWriter {
public:
    using Done = std::function<void(const RecoveryResult &)>; // called on the writer's thread
    RecoveryWriter(const RecoveryStore &store, Done done);
    RecoveryWriter(const RecoveryWriter &) = delete;
    RecoveryWriter &operator=(const RecoveryWriter &) = delete;
    ~RecoveryWriter(); // finishes every job handed over first

    void submit(RecoveryJob job);
    // Returns once every job handed over so far is done.
    void finish();

private:
    void run();
    RecoveryResult perform(RecoveryJob &job) const;

    const RecoveryStore &m_store;
    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<RecoveryJob> m_queue;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace holvane
