#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// Real JPEG files with an EXIF orientation, made in code. Qt's writer stores
// no EXIF, so the APP1 block is written here byte by byte.
namespace JpegFixture {

struct Options
{
    int orientation = 1;
    // TIFF byte order of the EXIF block: "MM" when true, "II" otherwise.
    bool bigEndian = true;
    // Orientation stored as LONG (type 4) instead of SHORT (type 3).
    bool orientationAsLong = false;
    // An XMP APP1 segment placed before the EXIF one, as some editors write.
    bool xmpFirst = false;
    int quality = 95;
};

// The four quadrant colours of quadrants(): top left, top right, bottom
// left, bottom right.
QColor quadrantColor(int quadrant);

// A picture of four flat coloured quadrants, so every turn and mirror of it
// is told apart.
QImage quadrants(int width, int height);

// The stored picture that shows as upright once turned by orientation: what
// a camera writes for a scene that looks like upright.
QImage storedFor(const QImage &upright, int orientation);

// The APP1 EXIF segment (marker included) holding one IFD0 entry: the
// orientation.
QByteArray exifSegment(const Options &options);

// jpeg with the EXIF segment (and XMP segment) inserted right after SOI.
QByteArray withExif(const QByteArray &jpeg, const Options &options);

// Encodes image as JPEG and adds the EXIF block; empty when it cannot be
// encoded.
QByteArray encode(const QImage &image, const Options &options);

// Writes the JPEG of image to path; returns false when it cannot.
bool write(const QString &path, const QImage &image, const Options &options);

// Writes a JPEG of quadrants whose upright view is width x height with the
// given orientation.
bool writeUprightQuadrants(const QString &path, int width, int height, int orientation,
                           const Options &options = Options());

// Which quadrant colour the picture shows around each quadrant's centre, as
// indexes into quadrantColor() (-1 when none is near): top left, top right,
// bottom left, bottom right.
QList<int> quadrantLayout(const QImage &image);

// jpeg (baseline or progressive) with the size in its frame header replaced:
// a real file whose header claims a picture far larger than its data. Empty
// when jpeg has no frame header.
QByteArray claimingSize(QByteArray jpeg, int width, int height);

// A JPEG of a few hundred bytes whose header claims 60000 x 60000: decoded
// whole it would take 14 GB.
QByteArray hugeClaim();

} // namespace JpegFixture
