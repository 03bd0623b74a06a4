// The production-sheet job ("生成Html") and the sheet of the dispatcher.

#include "designsplit/jobs/fjdataoperate.h"
#include "designsplit/jobs/fjdatathread.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "base/safename.h"
#include "designsplit/jobs/fjlog.h"
#include "designsplit/jobs/fjproductionsheet.h"
#include "designsplit/jobs/fjwrites.h"

namespace {

const QString kSheetName = QStringLiteral("明细制作单.pdf");

} // namespace

QString FJDataThread::imageToDataUrl(const QString &path, int w, int h)
{
    const QString fs = PathUtil::toFs(path);
    const QFileInfo info(fs);
    if (!info.exists())
        return QString();
    const QString suffix = info.suffix().toLower();
    QString mime = QStringLiteral("image/jpeg");
    if (suffix == QLatin1String("png"))
        mime = QStringLiteral("image/png");
    else if (suffix == QLatin1String("gif"))
        mime = QStringLiteral("image/gif");
    else if (suffix == QLatin1String("bmp"))
        mime = QStringLiteral("image/bmp");
    else if (suffix == QLatin1String("webp"))
        mime = QStringLiteral("image/webp");

    // A pipe or a device under a picture's name is never read: it would
    // block the sheet, or fill it with nothing.
    QFile file;
    if (!FileOps::openSource(fs, &file))
        return QString();
    QByteArray bytes;
    if (w < 1 || h < 1) {
        bytes = file.readAll();
    } else {
        QImageReader reader(&file);
        const QImage image = reader.read();
        if (image.isNull())
            return QString();
        const QImage scaled = image.scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QImage canvas(w, h, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter painter(&canvas);
            painter.drawImage((w - scaled.width()) / 2, (h - scaled.height()) / 2, scaled);
        }
        const char *format = "JPEG";
        int quality = 85;
        if (suffix == QLatin1String("png"))
            format = "PNG";
        else if (suffix == QLatin1String("gif"))
            format = "GIF";
        else if (suffix == QLatin1String("bmp"))
            format = "BMP";
        if (qstrcmp(format, "JPEG") != 0)
            quality = -1;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!canvas.save(&buffer, format, quality))
            return QString();
    }
    return QStringLiteral("data:") + mime + QStringLiteral(";base64,") + QString::fromLatin1(bytes.toBase64());
}

void FJDataThread::buildProductionSheet()
{
    QElapsedTimer timer;
    timer.start();
    order = orderDetail.value(QLatin1String("order")).toObject();

    FJProductionSheet::Data data;
    data.order = order;
    data.visits = orderDetail.value(QLatin1String("servicetime")).toArray();
    data.serviceCount = orderDetail.value(QLatin1String("count_order_sample_infoservicetimes")).toString();
    data.markedPhotos = orderDetail.value(QLatin1String("orderpicdescr")).toArray();
    data.selectedPhotos = orderDetail.value(QLatin1String("images")).toArray();
    data.basePhotos = orderDetail.value(QLatin1String("images_rudi")).toArray();

    const QString other = orderRoot + QStringLiteral("其他/");
    // A picture that appears in several places (a selected photo that is also
    // a product's) is read and encoded once.
    QHash<QString, QString> encoded;
    const auto picture = [&](const QString &path, int size) {
        const QString key = path + QLatin1Char('\n') + QString::number(size);
        auto it = encoded.constFind(key);
        if (it == encoded.constEnd())
            it = encoded.insert(key, imageToDataUrl(path, size, size));
        return it.value();
    };
    using Picture = FJProductionSheet::Picture;
    const auto source = [&](Picture kind, const QJsonObject &record) -> QString {
        if (kind == Picture::Barcode)
            return picture(other + QStringLiteral("条形码.jpg"), 0);
        const QString name = record.value(QLatin1String("img_name")).toString();
        // A picture name with a separator would read a file outside the
        // order folder into the sheet.
        if (!SafeName::isClean(name))
            return QString();
        switch (kind) {
        case Picture::Marked:
            return picture(other + QStringLiteral("标记/") + name, 120);
        case Picture::Product:
        case Picture::SubProduct:
            if (!record.value(QLatin1String("cropping_imgurl")).toString().isEmpty())
                return picture(other + QStringLiteral("裁剪/") + name, 100);
            return picture(other + QStringLiteral("缩略图/") + name, 100);
        default:
            return picture(other + QStringLiteral("缩略图/") + name, 100);
        }
    };
    const QString html = FJProductionSheet(data, source).html();

    const QString folder = PathUtil::toFs(other);
    const QString path = QDir(folder).absoluteFilePath(kSheetName);
    QString error;
    QString why;
    bool ok = makeFolder(other, &error);
    if (!ok)
        why = error;
    else if (!(ok = FJProductionSheet::print(html, path, orderFolder(), &error)))
        why = FJWrites::cause(path, orderFolder(), error);
    if (!ok) {
        qCWarning(lcDesignSplit) << "明细制作单生成失败:" << other << error;
        reportResult(false, QString(),
                     kSheetName + QStringLiteral(" 生成失败") + (why.isEmpty() ? QString() : QStringLiteral("：") + why));
        return;
    }
    qCDebug(lcDesignSplit).noquote() << QStringLiteral("明细制作单已生成: %1 (%2 张图片, 耗时: %3ms)")
                                            .arg(other + kSheetName, QString::number(encoded.size()),
                                                 QString::number(timer.elapsed()));
    reportResult(true, QString(), QString());
}

bool FJDataOperate::buildProductionSheet(const QString &folder)
{
    using Picture = FJProductionSheet::Picture;
    const QString keyField = QStringLiteral("\x01key");
    const auto inKeyOrder = [&](const QMap<QString, QJsonObject> &map) {
        QJsonArray array;
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            QJsonObject record = it.value();
            record.insert(keyField, it.key());
            array.append(record);
        }
        return array;
    };
    FJProductionSheet::Data data;
    data.order = order;
    data.visits = visits;
    data.serviceCount = serviceCount;
    data.markedPhotos = inKeyOrder(markedPhotos);
    data.selectedPhotos = inKeyOrder(selectedPhotos);
    data.basePhotos = inKeyOrder(basePhotos);
    const auto source = [&](Picture kind, const QJsonObject &record) -> QString {
        const auto text = [&record](const char *key) { return record.value(QLatin1String(key)).toString(); };
        switch (kind) {
        case Picture::Barcode:
            return pictureSources.value(barcodeUrl);
        case Picture::Marked:
            return pictureSources.value(record.value(keyField).toString());
        case Picture::Product:
            return pictureSources.value(text("cropping_imgurl").isEmpty() ? text("url2") : text("cropping_imgurl"));
        case Picture::SubProduct:
            return pictureSources.value(text("cropping_imgurl").isEmpty() ? text("url") : text("cropping_imgurl"));
        default:
            return pictureSources.value(text("url"));
        }
    };
    const QString html = FJProductionSheet(data, source, true).html();
    const QString fs = PathUtil::toFs(folder);
    QString error;
    if (!Confined::makePath(fs, fs, &error)
        || !FJProductionSheet::print(html, QDir(fs).absoluteFilePath(kSheetName), fs, &error)) {
        qCWarning(lcDesignSplit) << "明细制作单生成失败:" << folder << error;
        return false;
    }
    return true;
}
