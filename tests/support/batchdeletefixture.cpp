#include "tests/support/batchdeletefixture.h"

#include <QDir>
#include <QJsonArray>

#include "base/basereq.h"
#include "base/globals.h"
#include "tests/fakeservice/fakeorderservice.h"
#include "tests/support/treefixture.h"

namespace BatchDeleteFixture {

bool writeFile(const QString &path, const QByteArray &content)
{
    return TreeFixture::write(path, content);
}

bool writeFiles(const QString &folder, const QStringList &relativePaths)
{
    for (const QString &path : relativePaths) {
        if (!writeFile(folder + QLatin1Char('/') + path))
            return false;
    }
    return true;
}

QStringList filesBelow(const QString &folder)
{
    return TreeFixture::below(folder, QDir::Files | QDir::Hidden | QDir::System);
}

QJsonObject order(const QString &orderPhotoId, const QString &number, const QString &folder,
                  const QString &commonRoot)
{
    return QJsonObject{
        {QStringLiteral("shopid"), QStringLiteral("11")},
        {QStringLiteral("id"), QStringLiteral("8") + orderPhotoId},
        {QStringLiteral("order_photo_id"), orderPhotoId},
        {QStringLiteral("orderpayforkey"), number},
        {QStringLiteral("servicetimes"), QStringLiteral("1")},
        {QStringLiteral("mname"), QStringLiteral("张伟")},
        {QStringLiteral("wname"), QStringLiteral("李娜")},
        {QStringLiteral("role1"), QStringLiteral("郑摄影")},
        {QStringLiteral("tiaosename"), QStringLiteral("周修图")},
        {QStringLiteral("netpath"), folder},
        {QStringLiteral("fulfil_time"), QStringLiteral("today 18:00:00")},
        {QStringLiteral("picpathnew"), QJsonObject{{QStringLiteral("netpath"), commonRoot}}},
        {QStringLiteral("images"), QJsonArray()},
        {QStringLiteral("images_taipian"), QJsonArray()},
    };
}

void setOrders(FakeOrderService &fake, const QList<QJsonObject> &orders)
{
    QJsonArray list;
    for (const QJsonObject &order : orders)
        list.append(order);
    fake.modelStore().setList(QStringLiteral("orders"), list);
}

bool startService(FakeOrderService &fake, const QString &dataDir)
{
    g_dataDir = dataDir + QStringLiteral("/");
    g_userId = QStringLiteral("501");
    if (!fake.start(FakeOrderService::Mode::Http))
        return false;
    g_indexUrl = fake.indexUrl();
    BaseReq::setTransferTimeout(3000);
    return true;
}

void resetService(FakeOrderService &fake)
{
    fake.clearRequests();
    fake.clearFaults();
    fake.clearHandlers();
    fake.loadModel(FakeModel::testData());
    setOrders(fake, {});
}

} // namespace BatchDeleteFixture

bool ScriptedProbe::isRemoteDrive(const QString &driveRoot) const
{
    Q_UNUSED(driveRoot)
    return remoteDrives;
}

bool ScriptedProbe::isWritable(const QString &path) const
{
    return !readOnly.contains(path) && FileDeleteProbe::isWritable(path);
}

bool ScriptedProbe::remove(const QString &path) const
{
    if (!confinedTo.isEmpty() && !path.startsWith(confinedTo + QLatin1Char('/'))) {
        QMutexLocker lock(&mutex);
        outside << path;
        return false;
    }
    return !refusedRemovals.contains(path) && FileDeleteProbe::remove(path);
}

QStringList ScriptedProbe::removalsOutside() const
{
    QMutexLocker lock(&mutex);
    return outside;
}
