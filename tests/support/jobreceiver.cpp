#include "tests/support/jobreceiver.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThreadPool>

QList<JobReport> JobReceiver::run(const QList<QRunnable *> &jobs, int threads)
{
    const int before = reports.size();
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    for (QRunnable *job : jobs)
        pool.start(job);
    pool.waitForDone();
    // Every report was posted before its job returned.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return reports.mid(before);
}

JobReport JobReceiver::runOne(QRunnable *job)
{
    const QList<JobReport> got = run({job}, 1);
    return got.isEmpty() ? JobReport{false, QStringLiteral("<no report>"), {}, {}, {}} : got.first();
}

void JobReceiver::slt_copypicthread(bool ok, QString mode, QString source, QString detail, QString message)
{
    reports.append({ok, mode, source, detail, message});
}
