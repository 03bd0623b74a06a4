#include "imaging/tfimageprocessing.h"

#include <cstring>
#include <exception>
#include <vector>

#include <QColorSpace>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTransform>

#include "base/confined.h"
#include "base/fileops.h"
#include "base/pathutil.h"
#include "imaging/tfjpeg.h"
#include "imaging/tfphotojob.h"
#include "imaging/imaginglog.h"

namespace TfImage {

namespace {

// One pixel of Format_RGB888, copied as a whole.
struct Rgb888
{
    uchar bytes[3];
};

} // namespace

namespace {

QString mb(qint64 bytes)
{
    return QString::number(double(bytes) / 1048576.0, 'f', 1);
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

quint16 get16(const uchar *p, bool be)
{
    return be ? quint16((p[0] << 8) | p[1]) : quint16((p[1] << 8) | p[0]);
}

quint32 get32(const uchar *p, bool be)
{
    return be ? (quint32(get16(p, true)) << 16) | get16(p + 2, true)
              : (quint32(get16(p + 2, false)) << 16) | get16(p, false);
}

// The orientation in one APP1 payload, 0 when it is not an EXIF block or
// holds no valid orientation.
int orientationInExif(const QByteArray &payload)
{
    int start = 0;
    bool be = false;
    if (!TfJpeg::exifTiffOf(payload, &start, &be))
        return 0;
    const uchar *tiff = reinterpret_cast<const uchar *>(payload.constData()) + start;
    const qint64 len = payload.size() - start;
    const qint64 ifd = get32(tiff + 4, be);
    if (ifd < 8 || ifd + 2 > len)
        return 0;
    const int count = get16(tiff + ifd, be);
    for (int i = 0; i < count; ++i) {
        const qint64 at = ifd + 2 + qint64(i) * 12;
        if (at + 12 > len)
            return 0;
        const uchar *e = tiff + at;
        if (get16(e, be) != 0x0112)
            continue;
        const quint16 type = get16(e + 2, be);
        const quint32 components = get32(e + 4, be);
        if (components != 1)
            return 0;
        quint32 value = 0;
        if (type == 3)
            value = get16(e + 8, be);
        else if (type == 4 || type == 9)
            value = get32(e + 8, be);
        else
            return 0;
        return (value >= 1 && value <= 8) ? int(value) : 0;
    }
    return 0;
}

// A quarter turn of a 32-bit picture, moving pixels tile by tile so both
// pictures stay in cache; QImage::transformed paints instead and takes
// seconds on a 24-megapixel photo. Pixels land exactly where Qt's own
// reader puts them (a test holds this).
QImage quarterTurn(const QImage &src, bool clockwise)
{
    if (src.depth() != 32) {
        return src.transformed(QTransform().rotate(clockwise ? 90 : -90), Qt::FastTransformation);
    }
    const int w = src.width();
    const int h = src.height();
    QImage dst(h, w, src.format());
    if (dst.isNull())
        return QImage();
    dst.setDotsPerMeterX(src.dotsPerMeterY());
    dst.setDotsPerMeterY(src.dotsPerMeterX());
    dst.setColorSpace(src.colorSpace());
    const uchar *srcBits = src.constBits();
    const qsizetype srcStride = src.bytesPerLine();
    uchar *dstBits = dst.bits();
    const qsizetype dstStride = dst.bytesPerLine();
    constexpr int tile = 64;
    for (int ty = 0; ty < h; ty += tile) {
        const int yEnd = qMin(ty + tile, h);
        for (int tx = 0; tx < w; tx += tile) {
            const int xEnd = qMin(tx + tile, w);
            for (int y = ty; y < yEnd; ++y) {
                const auto *line = reinterpret_cast<const quint32 *>(srcBits + y * srcStride);
                if (clockwise) {
                    const int dx = h - 1 - y;
                    for (int x = tx; x < xEnd; ++x)
                        reinterpret_cast<quint32 *>(dstBits + x * dstStride)[dx] = line[x];
                } else {
                    for (int x = tx; x < xEnd; ++x)
                        reinterpret_cast<quint32 *>(dstBits + (w - 1 - x) * dstStride)[y] = line[x];
                }
            }
        }
    }
    return dst;
}

// Writes a picture of the source's own format to target without ever leaving
// a truncated file, inside folder when one is given.
bool writeImage(const QString &target, const QString &folder, const QImage &image, const QByteArray &format,
                int quality, QString *error)
{
    if (folder.isEmpty())
        return FileOps::writeImageAtomically(target, image, format, quality, error);
    return Confined::writeImage(target, folder, image, format, quality, error);
}

// Opens the source of a copy: a regular file, never a pipe or a device,
// never through a link at its name. False with *reason (the cause, for the
// user) and a log line otherwise.
bool openSource(const QString &src, QFile *file, QString *reason)
{
    QString why;
    if (FileOps::openSource(src, file, &why))
        return true;
    qCWarning(lcImaging) << "无法读取图片:" << src << why;
    if (reason)
        *reason = QStringLiteral("源文件") + why;
    return false;
}

} // namespace

QSize calcIntermediateSize(const QSize &sourceSize, int target)
{
    const qint64 w = sourceSize.width();
    const qint64 h = sourceSize.height();
    const qint64 t = target;
    const qint64 longSide = qMax(w, h);
    if (4 * t >= longSide)
        return sourceSize;
    qint64 c = qMin<qint64>(4 * t, 4096);
    if (longSide > 20000)
        c = qMin<qint64>(3 * t, 2048);
    else if (longSide > 15000)
        c = qMin<qint64>(3 * t, 3072);
    QSize result;
    if (w > h)
        result = QSize(int(c), int(c * h / w));
    else
        result = QSize(int(c * w / h), int(c));
    if (result.width() > sourceSize.width() || result.height() > sourceSize.height())
        return sourceSize;
    qCDebug(lcImaging).noquote() << QStringLiteral("计算中间尺寸: %1x%2 -> %3x%4 (目标: %5)")
                                         .arg(QString::number(w), QString::number(h),
                                              QString::number(result.width()), QString::number(result.height()),
                                              QString::number(target));
    return result;
}

int jpegExifOrientation(QIODevice *device)
{
    if (!device || !device->isReadable() || device->isSequential())
        return 0;
    const qint64 start = device->pos();
    int found = 0;
    uchar soi[2];
    // The reader may already have read the header: start from the beginning.
    if (device->seek(0) && device->read(reinterpret_cast<char *>(soi), 2) == 2 && soi[0] == 0xff && soi[1] == 0xd8) {
        // Walk the marker segments up to the image data; APP1 may hold XMP or
        // other blocks before (or instead of) the EXIF one.
        for (int guard = 0; guard < 64; ++guard) {
            uchar head[4];
            if (device->read(reinterpret_cast<char *>(head), 2) != 2 || head[0] != 0xff)
                break;
            const uchar marker = head[1];
            if (marker == 0xd8 || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
                continue;
            if (marker == 0xda || marker == 0xd9 || marker == 0xff)
                break;
            if (device->read(reinterpret_cast<char *>(head + 2), 2) != 2)
                break;
            const int length = get16(head + 2, true);
            if (length < 2)
                break;
            if (marker == 0xe1) {
                const QByteArray payload = device->read(length - 2);
                if (payload.size() != length - 2)
                    break;
                found = orientationInExif(payload);
                if (found)
                    break;
            } else if (!device->seek(device->pos() + length - 2)) {
                break;
            }
        }
    }
    device->seek(start);
    return found;
}

namespace {

enum class ScanStart {
    Found,
    CutShort,
    Unknown,
};

// Walks the marker segments of the JPEG on device from just after its SOI
// to the first scan; *at is then the offset right after the SOS marker.
ScanStart findFirstScan(QIODevice *device, qint64 *at)
{
    for (;;) {
        uchar byte;
        if (device->read(reinterpret_cast<char *>(&byte), 1) != 1)
            return ScanStart::CutShort;
        if (byte != 0xff)
            return ScanStart::Unknown;
        uchar marker = 0xff;
        // Any number of fill bytes may precede a marker.
        while (marker == 0xff) {
            if (device->read(reinterpret_cast<char *>(&marker), 1) != 1)
                return ScanStart::CutShort;
        }
        if (marker == 0xda) {
            *at = device->pos();
            return ScanStart::Found;
        }
        if (marker == 0xd9)
            return ScanStart::Unknown;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8))
            continue;
        uchar length[2];
        if (device->read(reinterpret_cast<char *>(length), 2) != 2)
            return ScanStart::CutShort;
        const int size = get16(length, true);
        if (size < 2)
            return ScanStart::Unknown;
        const qint64 next = device->pos() + size - 2;
        if (next > device->size())
            return ScanStart::CutShort;
        if (!device->seek(next))
            return ScanStart::Unknown;
    }
}

} // namespace

bool isTruncatedJpeg(QIODevice *device)
{
    if (!device || !device->isReadable() || device->isSequential())
        return false;
    const qint64 start = device->pos();
    const qint64 size = device->size();
    bool truncated = false;
    uchar head[3];
    if (device->seek(0) && device->read(reinterpret_cast<char *>(head), 3) == 3 && head[0] == 0xff
        && head[1] == 0xd8 && head[2] == 0xff) {
        uchar tail[2];
        const bool endsWithMarker = size >= 4 && device->seek(size - 2)
            && device->read(reinterpret_cast<char *>(tail), 2) == 2 && tail[0] == 0xff && tail[1] == 0xd9;
        qint64 scanAt = 0;
        if (!endsWithMarker && device->seek(2)) {
            const ScanStart found = findFirstScan(device, &scanAt);
            if (found == ScanStart::CutShort) {
                truncated = true;
            } else if (found == ScanStart::Found) {
                // Inside the scans a 0xff byte is always followed by 0x00 or
                // a restart marker, so the first FF D9 after the first scan
                // is the image's end. Not found: the file was cut short.
                truncated = true;
                constexpr qint64 chunk = 1024 * 1024;
                bool lastWasFf = false;
                while (truncated && device->seek(scanAt) && scanAt < size) {
                    const QByteArray data = device->read(chunk);
                    if (data.isEmpty())
                        break;
                    for (const char c : data) {
                        const uchar b = uchar(c);
                        if (lastWasFf && b == 0xd9) {
                            truncated = false;
                            break;
                        }
                        lastWasFf = b == 0xff;
                    }
                    scanAt += data.size();
                }
            }
        }
    }
    device->seek(start);
    return truncated;
}

bool isTruncatedJpeg(const QString &path)
{
    QFile file;
    return FileOps::openSource(PathUtil::toFs(path), &file) && isTruncatedJpeg(&file);
}

QString truncatedText()
{
    return QStringLiteral("图片文件不完整");
}

QString notTurnedText()
{
    return QStringLiteral("无法按方向旋转图片");
}

int orientationFromTransformation(QImageIOHandler::Transformations transformation)
{
    switch (int(transformation)) {
    case QImageIOHandler::TransformationNone:
        return 1;
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

int orientationOf(QIODevice *device, const QImageReader &reader)
{
    // Qt's JPEG reader misses the orientation behind an XMP block and when it
    // is stored as LONG, so JPEG files are read here.
    const int fromJpeg = jpegExifOrientation(device);
    if (fromJpeg > 0)
        return fromJpeg;
    if (reader.format() == "jpeg" || reader.format() == "jpg")
        return 1;
    return orientationFromTransformation(reader.transformation());
}

int readExifOrientation(const QString &path)
{
    QFile file;
    if (!FileOps::openSource(PathUtil::toFs(path), &file)) {
        qCDebug(lcImaging) << "无法读取图片EXIF信息:" << path;
        return 1;
    }
    QImageReader reader(&file);
    if (!reader.canRead()) {
        qCDebug(lcImaging) << "无法读取图片EXIF信息:" << path;
        return 1;
    }
    return orientationOf(&file, reader);
}

QImage rotateImageByExif(const QImage &image, int orientation)
{
    if (image.isNull()) {
        qCWarning(lcImaging) << "传入的图片为空，无法旋转";
        return QImage();
    }
    QImage result;
    switch (orientation) {
    case 1:
        qCDebug(lcImaging) << "EXIF方向1：正常方向，无需旋转";
        result = image;
        break;
    case 2:
        qCDebug(lcImaging) << "EXIF方向2：水平翻转";
        result = image.mirrored(true, false);
        break;
    case 3:
        qCDebug(lcImaging) << "EXIF方向3：180度旋转";
        result = image.mirrored(true, true);
        break;
    case 4:
        qCDebug(lcImaging) << "EXIF方向4：垂直翻转";
        result = image.mirrored(false, true);
        break;
    case 5:
        qCDebug(lcImaging) << "EXIF方向5：图片逆时针90度+翻转，执行顺时针90度+水平翻转纠正";
        result = quarterTurn(image, true).mirrored(true, false);
        break;
    case 6:
        // The stored picture is turned a quarter anticlockwise; a clockwise
        // quarter turn shows it upright, as Qt's own reader does.
        qCDebug(lcImaging) << "EXIF方向6：图片需顺时针旋转90度纠正";
        result = quarterTurn(image, true);
        break;
    case 7:
        qCDebug(lcImaging) << "EXIF方向7：图片顺时针90度+翻转，执行逆时针90度+水平翻转纠正";
        result = quarterTurn(image, false).mirrored(true, false);
        break;
    case 8:
        qCDebug(lcImaging) << "EXIF方向8：图片需逆时针旋转90度纠正";
        result = quarterTurn(image, false);
        break;
    default:
        qCDebug(lcImaging).noquote() << QStringLiteral("未知的EXIF方向值: %1").arg(orientation);
        result = image;
        break;
    }
    if (result.isNull()) {
        qCWarning(lcImaging).noquote() << QStringLiteral("图片旋转失败，EXIF方向: %1").arg(orientation);
        return image;
    }
    qCDebug(lcImaging).noquote() << QStringLiteral("图片旋转成功，EXIF方向: %1, 原尺寸: %2x%3, 新尺寸: %4x%5")
                                         .arg(QString::number(orientation), QString::number(image.width()),
                                              QString::number(image.height()), QString::number(result.width()),
                                              QString::number(result.height()));
    return result;
}

QSize uprightSize(const QSize &stored, int orientation)
{
    return (orientation >= 5 && orientation <= 8) ? stored.transposed() : stored;
}

bool orientInto(const QImage &src, int orientation, QImage *dst)
{
    if (src.depth() != 32 || dst->depth() != 32 || dst->size() != uprightSize(src.size(), orientation))
        return false;
    orientRows(src, orientation, 0, dst->height(), dst->bits(), dst->bytesPerLine());
    return true;
}

void orientRows(const QImage &src, int orientation, int firstRow, int rowCount, uchar *dst, qsizetype dstStride)
{
    const qint64 w = src.width();
    const qint64 h = src.height();
    // Source pixel of upright (x, y): sx = ax*x + bx*y + cx, sy = ay*x + by*y + cy.
    qint64 ax = 1, bx = 0, cx = 0, ay = 0, by = 1, cy = 0;
    switch (orientation) {
    case 2:
        ax = -1, cx = w - 1;
        break;
    case 3:
        ax = -1, cx = w - 1, by = -1, cy = h - 1;
        break;
    case 4:
        by = -1, cy = h - 1;
        break;
    case 5:
        ax = 0, bx = 1, ay = 1, by = 0;
        break;
    case 6:
        ax = 0, bx = 1, ay = -1, by = 0, cy = h - 1;
        break;
    case 7:
        ax = 0, bx = -1, cx = w - 1, ay = -1, by = 0, cy = h - 1;
        break;
    case 8:
        ax = 0, bx = -1, cx = w - 1, ay = 1, by = 0;
        break;
    default:
        break;
    }
    const uchar *srcBits = src.constBits();
    const qint64 srcStride = src.bytesPerLine();
    const qint64 dw = uprightSize(src.size(), orientation).width();
    const qint64 rowEnd = firstRow + rowCount;
    // Tiles keep both pictures' lines in cache when a turn reads columns.
    constexpr qint64 tile = 64;
    const auto copyTiles = [&](auto pixelType) {
        using Pixel = decltype(pixelType);
        const qint64 step = ax * qint64(sizeof(Pixel)) + ay * srcStride;
        for (qint64 ty = firstRow; ty < rowEnd; ty += tile) {
            const qint64 yEnd = qMin(ty + tile, rowEnd);
            for (qint64 tx = 0; tx < dw; tx += tile) {
                const qint64 xEnd = qMin(tx + tile, dw);
                for (qint64 y = ty; y < yEnd; ++y) {
                    const uchar *from = srcBits + (ay * tx + by * y + cy) * srcStride
                        + (ax * tx + bx * y + cx) * qint64(sizeof(Pixel));
                    auto *to = reinterpret_cast<Pixel *>(dst + (y - firstRow) * dstStride) + tx;
                    for (qint64 x = tx; x < xEnd; ++x, from += step)
                        std::memcpy(to++, from, sizeof(Pixel));
                }
            }
        }
    };
    if (src.depth() == 24)
        copyTiles(Rgb888());
    else
        copyTiles(quint32());
}

namespace {

// shrinkInto for pixels of Bytes bytes with red, green and blue at R, G, B.
template<int Bytes, int R, int G, int B>
void shrinkPixels(const QImage &src, int f, QImage *dst)
{
    const int w = src.width();
    const int h = src.height();
    const int dw = dst->width();
    // By two, the common case of a 24-megapixel photo's largest reduced
    // copy: each pixel from two pixels of two lines, without the sums. An
    // odd last line or column averages what there is.
    if (f == 2) {
        for (int dy = 0; dy < dst->height(); ++dy) {
            const uchar *a = src.constScanLine(2 * dy);
            const uchar *b = src.constScanLine(qMin(h - 1, 2 * dy + 1));
            auto *out = reinterpret_cast<QRgb *>(dst->scanLine(dy));
            const int pairs = w / 2;
            for (int dx = 0; dx < pairs; ++dx, a += 2 * Bytes, b += 2 * Bytes) {
                const auto avg = [&](int c) { return (a[c] + a[c + Bytes] + b[c] + b[c + Bytes] + 2) >> 2; };
                out[dx] = 0xff000000u | (quint32(avg(R)) << 16) | (quint32(avg(G)) << 8) | quint32(avg(B));
            }
            if (w % 2) {
                const auto avg = [&](int c) { return (a[c] + b[c] + 1) >> 1; };
                out[pairs] = 0xff000000u | (quint32(avg(R)) << 16) | (quint32(avg(G)) << 8) | quint32(avg(B));
            }
        }
        return;
    }
    std::vector<quint32> sums(size_t(dw) * 3);
    for (int dy = 0; dy < dst->height(); ++dy) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int y0 = dy * f;
        const int y1 = qMin(h, y0 + f);
        for (int y = y0; y < y1; ++y) {
            const uchar *p = src.constScanLine(y);
            quint32 *sum = sums.data();
            for (int x0 = 0; x0 < w; x0 += f, sum += 3) {
                const int n = qMin(f, w - x0);
                quint32 r = 0;
                quint32 g = 0;
                quint32 b = 0;
                for (int k = 0; k < n; ++k, p += Bytes) {
                    r += p[R];
                    g += p[G];
                    b += p[B];
                }
                sum[0] += r;
                sum[1] += g;
                sum[2] += b;
            }
        }
        auto *out = reinterpret_cast<QRgb *>(dst->scanLine(dy));
        const quint32 rows = quint32(y1 - y0);
        for (int dx = 0; dx < dw; ++dx) {
            const quint32 count = quint32(qMin(f, w - dx * f)) * rows;
            const quint32 *sum = sums.data() + size_t(dx) * 3;
            out[dx] = qRgb(int((sum[0] + count / 2) / count), int((sum[1] + count / 2) / count),
                           int((sum[2] + count / 2) / count));
        }
    }
}

} // namespace

void shrinkInto(const QImage &src, int factor, QImage *dst)
{
    const int f = qMax(1, factor);
    // Channel order in memory: R, G, B for Format_RGB888; B, G, R, X for a
    // 32-bit picture on a little-endian machine, X, R, G, B on a big one.
    if (src.depth() == 24)
        shrinkPixels<3, 0, 1, 2>(src, f, dst);
    else if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
        shrinkPixels<4, 2, 1, 0>(src, f, dst);
    else
        shrinkPixels<4, 1, 2, 3>(src, f, dst);
}

bool decodesWhole(const QSize &size)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    return pixels <= kWholeDecodePixels && size.width() <= kWholeDecodeSide && size.height() <= kWholeDecodeSide;
}

bool rotateDecodesWhole(const QSize &size, qint64 fileSize)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    return pixels <= kWholeDecodePixels && fileSize <= kWholeRotateBytes;
}

QSize rotateDecodeSize(const QSize &size)
{
    const qint64 w = size.width();
    const qint64 h = size.height();
    if (w <= 4096 && h <= 4096)
        return size;
    if (w > h)
        return QSize(4096, int(h * 4096 / w));
    return QSize(int(w * 4096 / h), 4096);
}

QSize rotateBox(const QSize &size, int orientation)
{
    const qint64 w = size.width();
    const qint64 h = size.height();
    QSize box = size;
    if (w * h > 100000000) {
        if (w > h) {
            const qint64 m = qMin<qint64>(w, 8192);
            box = QSize(int(m), int(m * h / w));
        } else {
            const qint64 m = qMin<qint64>(h, 8192);
            box = QSize(int(m * w / h), int(m));
        }
    }
    // The decoded picture is already turned; a quarter turn swaps the box.
    if (orientation >= 5 && orientation <= 8)
        box.transpose();
    return box;
}

QSize reducedSize(const QSize &decoded, int targetSize)
{
    const qint64 w = decoded.width();
    const qint64 h = decoded.height();
    const qint64 t = targetSize;
    if (h >= w)
        return QSize(int(h > 0 ? t * w / h : 0), int(t));
    return QSize(int(t), int(w > 0 ? t * h / w : 0));
}

QSize reducedCopySize(const QSize &decoded, int targetSize)
{
    const QSize target = reducedSize(decoded, targetSize);
    if (qAbs(decoded.width() - target.width()) <= 9 && qAbs(decoded.height() - target.height()) <= 9)
        return decoded;
    return decoded.scaled(target, Qt::KeepAspectRatio);
}

QImage makeReduced(const QImage &decoded, int orientation, int targetSize)
{
    if (decoded.isNull())
        return QImage();
    QImage image = decoded;
    const QSize size = reducedCopySize(decoded.size(), targetSize);
    if (size == decoded.size()) {
        qCDebug(lcImaging) << "当前尺寸已接近目标尺寸，跳过缩放";
    } else {
        image = decoded.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (image.isNull()) {
            qCWarning(lcImaging) << "最终缩放失败:" << size;
            return QImage();
        }
    }
    if (orientation != 1) {
        qCDebug(lcImaging).noquote() << QStringLiteral("缩小后检测到需要旋转，EXIF方向: %1").arg(orientation);
        image = rotateImageByExif(image, orientation);
        if (image.isNull()) {
            qCWarning(lcImaging) << "缩小图片旋转失败:" << orientation;
            return QImage();
        }
        qCDebug(lcImaging).noquote() << QStringLiteral("缩小图片旋转成功，最终尺寸: %1x%2")
                                             .arg(QString::number(image.width()), QString::number(image.height()));
    }
    return image;
}

QByteArray formatOf(const QString &path)
{
    return QFileInfo(PathUtil::toFs(path)).suffix().toLower().toUtf8();
}

bool plainCopy(const QString &source, const QString &target, QString *error, const QString &folder)
{
    if (folder.isEmpty())
        return FileOps::copyAtomically(source, target, error);
    return Confined::copyFile(source, target, folder, nullptr, error) == FileOps::CopyOutcome::Copied;
}

bool processImage(const QString &source, const QString &target, int targetSize, QString *reason,
                  const QString &folder)
{
    if (reason)
        reason->clear();
    const QString src = PathUtil::toFs(source);
    const QString dst = PathUtil::toFs(target);
    if (targetSize < kMinTargetSize || targetSize > kMaxTargetSize) {
        qCWarning(lcImaging) << "目标尺寸无效:" << targetSize << source;
        return false;
    }
    QFile file;
    if (!openSource(src, &file, reason))
        return false;
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        qCWarning(lcImaging) << "无法读取图片:" << source;
        if (reason)
            *reason = QStringLiteral("无法识别的图片");
        return false;
    }
    const QSize size = reader.size();
    if (size.width() < 0 || size.height() < 0) {
        qCWarning(lcImaging) << "无法获取图片尺寸:" << source;
        return false;
    }
    qCDebug(lcImaging).noquote() << QStringLiteral("原图尺寸: %1x%2")
                                         .arg(QString::number(size.width()), QString::number(size.height()));
    if (PathUtil::sameFile(src, dst)) {
        // The picked file is the reduced copy itself: writing would destroy it.
        qCWarning(lcImaging) << "源文件与目标文件相同，不覆盖:" << source;
        return false;
    }
    // A JPEG goes the codec's way, which reads the file once and checks it
    // is whole: decoded at the smallest DCT-scaled size that is large enough.
    const QByteArray format = formatOf(source);
    if ((format == "jpg" || format == "jpeg") && !TfPhotoJob::runningHere()) {
        file.close();
        return TfPhotoJob::makeCopy(src, dst, targetSize, reason, folder);
    }
    if (isTruncatedJpeg(&file)) {
        qCWarning(lcImaging) << "图片文件不完整（缺少结束标记）:" << source;
        if (reason)
            *reason = truncatedText();
        return false;
    }

    QImage image;
    if (decodesWhole(size)) {
        const int orientation = orientationOf(&file, reader);
        const QImage decoded = reader.read();
        if (decoded.isNull()) {
            qCWarning(lcImaging) << "图片读取失败:" << source << reader.errorString();
            return false;
        }
        image = makeReduced(decoded, orientation, targetSize);
        if (image.isNull())
            return false;
    } else {
        qCDebug(lcImaging).noquote() << QStringLiteral("检测到超大图片 (%1x%2)，使用渐进式缩放处理")
                                             .arg(QString::number(size.width()), QString::number(size.height()));
        const int orientation = orientationOf(&file, reader);
        QSize scaled = calcIntermediateSize(size, targetSize);
        reader.setScaledSize(scaled);
        QImage decoded = reader.read();
        if (decoded.isNull()) {
            qCWarning(lcImaging) << "超大图片渐进式读取失败:" << source;
            scaled = QSize(qMin(scaled.width(), 2048), qMin(scaled.height(), 2048));
            file.seek(0);
            QImageReader retry(&file);
            retry.setAutoTransform(false);
            retry.setScaledSize(scaled);
            decoded = retry.read();
            if (decoded.isNull()) {
                qCWarning(lcImaging) << "保守模式读取仍然失败:" << source;
                return false;
            }
        }
        qCDebug(lcImaging).noquote() << QStringLiteral("渐进式缩放成功，中间尺寸: %1x%2")
                                             .arg(QString::number(decoded.width()), QString::number(decoded.height()));
        image = makeReduced(decoded, orientation, targetSize);
        if (image.isNull())
            return false;
    }

    qCDebug(lcImaging) << "要保存图片了:" << target;
    const int quality = (format == "jpg" || format == "jpeg" || format == "webp") ? 90 : -1;
    QString error;
    if (!writeImage(dst, folder, image, format, quality, &error)) {
        qCWarning(lcImaging) << "图片保存失败:" << error;
        if (reason)
            *reason = error;
        return false;
    }
    qCDebug(lcImaging).noquote() << QStringLiteral("图片处理成功: %1 -> %2 (最终尺寸: %3x%4)")
                                         .arg(source, target, QString::number(image.width()),
                                              QString::number(image.height()));
    return true;
}

namespace {

// The upright picture rotateCopy and rotateInPlace write; null when the
// picture cannot be decoded, with *truncated set when it was cut short.
// forCopy tells the two callers' log lines apart.
QImage decodeUpright(const QString &src, qint64 fileSize, bool forCopy, bool *truncated, QString *reason = nullptr)
{
    *truncated = false;
    QFile file;
    if (!openSource(src, &file, reason))
        return QImage();
    QImageReader reader(&file);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        qCWarning(lcImaging) << (forCopy ? "无法读取图片进行旋转拷贝:" : "旋转时无法读取图片:") << src;
        return QImage();
    }
    const QSize size = reader.size();
    if (size.width() < 0 || size.height() < 0) {
        qCWarning(lcImaging) << (forCopy ? "无法获取图片尺寸进行旋转拷贝:" : "无法获取图片尺寸进行旋转:") << src;
        return QImage();
    }
    if (isTruncatedJpeg(&file)) {
        qCWarning(lcImaging) << "图片文件不完整（缺少结束标记）:" << src;
        *truncated = true;
        return QImage();
    }
    if (rotateDecodesWhole(size, fileSize)) {
        const int orientation = orientationOf(&file, reader);
        const QImage image = reader.read();
        if (image.isNull()) {
            qCWarning(lcImaging) << (forCopy ? "旋转拷贝时无法读取图片:" : "旋转时无法读取图片:") << src;
            return image;
        }
        return rotateImageByExif(image, orientation);
    }
    const qint64 pixels = qint64(size.width()) * size.height();
    qCDebug(lcImaging).noquote() << QString(forCopy ? QStringLiteral("超大图片旋转拷贝处理 (%1x%2, %3MP)")
                                                     : QStringLiteral("超大图片旋转处理 (%1x%2, %3MP)"))
                                         .arg(QString::number(size.width()), QString::number(size.height()),
                                              QString::number(double(pixels) / 1000000.0, 'f', 1));
    const int orientation = orientationOf(&file, reader);
    const QSize decodeSize = rotateDecodeSize(size);
    if (decodeSize != size)
        reader.setScaledSize(decodeSize);
    QImage image = reader.read();
    if (image.isNull()) {
        qCWarning(lcImaging) << (forCopy ? "超大图片渐进式旋转拷贝读取失败:" : "超大图片渐进式旋转读取失败:") << src;
        return QImage();
    }
    image = rotateImageByExif(image, orientation);
    if (decodeSize != size) {
        const QSize box = rotateBox(size, orientation);
        qCDebug(lcImaging).noquote() << QStringLiteral("缩放回目标尺寸: %1x%2 -> %3x%4")
                                             .arg(QString::number(image.width()), QString::number(image.height()),
                                                  QString::number(box.width()), QString::number(box.height()));
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

} // namespace

bool rotateCopy(const QString &source, const QString &target, QString *reason, const QString &folder)
{
    QString why;
    const bool ok = [&]() {
        const QString src = PathUtil::toFs(source);
        const QString dst = PathUtil::toFs(target);
        if (PathUtil::sameFile(src, dst)) {
            // Picked from the order's own folder: the photo is already in place.
            qCWarning(lcImaging) << "源文件与目标文件相同，保留原文件:" << source;
            return true;
        }
        // A JPEG is turned without decoding where its size and the memory
        // budget allow it, and keeps the camera's metadata either way.
        const QByteArray jpegFormat = formatOf(source);
        if ((jpegFormat == "jpg" || jpegFormat == "jpeg") && !TfPhotoJob::runningHere()) {
            const bool made = TfPhotoJob::makeCopy(src, dst, 0, &why, folder);
            return made;
        }
        // Never decoded: the copy keeps the source's pixels and its
        // orientation tag, so that viewers still show it upright.
        QFile sourceFile;
        if (!openSource(src, &sourceFile, &why))
            return false;
        const qint64 fileSize = sourceFile.size();
        if (fileSize > kNeverDecodeBytes) {
            if (isTruncatedJpeg(&sourceFile)) {
                qCWarning(lcImaging) << "图片文件不完整（缺少结束标记）:" << source;
                why = truncatedText();
                return false;
            }
            if (!QImageReader(&sourceFile).size().isValid()) {
                qCWarning(lcImaging) << "无法读取图片进行旋转拷贝:" << source;
                why = notTurnedText();
                return false;
            }
            qCWarning(lcImaging).noquote()
                << QStringLiteral("文件过大 (%1MB)，不旋转像素，保留方向标记直接拷贝: %2").arg(mb(fileSize), source);
            sourceFile.close();
            QString error;
            if (!plainCopy(src, dst, &error, folder)) {
                qCWarning(lcImaging) << "文件拷贝失败:" << error;
                why = error;
                return false;
            }
            return true;
        }
        sourceFile.close();
        why = notTurnedText();
        try {
            qCDebug(lcImaging).noquote() << QStringLiteral("开始旋转拷贝，文件大小: %1MB, 源文件: %2")
                                                 .arg(mb(fileSize), source);
            QElapsedTimer timer;
            timer.start();
            bool truncated = false;
            const QImage image = decodeUpright(src, fileSize, true, &truncated, &why);
            if (image.isNull()) {
                if (truncated)
                    why = truncatedText();
                return false;
            }
            if (timer.elapsed() > 10000)
                qCDebug(lcImaging).noquote()
                    << QStringLiteral("图片旋转拷贝读取耗时较长: %1秒").arg(seconds(timer.elapsed()));
            const QByteArray format = formatOf(source);
            const int quality = (format == "jpg" || format == "jpeg") ? 95 : -1;
            QString error;
            if (!writeImage(dst, folder, image, format, quality, &error)) {
                qCWarning(lcImaging).noquote()
                    << QStringLiteral("图片旋转拷贝保存失败: %1, 错误: %2").arg(target, error);
                why = error;
                return false;
            }
            qCDebug(lcImaging).noquote() << QStringLiteral("图片旋转拷贝成功: %1 -> %2 (耗时: %3秒)")
                                                 .arg(source, target, seconds(timer.elapsed()));
            return true;
        } catch (const std::exception &e) {
            qCWarning(lcImaging).noquote() << QStringLiteral("图片旋转拷贝异常: %1, 错误: %2")
                                                   .arg(source, QString::fromLocal8Bit(e.what()));
        } catch (...) {
            qCWarning(lcImaging).noquote() << QStringLiteral("图片旋转拷贝未知异常: %1").arg(source);
        }
        return false;
    }();
    if (reason)
        *reason = ok ? QString() : why;
    return ok;
}

bool rotateInPlace(const QString &path)
{
    const QString fs = PathUtil::toFs(path);
    const qint64 fileSize = QFileInfo(fs).size();
    if (fileSize > kNeverDecodeBytes) {
        qCDebug(lcImaging).noquote() << QStringLiteral("文件过大 (%1MB)，跳过旋转处理: %2").arg(mb(fileSize), path);
        return true;
    }
    const int orientation = readExifOrientation(fs);
    if (orientation == 1) {
        qCDebug(lcImaging) << "图片方向正常，无需旋转:" << path;
        return true;
    }
    try {
        qCDebug(lcImaging).noquote() << QStringLiteral("检测到图片需要旋转，EXIF方向: %1, 文件大小: %2MB, 文件: %3")
                                             .arg(QString::number(orientation), mb(fileSize), path);
        QElapsedTimer timer;
        timer.start();
        bool truncated = false;
        const QImage image = decodeUpright(fs, fileSize, false, &truncated);
        if (image.isNull())
            return false;
        if (timer.elapsed() > 10000)
            qCDebug(lcImaging).noquote() << QStringLiteral("图片旋转读取耗时较长: %1秒").arg(seconds(timer.elapsed()));
        const QByteArray format = formatOf(path);
        int quality = -1;
        if (format == "jpg" || format == "jpeg")
            quality = fileSize <= 20971520 ? 95 : 85;
        QString error;
        if (!writeImage(fs, QString(), image, format, quality, &error)) {
            qCWarning(lcImaging).noquote() << QStringLiteral("图片旋转保存失败: %1, 错误: %2").arg(path, error);
            return false;
        }
        qCDebug(lcImaging).noquote() << QStringLiteral("图片旋转成功: %1 (耗时: %2秒)").arg(path, seconds(timer.elapsed()));
        return true;
    } catch (const std::exception &e) {
        qCWarning(lcImaging).noquote() << QStringLiteral("图片旋转异常: %1, 错误: %2")
                                               .arg(path, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        qCWarning(lcImaging).noquote() << QStringLiteral("图片旋转未知异常: %1").arg(path);
    }
    return false;
}

} // namespace TfImage
