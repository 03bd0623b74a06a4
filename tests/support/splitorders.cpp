#include "tests/support/splitorders.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include "tests/support/jpegfixture.h"

namespace SplitOrders {

namespace {

const QString kMarkUrl = QStringLiteral("/index.php?g=QuorplexDPc&m=order&a=orderpicture&name=mark_p1.jpg");
const QString kCropUrl = QStringLiteral("/index.php?g=QuorplexDPc&m=order&a=orderpicture&name=crop_p1.jpg");

QJsonObject photo(const QString &id, const QString &name)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("img_name"), name},
                       {QStringLiteral("localpath"), QStringLiteral("{netpath}/all/") + name},
                       {QStringLiteral("localpath90"), QStringLiteral("{netpath}/90/") + name}};
}

QJsonObject raw(const QString &id, const QString &name)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("img_name"), name},
                       {QStringLiteral("localpath"), QStringLiteral("{netpath}/原始档/") + name}};
}

QJsonObject good(const QString &id, const QString &name, const QJsonArray &imgs)
{
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("goodname"), name},
                       {QStringLiteral("goodtypename"), name},
                       {QStringLiteral("goodtypeid"), QStringLiteral("1")},
                       {QStringLiteral("goodamount"), QStringLiteral("1")},
                       {QStringLiteral("factoryname"), QStringLiteral("厂A")},
                       {QStringLiteral("isurgent"), QStringLiteral("0")},
                       {QStringLiteral("isems"), QStringLiteral("快递")},
                       {QStringLiteral("imgs"), imgs}};
}

bool writeJpeg(const QString &path, int seed, int orientation)
{
    if (QFile::exists(path))
        return true;
    JpegFixture::Options options;
    options.orientation = orientation;
    QImage image = JpegFixture::quadrants(160 + seed * 8, 120);
    return JpegFixture::write(path, JpegFixture::storedFor(image, orientation), options);
}

} // namespace

QStringList finishedPhotos()
{
    return {QStringLiteral("p1.jpg"), QStringLiteral("p2.jpg")};
}

QString basePhoto()
{
    return QStringLiteral("r1.jpg");
}

QString rejectedPhoto()
{
    return QStringLiteral("t1.jpg");
}

QStringList rawFiles()
{
    return {QStringLiteral("p1.CR2"), QStringLiteral("p2.CR2")};
}

bool writeShare(const QString &share)
{
    for (const char *folder : {"all", "90", "原始档"}) {
        if (!QDir().mkpath(share + QLatin1Char('/') + QString::fromUtf8(folder)))
            return false;
    }
    const QStringList photos = finishedPhotos() + QStringList{basePhoto(), rejectedPhoto()};
    for (int i = 0; i < photos.size(); ++i) {
        const int orientation = photos.at(i) == QLatin1String("p1.jpg") ? 6 : 1;
        if (!writeJpeg(share + QStringLiteral("/all/") + photos.at(i), i, orientation)
            || !writeJpeg(share + QStringLiteral("/90/") + photos.at(i), i, 1))
            return false;
    }
    for (const QString &name : rawFiles()) {
        QFile file(share + QStringLiteral("/原始档/") + name);
        if (file.exists())
            continue;
        if (!file.open(QIODevice::WriteOnly) || file.write("RAW " + name.toUtf8()) < 0)
            return false;
    }
    return true;
}

QString orderFolder(const QString &number)
{
    return number + QStringLiteral("-服务1 张伟-李娜 门店自取");
}

QJsonObject order(const QString &shopId, const QString &orderPhotoId, const QString &number, const QString &share)
{
    QJsonObject order{
        {QStringLiteral("shopid"), shopId},
        {QStringLiteral("id"), QStringLiteral("o") + orderPhotoId},
        {QStringLiteral("order_photo_id"), orderPhotoId},
        {QStringLiteral("orderpayforkey"), number},
        {QStringLiteral("servicetimes"), QStringLiteral("1")},
        {QStringLiteral("mname"), QStringLiteral("张伟")},
        {QStringLiteral("wname"), QStringLiteral("李娜")},
        {QStringLiteral("pickuptypename"), QStringLiteral("门店自取")},
        {QStringLiteral("comboname"), QStringLiteral("婚纱套系")},
        {QStringLiteral("shotdate"), QStringLiteral("2024-05-01")},
        {QStringLiteral("sampledate"), QStringLiteral("2024-05-08")},
        {QStringLiteral("order_price"), QStringLiteral("3999")},
        {QStringLiteral("selectphotoname"), QStringLiteral("吴选片")},
        {QStringLiteral("selectphototime"), QStringLiteral("2024-05-08 15:00:00")},
        {QStringLiteral("role1"), QStringLiteral("郑摄影")},
        {QStringLiteral("role2"), QStringLiteral("王化妆")},
        {QStringLiteral("number_jingxiu"), QStringLiteral("2")},
        {QStringLiteral("iszsysd"), QStringLiteral("1")},
        {QStringLiteral("iszsjx"), QStringLiteral("1")},
        {QStringLiteral("netpath"), share},
        {QStringLiteral("shopname"), QStringLiteral("一号店")},
        {QStringLiteral("count"), QStringLiteral("1")},
        {QStringLiteral("pickuptime"), QStringLiteral("05-01")},
        {QStringLiteral("isurgenttime"), QStringLiteral("05-03")},
        {QStringLiteral("courier_text"), QStringLiteral("顺丰 SF1234567890")},
    };
    const QStringList photos = finishedPhotos();
    QJsonArray finished;
    for (int i = 0; i < photos.size(); ++i)
        finished.append(photo(orderPhotoId + QStringLiteral("-i") + QString::number(i + 1), photos.at(i)));
    order.insert(QStringLiteral("images"), finished);
    order.insert(QStringLiteral("images_all"), finished);
    order.insert(QStringLiteral("images_jingxiu"), finished);
    order.insert(QStringLiteral("images_taipian"), QJsonArray{photo(orderPhotoId + QStringLiteral("-t1"), rejectedPhoto())});
    order.insert(QStringLiteral("images_rudi"), QJsonArray{photo(orderPhotoId + QStringLiteral("-r1"), basePhoto())});
    order.insert(QStringLiteral("images_yuanpian"), QJsonArray{finished.at(0)});
    const QStringList raws = rawFiles();
    order.insert(QStringLiteral("images_1_0"), QJsonArray{raw(orderPhotoId + QStringLiteral("-y1"), raws.at(0)),
                                                          raw(orderPhotoId + QStringLiteral("-y2"), raws.at(1))});
    order.insert(QStringLiteral("images_1_1"), QJsonArray());
    const QString remark = QString::fromUtf8(
        QJsonDocument(QJsonArray{QJsonObject{{QStringLiteral("text"), QStringLiteral("瘦脸")}}}).toJson(QJsonDocument::Compact));
    order.insert(QStringLiteral("orderpicdescr"),
                 QJsonArray{QJsonObject{{QStringLiteral("img_name"), photos.at(0)},
                                        {QStringLiteral("remark"), remark},
                                        {QStringLiteral("cropping_imgurl"), kMarkUrl}}});
    const QJsonArray goods{
        good(orderPhotoId + QStringLiteral("-g1"), QStringLiteral("相册"),
             QJsonArray{QJsonObject{{QStringLiteral("img_name"), photos.at(0)}, {QStringLiteral("cropping_imgurl"), kCropUrl}}}),
        good(orderPhotoId + QStringLiteral("-g2"), QStringLiteral("摆台"),
             QJsonArray{QJsonObject{{QStringLiteral("img_name"), photos.at(1)}}}),
    };
    order.insert(QStringLiteral("servicetime"),
                 QJsonArray{QJsonObject{{QStringLiteral("order_sample_infoservicetimes"), QStringLiteral("1")},
                                        {QStringLiteral("role12name"), QStringLiteral("吴选片")},
                                        {QStringLiteral("goods"), goods},
                                        {QStringLiteral("urgentgoods"), QJsonArray()}}});
    return order;
}

} // namespace SplitOrders
