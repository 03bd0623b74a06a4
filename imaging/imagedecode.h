#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;

// Decoding of pictures that come from outside (service downloads, local
// icons) for display: the size the header claims is read first and checked
// against the limits below, so a tiny file that claims a huge picture is
// refused before any pixel is allocated, and a thumbnail is decoded at its
// reduced size where the format allows it (JPEG scales while decoding).
namespace ImageDecode {

// Files larger than this are never decoded (the import engine's limit too).
constexpr qint64 kMaxFileBytes = 104857600; // 100 MiB
// Largest picture decoded whole: formats that cannot decode at a reduced
// size, and progressive JPEGs (whose decoder holds every coefficient of the
// picture), are refused above it.
constexpr qint64 kMaxWholePixels = 50000000;
// Largest picture decoded at a reduced size: 250 megapixels is beyond every
// camera and most panoramas.
constexpr qint64 kMaxReducedPixels = 250000000;

// The picture scaled to fit box, aspect ratio kept (also enlarged when
// smaller); at its own size when box is empty. Null when it cannot be decoded
// or lies over the limits; *error then says why, in words for the user. Safe
// on any thread.
QImage decode(const QByteArray &data, const QSize &box, QString *error = nullptr);
QImage decode(QIODevice *device, const QSize &box, QString *error = nullptr);
// The same for a local file or a ":/" resource.
QImage decodeFile(const QString &path, const QSize &box, QString *error = nullptr);

} // namespace ImageDecode
