#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <QString>
#include <QStringList>

#include "transferphotos/jobs/tfimportworker.h"

// Holds the worker's copies of some sources at the start, as a share that
// answers slowly would, until released; records every copy that began.
// Installed as the workers' produce hook (the way of every file the photo
// engine does not copy itself: videos, pictures that are no JPEG) for the
// life of the gate. When the gate goes it lets every copy go and removes
// the hook, so a check that fails never leaves a worker stuck; a copy held
// longer than the gate's patience goes on by itself, so that the check
// waiting for it fails instead of hanging.
class ProduceGate
{
public:
    explicit ProduceGate(const QStringList &heldSources, std::chrono::seconds patience = std::chrono::seconds(10))
        : m_state(std::make_shared<State>())
    {
        m_state->held = heldSources;
        const std::shared_ptr<State> state = m_state;
        tfimportworker::setProduceHook([state, patience](const ImportTask &task) {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->started << task.photo.url;
            if (!state->held.contains(task.photo.url))
                return;
            ++state->waiting;
            state->changed.wait_for(lock, patience, [&] { return state->released; });
            --state->waiting;
        });
    }
    ~ProduceGate()
    {
        release();
        tfimportworker::setProduceHook(nullptr);
    }
    ProduceGate(const ProduceGate &) = delete;
    ProduceGate &operator=(const ProduceGate &) = delete;

    void release()
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->released = true;
        m_state->changed.notify_all();
    }
    bool isReleased() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->released;
    }
    // Copies waiting at the gate now.
    int waiting() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->waiting;
    }
    // The sources whose copy began, in the order they began.
    QStringList started() const
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->started;
    }

private:
    // Shared with the hook: a worker let go late still finds it.
    struct State
    {
        mutable std::mutex mutex;
        std::condition_variable changed;
        QStringList held;
        QStringList started;
        int waiting = 0;
        bool released = false;
    };
    std::shared_ptr<State> m_state;
};
