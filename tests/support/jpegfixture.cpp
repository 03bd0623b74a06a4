#include "tests/support/jpegfixture.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>
#include <QtEndian>

#include <cmath>
#include <functional>
#include <vector>

#include <turbojpeg.h>

namespace JpegFixture {

namespace {

void put16(QByteArray &out, quint16 v, bool be)
{
    if (be) {
        out.append(char(v >> 8));
        out.append(char(v & 0xff));
    } else {
        out.append(char(v & 0xff));
        out.append(char(v >> 8));
    }
}

void put32(QByteArray &out, quint32 v, bool be)
{
    if (be) {
        put16(out, quint16(v >> 16), true);
        put16(out, quint16(v & 0xffff), true);
    } else {
        put16(out, quint16(v & 0xffff), false);
        put16(out, quint16(v >> 16), false);
    }
}

QByteArray segment(char marker, const QByteArray &payload)
{
    QByteArray seg;
    seg.append(char(0xff));
    seg.append(marker);
    put16(seg, quint16(payload.size() + 2), true);
    seg.append(payload);
    return seg;
}

QByteArray app1(const QByteArray &payload)
{
    return segment(char(0xe1), payload);
}

} // namespace

QColor quadrantColor(int quadrant)
{
    static const QColor colours[4] = {QColor(220, 30, 30), QColor(30, 200, 30), QColor(30, 30, 220),
                                      QColor(230, 220, 30)};
    return colours[quadrant & 3];
}

QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    const int hw = width / 2;
    const int hh = height / 2;
    p.fillRect(0, 0, hw, hh, quadrantColor(0));
    p.fillRect(hw, 0, width - hw, hh, quadrantColor(1));
    p.fillRect(0, hh, hw, height - hh, quadrantColor(2));
    p.fillRect(hw, hh, width - hw, height - hh, quadrantColor(3));
    return image;
}

QImage storedFor(const QImage &upright, int orientation)
{
    // Each case undoes the turn the EXIF code asks of a viewer.
    switch (orientation) {
    case 2:
        return upright.mirrored(true, false);
    case 3:
        return upright.transformed(QTransform().rotate(180));
    case 4:
        return upright.mirrored(false, true);
    case 5: // transpose: its own inverse
        return upright.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6: // shown after a clockwise quarter turn
        return upright.transformed(QTransform().rotate(-90));
    case 7: // transverse: its own inverse
        return upright.transformed(QTransform().rotate(-90)).mirrored(true, false);
    case 8:
        return upright.transformed(QTransform().rotate(90));
    default:
        return upright;
    }
}

namespace {

// One IFD entry: its value bytes already in the block's byte order.
struct IfdEntry
{
    quint16 tag;
    quint16 type;
    quint32 count;
    QByteArray value;
};

IfdEntry shortEntry(quint16 tag, quint16 v, bool be)
{
    QByteArray value;
    put16(value, v, be);
    return {tag, 3, 1, value};
}

IfdEntry longEntry(quint16 tag, quint32 v, bool be)
{
    QByteArray value;
    put32(value, v, be);
    return {tag, 4, 1, value};
}

IfdEntry asciiEntry(quint16 tag, const QString &text)
{
    QByteArray value = text.toLatin1();
    value.append('\0');
    return {tag, 2, quint32(value.size()), value};
}

int ifdSize(const QList<IfdEntry> &entries)
{
    int size = 2 + 12 * entries.size() + 4;
    for (const IfdEntry &e : entries) {
        if (e.value.size() > 4)
            size += (e.value.size() + 1) & ~1;
    }
    return size;
}

// The IFD at offset at, followed by its values that do not fit an entry.
QByteArray ifdBlock(const QList<IfdEntry> &entries, quint32 at, quint32 next, bool be)
{
    QByteArray out;
    QByteArray data;
    const quint32 dataAt = at + 2 + 12 * quint32(entries.size()) + 4;
    put16(out, quint16(entries.size()), be);
    for (const IfdEntry &e : entries) {
        put16(out, e.tag, be);
        put16(out, e.type, be);
        put32(out, e.count, be);
        if (e.value.size() <= 4) {
            out.append(e.value);
            out.append(QByteArray(4 - e.value.size(), '\0'));
        } else {
            put32(out, dataAt + quint32(data.size()), be);
            data.append(e.value);
            if (data.size() & 1)
                data.append('\0');
        }
    }
    put32(out, next, be);
    return out + data;
}

QByteArray thumbnailOf(const QImage &stored)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(75);
    writer.write(stored.scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return jpeg;
}

} // namespace

QByteArray exifSegment(const Options &options, const QImage &stored)
{
    const bool be = options.bigEndian;
    QByteArray tiff;
    tiff.append(be ? "MM" : "II");
    put16(tiff, 0x2a, be);
    put32(tiff, 8, be); // IFD0 right after the header
    const bool camera = !options.cameraMake.isEmpty() || !options.cameraModel.isEmpty() || !options.dateTaken.isEmpty()
        || options.pixelSize || options.thumbnail;
    if (!camera) {
        put16(tiff, 1, be); // one entry
        put16(tiff, 0x0112, be);
        if (options.orientationAsLong) {
            put16(tiff, 4, be);
            put32(tiff, 1, be);
            put32(tiff, quint32(options.orientation), be);
        } else {
            put16(tiff, 3, be);
            put32(tiff, 1, be);
            put16(tiff, quint16(options.orientation), be);
            put16(tiff, 0, be);
        }
        put32(tiff, 0, be); // no next IFD
    } else {
        QList<IfdEntry> ifd0;
        if (!options.cameraMake.isEmpty())
            ifd0.append(asciiEntry(0x010f, options.cameraMake));
        if (!options.cameraModel.isEmpty())
            ifd0.append(asciiEntry(0x0110, options.cameraModel));
        ifd0.append(options.orientationAsLong ? longEntry(0x0112, quint32(options.orientation), be)
                                              : shortEntry(0x0112, quint16(options.orientation), be));
        ifd0.append(longEntry(0x8769, 0, be)); // set below
        QList<IfdEntry> exif;
        if (!options.dateTaken.isEmpty())
            exif.append(asciiEntry(0x9003, options.dateTaken));
        if (options.pixelSize) {
            exif.append(longEntry(0xa002, quint32(stored.width()), be));
            exif.append(longEntry(0xa003, quint32(stored.height()), be));
        }
        const QByteArray thumb = options.thumbnail && !stored.isNull() ? thumbnailOf(stored) : QByteArray();
        const quint32 ifd0At = 8;
        const quint32 exifAt = ifd0At + quint32(ifdSize(ifd0));
        const quint32 ifd1At = exifAt + quint32(ifdSize(exif));
        QList<IfdEntry> ifd1;
        if (!thumb.isEmpty()) {
            ifd1.append(shortEntry(0x0103, 6, be));
            ifd1.append(longEntry(0x0201, 0, be)); // set below
            ifd1.append(longEntry(0x0202, quint32(thumb.size()), be));
        }
        const quint32 thumbAt = ifd1At + quint32(ifdSize(ifd1));
        ifd0.last() = longEntry(0x8769, exifAt, be);
        if (!thumb.isEmpty())
            ifd1[1] = longEntry(0x0201, thumbAt, be);
        tiff.append(ifdBlock(ifd0, ifd0At, thumb.isEmpty() ? 0 : ifd1At, be));
        tiff.append(ifdBlock(exif, exifAt, 0, be));
        if (!thumb.isEmpty()) {
            tiff.append(ifdBlock(ifd1, ifd1At, 0, be));
            tiff.append(thumb);
        }
    }
    QByteArray payload("Exif\0\0", 6);
    payload.append(tiff);
    return app1(payload);
}

QByteArray withExif(const QByteArray &jpeg, const Options &options, const QImage &stored)
{
    QByteArray segments;
    if (options.xmpFirst) {
        QByteArray xmp("http://ns.adobe.com/xap/1.0/");
        xmp.append('\0');
        xmp.append("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF/></x:xmpmeta>");
        segments.append(app1(xmp));
    }
    segments.append(exifSegment(options, stored));
    if (options.xmpOrientation) {
        QByteArray xmp("http://ns.adobe.com/xap/1.0/");
        xmp.append('\0');
        xmp.append(QStringLiteral("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                                  "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
                                  "xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" tiff:Orientation=\"%1\"/>"
                                  "</rdf:RDF></x:xmpmeta>")
                       .arg(options.orientation)
                       .toLatin1());
        segments.append(app1(xmp));
    }
    if (!options.iccProfile.isEmpty()) {
        // One chunk of one: a profile under 64 KB, as cameras write sRGB.
        QByteArray icc("ICC_PROFILE", 12);
        icc.append(char(1));
        icc.append(char(1));
        icc.append(options.iccProfile);
        segments.append(segment(char(0xe2), icc));
    }
    QByteArray out = jpeg.left(2); // SOI
    out.append(segments);
    out.append(jpeg.mid(2));
    return out;
}

QByteArray encode(const QImage &image, const Options &options)
{
    QByteArray jpeg;
    if (options.sampling == 420) {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpg");
        writer.setQuality(options.quality);
        writer.setProgressiveScanWrite(options.progressive);
        // Without the picture there is no file to give an EXIF block to: an
        // empty result, not a header-only file that a caller would take for
        // a photo.
        if (!writer.write(image))
            return QByteArray();
        buffer.close();
    } else {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        if (rgb.isNull())
            return QByteArray();
        tjhandle handle = tjInitCompress();
        unsigned char *data = nullptr;
        unsigned long size = 0;
        const int sampling =
            options.sampling == 444 ? TJSAMP_444 : (options.sampling == 400 ? TJSAMP_GRAY : TJSAMP_422);
        const int rc = tjCompress2(handle, rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()), rgb.height(),
                                   TJPF_BGRX, &data, &size, sampling, options.quality,
                                   options.progressive ? TJFLAG_PROGRESSIVE : 0);
        if (rc == 0)
            jpeg = QByteArray(reinterpret_cast<const char *>(data), int(size));
        tjFree(data);
        tjDestroy(handle);
        if (jpeg.isEmpty())
            return QByteArray();
    }
    return withExif(jpeg, options, image);
}

bool write(const QString &path, const QImage &image, const Options &options)
{
    const QByteArray data = encode(image, options);
    if (data.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(data) == data.size();
}

bool writeUprightQuadrants(const QString &path, int width, int height, int orientation, const Options &options)
{
    Options o = options;
    o.orientation = orientation;
    return write(path, storedFor(quadrants(width, height), orientation), o);
}

QList<int> quadrantLayout(const QImage &image)
{
    QList<int> layout;
    const int w = image.width();
    const int h = image.height();
    const QPoint centres[4] = {QPoint(w / 4, h / 4), QPoint(3 * w / 4, h / 4), QPoint(w / 4, 3 * h / 4),
                               QPoint(3 * w / 4, 3 * h / 4)};
    for (const QPoint &c : centres) {
        const QColor got = image.pixelColor(c);
        int found = -1;
        for (int q = 0; q < 4; ++q) {
            const QColor want = quadrantColor(q);
            if (qAbs(got.red() - want.red()) < 40 && qAbs(got.green() - want.green()) < 40
                && qAbs(got.blue() - want.blue()) < 40)
                found = q;
        }
        layout.append(found);
    }
    return layout;
}

namespace {

quint16 read16(const uchar *p, bool be)
{
    return be ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

quint32 read32(const uchar *p, bool be)
{
    return be ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

// The APP1 payloads of a JPEG that start with prefix.
QList<QByteArray> app1Payloads(const QByteArray &jpeg, const QByteArray &prefix)
{
    QList<QByteArray> found;
    int at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg.at(at)) == 0xff) {
        const quint8 marker = quint8(jpeg.at(at + 1));
        if (marker == 0xda || marker == 0xd9)
            break;
        const int length = (quint8(jpeg.at(at + 2)) << 8) | quint8(jpeg.at(at + 3));
        if (length < 2 || at + 2 + length > jpeg.size())
            break;
        const QByteArray payload = jpeg.mid(at + 4, length - 2);
        if (marker == 0xe1 && payload.startsWith(prefix))
            found.append(payload);
        at += 2 + length;
    }
    return found;
}

} // namespace

ExifTags readExif(const QByteArray &jpeg)
{
    ExifTags tags;
    const QList<QByteArray> blocks = app1Payloads(jpeg, QByteArray("Exif\0\0", 6));
    if (blocks.isEmpty())
        return tags;
    const QByteArray tiffBytes = blocks.first().mid(6);
    const auto *tiff = reinterpret_cast<const uchar *>(tiffBytes.constData());
    const qint64 len = tiffBytes.size();
    if (len < 8)
        return tags;
    const bool be = tiff[0] == 'M';
    tags.found = true;
    auto text = [&](qint64 entry) {
        const quint32 count = read32(tiff + entry + 4, be);
        const qint64 at = count <= 4 ? entry + 8 : read32(tiff + entry + 8, be);
        if (at + count > len)
            return QString();
        return QString::fromLatin1(reinterpret_cast<const char *>(tiff + at), int(count)).section(QChar(0), 0, 0);
    };
    auto number = [&](qint64 entry) {
        return read16(tiff + entry + 2, be) == 3 ? quint32(read16(tiff + entry + 8, be)) : read32(tiff + entry + 8, be);
    };
    auto walk = [&](qint64 ifd, const std::function<void(quint16, qint64)> &visit) -> qint64 {
        if (ifd < 8 || ifd + 2 > len)
            return 0;
        const int count = read16(tiff + ifd, be);
        if (ifd + 2 + count * 12 + 4 > len)
            return 0;
        for (int i = 0; i < count; ++i) {
            const qint64 entry = ifd + 2 + i * 12;
            visit(read16(tiff + entry, be), entry);
        }
        return read32(tiff + ifd + 2 + count * 12, be);
    };
    qint64 exifIfd = 0;
    const qint64 ifd1 = walk(read32(tiff + 4, be), [&](quint16 tag, qint64 entry) {
        if (tag == 0x010f)
            tags.cameraMake = text(entry);
        else if (tag == 0x0110)
            tags.cameraModel = text(entry);
        else if (tag == 0x0112)
            tags.orientation = int(number(entry));
        else if (tag == 0x8769)
            exifIfd = number(entry);
    });
    walk(exifIfd, [&](quint16 tag, qint64 entry) {
        if (tag == 0x9003)
            tags.dateTaken = text(entry);
        else if (tag == 0xa002)
            tags.pixelWidth = int(number(entry));
        else if (tag == 0xa003)
            tags.pixelHeight = int(number(entry));
    });
    quint32 thumbAt = 0;
    quint32 thumbLength = 0;
    walk(ifd1, [&](quint16 tag, qint64 entry) {
        if (tag == 0x0201)
            thumbAt = number(entry);
        else if (tag == 0x0202)
            thumbLength = number(entry);
    });
    if (thumbAt && thumbLength && qint64(thumbAt) + thumbLength <= len)
        tags.thumbnail = tiffBytes.mid(int(thumbAt), int(thumbLength));
    return tags;
}

int xmpOrientation(const QByteArray &jpeg)
{
    QByteArray prefix("http://ns.adobe.com/xap/1.0/");
    prefix.append('\0');
    for (const QByteArray &xmp : app1Payloads(jpeg, prefix)) {
        const int at = xmp.indexOf("tiff:Orientation=\"");
        if (at >= 0)
            return xmp.at(at + 18) - '0';
    }
    return 0;
}

QImage scene(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 s = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            const int n = int((s >> 24) & 0x0f) - 8;
            // Light rising to the right, colour to the bottom, and rings
            // around a point off the centre: no turn or mirror maps it onto
            // itself.
            const int dx = x - width / 3;
            const int dy = y - height / 4;
            const int ring = int(60.0 * std::sin(std::sqrt(double(dx * dx + dy * dy)) / 6.0));
            const int r = qBound(0, x * 200 / qMax(1, width - 1) + 30 + n, 255);
            const int g = qBound(0, y * 200 / qMax(1, height - 1) + 30 + ring / 2 + n, 255);
            const int b = qBound(0, 128 + ring + n, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

QImage noise(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 s = seed * 2654435761u + 12345;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            line[x] = 0xff000000u | (s >> 8);
        }
    }
    return image;
}

QImage noisyQuadrants(int width, int height, quint32 seed)
{
    QImage image = quadrants(width, height).convertToFormat(QImage::Format_RGB32);
    quint32 s = seed * 2654435761u + 777;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            s = s * 1664525u + 1013904223u;
            const auto jitter = [&](int value, int shift) { return qBound(0, value + int((s >> shift) & 0xff) - 128, 255); };
            line[x] = qRgb(jitter(qRed(line[x]), 8), jitter(qGreen(line[x]), 16), jitter(qBlue(line[x]), 24));
        }
    }
    return image;
}

bool decodesCleanly(const QByteArray &jpeg, QString *why)
{
    tjhandle handle = tjInitDecompress();
    int width = 0;
    int height = 0;
    int sampling = 0;
    int colorspace = 0;
    const auto *data = reinterpret_cast<const unsigned char *>(jpeg.constData());
    bool ok = tjDecompressHeader3(handle, data, (unsigned long)jpeg.size(), &width, &height, &sampling, &colorspace) == 0
        && width > 0 && height > 0;
    if (ok) {
        std::vector<unsigned char> pixels(size_t(width) * size_t(height) * 4);
        ok = tjDecompress2(handle, data, (unsigned long)jpeg.size(), pixels.data(), width, width * 4, height,
                           TJPF_BGRX, TJFLAG_STOPONWARNING)
            == 0;
    }
    if (!ok && why)
        *why = QString::fromLocal8Bit(tjGetErrorStr2(handle));
    tjDestroy(handle);
    return ok;
}

QString cellDifference(const QImage &expected, const QImage &actual, int cells, int tolerance)
{
    if (expected.isNull() || actual.isNull())
        return QStringLiteral("no picture");
    const QSize grid = expected.size().scaled(cells, cells, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    const QImage a = expected.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    const QImage b = actual.scaled(grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    const auto difference = [](QRgb p, QRgb q) {
        return qMax(qMax(qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q))), qAbs(qBlue(p) - qBlue(q)));
    };
    for (int y = 0; y < grid.height(); ++y) {
        for (int x = 0; x < grid.width(); ++x) {
            // A cell on an edge of the expected picture is left out: a
            // rounding of the copy's size moves the edge within it.
            bool onEdge = false;
            for (int dy = -1; dy <= 1 && !onEdge; ++dy) {
                for (int dx = -1; dx <= 1 && !onEdge; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < grid.width() && ny < grid.height())
                        onEdge = difference(a.pixel(x, y), a.pixel(nx, ny)) > tolerance;
                }
            }
            const int d = difference(a.pixel(x, y), b.pixel(x, y));
            if (!onEdge && d > tolerance)
                return QStringLiteral("cell (%1, %2) of %3x%4 differs by %5")
                    .arg(x)
                    .arg(y)
                    .arg(grid.width())
                    .arg(grid.height())
                    .arg(d);
        }
    }
    return QString();
}

double psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            const int dr = qRed(p[col]) - qRed(q[col]);
            const int dg = qGreen(p[col]) - qGreen(q[col]);
            const int db = qBlue(p[col]) - qBlue(q[col]);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

QByteArray claimingSize(QByteArray jpeg, int width, int height)
{
    for (int i = 2; i + 9 < jpeg.size(); ++i) {
        const quint8 marker = quint8(jpeg.at(i + 1));
        if (quint8(jpeg.at(i)) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
    }
    return QByteArray();
}

QByteArray hugeClaim()
{
    Options options;
    options.quality = 50;
    return claimingSize(encode(quadrants(16, 16), options), 60000, 60000);
}

} // namespace JpegFixture
