#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QSize>
#include <QString>

#include "imaging/imagedecode.h"

class QIODevice;
class QImageReader;

// Image work of the import workers: the upright full-size copy, the reduced
// copies, and the pieces they share. No state; every function may run on any
// thread.
namespace TfImage {

// Pixel and file-size limits above which a picture is decoded at a reduced
// size instead of whole.
constexpr qint64 kWholeDecodePixels = ImageDecode::kMaxWholePixels;
constexpr int kWholeDecodeSide = 10000;
constexpr qint64 kWholeRotateBytes = 31457280;   // 30 MiB
constexpr qint64 kNeverDecodeBytes = ImageDecode::kMaxFileBytes;
constexpr int kMinTargetSize = 1;
constexpr int kMaxTargetSize = 20000;

QSize calcIntermediateSize(const QSize &sourceSize, int target);

// The EXIF orientation code 1..8 of the file; 1 when it has none or cannot
// be read.
int readExifOrientation(const QString &path);

// The orientation stored in the EXIF block of a JPEG on device, read from its
// APP1 segments (any number of them, in any order, SHORT or LONG values);
// 0 when the device holds no JPEG or no orientation. Reads from the start of
// the device and restores its position.
int jpegExifOrientation(QIODevice *device);

// The orientation of the picture that reader is about to decode, from the
// same device: the JPEG's own EXIF block, or the reader's transformation for
// other formats.
int orientationOf(QIODevice *device, const QImageReader &reader);

int orientationFromTransformation(QImageIOHandler::Transformations transformation);

// Whether device holds a JPEG whose image data ends before its end-of-image
// marker: a file cut short by a copy or a download, which the decoder would
// fill with grey. Data after the marker (a phone's appended video, a
// maker's trailer) is allowed. False for anything that is not a JPEG.
// Restores the device's position.
bool isTruncatedJpeg(QIODevice *device);
bool isTruncatedJpeg(const QString &path);

// Why a copy failed, for the user, after the copy's own message; the full
// volume's text is FileOps::diskFullText().
QString truncatedText();
QString notTurnedText();

// The picture turned upright for an EXIF orientation code.
QImage rotateImageByExif(const QImage &image, int orientation);

// The size of image once turned upright for orientation.
QSize uprightSize(const QSize &stored, int orientation);

// Writes the 32-bit picture src turned upright for orientation into dst, a
// 32-bit picture of uprightSize(src.size()) whose memory the caller owns
// (a reused buffer); the same pixels as rotateImageByExif. False when the
// pictures do not fit each other.
bool orientInto(const QImage &src, int orientation, QImage *dst);

// Rows [firstRow, firstRow + rowCount) of src (32-bit, or Format_RGB888)
// turned upright for orientation, written to dst (rows of dstStride bytes,
// pixels as src holds them): a band of the upright picture without the
// whole of it.
void orientRows(const QImage &src, int orientation, int firstRow, int rowCount, uchar *dst, qsizetype dstStride);

// src (32-bit, or Format_RGB888) shrunk by factor into dst, a Format_RGB32
// picture of src's size divided by factor and rounded up, whose memory the
// caller owns: each pixel the average of its factor x factor block (the
// blocks on the right and bottom edges as far as src goes). A Format_RGB888
// src shrunk by 2 or more may be shrunk into its own memory (dst starting
// at src's first byte): each line is written behind the lines still to be
// read, and each pixel after the pixels it covers were read.
void shrinkInto(const QImage &src, int factor, QImage *dst);

// Whether processImage decodes a picture of this size whole.
bool decodesWhole(const QSize &size);
// Whether rotateCopy decodes a picture of this size and file size whole.
bool rotateDecodesWhole(const QSize &size, qint64 fileSize);
// The decode size of rotateCopy's large-picture path.
QSize rotateDecodeSize(const QSize &size);
// The box rotateCopy's large-picture path scales back into, already turned
// for the orientation.
QSize rotateBox(const QSize &size, int orientation);

// The size processImage scales a decoded w x h picture to.
QSize reducedSize(const QSize &decoded, int targetSize);
// The size a reduced copy of a decoded picture gets: within 9 px of the
// target it keeps its own size, otherwise it is scaled into the target.
QSize reducedCopySize(const QSize &decoded, int targetSize);

// Scales a decoded (stored-orientation) picture to targetSize and turns it
// upright: the picture processImage writes. Null on failure.
QImage makeReduced(const QImage &decoded, int orientation, int targetSize);

// The writer format of a file: its suffix in lower case.
QByteArray formatOf(const QString &path);

// The reduced copy. On failure *reason, when given, is set to the cause, in
// Chinese (one of the texts above, the full disk's, why the source could not
// be read or the target not written), or left empty when none is known.
// With folder (in the file system's own form), the copy is written only
// inside it, never through a link (Confined); without, where target says.
bool processImage(const QString &source, const QString &target, int targetSize, QString *reason = nullptr,
                  const QString &folder = QString());
// The full-size copy turned upright. A picture that cannot be turned (not
// decodable, cut short, not encodable) fails: a plain copy would keep its
// unturned pixels. One too large to decode is turned losslessly where the
// memory budget allows, else copied as it is with its orientation tag.
// *reason and folder as for processImage.
bool rotateCopy(const QString &source, const QString &target, QString *reason = nullptr,
                const QString &folder = QString());
bool rotateInPlace(const QString &path);

// Copies source over target byte for byte; the old target stays until the
// copy is complete. *error is the cause (FileOps's texts); folder as for
// processImage.
bool plainCopy(const QString &source, const QString &target, QString *error = nullptr,
               const QString &folder = QString());

} // namespace TfImage
