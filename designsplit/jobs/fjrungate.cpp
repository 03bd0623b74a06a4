#include "designsplit/jobs/fjrungate.h"

void FJRunGate::hold()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held = true;
}

void FJRunGate::release()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_held = false;
    }
    m_changed.notify_all();
}

void FJRunGate::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
        m_held = false;
    }
    m_changed.notify_all();
}

bool FJRunGate::pass()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this]() { return !m_held || m_stopped; });
    return !m_stopped;
}
