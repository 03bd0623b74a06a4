#pragma once

#include <QList>
#include <QSize>

#include "imaging/tfjpeg.h"

// How a photo job makes a JPEG's copies, decided from its header before the
// file is read whole: the way of its full-size copy, the decode its reduced
// copies come from, what is left to the worker's own copy, and the memory
// the job reserves for its peak. Nothing here reads or allocates.
struct TfPhotoPlan
{
    enum class Full {
        Bytes,    // upright already: the bytes read
        Lossless, // turned without decoding
        Reencode, // decoded, turned and encoded
        OnItsOwn, // the worker's own copy from the file
    };

    // One copy asked of the job: its output and its size (0: the full-size
    // upright copy, else the long side of a reduced one).
    struct Copy
    {
        int output = 0;
        int size = 0;
    };

    struct Reduced
    {
        int output = 0;
        QSize size; // in the stored orientation
    };

    // budget: the buffer pool's, which a lossless turn of a file too large
    // to decode must fit; share: a photo's share of it (the budget over the
    // cores), beyond which a lossless turn packs its coefficients.
    TfPhotoPlan(const TfJpeg::Header &header, int orientation, const QList<Copy> &copies, qint64 fileSize,
                qint64 budget, qint64 share);

    // Nothing to make from the file read whole: every copy is the worker's
    // own, and bytes is what they reserve.
    bool makesNothing() const;

    static qint64 pixelBytes(const QSize &size);

    QSize stored;
    QSize upright;
    QList<int> fullOutputs;
    // Largest first.
    QList<Reduced> reduced;
    Full full = Full::Bytes;
    // A file beyond the decode limit is never decoded here; a lossless turn
    // within the budget is all that may read it whole.
    bool tooLarge = false;
    bool canDecode = false;
    // One full-size copy (the usual case) is written as the codec makes it;
    // several are made once in memory, then written.
    bool asMade = false;
    // The memory of the full-size copy as it is made, and of a lossless
    // turn: the source's coefficients, packed where they may be (the turned
    // ones are made a band at a time), and the turned data.
    qint64 madeBytes = 0;
    qint64 turnBytes = 0;
    TfJpeg::TurnMemory turnMemory = TfJpeg::TurnMemory::Whole;
    // The decode the reduced copies come from (1, 2, 4 or 8) and the factor
    // a full decode for the full-size copy is shrunk by for them.
    int denominator = 1;
    int shrinkFactor = 1;
    QSize decodeSize;
    bool reducedHere = false;
    // The outputs the worker's own copy makes, and what they reserve.
    QList<int> theirOwn;
    qint64 theirOwnBytes = 0;
    // The reduced copies encoded, held until the full-size copy is written.
    qint64 encodedBytes = 0;
    // The job's reservation in the buffer pool.
    qint64 bytes = 0;

private:
    void sortCopies(const QList<Copy> &copies);
    void chooseFull(const TfJpeg::Header &header, int orientation, qint64 fileSize, qint64 budget, qint64 share);
    void chooseDecode(const TfJpeg::Header &header);
    qint64 peakBytes(const TfJpeg::Header &header, qint64 fileSize) const;
};
