#include "tests/support/servicethread.h"

#include "tests/fakeservice/fakeorderservice.h"

FakeServiceThread::FakeServiceThread(const std::function<void(FakeOrderService &)> &prepare, FakeOrderService::Mode mode)
{
    m_thread.start();
    m_service = new FakeOrderService;
    m_service->moveToThread(&m_thread);
    FakeOrderService *service = m_service;
    QString *indexUrl = &m_indexUrl;
    QString *baseUrl = &m_baseUrl;
    QMetaObject::invokeMethod(
        service,
        [service, indexUrl, baseUrl, prepare, mode]() {
            if (prepare)
                prepare(*service);
            if (service->start(mode)) {
                *indexUrl = service->indexUrl();
                *baseUrl = service->baseUrl();
            }
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
