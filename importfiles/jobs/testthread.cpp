#include "importfiles/jobs/testthread.h"

#include <QDir>

#include "base/pathutil.h"
#include "importfiles/jobs/importlog.h"

TestThread::TestThread(const QString &name, const QMap<QString, QString> &params, quintptr tag)
    : tag(tag)
    , name(name)
    , params(params)
{
}

TestThread::~TestThread() = default;

void TestThread::run()
{
    const QString importPath = PathUtil::toFs(params.value(QStringLiteral("importpath")));
    const QDir folder(importPath);
    if (!folder.exists())
        QDir().mkpath(folder.absolutePath());
    for (const char *size : {"1920", "190", "90"}) {
        const QString path = folder.absoluteFilePath(QLatin1String(size));
        if (!QDir(path).exists())
            QDir().mkpath(path);
    }
    qCDebug(lcImport) << "线程1------------------------1";
    qCDebug(lcImport) << "线程1------------------------2";
    qCDebug(lcImport) << "线程1------------------------3";
}
