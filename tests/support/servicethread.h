#pragma once

#include <functional>

#include <QString>
#include <QThread>

class FakeOrderService;

// The fake order service on a thread of its own, as a remote service would
// be, so that a benchmark's GUI thread does none of the service's work.
class FakeServiceThread
{
public:
    // prepare runs on the service's thread before the service listens.
    explicit FakeServiceThread(const std::function<void(FakeOrderService &)> &prepare);
    ~FakeServiceThread();

    // The service's index address; empty when it did not start.
    QString indexUrl() const { return m_indexUrl; }

private:
    QThread m_thread;
    FakeOrderService *m_service = nullptr;
    QString m_indexUrl;
};
