#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class QIODevice;

// JPEG work close to the codec (libjpeg-turbo's TurboJPEG and libjpeg
// APIs): the frame header, lossless turns of the coded data, decodes at a
// DCT-scaled size, encodes, and the camera's metadata carried over to an
// upright copy.
// Every function may run on any thread; each thread keeps its own codec
// handles.
namespace TfJpeg {

struct Header
{
    int width = 0;
    int height = 0;
    // TurboJPEG's TJSAMP_* value; -1 for a sampling it has no name for.
    int subsampling = -1;
    // TurboJPEG's TJCS_* value.
    int colorspace = -1;
    bool progressive = false;
    // The quality the picture was encoded at, as its luminance table says
    // against the standard one (1-100); -1 when it has none.
    int quality = -1;
    int components = 0;
    // The shortest code of the AC Huffman tables of its first scan, when
    // that scan is sequential and holds every component; 0 otherwise. Each
    // non-zero coefficient costs the file at least one bit more than that,
    // which bounds how many a file of a given size holds.
    int shortestAcCode = 0;
};

// The frame header of the JPEG in data; false when the codec cannot read it.
bool readHeader(const uchar *data, qint64 size, Header *header);

// Whether the codec can decode the picture to RGB pixels itself (CMYK and
// pictures of unnamed sampling go through Qt's reader instead).
bool decodesToRgb(const Header &header);

// Whether turning the coded data for an EXIF orientation keeps every pixel:
// an edge that moves must not cut a block of the sampling in two.
bool isPerfectTurn(const Header &header, int orientation);

// Bytes the codec holds while it decodes a progressive picture, or while it
// turns one with its coefficients whole (TurnMemory::Whole).
qint64 coefficientBytes(const Header &header);

// How a turn holds the source's coefficients, all of which it needs before
// the first turned row. Packed: each block as the mask of its non-zero
// coefficients and their values, a byte each where they fit, within what
// the file's size allows (a photo of fine detail in about a third of the
// memory); a picture that gains nothing by it, or whose coding gives no
// bound, is held whole all the same. Whole: two bytes a coefficient.
enum class TurnMemory {
    Packed,
    Whole,
};

// Bytes the codec holds at most while it turns the picture of a file of
// fileSize bytes with memory.
qint64 turnBytes(const Header &header, qint64 fileSize, TurnMemory memory = TurnMemory::Packed);

struct Segment;

// The camera's metadata to give an upright copy (see withUprightMetadata),
// added as the copy is made, without another copy of its bytes.
struct UprightMetadata
{
    const QList<Segment> *segments = nullptr;
    QSize size;
    int orientation = 1;
    bool keepAdobe = false;
};

enum class TurnResult {
    Turned,
    Imperfect,
    Failed,
    // Packed, the coefficients passed what the file's size allows (a
    // damaged scan the decoder filled out): it turns only held Whole.
    TooDense,
};

// The JPEG turned upright for orientation without decoding it: the coded
// pixels are moved, not re-encoded, and the turned picture is never held
// whole beside the source's coefficients. The copy gets metadata (its
// keepAdobe taken as true: the coded data is the source's), or without it
// the source's own made upright. Imperfect when the picture's size does not
// allow it.
TurnResult turnLossless(const uchar *data, qint64 size, int orientation, QByteArray *out, QString *error,
                        const UprightMetadata *metadata = nullptr, TurnMemory memory = TurnMemory::Packed);
// The same, written to device as it is made: the turned copy is never held
// in memory. *writeFailed (when given) tells a refused write, the device's
// own error saying why, from a failed turn.
TurnResult turnLosslessTo(const uchar *data, qint64 size, int orientation, QIODevice *device, QString *error,
                          const UprightMetadata *metadata = nullptr, bool *writeFailed = nullptr,
                          TurnMemory memory = TurnMemory::Packed);

// The size of a decode at 1/denominator (1, 2, 4 or 8).
QSize scaledSize(const Header &header, int denominator);

// Decodes into pixels at 1/denominator, bytesPerLine stride: 4 bytes a
// pixel in QImage::Format_RGB32's layout, or 3 in Format_RGB888's (R, G, B),
// which holds a full-size picture in three quarters of the memory. Warnings
// of a damaged but readable picture are accepted, as Qt's reader does.
bool decode(const uchar *data, qint64 size, int denominator, uchar *pixels, int bytesPerLine, QString *error,
            int bytesPerPixel = 4);

// TurboJPEG's 4:2:0 sampling, as Qt's writer encodes photos.
constexpr int kSampling420 = 2;

// The sampling an upright re-encode keeps: the source's, swapped across the
// diagonal by a quarter turn; 4:4:4 when the codec has no name for it.
int uprightSampling(int subsampling, int orientation);

// Encodes a picture (Format_RGB32, ARGB32 or RGB888; others are converted)
// as JPEG, with metadata when given: written by the encoder in place of its
// own, with no second copy of the file. A picture stored for another
// orientation than 1 is turned upright band by band as it is encoded.
bool encode(const QImage &image, int quality, int subsampling, QByteArray *out, QString *error,
            const UprightMetadata *metadata = nullptr, int orientation = 1);

// Encodes the picture stored (32-bit, or Format_RGB888) turned upright for
// orientation, a band of rows at a time: no turned copy of the whole
// picture is made.
// expectedBytes, when known, is the room first given to the encoder.
bool encodeUpright(const QImage &stored, int orientation, int quality, int subsampling, QByteArray *out,
                   QString *error, const UprightMetadata *metadata = nullptr, qint64 expectedBytes = 0);
// The same, written to device as it is made (a megabyte at a time); as
// turnLosslessTo for *writeFailed.
bool encodeUprightTo(const QImage &stored, int orientation, int quality, int subsampling, QIODevice *device,
                     QString *error, const UprightMetadata *metadata = nullptr, bool *writeFailed = nullptr);

// One marker segment of a JPEG's header.
struct Segment
{
    uchar marker = 0;
    QByteArray payload;
};

// The APPn and COM segments of a JPEG, in file order; false when it is no
// JPEG or its header is cut short.
bool metadataOf(const QByteArray &jpeg, QList<Segment> *segments);

// Where the TIFF structure of an EXIF block (an APP1 payload starting
// "Exif\0\0") starts and its byte order; false when the payload is no EXIF
// block or its TIFF header is broken.
bool exifTiffOf(const QByteArray &payload, int *offset, bool *bigEndian);

// The EXIF block (APP1 payload from "Exif\0\0") of an upright copy of size:
// orientation 1 (also for the thumbnail), the pixel dimensions set to size,
// and the embedded thumbnail turned for orientation, or dropped where it
// cannot be turned in place. Anything else is kept byte for byte.
QByteArray uprightExif(const QByteArray &payload, const QSize &size, int orientation);

// The source's APPn and COM segments made fit for an upright copy of size
// (see withUprightMetadata), in file order.
QList<Segment> uprightSegments(const QList<Segment> &source, const QSize &size, int orientation, bool keepAdobe);

// encoded with its own APPn and COM segments replaced by the source's,
// made fit for an upright copy of size: EXIF and XMP say orientation 1,
// the thumbnails are turned or dropped, and the multi-picture index, whose
// pictures the copy does not carry, is dropped. keepAdobe keeps the
// source's colour-transform segment, true only when the coded data is the
// source's own.
QByteArray withUprightMetadata(const QByteArray &encoded, const QList<Segment> &source, const QSize &size,
                               int orientation, bool keepAdobe);

} // namespace TfJpeg
