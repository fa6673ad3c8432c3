#include "documents/recovery_writer.h"

#include <algorithm>

namespace holvane {

RecoveryWriter::RecoveryWriter(const RecoveryStore &store, Done done)
    : m_store(store), m_done(std::move(done)), m_thread([this] { run(); })
{
}

RecoveryWriter::~RecoveryWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void RecoveryWriter::submit(RecoveryJob job)
{
    {
        std::lock_guard lock(m_mutex);
        const auto same = std::find_if(m_queue.begin(), m_queue.end(),
                                       [&](const RecoveryJob &queued) { return queued.name == job.name; });
        if (same != m_queue.end())
            *same = std::move(job);
        else
            m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void RecoveryWriter::finish()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void RecoveryWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty())
            return; // stopping, and nothing left to do
        RecoveryJob job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        const RecoveryResult result = perform(job);
        job = {}; // lets go of the text now, not when the next job comes
        if (m_done)
            m_done(result);
        lock.lock();
        m_busy = false;
        if (m_queue.empty())
            m_idle.notify_all();
    }
}

RecoveryResult RecoveryWriter::perform(RecoveryJob &job) const
{
    RecoveryResult result{job.document, job.generation, RecoveryOutcome::Removed, QString()};
    std::optional<QString> failure;
    if (job.text) {
        job.record.text = job.text();
        result.outcome = RecoveryOutcome::Written;
        failure = m_store.write(job.name, job.record);
    } else {
        failure = m_store.remove(job.name);
    }
    if (failure) {
        result.outcome = RecoveryOutcome::Failed;
        result.error = *failure;
    }
    return result;
}

} // namespace holvane
