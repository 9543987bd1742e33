#include "BatchRunner.h"

#include "engine/Session.h"
#include "protocol/TokenWriter.h"

#include <utility>

namespace sandbox {

namespace {

// Items produced ahead of the socket, and the size of a chunk of rows: enough to keep a fast
// client busy, little enough that a slow one does not make the server hold a large result.
constexpr std::size_t MaxQueued = 64;
constexpr qsizetype RowChunkBytes = 16 * 1024;

}  // namespace

BatchRunner::BatchRunner(Session& session, const QString& batch, TdsVersion version, std::function<void()> wake)
    : m_session(session), m_wake(std::move(wake))
{
    m_thread = std::thread([this, batch, version] { run(batch, version); });
}

BatchRunner::~BatchRunner()
{
    {
        const std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    m_session.setInterrupted(true);
    m_space.notify_all();
    m_thread.join();
    m_session.setInterrupted(false);
}

BatchRunner::Pull BatchRunner::take(BatchEvent& event, QByteArray& rows)
{
    if (m_taken.empty()) {
        const std::lock_guard lock(m_mutex);
        if (m_items.empty()) {
            if (m_finished)
                return Pull::End;
            m_waiting = true;
            return Pull::Wait;
        }
        m_taken.swap(m_items);
        m_space.notify_one();
    }
    Item item = std::move(m_taken.front());
    m_taken.pop_front();
    rows = std::move(item.rows);
    if (!rows.isEmpty())
        return Pull::Rows;
    event = std::move(item.event);
    return Pull::Event;
}

bool BatchRunner::push(Item item)
{
    std::unique_lock lock(m_mutex);
    m_space.wait(lock, [this] { return m_cancelled || m_items.size() < MaxQueued; });
    if (m_cancelled)
        return false;
    m_items.push_back(std::move(item));
    const bool wake = std::exchange(m_waiting, false);
    lock.unlock();
    if (wake)
        m_wake();
    return true;
}

void BatchRunner::run(const QString& batch, TdsVersion version)
{
    std::unique_ptr<SessionBatch> execution = m_session.run(batch);
    TokenWriter encoder(version);
    BatchEvent event;
    for (;;) {
        const bool more = execution->next(event);
        if (more && event.kind == BatchEvent::Kind::Row) {
            encoder.row(event.row);
            if (encoder.size() < RowChunkBytes)
                continue;
        }
        // Rows go before whatever follows them.
        if ((!encoder.isEmpty() && !push(Item{{}, encoder.take()})) || !more)
            break;
        if (event.kind == BatchEvent::Kind::Columns) {
            encoder.columns(event.columns);  // for the rows to come; the connection sends the description
            encoder.take();
        }
        if (event.kind != BatchEvent::Kind::Row && !push(Item{std::move(event), {}}))
            break;
    }
    // Its statements are finalised on this thread, before the end is reported.
    execution.reset();
    std::unique_lock lock(m_mutex);
    m_finished = true;
    const bool wake = std::exchange(m_waiting, false);
    lock.unlock();
    if (wake)
        m_wake();
}

}  // namespace sandbox
