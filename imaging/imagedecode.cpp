#include "imaging/imagedecode.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include "base/fileops.h"

namespace ImageDecode {

namespace {

// Why a reader failed, in the user's words: Qt's own texts are English.
QString readerErrorText(QImageReader::ImageReaderError code)
{
    switch (code) {
    case QImageReader::FileNotFoundError:
        return QStringLiteral("文件不存在");
    case QImageReader::DeviceError:
        return QStringLiteral("读取失败");
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral("不支持的图片格式");
    case QImageReader::InvalidDataError:
        return QStringLiteral("图片数据已损坏");
    case QImageReader::UnknownError:
        break;
    }
    return QStringLiteral("未知错误");
}

QImage refuse(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return QImage();
}

// Whether the device holds a progressive JPEG: its frame marker is one of
// the progressive SOFs. Reads from the start and restores the position.
bool isProgressiveJpeg(QIODevice *device)
{
    const qint64 start = device->pos();
    bool progressive = false;
    if (device->seek(0) && device->read(2) == QByteArray("\xFF\xD8", 2)) {
        while (true) {
            char byte = 0;
            if (!device->getChar(&byte) || quint8(byte) != 0xFF)
                break;
            // Any number of fill bytes may precede a marker.
            while (device->getChar(&byte) && quint8(byte) == 0xFF) {
            }
            const quint8 marker = quint8(byte);
            if (marker == 0xD9 || marker == 0xDA)
                break;
            if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
                progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
                break;
            }
            const QByteArray length = device->read(2);
            if (length.size() != 2)
                break;
            const int bytes = (quint8(length.at(0)) << 8) | quint8(length.at(1));
            if (bytes < 2 || !device->seek(device->pos() + bytes - 2))
                break;
        }
    }
    device->seek(start);
    return progressive;
}

} // namespace

QImage decode(QIODevice *device, const QSize &box, QString *error)
{
    if (!device || !device->isReadable())
        return refuse(error, QStringLiteral("图片无法读取"));
    if (device->size() > kMaxFileBytes)
        return refuse(error, QStringLiteral("图片文件过大（%1 MB），不予加载").arg(device->size() / 1048576));
    const bool progressive = isProgressiveJpeg(device);

    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    // Shown as the camera meant it: a portrait photo is stored on its side
    // with an EXIF orientation that says how to turn it.
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return refuse(error, QStringLiteral("图片格式无法识别或已损坏"));

    // Only a decoder that scales while it decodes keeps its memory to the
    // reduced size; any other holds the whole picture first.
    const bool reduced = !box.isEmpty() && reader.supportsOption(QImageIOHandler::ScaledSize) && !progressive;
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > (reduced ? kMaxReducedPixels : kMaxWholePixels)) {
        return refuse(error,
                      QStringLiteral("图片尺寸过大（%1 x %2），不予加载").arg(size.width()).arg(size.height()));
    }
    if (!box.isEmpty()) {
        // The reader scales the stored picture and turns it afterwards: a
        // picture turned by a quarter is fitted into the turned box.
        const bool quarterTurn = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize storedBox = quarterTurn ? box.transposed() : box;
        reader.setScaledSize(size.scaled(storedBox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
    const QImage image = reader.read();
    if (image.isNull())
        return refuse(error, QStringLiteral("图片无法解码：%1").arg(readerErrorText(reader.error())));
    return image;
}

QImage decode(const QByteArray &data, const QSize &box, QString *error)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return decode(&buffer, box, error);
}

QImage decodeFile(const QString &path, const QSize &box, QString *error)
{
    QFile file;
    QString why;
    if (!FileOps::openSource(path, &file, &why))
        return refuse(error, QStringLiteral("无法打开图片文件：%1（%2）").arg(path, why));
    return decode(&file, box, error);
}

} // namespace ImageDecode
