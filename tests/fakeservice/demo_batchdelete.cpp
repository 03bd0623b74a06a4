// The batch-delete tool's demo folders: every demo order with "demoFiles"
// gets its folder under ~/velquora_demo/批量删除/ made afresh at each start of
// the demo service, holding those files (a few kilobytes each), so
// each demo run has something to delete.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include "tests/fakeservice/fakemodel.h"

QString writeBatchDeleteDemoFolders(const FakeModel &model)
{
    const QString root = QDir::homePath() + QStringLiteral("/velquora_demo/批量删除");
    QDir().mkpath(root);
    for (const QJsonValue &value : model.list(QStringLiteral("orders"))) {
        const QJsonObject order = value.toObject();
        const QJsonArray files = order.value(QStringLiteral("demoFiles")).toArray();
        QString folder = order.value(QStringLiteral("netpath")).toString();
        if (files.isEmpty() || !folder.startsWith(QLatin1String("~/")))
            continue;
        folder = QDir::homePath() + folder.mid(1);
        // Only demo folders are ever emptied here.
        if (!QDir::cleanPath(folder).startsWith(root + QLatin1Char('/')))
            continue;
        QDir(folder).removeRecursively();
        int seed = 0;
        for (const QJsonValue &name : files) {
            const QString path = folder + QLatin1Char('/') + name.toString();
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            ++seed;
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArray(4096 + 512 * (seed % 7), char('A' + seed % 26)));
        }
    }
    return root;
}
