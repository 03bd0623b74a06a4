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
    // Chroma sampling: 420 (Qt's writer), 422 or 444 (written with
    // libjpeg-turbo, as cameras that keep full colour do), or 400 for
    // grey only.
    int sampling = 420;
    // Progressive scans instead of one baseline scan.
    bool progressive = false;
    // Further EXIF tags a camera writes; empty ones are left out.
    QString cameraMake;
    QString cameraModel;
    QString dateTaken; // "YYYY:MM:DD HH:MM:SS"
    // The stored picture's size in the EXIF sub-IFD (PixelX/YDimension).
    bool pixelSize = false;
    // A 160 x 120-fitting JPEG thumbnail of the stored picture in IFD1.
    bool thumbnail = false;
    // An XMP block (after the EXIF one) that repeats the orientation.
    bool xmpOrientation = false;
    // A colour profile in an APP2 ICC_PROFILE segment after the EXIF one.
    QByteArray iccProfile;
};

// What a copy's EXIF block holds, read independently of the program.
struct ExifTags
{
    bool found = false;
    int orientation = 0; // 0: no orientation tag
    QString cameraMake;
    QString cameraModel;
    QString dateTaken;
    int pixelWidth = 0;
    int pixelHeight = 0;
    QByteArray thumbnail; // empty when IFD1 holds none
};
ExifTags readExif(const QByteArray &jpeg);

// The XMP orientation digit of a JPEG's XMP block, 0 when there is none.
int xmpOrientation(const QByteArray &jpeg);

// A camera-like picture: smooth light, detail and fine noise, so that a
// wrong turn, a wrong mirror or a lossy step shows in its pixels.
QImage scene(int width, int height, quint32 seed = 1);

// Pure noise, every channel of every pixel random: the most detail a
// picture can hold, so its JPEG is as large as a JPEG gets.
QImage noise(int width, int height, quint32 seed = 1);

// Noise of nearly full range over four coloured quadrants: as costly to
// code as noise, yet a wrong turn or a damaged region shows once the
// picture is averaged in cells.
QImage noisyQuadrants(int width, int height, quint32 seed = 1);

// Whether jpeg decodes with no warning at all from a codec of its own (a
// damaged scan that a lenient reader would fill in does not); *why says
// what the codec reported.
bool decodesCleanly(const QByteArray &jpeg, QString *why);

// Where actual differs from expected once both are averaged over a grid of
// cells (cells along the longer side): empty when every cell's colour is
// within tolerance, else the first cell that is not. Cells on an edge of
// expected (a neighbour more than tolerance apart) are left out.
QString cellDifference(const QImage &expected, const QImage &actual, int cells, int tolerance);

// Peak signal-to-noise ratio of b against a, in dB (99 when equal); -1
// when the sizes differ.
double psnr(const QImage &a, const QImage &b);

// The four quadrant colours of quadrants(): top left, top right, bottom
// left, bottom right.
QColor quadrantColor(int quadrant);

// A picture of four flat coloured quadrants, so every turn and mirror of it
// is told apart.
QImage quadrants(int width, int height);

// The stored picture that shows as upright once turned by orientation: what
// a camera writes for a scene that looks like upright.
QImage storedFor(const QImage &upright, int orientation);

// The APP1 EXIF segment (marker included): the orientation, and the other
// tags the options ask for. stored is the picture the thumbnail shows.
QByteArray exifSegment(const Options &options, const QImage &stored = QImage());

// jpeg with the EXIF segment (and XMP segment) inserted right after SOI.
QByteArray withExif(const QByteArray &jpeg, const Options &options, const QImage &stored = QImage());

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
