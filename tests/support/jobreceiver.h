#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QRunnable;

// One report of a design-split job, as its owner's slot receives it.
struct JobReport
{
    bool ok = false;
    QString mode;
    QString source;
    QString detail;
    QString message;
};

// Stands in for the design-split window: it has the report slot the jobs
// call by name, and keeps every report in arrival order.
class JobReceiver : public QObject
{
    Q_OBJECT

public:
    QList<JobReport> reports;

    // Runs the jobs on a pool of threads, waits for all of them and delivers
    // their queued reports; returns the reports of this call. The pool takes
    // the jobs (they delete themselves).
    QList<JobReport> run(const QList<QRunnable *> &jobs, int threads = 3);
    JobReport runOne(QRunnable *job);

public slots:
    void slt_copypicthread(bool ok, QString mode, QString source, QString detail, QString message);
};
