#pragma once

#include "engine/SqlTypes.h"
#include "protocol/TdsVersion.h"

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sandbox {

class Session;

// Runs one batch of a session on a thread of its own, so that a slow statement holds up only its
// own client: the server's thread takes what it yields as the socket can carry it, and an attention
// or a stop interrupts the statement under way instead of waiting for it to end. Rows are encoded
// as ROW tokens on the batch's thread already, so that only bytes cross over, a chunk at a time.
class BatchRunner {
public:
    enum class Pull { Event, Rows, Wait, End };

    // wake is called on the runner's thread when take() has something again after a Wait.
    BatchRunner(Session& session, const QString& batch, TdsVersion version, std::function<void()> wake);
    // Interrupts the batch and waits for its thread; what was not taken is dropped.
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // An event, or rows ready for the wire; Wait while the batch works, End once it is over.
    Pull take(BatchEvent& event, QByteArray& rows);

private:
    struct Item {
        BatchEvent event;
        QByteArray rows;  // when not empty, the item is these rows
    };

    void run(const QString& batch, TdsVersion version);
    bool push(Item item);

    Session& m_session;
    std::function<void()> m_wake;
    std::mutex m_mutex;
    std::condition_variable m_space;
    std::deque<Item> m_items;  // produced and not yet taken; bounded
    std::deque<Item> m_taken;  // taken over in one go, handed out one at a time
    bool m_waiting = false;    // the taker was told to wait and must be woken
    bool m_finished = false;
    bool m_cancelled = false;
    std::thread m_thread;
};

}  // namespace sandbox
