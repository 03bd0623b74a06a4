#pragma once

#include <QMap>
#include <QRunnable>
#include <QString>

// A developer's trial task: prepares the size folders "1920", "190" and "90"
// under an import path. Nothing in the program starts it.
class TestThread : public QRunnable
{
public:
    TestThread(const QString &name, const QMap<QString, QString> &params, quintptr tag);
    ~TestThread() override;

    void run() override;

private:
    quintptr tag;
    QString name;
    QMap<QString, QString> params;
};
