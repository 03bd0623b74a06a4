#include "imaging/tfjpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <QBuffer>
#include <QImageReader>
#include <QtAlgorithms>
#include <QtEndian>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>
#include <turbojpeg.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "imaging/tfimageprocessing.h"

namespace TfJpeg {

static_assert(kSampling420 == TJSAMP_420, "kSampling420 names TurboJPEG's 4:2:0");

namespace {

bool isQuarterTurn(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

quint16 get16(const uchar *p, bool be)
{
    return be ? qFromBigEndian<quint16>(p) : qFromLittleEndian<quint16>(p);
}

quint32 get32(const uchar *p, bool be)
{
    return be ? qFromBigEndian<quint32>(p) : qFromLittleEndian<quint32>(p);
}

void put16(uchar *p, quint16 v, bool be)
{
    if (be)
        qToBigEndian(v, p);
    else
        qToLittleEndian(v, p);
}

void put32(uchar *p, quint32 v, bool be)
{
    if (be)
        qToBigEndian(v, p);
    else
        qToLittleEndian(v, p);
}

// One 12-byte IFD entry inside a TIFF block of len bytes.
struct Entry
{
    qint64 at = 0; // offset of the entry
    quint16 tag = 0;
    quint16 type = 0;
    quint32 count = 0;
};

// Sets a SHORT or LONG entry holding one value; false when the entry has
// another form or the value does not fit.
bool setNumber(uchar *tiff, const Entry &e, quint32 value, bool be)
{
    if (e.count != 1)
        return false;
    uchar *v = tiff + e.at + 8;
    if (e.type == 3) {
        if (value > 0xffff)
            return false;
        put16(v, quint16(value), be);
        return true;
    }
    if (e.type == 4) {
        put32(v, value, be);
        return true;
    }
    return false;
}

bool numberOf(const uchar *tiff, const Entry &e, bool be, quint32 *value)
{
    if (e.count != 1)
        return false;
    const uchar *v = tiff + e.at + 8;
    if (e.type == 3)
        *value = get16(v, be);
    else if (e.type == 4)
        *value = get32(v, be);
    else
        return false;
    return true;
}

// The entries of the IFD at offset, and where its next-IFD link lies; false
// when the IFD does not fit the block.
bool readIfd(const uchar *tiff, qint64 len, qint64 offset, bool be, QList<Entry> *entries, qint64 *linkAt)
{
    if (offset < 8 || offset + 2 > len)
        return false;
    const int count = get16(tiff + offset, be);
    const qint64 end = offset + 2 + qint64(count) * 12;
    if (end + 4 > len)
        return false;
    for (int i = 0; i < count; ++i) {
        Entry e;
        e.at = offset + 2 + qint64(i) * 12;
        e.tag = get16(tiff + e.at, be);
        e.type = get16(tiff + e.at + 2, be);
        e.count = get32(tiff + e.at + 4, be);
        entries->append(e);
    }
    *linkAt = end;
    return true;
}

// The embedded thumbnail turned upright and encoded within room bytes;
// empty when it cannot be.
QByteArray turnedThumbnail(const uchar *data, qint64 size, int orientation, qint64 room, QSize *turnedSize)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    const QSize claimed = reader.size();
    // A thumbnail is small; a block that claims more is not one.
    if (!claimed.isValid() || qint64(claimed.width()) * claimed.height() > 1024 * 1024)
        return QByteArray();
    QImage image = reader.read();
    if (image.isNull())
        return QByteArray();
    image = TfImage::rotateImageByExif(image.convertToFormat(QImage::Format_RGB32), orientation);
    *turnedSize = image.size();
    for (int quality : {90, 80, 70, 55, 40}) {
        QByteArray encoded;
        QString error;
        if (!encode(image, quality, TJSAMP_420, &encoded, &error))
            return QByteArray();
        if (encoded.size() <= room)
            return encoded;
    }
    return QByteArray();
}

QByteArray uprightXmp(QByteArray payload)
{
    // tiff:Orientation as an attribute or an element; one digit in each.
    static const char *const openers[] = {"tiff:Orientation=\"", "tiff:Orientation='", "<tiff:Orientation>"};
    for (const char *opener : openers) {
        const int openerLength = int(std::strlen(opener));
        int from = 0;
        for (;;) {
            const int at = payload.indexOf(opener, from);
            if (at < 0)
                break;
            const int digit = at + openerLength;
            if (digit + 1 < payload.size() && payload.at(digit) >= '1' && payload.at(digit) <= '8'
                && !(payload.at(digit + 1) >= '0' && payload.at(digit + 1) <= '9'))
                payload[digit] = '1';
            from = digit;
        }
    }
    return payload;
}

bool startsWith(const QByteArray &payload, const char *prefix, int length)
{
    return payload.size() >= length && std::memcmp(payload.constData(), prefix, size_t(length)) == 0;
}

} // namespace

bool decodesToRgb(const Header &header)
{
    return header.subsampling >= 0
        && (header.colorspace == TJCS_YCbCr || header.colorspace == TJCS_GRAY || header.colorspace == TJCS_RGB);
}

bool isPerfectTurn(const Header &header, int orientation)
{
    if (header.subsampling < 0 || header.subsampling >= TJ_NUMSAMP)
        return false;
    const bool wholeWidth = header.width % tjMCUWidth[header.subsampling] == 0;
    const bool wholeHeight = header.height % tjMCUHeight[header.subsampling] == 0;
    switch (orientation) {
    case 2:
    case 8:
        return wholeWidth;
    case 4:
    case 6:
        return wholeHeight;
    case 3:
    case 7:
        return wholeWidth && wholeHeight;
    case 5:
        return true;
    default:
        return false;
    }
}

qint64 coefficientBytes(const Header &header)
{
    // Two bytes a coefficient, one coefficient a sample, over the picture
    // padded to whole blocks: the first component and a K one at full
    // size, the chroma ones at their share of it (times four: 4:4:4 4,
    // 4:2:2 2, 4:2:0 1).
    int chromaShare;
    switch (header.subsampling) {
    case TJSAMP_GRAY:
        chromaShare = 0;
        break;
    case TJSAMP_420:
    case TJSAMP_411:
        chromaShare = 1;
        break;
    case TJSAMP_422:
    case TJSAMP_440:
        chromaShare = 2;
        break;
    default:
        chromaShare = 4;
        break;
    }
    // Not known: as many as the sampling has at most (a K component).
    const int components = header.components > 0 ? header.components : (chromaShare ? 4 : 1);
    const int fullSize = components == 4 ? 2 : 1;
    const qint64 perPixelTimesFour = 4 * fullSize + qint64(components - fullSize) * chromaShare;
    const qint64 w = (qint64(header.width) + 31) / 32 * 32;
    const qint64 h = (qint64(header.height) + 31) / 32 * 32;
    return w * h * perPixelTimesFour / 4 * 2;
}

namespace {

// The packed coefficients are kept in chunks, each record (a block) whole
// in one chunk: a sixteenth of the room or so, a power of two from 16 KB
// to 4 MB.
constexpr int kMinChunkBits = 14;
constexpr int kMaxChunkBits = 22;
// A record at most: its mask and 64 values of three bytes.
constexpr int kMaxRecord = 8 + DCTSIZE2 * 3;
// Where a record is: a 32-bit offset over the chunks.
constexpr qint64 kMaxPackedBytes = 0xffffffffLL - (qint64(1) << kMaxChunkBits);

// What packed coefficients of a picture take at most: the chunks (each of
// 1 << chunkBits bytes), and the index of its blocks (four bytes each).
// chunks -1: no bound (see shortestAcCode).
struct PackedRoom
{
    qint64 chunks = -1;
    qint64 index = 0;
    int chunkBits = kMinChunkBits;
};

PackedRoom packedRoom(const Header &header, qint64 fileSize)
{
    PackedRoom room;
    if (header.shortestAcCode <= 0 || header.progressive)
        return room;
    const qint64 blocks = coefficientBytes(header) / (DCTSIZE2 * 2);
    // A non-zero AC coefficient costs at least the shortest code and one
    // bit, and one of three bytes here (beyond a byte's range) at least
    // the code and eight bits; the DC one is coded as a difference, so it
    // may take three bytes in any block. Each block has its mask.
    const qint64 bits = fileSize * 8;
    const int code = header.shortestAcCode;
    const qint64 values = qMax(bits / (code + 1), bits * 3 / (code + 8)) + 1;
    const qint64 records = blocks * (8 + 3) + values;
    while (room.chunkBits < kMaxChunkBits && (qint64(1) << (room.chunkBits + 4)) < records)
        ++room.chunkBits;
    // A chunk's end too short for a record, and the last chunk partly used.
    room.chunks = records + 2 * (qint64(1) << room.chunkBits);
    room.index = blocks * 4;
    return room;
}

bool packs(const Header &header, qint64 fileSize, TurnMemory memory)
{
    const PackedRoom room = packedRoom(header, fileSize);
    return memory == TurnMemory::Packed && room.chunks > 0 && room.chunks <= kMaxPackedBytes
        && room.chunks + room.index < coefficientBytes(header);
}

// The shortest code of the AC tables of a sequential Huffman scan over
// every component, the first one read; 0 for any other.
int shortestAcCode(const jpeg_decompress_struct &d)
{
    if (d.progressive_mode || d.arith_code || d.comps_in_scan != d.num_components)
        return 0;
    int shortest = 0;
    for (int i = 0; i < d.comps_in_scan; ++i) {
        const int table = d.cur_comp_info[i]->ac_tbl_no;
        const JHUFF_TBL *huffman = table >= 0 && table < NUM_HUFF_TBLS ? d.ac_huff_tbl_ptrs[table] : nullptr;
        if (!huffman)
            return 0;
        int length = 1;
        while (length <= 16 && huffman->bits[length] == 0)
            ++length;
        if (length > 16)
            return 0;
        shortest = shortest == 0 ? length : qMin(shortest, length);
    }
    return shortest;
}

} // namespace

qint64 turnBytes(const Header &header, qint64 fileSize, TurnMemory memory)
{
    if (!packs(header, fileSize, memory))
        return coefficientBytes(header);
    const PackedRoom room = packedRoom(header, fileSize);
    return room.chunks + room.index;
}

namespace {

// The codec reports a fatal error by jumping back to the caller; warnings
// (a damaged but readable picture) are accepted silently, as Qt's reader
// does.
struct CodecError
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onCodecError(j_common_ptr cinfo)
{
    auto *error = reinterpret_cast<CodecError *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

void quietly(j_common_ptr) {}

void setUpErrors(CodecError *error)
{
    jpeg_std_error(&error->manager);
    error->manager.error_exit = onCodecError;
    error->manager.output_message = quietly;
    error->message[0] = 0;
}

// Where the encoder writes: a QByteArray of ours, grown as needed, handed
// to the caller as it is (no copy) and freed by its owner however the codec
// ends.
struct GrowingDestination
{
    jpeg_destination_mgr manager;
    QByteArray buffer;
    bool ok = true;

    explicit GrowingDestination(qint64 initial)
    {
        std::memset(&manager, 0, sizeof(manager));
        ok = resizeTo(qBound<qint64>(65536, initial, 0x7fff0000LL));
        manager.init_destination = [](j_compress_ptr cinfo) {
            auto *d = reinterpret_cast<GrowingDestination *>(cinfo->dest);
            d->manager.next_output_byte = reinterpret_cast<JOCTET *>(d->buffer.data());
            d->manager.free_in_buffer = size_t(d->buffer.size());
        };
        manager.empty_output_buffer = [](j_compress_ptr cinfo) -> boolean {
            auto *d = reinterpret_cast<GrowingDestination *>(cinfo->dest);
            const qint64 had = d->buffer.size();
            // By half: the first guess is near the size, and a copy of a
            // photo grown twice as large would pass its reservation.
            if (had >= 0x7fff0000LL || !d->resizeTo(qMin<qint64>(had + had / 2, 0x7fff0000LL)))
                ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 11);
            d->manager.next_output_byte = reinterpret_cast<JOCTET *>(d->buffer.data()) + had;
            d->manager.free_in_buffer = size_t(d->buffer.size() - had);
            return TRUE;
        };
        manager.term_destination = [](j_compress_ptr cinfo) {
            auto *d = reinterpret_cast<GrowingDestination *>(cinfo->dest);
            d->buffer.truncate(int(d->buffer.size() - qint64(d->manager.free_in_buffer)));
        };
    }
    GrowingDestination(const GrowingDestination &) = delete;
    GrowingDestination &operator=(const GrowingDestination &) = delete;

    // No exception may cross the codec's C frames: a failed allocation is
    // told apart here and becomes the codec's own error.
    bool resizeTo(qint64 bytes)
    {
        try {
            // Exactly that much: a plain resize would round the capacity up
            // to a power of two.
            buffer.reserve(int(bytes));
            buffer.resize(int(bytes));
        } catch (...) {
            return false;
        }
        return buffer.size() == bytes;
    }
};

// Where the encoder writes to a file: a chunk at a time as it is made, so
// that no copy of the whole picture is held in memory. A refused write
// fails the codec (the device's own error tells why).
struct DeviceDestination
{
    jpeg_destination_mgr manager;
    QIODevice *device = nullptr;
    std::vector<uchar> chunk;
    bool writeFailed = false;

    // Without a device (an encode into memory) it holds no chunk.
    explicit DeviceDestination(QIODevice *to)
        : device(to)
        , chunk(to ? size_t(1024 * 1024) : 0)
    {
        std::memset(&manager, 0, sizeof(manager));
        manager.init_destination = [](j_compress_ptr cinfo) {
            auto *d = reinterpret_cast<DeviceDestination *>(cinfo->dest);
            d->manager.next_output_byte = d->chunk.data();
            d->manager.free_in_buffer = d->chunk.size();
        };
        manager.empty_output_buffer = [](j_compress_ptr cinfo) -> boolean {
            auto *d = reinterpret_cast<DeviceDestination *>(cinfo->dest);
            if (!d->put(qint64(d->chunk.size())))
                ERREXIT(cinfo, JERR_FILE_WRITE);
            d->manager.next_output_byte = d->chunk.data();
            d->manager.free_in_buffer = d->chunk.size();
            return TRUE;
        };
        manager.term_destination = [](j_compress_ptr cinfo) {
            auto *d = reinterpret_cast<DeviceDestination *>(cinfo->dest);
            if (!d->put(qint64(d->chunk.size() - d->manager.free_in_buffer)))
                ERREXIT(cinfo, JERR_FILE_WRITE);
        };
    }
    DeviceDestination(const DeviceDestination &) = delete;
    DeviceDestination &operator=(const DeviceDestination &) = delete;

    // No exception may cross the codec's C frames.
    bool put(qint64 bytes)
    {
        bool ok = false;
        try {
            ok = device->write(reinterpret_cast<const char *>(chunk.data()), bytes) == bytes;
        } catch (...) {
            ok = false;
        }
        writeFailed = writeFailed || !ok;
        return ok;
    }
};

// The metadata segments of an upright copy, written by the encoder right
// after its start of image, in place of its own.
struct Markers
{
    QList<Segment> segments;
    bool given = false;
};

void writeMarkers(j_compress_ptr cinfo, const Markers *markers)
{
    if (!markers || !markers->given)
        return;
    for (const Segment &s : markers->segments)
        jpeg_write_marker(cinfo, s.marker, reinterpret_cast<const JOCTET *>(s.payload.constData()),
                          unsigned(s.payload.size()));
}

// A progressive picture of more scans than this is no photo but a decoder
// trap: each scan goes over every coefficient again.
constexpr int kMaxScans = 500;

void limitScans(j_common_ptr cinfo)
{
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto *error = reinterpret_cast<CodecError *>(cinfo->err);
        std::snprintf(error->message, JMSG_LENGTH_MAX, "Progressive JPEG with more than %d scans", kMaxScans);
        std::longjmp(error->jump, 1);
    }
}

// The sampling of a frame by TurboJPEG's names: the first component's
// factors, every chroma component at 1x1 and a K component like the first.
// -1 for any other layout.
int samplingOf(const jpeg_decompress_struct &d)
{
    if (d.num_components == 1 && d.jpeg_color_space == JCS_GRAYSCALE)
        return TJSAMP_GRAY;
    if (d.num_components != 3 && d.num_components != 4)
        return -1;
    const int h = d.comp_info[0].h_samp_factor;
    const int v = d.comp_info[0].v_samp_factor;
    for (int c = 1; c < d.num_components; ++c) {
        const bool k = c == 3;
        if (d.comp_info[c].h_samp_factor != (k ? h : 1) || d.comp_info[c].v_samp_factor != (k ? v : 1))
            return -1;
    }
    for (int s = 0; s < TJ_NUMSAMP; ++s) {
        if (s != TJSAMP_GRAY && tjMCUWidth[s] == h * 8 && tjMCUHeight[s] == v * 8)
            return s;
    }
    return -1;
}

int colorspaceOf(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_GRAYSCALE: return TJCS_GRAY;
    case JCS_RGB: return TJCS_RGB;
    case JCS_YCbCr: return TJCS_YCbCr;
    case JCS_CMYK: return TJCS_CMYK;
    case JCS_YCCK: return TJCS_YCCK;
    default: return -1;
    }
}

// The encoder's quality whose luminance table is closest to table: the
// standard table scaled as the encoder scales it for a quality.
int qualityOf(const JQUANT_TBL *table)
{
    static const int standard[DCTSIZE2] = {
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
    };
    if (!table)
        return -1;
    qint64 sum = 0;
    qint64 standardSum = 0;
    for (int i = 0; i < DCTSIZE2; ++i) {
        sum += table->quantval[i];
        standardSum += standard[i];
    }
    const double scale = double(sum) * 100.0 / double(standardSum);
    const double quality = scale <= 100.0 ? (200.0 - scale) / 2.0 : 5000.0 / scale;
    return qBound(1, int(quality + 0.5), 100);
}

// Every codec call below runs on a codec object of its own, made and
// destroyed within the call: nothing of one picture, one failure or one
// buffer reaches the next. (A reused TurboJPEG handle keeps the state of a
// failed header read, so that every later picture on that thread fails, and
// keeps a pointer to the last output buffer it grew, which it frees again
// later under whoever owns that memory by then.)

// The header read proper, free of objects with destructors.
bool readHeaderInto(const uchar *data, qint64 size, Header *header)
{
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof(cinfo));
    CodecError error;
    setUpErrors(&error);
    cinfo.err = &error.manager;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, (unsigned long)size);
    jpeg_read_header(&cinfo, TRUE);
    header->width = int(cinfo.image_width);
    header->height = int(cinfo.image_height);
    header->subsampling = samplingOf(cinfo);
    header->colorspace = colorspaceOf(cinfo.jpeg_color_space);
    header->progressive = cinfo.progressive_mode;
    header->quality = qualityOf(cinfo.quant_tbl_ptrs[0]);
    header->components = cinfo.num_components;
    header->shortestAcCode = shortestAcCode(cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// The decode proper, free of objects with destructors. A fatal error fails
// it even after a warning (TurboJPEG reports both alike); warnings alone, a
// damaged but readable picture, are accepted as Qt's reader does.
bool decodeInto(const uchar *data, qint64 size, int denominator, const QSize &expected, uchar *pixels,
                int bytesPerLine, int bytesPerPixel, char *message)
{
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof(cinfo));
    CodecError error;
    jpeg_progress_mgr progress;
    setUpErrors(&error);
    cinfo.err = &error.manager;
    if (setjmp(error.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.message);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    std::memset(&progress, 0, sizeof(progress));
    progress.progress_monitor = limitScans;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, (unsigned long)size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = JDIMENSION(denominator);
    // The alpha forms set the fourth byte to 0xff, as Format_RGB32 wants.
    cinfo.out_color_space =
        bytesPerPixel == 3 ? JCS_EXT_RGB : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRA : JCS_EXT_ARGB);
    jpeg_start_decompress(&cinfo);
    if (int(cinfo.output_width) != expected.width() || int(cinfo.output_height) != expected.height()
        || cinfo.output_components != bytesPerPixel) {
        std::snprintf(message, JMSG_LENGTH_MAX, "Unexpected decoded size %ux%u", cinfo.output_width,
                      cinfo.output_height);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    JSAMPROW rows[16];
    while (cinfo.output_scanline < cinfo.output_height) {
        const int first = int(cinfo.output_scanline);
        const int count = qMin<int>(16, int(cinfo.output_height) - first);
        for (int r = 0; r < count; ++r)
            rows[r] = pixels + qsizetype(first + r) * bytesPerLine;
        jpeg_read_scanlines(&cinfo, rows, JDIMENSION(count));
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

int roundUp(int value, int multiple)
{
    return multiple > 1 ? (value + multiple - 1) / multiple * multiple : value;
}

// One component of the turned picture. The encoder asks for its blocks a
// band of block rows at a time; each band is made then from the source's
// coefficients, so the turned picture is never held whole.
struct PackedComponent;

struct TurnedComponent
{
    // The source's blocks: whole rows, or packed.
    JBLOCKROW *sourceRows = nullptr;
    const PackedComponent *packed = nullptr;
    int sourceRowCount = 0; // rows and columns held, whole MCUs
    int sourceColCount = 0;
    int sourceWidth = 0; // blocks of the picture itself
    int sourceHeight = 0;
    JBLOCKARRAY band = nullptr;
    int bandRows = 0;
    int bandCols = 0;
};

// One component of the source, packed (TurnMemory::Packed). The decoder
// fills one band of block rows at a time, in order, each taken by it as a
// virtual array of the codec's; a band is packed when the next is asked for.
struct PackedComponent
{
    JBLOCKARRAY band = nullptr;
    int bandRows = 0;
    int bandStart = -1; // the band's first block row; -1: none yet
    int rows = 0;       // rows and columns held, whole MCUs
    int cols = 0;
    // Each block's record; 0 is the record of a block of zeros.
    quint32 *records = nullptr;
};

// The packed source: records in chunks, within the room of its file.
// Owned outside the codec's frames: a fatal error jumps over them.
struct PackedStore
{
    std::vector<uchar *> chunks;
    qint64 limit = 0;
    int chunkBits = 0;
    qint64 chunkBytes = 0;
    qint64 used = 0; // in the last chunk
    int requested = 0;
    bool tooDense = false;
    PackedComponent components[MAX_COMPONENTS];

    explicit PackedStore(const PackedRoom &room)
        : limit(room.chunks)
        , chunkBits(room.chunkBits)
        , chunkBytes(qint64(1) << room.chunkBits)
    {
        // Grown within the codec's frames, where nothing may throw.
        chunks.reserve(size_t(limit / chunkBytes + 1));
    }
    ~PackedStore()
    {
        for (uchar *chunk : chunks)
            std::free(chunk);
    }
    PackedStore(const PackedStore &) = delete;
    PackedStore &operator=(const PackedStore &) = delete;

    const uchar *record(quint32 at) const { return chunks[at >> chunkBits] + (at & (chunkBytes - 1)); }
};

struct TurnContext
{
    int orientation = 1;
    TurnedComponent components[MAX_COMPONENTS];
    PackedStore *packed = nullptr;
    // How each block turns (see turnBlock): transposed or not, and the
    // turned block's coefficients whose sign turns (all bits set).
    bool transpose = false;
    qint16 flip[DCTSIZE2] = {};
};

// The block at (row, col) of the turned component, and the source block it
// comes from.
void sourceBlockOf(int orientation, const TurnedComponent &c, int row, int col, int *sourceRow, int *sourceCol)
{
    const int w = c.sourceWidth;
    const int h = c.sourceHeight;
    switch (orientation) {
    case 2: *sourceRow = row; *sourceCol = w - 1 - col; break;
    case 3: *sourceRow = h - 1 - row; *sourceCol = w - 1 - col; break;
    case 4: *sourceRow = h - 1 - row; *sourceCol = col; break;
    case 5: *sourceRow = col; *sourceCol = row; break;
    case 6: *sourceRow = h - 1 - col; *sourceCol = row; break;
    case 7: *sourceRow = h - 1 - col; *sourceCol = w - 1 - row; break;
    case 8: *sourceRow = col; *sourceCol = w - 1 - row; break;
    default: *sourceRow = row; *sourceCol = col; break;
    }
}

// The coefficients of a block turned like its pixels: a transposition
// swaps the frequencies, a mirror negates the odd ones across it.
void setBlockTurn(int orientation, TurnContext *context)
{
    context->transpose = orientation >= 5;
    // Mirrors after any transposition: across columns (odd horizontal
    // frequencies) and across rows (odd vertical ones).
    const bool mirrorColumns = orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7;
    const bool mirrorRows = orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;
    for (int v = 0; v < DCTSIZE; ++v) {
        for (int u = 0; u < DCTSIZE; ++u)
            context->flip[v * DCTSIZE + u] = (mirrorColumns && (u & 1)) != (mirrorRows && (v & 1)) ? -1 : 0;
    }
}

void turnBlock(const JCOEF *in, JCOEF *out, const TurnContext &context)
{
#if defined(__SSE2__)
    __m128i r[DCTSIZE];
    for (int i = 0; i < DCTSIZE; ++i)
        r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i * DCTSIZE));
    if (context.transpose) {
        const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
        const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
        const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
        const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
        const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
        const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
        const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
        const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
        const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
        const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
        const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
        const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
        const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
        const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
        const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
        const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
        r[0] = _mm_unpacklo_epi64(b0, b4);
        r[1] = _mm_unpackhi_epi64(b0, b4);
        r[2] = _mm_unpacklo_epi64(b1, b5);
        r[3] = _mm_unpackhi_epi64(b1, b5);
        r[4] = _mm_unpacklo_epi64(b2, b6);
        r[5] = _mm_unpackhi_epi64(b2, b6);
        r[6] = _mm_unpacklo_epi64(b3, b7);
        r[7] = _mm_unpackhi_epi64(b3, b7);
    }
    for (int i = 0; i < DCTSIZE; ++i) {
        // x ^ -1 - -1 is -x; x ^ 0 - 0 is x.
        const __m128i flip = _mm_loadu_si128(reinterpret_cast<const __m128i *>(context.flip + i * DCTSIZE));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i * DCTSIZE),
                         _mm_sub_epi16(_mm_xor_si128(r[i], flip), flip));
    }
#else
    for (int v = 0; v < DCTSIZE; ++v) {
        for (int u = 0; u < DCTSIZE; ++u) {
            const int at = v * DCTSIZE + u;
            const int value = context.transpose ? in[u * DCTSIZE + v] : in[at];
            out[at] = JCOEF(context.flip[at] ? -value : value);
        }
    }
#endif
}

// The bit of each non-zero coefficient of a block, in natural order.
quint64 nonZeroMask(const JCOEF *block)
{
    quint64 mask = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < DCTSIZE2; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + i + 8));
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(low, zero), _mm_cmpeq_epi16(high, zero));
        mask |= quint64(~quint32(_mm_movemask_epi8(zeros)) & 0xffffu) << i;
    }
#else
    for (int i = 0; i < DCTSIZE2; ++i)
        mask |= quint64(block[i] != 0) << i;
#endif
    return mask;
}

// A block's record: its mask, then each non-zero value in order, one byte
// where it fits, else 0x80 and two bytes. Returns the record's end.
uchar *packBlock(const JCOEF *block, quint64 mask, uchar *out)
{
    std::memcpy(out, &mask, sizeof(mask));
    out += sizeof(mask);
    while (mask) {
        const int at = int(qCountTrailingZeroBits(mask));
        mask &= mask - 1;
        const int value = block[at];
        if (value > -128 && value < 128) {
            *out++ = uchar(qint8(value));
        } else {
            *out++ = 0x80;
            const qint16 wide = qint16(value);
            std::memcpy(out, &wide, sizeof(wide));
            out += sizeof(wide);
        }
    }
    return out;
}

// A packed block, turned.
void unpackTurned(const uchar *record, const TurnContext &context, JCOEF *out)
{
    JBLOCK block;
#if defined(__SSE2__)
    // Not memset: its string instruction starts slowly for 128 bytes.
    for (int i = 0; i < DCTSIZE2; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(block + i), _mm_setzero_si128());
#else
    std::memset(block, 0, sizeof(block));
#endif
    quint64 mask;
    std::memcpy(&mask, record, sizeof(mask));
    const uchar *in = record + sizeof(mask);
    while (mask) {
        const int at = int(qCountTrailingZeroBits(mask));
        mask &= mask - 1;
        int value = qint8(*in++);
        if (value == -128) {
            qint16 wide;
            std::memcpy(&wide, in, sizeof(wide));
            in += sizeof(wide);
            value = wide;
        }
        block[at] = JCOEF(value);
    }
    turnBlock(block, out, context);
}

// Packs the band the decoder has filled, then clears it for the next (the
// decoder writes only the non-zero coefficients of a block).
void packBand(j_common_ptr cinfo, PackedStore *store, PackedComponent *c)
{
    const int rows = qMin(c->bandRows, c->rows - c->bandStart);
    for (int r = 0; r < rows; ++r) {
        JBLOCKROW row = c->band[r];
        quint32 *records = c->records + qsizetype(c->bandStart + r) * c->cols;
        for (int col = 0; col < c->cols; ++col) {
            const quint64 mask = nonZeroMask(row[col]);
            if (!mask)
                continue;
            if (store->chunks.empty() || store->used + kMaxRecord > store->chunkBytes) {
                if (qint64(store->chunks.size() + 1) * store->chunkBytes > store->limit) {
                    store->tooDense = true;
                    ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
                }
                auto *chunk = static_cast<uchar *>(std::malloc(size_t(store->chunkBytes)));
                if (!chunk)
                    ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
                store->chunks.push_back(chunk);
                // The chunks' first eight bytes: the record of a block of zeros.
                std::memset(chunk, 0, sizeof(mask));
                store->used = sizeof(mask);
            }
            uchar *at = store->chunks.back() + store->used;
            records[col] = quint32((qint64(store->chunks.size() - 1) << store->chunkBits) + store->used);
            store->used = packBlock(row[col], mask, at) - store->chunks.back();
        }
    }
    for (int r = 0; r < c->bandRows; ++r)
        std::memset(c->band[r], 0, sizeof(JBLOCK) * size_t(c->cols));
}

// The decoder's whole-picture arrays, one a component, replaced by packed
// ones: the band the decoder asks for is handed out, the one before packed.
jvirt_barray_ptr requestPacked(j_common_ptr cinfo, int, boolean, JDIMENSION blocksPerRow, JDIMENSION rows,
                               JDIMENSION maxAccess)
{
    PackedStore *store = static_cast<TurnContext *>(cinfo->client_data)->packed;
    if (store->requested >= MAX_COMPONENTS)
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    PackedComponent &c = store->components[store->requested++];
    c.cols = int(blocksPerRow);
    c.rows = int(rows);
    c.bandRows = int(maxAccess);
    c.band = (*cinfo->mem->alloc_barray)(cinfo, JPOOL_IMAGE, blocksPerRow, maxAccess);
    for (int r = 0; r < c.bandRows; ++r)
        std::memset(c.band[r], 0, sizeof(JBLOCK) * size_t(c.cols));
    const size_t recordsBytes = sizeof(quint32) * size_t(c.cols) * size_t(c.rows);
    c.records = static_cast<quint32 *>((*cinfo->mem->alloc_large)(cinfo, JPOOL_IMAGE, recordsBytes));
    std::memset(c.records, 0, recordsBytes);
    return reinterpret_cast<jvirt_barray_ptr>(&c);
}

JBLOCKARRAY accessPacked(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION numRows,
                         boolean)
{
    PackedStore *store = static_cast<TurnContext *>(cinfo->client_data)->packed;
    auto *c = reinterpret_cast<PackedComponent *>(array);
    // Bands in order, each whole: the one sequential scan over every
    // component (the codec allows no second one) never goes back.
    if (int(numRows) > c->bandRows || int(startRow) + int(numRows) > c->rows || int(startRow) < c->bandStart)
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    if (int(startRow) != c->bandStart) {
        if (c->bandStart >= 0)
            packBand(cinfo, store, c);
        c->bandStart = int(startRow);
    }
    return c->band;
}

// Asks the processor for memory soon needed: a quarter turn reads the
// source a column at a time, one block from each row, where no prefetcher
// of its own guesses the next.
inline void prefetch(const void *at)
{
#if defined(__GNUC__)
    __builtin_prefetch(at);
#else
    Q_UNUSED(at);
#endif
}

// Blocks ahead of the one turned whose memory is asked for: the index of
// a packed source twice as far ahead, as its record's place is read there.
constexpr int kPrefetchAhead = 8;

void prefetchSource(const TurnContext &context, const TurnedComponent &c, int row, int col)
{
    int sr = 0;
    int sc = 0;
    sourceBlockOf(context.orientation, c, row, col, &sr, &sc);
    if (sr < 0 || sc < 0 || sr >= c.sourceRowCount || sc >= c.sourceColCount)
        return;
    if (!c.packed) {
        const auto *block = reinterpret_cast<const uchar *>(c.sourceRows[sr][sc]);
        prefetch(block);
        prefetch(block + 64);
        return;
    }
    const quint32 *at = c.packed->records + qsizetype(sr) * c.packed->cols + sc;
    const uchar *record = context.packed->record(*at);
    prefetch(record);
    prefetch(record + 64);
    sourceBlockOf(context.orientation, c, row, col + kPrefetchAhead, &sr, &sc);
    if (sr >= 0 && sc >= 0 && sr < c.sourceRowCount && sc < c.sourceColCount)
        prefetch(c.packed->records + qsizetype(sr) * c.packed->cols + sc);
}

JBLOCKARRAY turnedBand(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION numRows,
                       boolean)
{
    const auto *context = static_cast<const TurnContext *>(cinfo->client_data);
    auto *c = reinterpret_cast<TurnedComponent *>(array);
    if (int(numRows) > c->bandRows)
        ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    for (int r = 0; r < int(numRows); ++r) {
        JBLOCKROW out = c->band[r];
        for (int col = 0; col < c->bandCols; ++col) {
            if (col + kPrefetchAhead < c->bandCols)
                prefetchSource(*context, *c, int(startRow) + r, col + kPrefetchAhead);
            int sr = 0;
            int sc = 0;
            sourceBlockOf(context->orientation, *c, int(startRow) + r, col, &sr, &sc);
            if (sr < 0 || sc < 0 || sr >= c->sourceRowCount || sc >= c->sourceColCount)
                std::memset(out[col], 0, sizeof(JBLOCK));
            else if (c->packed)
                unpackTurned(context->packed->record(c->packed->records[qsizetype(sr) * c->packed->cols + sc]),
                             *context, out[col]);
            else
                turnBlock(c->sourceRows[sr][sc], out[col], *context);
        }
    }
    return c->band;
}

// The coefficients of the JPEG read whole, turned and written again, the
// turned ones made a band at a time as the encoder takes them. Free of
// objects with destructors: a fatal error jumps back into it.
bool turnCoefficients(const uchar *data, qint64 size, int orientation, jpeg_destination_mgr *destination,
                      const Markers *markers, TurnContext *context, char *message)
{
    jpeg_decompress_struct source;
    jpeg_compress_struct turned;
    // Zeroed, either is destroyed safely however far it got.
    std::memset(&source, 0, sizeof(source));
    std::memset(&turned, 0, sizeof(turned));
    CodecError error;
    jpeg_progress_mgr progress;
    setUpErrors(&error);
    source.err = &error.manager;
    turned.err = &error.manager;
    if (setjmp(error.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.message);
        jpeg_destroy_compress(&turned);
        jpeg_destroy_decompress(&source);
        return false;
    }
    jpeg_create_decompress(&source);
    std::memset(&progress, 0, sizeof(progress));
    progress.progress_monitor = limitScans;
    source.progress = &progress;
    jpeg_mem_src(&source, data, (unsigned long)size);
    jpeg_read_header(&source, TRUE);
    if (context->packed) {
        source.client_data = context;
        source.mem->request_virt_barray = requestPacked;
        source.mem->access_virt_barray = accessPacked;
    }
    jvirt_barray_ptr *coefficients = jpeg_read_coefficients(&source);
    if (context->packed) {
        // The last band of each: no later one was asked for.
        for (int ci = 0; ci < context->packed->requested; ++ci) {
            PackedComponent &c = context->packed->components[ci];
            if (c.bandStart >= 0)
                packBand(reinterpret_cast<j_common_ptr>(&source), context->packed, &c);
        }
        if (context->packed->requested != source.num_components)
            ERREXIT(&source, JERR_BAD_VIRTUAL_ACCESS);
    }

    jpeg_create_compress(&turned);
    turned.client_data = context;
    turned.dest = destination;
    jpeg_copy_critical_parameters(&source, &turned);
    const bool quarter = orientation >= 5;
    if (quarter) {
        std::swap(turned.image_width, turned.image_height);
        for (int ci = 0; ci < turned.num_components; ++ci)
            std::swap(turned.comp_info[ci].h_samp_factor, turned.comp_info[ci].v_samp_factor);
        // Swapped frequencies: the quantisation steps swap with them.
        for (JQUANT_TBL *table : turned.quant_tbl_ptrs) {
            if (!table)
                continue;
            for (int i = 0; i < DCTSIZE; ++i) {
                for (int j = 0; j < i; ++j)
                    std::swap(table->quantval[i * DCTSIZE + j], table->quantval[j * DCTSIZE + i]);
            }
        }
    }
    // The encoder reads the turned blocks through its memory manager: it
    // is handed components of ours, filled when it asks for them.
    turned.mem->access_virt_barray = turnedBand;
    context->orientation = orientation;
    jvirt_barray_ptr arrays[MAX_COMPONENTS];
    for (int ci = 0; ci < source.num_components; ++ci) {
        const jpeg_component_info &from = source.comp_info[ci];
        TurnedComponent &c = context->components[ci];
        c.sourceWidth = int(from.width_in_blocks);
        c.sourceHeight = int(from.height_in_blocks);
        // The codec holds whole MCUs.
        c.sourceColCount = roundUp(int(from.width_in_blocks), from.h_samp_factor);
        c.sourceRowCount = roundUp(int(from.height_in_blocks), from.v_samp_factor);
        if (context->packed) {
            c.packed = reinterpret_cast<const PackedComponent *>(coefficients[ci]);
            if (c.packed->cols != c.sourceColCount || c.packed->rows != c.sourceRowCount)
                ERREXIT(&source, JERR_BAD_VIRTUAL_ACCESS);
        } else {
            c.sourceRows = static_cast<JBLOCKROW *>(
                (*source.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&source), JPOOL_IMAGE,
                                           sizeof(JBLOCKROW) * size_t(c.sourceRowCount)));
            for (int r = 0; r < c.sourceRowCount; ++r) {
                c.sourceRows[r] = (*source.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&source),
                                                                    coefficients[ci], JDIMENSION(r), 1, FALSE)[0];
            }
        }
        // A band of the turned component: as many block rows as it has
        // in an MCU, as many columns as it holds.
        const jpeg_component_info &to = turned.comp_info[ci];
        c.bandRows = to.v_samp_factor;
        c.bandCols = quarter ? c.sourceRowCount : c.sourceColCount;
        c.band = (*turned.mem->alloc_barray)(reinterpret_cast<j_common_ptr>(&turned), JPOOL_IMAGE,
                                             JDIMENSION(c.bandCols), JDIMENSION(c.bandRows));
        arrays[ci] = reinterpret_cast<jvirt_barray_ptr>(&c);
    }
    if (markers && markers->given) {
        turned.write_JFIF_header = FALSE;
        turned.write_Adobe_marker = FALSE;
    }
    jpeg_write_coefficients(&turned, arrays);
    writeMarkers(&turned, markers);
    jpeg_finish_compress(&turned);
    jpeg_finish_decompress(&source);
    jpeg_destroy_compress(&turned);
    jpeg_destroy_decompress(&source);
    return true;
}

} // namespace

bool readHeader(const uchar *data, qint64 size, Header *header)
{
    if (!data || size < 4 || size > 0x7fffffffLL || data[0] != 0xff || data[1] != 0xd8)
        return false;
    Header read;
    if (!readHeaderInto(data, size, &read) || read.width <= 0 || read.height <= 0)
        return false;
    *header = read;
    return true;
}

namespace {

// The lossless turn into a destination made by makeDestination once the
// source is known to turn: null for want of memory.
template<typename MakeDestination>
TurnResult turnInto(const uchar *data, qint64 size, int orientation, QString *error,
                    const UprightMetadata *metadata, TurnMemory memory, MakeDestination makeDestination)
{
    Header header;
    if (!readHeader(data, size, &header)) {
        *error = QStringLiteral("无法读取JPEG头");
        return TurnResult::Failed;
    }
    if (orientation < 2 || orientation > 8 || !isPerfectTurn(header, orientation))
        return TurnResult::Imperfect;
    QList<Segment> own;
    const QList<Segment> *segments = metadata ? metadata->segments : nullptr;
    if (!segments) {
        metadataOf(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)), &own);
        segments = &own;
    }
    Markers markers;
    markers.given = true;
    markers.segments =
        uprightSegments(*segments, TfImage::uprightSize(QSize(header.width, header.height), orientation), orientation,
                        true);
    jpeg_destination_mgr *destination = makeDestination();
    if (!destination) {
        *error = QStringLiteral("内存不足");
        return TurnResult::Failed;
    }
    TurnContext context;
    setBlockTurn(orientation, &context);
    std::unique_ptr<PackedStore> packed;
    if (packs(header, size, memory)) {
        packed.reset(new PackedStore(packedRoom(header, size)));
        context.packed = packed.get();
    }
    char message[JMSG_LENGTH_MAX] = {0};
    if (!turnCoefficients(data, size, orientation, destination, &markers, &context, message)) {
        *error = QString::fromLocal8Bit(message);
        return packed && packed->tooDense ? TurnResult::TooDense : TurnResult::Failed;
    }
    return TurnResult::Turned;
}

} // namespace

TurnResult turnLossless(const uchar *data, qint64 size, int orientation, QByteArray *out, QString *error,
                        const UprightMetadata *metadata, TurnMemory memory)
{
    // The turned data is about as large as the source.
    std::unique_ptr<GrowingDestination> destination;
    const TurnResult result = turnInto(data, size, orientation, error, metadata, memory, [&]() -> jpeg_destination_mgr * {
        destination.reset(new GrowingDestination(size + size / 8 + 65536));
        return destination->ok ? &destination->manager : nullptr;
    });
    if (result == TurnResult::Turned)
        *out = std::move(destination->buffer);
    return result;
}

TurnResult turnLosslessTo(const uchar *data, qint64 size, int orientation, QIODevice *device, QString *error,
                          const UprightMetadata *metadata, bool *writeFailed, TurnMemory memory)
{
    DeviceDestination destination(device);
    const TurnResult result = turnInto(data, size, orientation, error, metadata, memory,
                                       [&]() -> jpeg_destination_mgr * { return &destination.manager; });
    if (writeFailed)
        *writeFailed = destination.writeFailed;
    return result;
}

QSize scaledSize(const Header &header, int denominator)
{
    const int d = qMax(1, denominator);
    return QSize((header.width + d - 1) / d, (header.height + d - 1) / d);
}

bool decode(const uchar *data, qint64 size, int denominator, uchar *pixels, int bytesPerLine, QString *error,
            int bytesPerPixel)
{
    Header header;
    if (!readHeader(data, size, &header) || !decodesToRgb(header)) {
        *error = QStringLiteral("无法读取JPEG头");
        return false;
    }
    char message[JMSG_LENGTH_MAX] = {0};
    if ((bytesPerPixel != 3 && bytesPerPixel != 4)
        || !decodeInto(data, size, qBound(1, denominator, 8), scaledSize(header, denominator), pixels, bytesPerLine,
                       bytesPerPixel, message)) {
        *error = QString::fromLocal8Bit(message);
        return false;
    }
    return true;
}

int uprightSampling(int subsampling, int orientation)
{
    switch (subsampling) {
    case TJSAMP_444:
    case TJSAMP_420:
    case TJSAMP_GRAY:
        return subsampling;
    case TJSAMP_422:
        return isQuarterTurn(orientation) ? TJSAMP_440 : TJSAMP_422;
    case TJSAMP_440:
        return isQuarterTurn(orientation) ? TJSAMP_422 : TJSAMP_440;
    case TJSAMP_411:
        return isQuarterTurn(orientation) ? TJSAMP_444 : TJSAMP_411;
    default:
        return TJSAMP_444;
    }
}

namespace {

// The encoder proper, free of objects with destructors: a fatal error
// jumps back into it.
bool encodeBands(const QImage &stored, int orientation, int quality, int subsampling, bool fastDct, uchar *band,
                 qsizetype bandStride, int bandRows, jpeg_destination_mgr *destination, const Markers *markers,
                 char *message)
{
    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof(cinfo));
    CodecError error;
    setUpErrors(&error);
    cinfo.err = &error.manager;
    if (setjmp(error.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", error.message);
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.dest = destination;
    const QSize upright = TfImage::uprightSize(stored.size(), orientation);
    cinfo.image_width = JDIMENSION(upright.width());
    cinfo.image_height = JDIMENSION(upright.height());
    // Format_RGB888 holds R, G, B in memory; Format_RGB32 a 32-bit word.
    const bool threeBytes = stored.depth() == 24;
    cinfo.input_components = threeBytes ? 3 : 4;
    cinfo.in_color_space =
        threeBytes ? JCS_EXT_RGB : (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB);
    jpeg_set_defaults(&cinfo);
    if (markers && markers->given) {
        cinfo.write_JFIF_header = FALSE;
        cinfo.write_Adobe_marker = FALSE;
    }
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (fastDct)
        cinfo.dct_method = JDCT_IFAST;
    if (subsampling == TJSAMP_GRAY) {
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    } else {
        static const int h[TJ_NUMSAMP] = {1, 2, 2, 1, 1, 4};
        static const int v[TJ_NUMSAMP] = {1, 1, 2, 1, 2, 1};
        const int s = subsampling >= 0 && subsampling < TJ_NUMSAMP ? subsampling : TJSAMP_444;
        cinfo.comp_info[0].h_samp_factor = h[s];
        cinfo.comp_info[0].v_samp_factor = v[s];
        for (int c = 1; c < cinfo.num_components; ++c) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    jpeg_start_compress(&cinfo, TRUE);
    writeMarkers(&cinfo, markers);
    JSAMPROW rows[64];
    while (cinfo.next_scanline < cinfo.image_height) {
        const int first = int(cinfo.next_scanline);
        const int count = qMin(bandRows, upright.height() - first);
        if (orientation == 1) {
            // Read in place: the codec never writes to its input rows.
            for (int r = 0; r < count; ++r)
                rows[r] = const_cast<uchar *>(stored.constScanLine(first + r));
        } else {
            TfImage::orientRows(stored, orientation, first, count, band, bandStride);
            for (int r = 0; r < count; ++r)
                rows[r] = band + r * bandStride;
        }
        int done = 0;
        while (done < count)
            done += int(jpeg_write_scanlines(&cinfo, rows + done, JDIMENSION(count - done)));
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

// Encodes stored turned upright for orientation into a destination of our
// own, which only we grow and free.
// With a device, it is written there as it is made instead (*out unused);
// *writeFailed then tells a refused write from a failed encoding.
bool encodeWith(const QImage &stored, int orientation, int quality, int subsampling, bool fastDct,
                qint64 initialBytes, QByteArray *out, QString *error, const UprightMetadata *metadata,
                QIODevice *device = nullptr, bool *writeFailed = nullptr)
{
    const QSize upright = TfImage::uprightSize(stored.size(), orientation);
    constexpr int bandRows = 32;
    const qsizetype bandStride = qsizetype(upright.width()) * (stored.depth() / 8);
    std::vector<uchar> band(orientation == 1 ? 0 : size_t(bandStride) * bandRows);
    Markers markers;
    if (metadata && metadata->segments) {
        markers.given = true;
        markers.segments =
            uprightSegments(*metadata->segments, metadata->size, metadata->orientation, metadata->keepAdobe);
    }
    GrowingDestination memory(device ? 0 : initialBytes);
    DeviceDestination file(device);
    if (!device && !memory.ok) {
        *error = QStringLiteral("内存不足");
        return false;
    }
    char message[JMSG_LENGTH_MAX] = {0};
    const bool encoded = encodeBands(stored, orientation, quality, subsampling, fastDct, band.data(), bandStride,
                                     bandRows, device ? &file.manager : &memory.manager, &markers, message);
    if (writeFailed)
        *writeFailed = file.writeFailed;
    if (!encoded) {
        *error = QString::fromLocal8Bit(message);
        return false;
    }
    if (!device)
        *out = std::move(memory.buffer);
    return true;
}

} // namespace

bool encode(const QImage &image, int quality, int subsampling, QByteArray *out, QString *error,
            const UprightMetadata *metadata, int orientation)
{
    QImage source = image;
    if (source.format() != QImage::Format_RGB32 && source.format() != QImage::Format_ARGB32
        && source.format() != QImage::Format_RGB888)
        source = source.convertToFormat(QImage::Format_RGB32);
    if (source.isNull()) {
        *error = QStringLiteral("内存不足");
        return false;
    }
    const qint64 pixels = qint64(source.width()) * source.height();
    // Room for a photo at this quality; the destination grows when needed.
    // The fast transform below 96, as TurboJPEG chooses it for small copies.
    return encodeWith(source, orientation >= 1 && orientation <= 8 ? orientation : 1, quality, subsampling,
                      quality < 96, (quality >= 93 ? pixels : pixels / 2) + 65536, out, error, metadata);
}

bool encodeUpright(const QImage &stored, int orientation, int quality, int subsampling, QByteArray *out,
                   QString *error, const UprightMetadata *metadata, qint64 expectedBytes)
{
    if ((stored.depth() != 32 && stored.format() != QImage::Format_RGB888) || stored.isNull()) {
        *error = QStringLiteral("图片格式不支持");
        return false;
    }
    const QSize upright = TfImage::uprightSize(stored.size(), orientation);
    // Room for a photo at high quality; grown when needed.
    return encodeWith(stored, orientation, quality, subsampling, false,
                      expectedBytes > 0 ? expectedBytes : qint64(upright.width()) * upright.height() + 65536, out,
                      error, metadata);
}

bool encodeUprightTo(const QImage &stored, int orientation, int quality, int subsampling, QIODevice *device,
                     QString *error, const UprightMetadata *metadata, bool *writeFailed)
{
    if ((stored.depth() != 32 && stored.format() != QImage::Format_RGB888) || stored.isNull()) {
        *error = QStringLiteral("图片格式不支持");
        return false;
    }
    return encodeWith(stored, orientation, quality, subsampling, false, 0, nullptr, error, metadata, device,
                      writeFailed);
}

bool metadataOf(const QByteArray &jpeg, QList<Segment> *segments)
{
    const auto *data = reinterpret_cast<const uchar *>(jpeg.constData());
    const qint64 size = jpeg.size();
    if (size < 4 || data[0] != 0xff || data[1] != 0xd8)
        return false;
    qint64 at = 2;
    for (;;) {
        if (at + 2 > size || data[at] != 0xff)
            return false;
        const uchar marker = data[at + 1];
        if (marker == 0xff) {
            ++at;
            continue;
        }
        if (marker == 0xda || marker == 0xd9)
            return true;
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += 2;
            continue;
        }
        if (at + 4 > size)
            return false;
        const int length = (data[at + 2] << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            return false;
        if ((marker >= 0xe0 && marker <= 0xef) || marker == 0xfe) {
            Segment s;
            s.marker = marker;
            s.payload = QByteArray(reinterpret_cast<const char *>(data + at + 4), length - 2);
            segments->append(s);
        }
        at += 2 + length;
    }
}

bool exifTiffOf(const QByteArray &payload, int *offset, bool *bigEndian)
{
    if (!startsWith(payload, "Exif\0\0", 6) || payload.size() < 6 + 8)
        return false;
    const auto *tiff = reinterpret_cast<const uchar *>(payload.constData()) + 6;
    if (tiff[0] == 'M' && tiff[1] == 'M')
        *bigEndian = true;
    else if (tiff[0] == 'I' && tiff[1] == 'I')
        *bigEndian = false;
    else
        return false;
    *offset = 6;
    return get16(tiff + 2, *bigEndian) == 0x2a;
}

QByteArray uprightExif(const QByteArray &payload, const QSize &size, int orientation)
{
    int start = 0;
    bool be = false;
    if (!exifTiffOf(payload, &start, &be))
        return payload;
    QByteArray out = payload;
    auto *tiff = reinterpret_cast<uchar *>(out.data()) + start;
    const qint64 len = out.size() - start;

    QList<Entry> ifd0;
    qint64 ifd0Link = 0;
    if (!readIfd(tiff, len, get32(tiff + 4, be), be, &ifd0, &ifd0Link))
        return payload;
    qint64 exifIfd = 0;
    for (const Entry &e : qAsConst(ifd0)) {
        if (e.tag == 0x0112)
            setNumber(tiff, e, 1, be);
        quint32 value = 0;
        if (e.tag == 0x8769 && numberOf(tiff, e, be, &value))
            exifIfd = value;
    }
    if (exifIfd) {
        QList<Entry> entries;
        qint64 link = 0;
        if (readIfd(tiff, len, exifIfd, be, &entries, &link)) {
            for (const Entry &e : qAsConst(entries)) {
                if (e.tag == 0xa002)
                    setNumber(tiff, e, quint32(size.width()), be);
                else if (e.tag == 0xa003)
                    setNumber(tiff, e, quint32(size.height()), be);
            }
        }
    }

    // IFD1 describes the embedded thumbnail: turned in place, or the link
    // to it cut so that no viewer shows it unturned.
    const qint64 ifd1 = get32(tiff + ifd0Link, be);
    if (ifd1 == 0)
        return out;
    bool keep = false;
    QList<Entry> entries;
    qint64 link = 0;
    if (readIfd(tiff, len, ifd1, be, &entries, &link)) {
        quint32 offset = 0;
        quint32 length = 0;
        const Entry *lengthEntry = nullptr;
        for (const Entry &e : qAsConst(entries)) {
            if (e.tag == 0x0201)
                numberOf(tiff, e, be, &offset);
            else if (e.tag == 0x0202 && numberOf(tiff, e, be, &length))
                lengthEntry = &e;
        }
        if (lengthEntry && offset >= 8 && length > 0 && qint64(offset) + length <= len) {
            QSize turned;
            const QByteArray thumbnail = orientation == 1
                ? QByteArray(reinterpret_cast<const char *>(tiff + offset), int(length))
                : turnedThumbnail(tiff + offset, length, orientation, length, &turned);
            if (!thumbnail.isEmpty() && setNumber(tiff, *lengthEntry, quint32(thumbnail.size()), be)) {
                std::memcpy(tiff + offset, thumbnail.constData(), size_t(thumbnail.size()));
                // What is left of the old thumbnail's room is no part of it.
                std::memset(tiff + offset + thumbnail.size(), 0, size_t(length) - size_t(thumbnail.size()));
                for (const Entry &e : qAsConst(entries)) {
                    if (e.tag == 0x0112)
                        setNumber(tiff, e, 1, be);
                    else if (e.tag == 0x0100 && turned.isValid())
                        setNumber(tiff, e, quint32(turned.width()), be);
                    else if (e.tag == 0x0101 && turned.isValid())
                        setNumber(tiff, e, quint32(turned.height()), be);
                }
                keep = true;
            }
        }
    }
    if (!keep)
        put32(tiff + ifd0Link, 0, be);
    return out;
}

QList<Segment> uprightSegments(const QList<Segment> &source, const QSize &size, int orientation, bool keepAdobe)
{
    QList<Segment> kept;
    for (const Segment &s : source) {
        Segment t = s;
        if (s.marker == 0xe0 && startsWith(s.payload, "JFIF\0", 5)) {
            // A JFIF thumbnail is stored unturned: only the header stays.
            if (s.payload.size() >= 14) {
                t.payload = s.payload.left(14);
                t.payload[12] = 0;
                t.payload[13] = 0;
            }
        } else if (s.marker == 0xe0 && startsWith(s.payload, "JFXX\0", 5)) {
            continue;
        } else if (s.marker == 0xe1 && startsWith(s.payload, "Exif\0\0", 6)) {
            t.payload = uprightExif(s.payload, size, orientation);
        } else if (s.marker == 0xe1 && startsWith(s.payload, "http://ns.adobe.com/xap/1.0/\0", 29)) {
            t.payload = uprightXmp(s.payload);
        } else if (s.marker == 0xe2 && startsWith(s.payload, "MPF\0", 4)) {
            continue;
        } else if (s.marker == 0xee && startsWith(s.payload, "Adobe", 5) && !keepAdobe) {
            continue;
        }
        if (t.payload.size() > 65533)
            continue;
        kept.append(t);
    }
    return kept;
}

QByteArray withUprightMetadata(const QByteArray &encoded, const QList<Segment> &source, const QSize &size,
                               int orientation, bool keepAdobe)
{
    const QList<Segment> kept = uprightSegments(source, size, orientation, keepAdobe);
    qint64 extra = 0;
    for (const Segment &s : kept)
        extra += 4 + s.payload.size();

    const auto *data = reinterpret_cast<const uchar *>(encoded.constData());
    const qint64 total = encoded.size();
    if (total < 4 || data[0] != 0xff || data[1] != 0xd8)
        return encoded;
    QByteArray out;
    out.reserve(int(qMin<qint64>(total + extra, 0x7fffffffLL)));
    out.append(encoded.constData(), 2);
    for (const Segment &s : qAsConst(kept)) {
        const int length = s.payload.size() + 2;
        const char head[4] = {char(0xff), char(s.marker), char(length >> 8), char(length & 0xff)};
        out.append(head, 4);
        out.append(s.payload);
    }
    // The codec's own segments up to the scan, less its APPn and COM ones,
    // then the scan data unchanged.
    qint64 at = 2;
    while (at + 4 <= total && data[at] == 0xff) {
        const uchar marker = data[at + 1];
        if (marker == 0xda)
            break;
        const int length = (data[at + 2] << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > total)
            return encoded;
        if (!((marker >= 0xe0 && marker <= 0xef) || marker == 0xfe))
            out.append(encoded.constData() + at, int(2 + length));
        at += 2 + length;
    }
    out.append(encoded.constData() + at, int(total - at));
    return out;
}

} // namespace TfJpeg
