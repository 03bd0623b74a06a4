#include "tests/support/jpegfixture.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>

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

QByteArray app1(const QByteArray &payload)
{
    QByteArray seg;
    seg.append(char(0xff));
    seg.append(char(0xe1));
    put16(seg, quint16(payload.size() + 2), true);
    seg.append(payload);
    return seg;
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

QByteArray exifSegment(const Options &options)
{
    const bool be = options.bigEndian;
    QByteArray tiff;
    tiff.append(be ? "MM" : "II");
    put16(tiff, 0x2a, be);
    put32(tiff, 8, be); // IFD0 right after the header
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
    QByteArray payload("Exif\0\0", 6);
    payload.append(tiff);
    return app1(payload);
}

QByteArray withExif(const QByteArray &jpeg, const Options &options)
{
    QByteArray segments;
    if (options.xmpFirst) {
        QByteArray xmp("http://ns.adobe.com/xap/1.0/");
        xmp.append('\0');
        xmp.append("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF/></x:xmpmeta>");
        segments.append(app1(xmp));
    }
    segments.append(exifSegment(options));
    QByteArray out = jpeg.left(2); // SOI
    out.append(segments);
    out.append(jpeg.mid(2));
    return out;
}

QByteArray encode(const QImage &image, const Options &options)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(options.quality);
    // Without the picture there is no file to give an EXIF block to: an empty
    // result, not a header-only file that a caller would take for a photo.
    if (!writer.write(image))
        return QByteArray();
    buffer.close();
    return withExif(jpeg, options);
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
