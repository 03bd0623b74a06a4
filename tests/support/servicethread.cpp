#include "tests/support/servicethread.h"

#include "tests/fakeservice/fakeorderservice.h"

FakeServiceThread::FakeServiceThread(const std::function<void(FakeOrderService &)> &prepare)
{
    m_thread.start();
    m_service = new FakeOrderService;
    m_service->moveToThread(&m_thread);
    FakeOrderService *service = m_service;
    QString *indexUrl = &m_indexUrl;
    QMetaObject::invokeMethod(
        service,
        [service, indexUrl, prepare]() {
            if (prepare)
                prepare(*service);
            if (service->start())
                *indexUrl = service->indexUrl();
        },
        Qt::BlockingQueuedConnection);
}

FakeServiceThread::~FakeServiceThread()
{
    FakeOrderService *service = m_service;
    QMetaObject::invokeMethod(service, [service]() { delete service; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}
