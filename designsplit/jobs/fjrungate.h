#pragma once

#include <condition_variable>
#include <mutex>

// The hold and the stop of one batch of the design-split window, shared by
// the window and every job of the batch. A job passes the gate before its
// work: while the window holds it (the close question is open) a job that
// comes to it waits there, so nothing new is written before the answer;
// once the gate is stopped, a job that had not begun does nothing. A job
// already past the gate finishes its file.
class FJRunGate
{
public:
    void hold();
    // Lets the waiting jobs go on.
    void release();
    // For good: waiting and later jobs do nothing.
    void stop();

    // Waits while the gate is held; false once it is stopped.
    bool pass();

private:
    // std's lock, not Qt's: Qt's waits inside its library, where the tests'
    // ThreadSanitizer does not see it order the jobs.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_stopped = false;
};
