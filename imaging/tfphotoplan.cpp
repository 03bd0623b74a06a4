#include "imaging/tfphotoplan.h"

#include <algorithm>

#include "imaging/tfbufferpool.h"
#include "imaging/tfimageprocessing.h"

namespace {

// A reduced copy's decode larger than this is no DCT-scaled decode worth
// keeping in the budget.
constexpr qint64 kMaxScaledDecodeBytes = 256LL * 1024 * 1024;

// The same as pixelBytes, as a block of the buffer pool holds it.
qint64 blockBytes(const QSize &size)
{
    return TfBufferPool::blockSize(TfPhotoPlan::pixelBytes(size));
}

} // namespace

TfPhotoPlan::TfPhotoPlan(const TfJpeg::Header &header, int orientation, const QList<Copy> &copies, qint64 fileSize,
                         qint64 budget, qint64 share)
    : stored(header.width, header.height)
    , upright(TfImage::uprightSize(stored, orientation))
    , tooLarge(fileSize > TfImage::kNeverDecodeBytes)
    , canDecode(TfJpeg::decodesToRgb(header))
{
    sortCopies(copies);
    chooseFull(header, orientation, fileSize, budget, share);
    chooseDecode(header);
    if (!theirOwn.isEmpty())
        theirOwnBytes = qMin(budget / 2, pixelBytes(stored) * 2);
    // Room for each at about a byte a pixel, twice what a photo takes at
    // the reduced copies' quality.
    for (const Reduced &r : qAsConst(reduced))
        encodedBytes += reducedHere ? pixelBytes(r.size) / 4 + 65536 : 0;
    bytes = makesNothing() ? theirOwnBytes : peakBytes(header, fileSize);
}

qint64 TfPhotoPlan::pixelBytes(const QSize &size)
{
    return qint64(size.width()) * size.height() * 4;
}

bool TfPhotoPlan::makesNothing() const
{
    return (fullOutputs.isEmpty() || full == Full::OnItsOwn) && !reducedHere;
}

void TfPhotoPlan::sortCopies(const QList<Copy> &copies)
{
    for (const Copy &copy : copies) {
        if (copy.size == 0) {
            fullOutputs.append(copy.output);
        } else {
            Reduced r;
            r.output = copy.output;
            r.size = TfImage::reducedCopySize(stored, copy.size);
            reduced.append(r);
        }
    }
    std::stable_sort(reduced.begin(), reduced.end(), [](const Reduced &a, const Reduced &b) {
        return qint64(a.size.width()) * a.size.height() > qint64(b.size.width()) * b.size.height();
    });
}

void TfPhotoPlan::chooseFull(const TfJpeg::Header &header, int orientation, qint64 fileSize, qint64 budget,
                             qint64 share)
{
    asMade = fullOutputs.size() == 1;
    madeBytes = asMade ? 1024 * 1024 : fileSize * 5 / 4 + 65536;
    // Packing costs a little CPU: only for a turn that would not leave a
    // photo in flight for every core, as 4:4:4 photos of fine detail, and
    // only where the file's coding lets it hold less.
    const qint64 whole = TfJpeg::turnBytes(header, fileSize, TfJpeg::TurnMemory::Whole);
    const bool overShare = TfBufferPool::blockSize(fileSize) + whole + madeBytes + 1024 * 1024 > share;
    turnMemory = overShare && TfJpeg::turnBytes(header, fileSize, TfJpeg::TurnMemory::Packed) < whole
        ? TfJpeg::TurnMemory::Packed
        : TfJpeg::TurnMemory::Whole;
    turnBytes = TfJpeg::turnBytes(header, fileSize, turnMemory) + madeBytes + 1024 * 1024;
    if (fullOutputs.isEmpty())
        full = Full::Bytes;
    else if (orientation == 1)
        // A file too large to hold is copied as it is read.
        full = tooLarge ? Full::OnItsOwn : Full::Bytes;
    else if (TfJpeg::isPerfectTurn(header, orientation)
             && (tooLarge ? TfBufferPool::blockSize(fileSize) + turnBytes : turnBytes) <= budget)
        full = Full::Lossless;
    else if (!tooLarge && canDecode && qint64(stored.width()) * stored.height() <= TfImage::kWholeDecodePixels)
        // Whole at its own size whatever the file's size below the never-
        // decode one: the memory is the pixels' (three bytes each) and the
        // file's, both reserved, and a progressive file's coefficients while
        // it decodes. A file of much fine detail may pass 30 MB at 24
        // megapixels; decoded smaller and scaled back, its copy would lose
        // its detail, outside the budget's count. A progressive one made
        // by the worker's own copy would lose its metadata.
        full = Full::Reencode;
    else
        full = Full::OnItsOwn;
}

void TfPhotoPlan::chooseDecode(const TfJpeg::Header &header)
{
    // The reduced copies' decode: the full one when the full-size copy
    // needs it anyway, else the smallest DCT-scaled one that covers the
    // largest copy.
    const bool fullDecode = full == Full::Reencode;
    denominator = 1;
    if (!reduced.isEmpty()) {
        for (int d : {8, 4, 2}) {
            const QSize scaled = TfJpeg::scaledSize(header, d);
            if (scaled.width() >= reduced.first().size.width() && scaled.height() >= reduced.first().size.height()) {
                denominator = d;
                break;
            }
        }
    }
    // A full decode for the full-size copy is shrunk by the same factor.
    shrinkFactor = denominator;
    if (fullDecode)
        denominator = 1;
    decodeSize = TfJpeg::scaledSize(header, denominator);
    reducedHere = canDecode && !tooLarge && !reduced.isEmpty()
        && (fullDecode || pixelBytes(decodeSize) <= kMaxScaledDecodeBytes);
    if (full == Full::OnItsOwn)
        theirOwn += fullOutputs;
    if (!reducedHere) {
        for (const Reduced &r : qAsConst(reduced))
            theirOwn.append(r.output);
    }
}

qint64 TfPhotoPlan::peakBytes(const TfJpeg::Header &header, qint64 fileSize) const
{
    // The job's peak, reserved before anything large is allocated: the
    // file, then the larger of its full-size stage and its reduced stage,
    // and the reduced copies' encodings from the first made until all are
    // written.
    const qint64 progressiveBytes = header.progressive ? TfJpeg::coefficientBytes(header) : 0;
    // The largest reduced copy, the smaller ones beside it and its encoding.
    const qint64 reducedBytes = reduced.isEmpty() ? 0 : pixelBytes(reduced.first().size) * 3 / 2;
    qint64 need = TfBufferPool::blockSize(fileSize) + encodedBytes;
    if (full == Full::Lossless)
        need += qMax(turnBytes, reducedHere ? blockBytes(decodeSize) + progressiveBytes + reducedBytes : 0);
    else if (full == Full::Reencode)
        // The decode at three bytes a pixel beside the file; once decoded
        // the file goes, and the encoded copy comes beside the decode, or
        // later the reduced copies made from it once shrunk in its own
        // memory (beside it only when it is not shrunk).
        need = TfBufferPool::blockSize(pixelBytes(stored) * 3 / 4) + encodedBytes
            + qMax(need - encodedBytes + progressiveBytes,
                   qMax(madeBytes,
                        !reducedHere ? 0
                                     : (shrinkFactor > 1 ? 0 : blockBytes(TfJpeg::scaledSize(header, shrinkFactor)))
                                + reducedBytes));
    else if (reducedHere)
        need += blockBytes(decodeSize) + progressiveBytes + reducedBytes;
    return qMax(need, theirOwnBytes);
}
