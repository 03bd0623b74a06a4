#include "imaging/tfphotojob.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QThread>

#include "base/confined.h"
#include "base/fileops.h"
#include "imaging/imagedecode.h"
#include "base/pathutil.h"
#include "imaging/tfbufferpool.h"
#include "imaging/tfimageprocessing.h"
#include "imaging/tfjpeg.h"
#include "imaging/imaginglog.h"

namespace {

std::atomic<int> gReads{0};
std::atomic<int> gFullDecodes{0};
std::atomic<int> gScaledDecodes{0};
std::atomic<int> gLosslessTurns{0};
std::atomic<int> gReencodedTurns{0};

thread_local bool tRunningHere = false;

// Pictures beyond this are left to the worker's own copy, which decodes
// them at a reduced size.
constexpr qint64 kMaxJobPixels = ImageDecode::kMaxReducedPixels;
// A reduced copy's decode larger than this is no DCT-scaled decode worth
// keeping in the budget.
constexpr qint64 kMaxScaledDecodeBytes = 256LL * 1024 * 1024;
constexpr int kReducedQuality = 90;
// A full-size copy that must be encoded again keeps about its source's
// quality: more only makes the file larger, less loses detail.
constexpr int kMinFullQuality = 50;
constexpr int kMaxFullQuality = 97;
constexpr int kFullQualityUnknown = 95;

enum class FullPlan {
    Bytes,    // upright already: the bytes read
    Lossless, // turned without decoding
    Reencode, // decoded, turned and encoded
    OnItsOwn, // the worker's own copy from the file
};

struct ReducedCopy
{
    int output = 0;
    QSize size; // in the stored orientation
};

qint64 pixelBytes(const QSize &size)
{
    return qint64(size.width()) * size.height() * 4;
}

// The same, as a block of the buffer pool holds it.
qint64 blockBytes(const QSize &size)
{
    return TfBufferPool::blockSize(pixelBytes(size));
}

} // namespace

TfPhotoJob::TfPhotoJob(const QString &source, const QList<Output> &outputs, const Hooks &hooks)
    : m_source(source)
    , m_outputs(outputs.begin(), outputs.end())
    , m_hooks(hooks)
    , m_slots(size_t(outputs.size()))
{
}

void TfPhotoJob::cancel()
{
    m_cancelled.store(true);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
    }
    m_changed.notify_all();
}

void TfPhotoJob::refuse(int output, const QString &message)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Slot &slot = m_slots[size_t(output)];
        if (slot.done)
            return;
        slot.done = true;
        slot.message = message;
    }
    m_changed.notify_all();
}

void TfPhotoJob::finish(int output, bool ok, const QString &reason)
{
    const QString message = ok ? QString() : messageOf(output, reason);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Slot &slot = m_slots[size_t(output)];
        if (slot.done)
            return;
        slot.done = true;
        slot.ok = ok;
        slot.reason = reason;
        slot.message = message;
    }
    m_changed.notify_all();
}

bool TfPhotoJob::runningHere()
{
    return tRunningHere;
}

QString TfPhotoJob::messageOf(int output, const QString &reason) const
{
    if (m_hooks.failure)
        return m_hooks.failure(output, reason);
    return reason.isEmpty() ? QStringLiteral("图片处理失败") : reason;
}

bool TfPhotoJob::produce(int output, const QString &target, QString *reason) const
{
    if (m_hooks.produce)
        return m_hooks.produce(output, target, reason);
    const int size = m_outputs[size_t(output)].size;
    const QString &folder = m_outputs[size_t(output)].folder;
    return size > 0 ? TfImage::processImage(m_source, target, size, reason, folder)
                    : TfImage::rotateCopy(m_source, target, reason, folder);
}

bool TfPhotoJob::makeCopy(const QString &source, const QString &target, int targetSize, QString *reason,
                          const QString &folder)
{
    Output output;
    output.size = qMax(0, targetSize);
    output.target = target;
    output.folder = folder;
    TfPhotoJob job(source, {output});
    job.run();
    std::lock_guard<std::mutex> lock(job.m_mutex);
    const Slot &slot = job.m_slots.front();
    if (reason)
        *reason = slot.ok ? QString() : slot.reason;
    return slot.ok;
}

void TfPhotoJob::run()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_state != State::Queued)
            return;
        m_state = m_cancelled.load() ? State::Finished : State::Running;
    }
    QString failure;
    if (!m_cancelled.load()) {
        struct Here
        {
            bool was = tRunningHere;
            Here() { tRunningHere = true; }
            ~Here() { tRunningHere = was; }
        } here;
        try {
            execute();
        } catch (const std::exception &e) {
            failure = QStringLiteral("处理异常: ") + QString::fromLocal8Bit(e.what());
        } catch (...) {
            failure = QStringLiteral("未知异常");
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t i = 0; i < m_slots.size(); ++i) {
            Slot &slot = m_slots[i];
            if (slot.done)
                continue;
            slot.done = true;
            if (m_cancelled.load()) {
                slot.cancelled = true;
            } else {
                slot.message = failure.isEmpty() ? messageOf(int(i), QString()) : failure;
            }
        }
        m_state = State::Finished;
    }
    m_changed.notify_all();
}

bool TfPhotoJob::result(int output, QString *message, const QAtomicInt *stop)
{
    if (output < 0 || output >= outputCount())
        return false;
    // A photo no thread has reached yet is made here rather than waited for.
    run();
    std::unique_lock<std::mutex> lock(m_mutex);
    const Slot &slot = m_slots[size_t(output)];
    while (!slot.done) {
        if (m_cancelled.load() || (stop && stop->loadAcquire()))
            return false;
        // A stop request is a flag of the worker's: look at it now and then.
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (slot.cancelled)
        return false;
    *message = slot.message;
    return true;
}

TfPhotoJob::Stats TfPhotoJob::stats()
{
    Stats s;
    s.reads = gReads.load();
    s.fullDecodes = gFullDecodes.load();
    s.scaledDecodes = gScaledDecodes.load();
    s.losslessTurns = gLosslessTurns.load();
    s.reencodedTurns = gReencodedTurns.load();
    return s;
}

void TfPhotoJob::resetStats()
{
    gReads.store(0);
    gFullDecodes.store(0);
    gScaledDecodes.store(0);
    gLosslessTurns.store(0);
    gReencodedTurns.store(0);
}

void TfPhotoJob::execute()
{
    const int count = outputCount();
    std::vector<QString> targets(static_cast<size_t>(count));
    QList<int> open;
    for (int i = 0; i < count; ++i) {
        if (cancelledNow())
            return;
        if (!m_outputs[size_t(i)].target.isEmpty()) {
            targets[size_t(i)] = m_outputs[size_t(i)].target;
            open.append(i);
            continue;
        }
        const QString refused = m_hooks.prepare ? m_hooks.prepare(i, &targets[size_t(i)]) : messageOf(i, QString());
        if (refused.isEmpty())
            open.append(i);
        else
            refuse(i, refused);
    }
    if (open.isEmpty())
        return;

    TfBufferPool &pool = TfBufferPool::instance();
    const auto cancelled = [this]() { return cancelledNow(); };
    const auto fail = [&](int i, const QString &reason) { finish(i, false, reason); };
    const auto failAll = [&](const QString &reason) {
        for (int i : qAsConst(open))
            fail(i, reason);
    };
    // The worker's own copies, each from the file.
    const auto onTheirOwn = [&](const QList<int> &which, qint64 reserveBytes) {
        TfBufferPool::Reservation reservation;
        if (which.isEmpty() || !pool.reserve(reserveBytes, &reservation, cancelled))
            return;
        for (int i : which) {
            if (cancelledNow())
                return;
            QString reason;
            const bool ok = produce(i, targets[size_t(i)], &reason);
            finish(i, ok, reason);
        }
    };
    // Whether output i may not be written now, its failure told: the job
    // was cancelled, or a link was put in the order's folder since the job
    // was planned (checked right before the write).
    const auto mayNotWrite = [&](int i) {
        if (cancelledNow())
            return true;
        const QString &folder = m_outputs[size_t(i)].folder;
        if (!folder.isEmpty()) {
            const QString refusal = Confined::writeRefusal(targets[size_t(i)], folder);
            if (!refusal.isEmpty()) {
                qCWarning(lcImaging) << refusal;
                fail(i, refusal);
                return true;
            }
        }
        return false;
    };
    const auto writeFailed = [&](int i, const QString &error) {
        qCWarning(lcImaging) << "图片保存失败:" << targets[size_t(i)] << error;
        fail(i, error);
    };
    // Inside the output's folder, through the folders held from the check to
    // the rename, when it has one.
    const auto writeWith = [&](int i, const std::function<bool(QIODevice *, QString *)> &fill, QString *error) {
        const QString &folder = m_outputs[size_t(i)].folder;
        if (folder.isEmpty())
            return FileOps::writeAtomicallyWith(targets[size_t(i)], fill, error);
        return Confined::writeWith(targets[size_t(i)], folder, fill, error);
    };
    const auto write = [&](int i, const QByteArray &data) {
        if (mayNotWrite(i))
            return;
        QString error;
        const bool written = writeWith(
            i, [&](QIODevice *device, QString *) { return device->write(data) == data.size(); }, &error);
        if (written)
            finish(i, true, QString());
        else
            writeFailed(i, error);
    };
    // A full-size copy written as the codec makes it, never held whole in
    // memory: make writes it to the device, sets *refused when the device
    // refused a write, and says whether it made the copy. False when the
    // making failed, which the caller tells; anything else is told here.
    const auto writeAsMade = [&](int i, const std::function<bool(QIODevice *, bool *refused)> &make) {
        if (mayNotWrite(i))
            return true;
        bool madeFailed = false;
        QString error;
        const bool written = writeWith(
            i,
            [&](QIODevice *device, QString *) {
                bool refused = false;
                if (make(device, &refused))
                    return true;
                madeFailed = !refused;
                return false;
            },
            &error);
        if (written)
            finish(i, true, QString());
        else if (!madeFailed)
            writeFailed(i, error);
        return written || !madeFailed;
    };

    const QString src = PathUtil::toFs(m_source);
    QFile file;
    QString unreadable;
    if (!FileOps::openSource(src, &file, &unreadable)) {
        qCWarning(lcImaging) << "无法读取图片:" << m_source << unreadable;
        failAll(QStringLiteral("源文件") + unreadable);
        return;
    }
    const qint64 fileSize = file.size();
    const QByteArray format = TfImage::formatOf(m_source);
    const qint64 budget = pool.budget();

    // The header, from the first bytes of the one read of the file.
    QByteArray head;
    TfJpeg::Header header;
    bool jpeg = false;
    // A file beyond the decode limit is never decoded here; a lossless turn
    // within the budget is all that may read it whole.
    const bool tooLarge = fileSize > TfImage::kNeverDecodeBytes;
    if (format == "jpg" || format == "jpeg") {
        for (qint64 want : {qint64(128 * 1024), qint64(1024 * 1024), qint64(8 * 1024 * 1024)}) {
            want = qMin(want, fileSize);
            if (head.size() < want)
                head.append(file.read(want - head.size()));
            if (head.size() < want)
                break;
            if (TfJpeg::readHeader(reinterpret_cast<const uchar *>(head.constData()), head.size(), &header)) {
                jpeg = true;
                break;
            }
            if (want == fileSize)
                break;
        }
    }
    if (!jpeg || qint64(header.width) * header.height > kMaxJobPixels) {
        file.close();
        onTheirOwn(open, budget / 2);
        return;
    }

    int orientation;
    {
        QBuffer buffer(&head);
        buffer.open(QIODevice::ReadOnly);
        orientation = TfImage::jpegExifOrientation(&buffer);
        if (orientation < 1 || orientation > 8)
            orientation = 1;
    }
    const QSize stored(header.width, header.height);
    const QSize upright = TfImage::uprightSize(stored, orientation);
    const bool canDecode = TfJpeg::decodesToRgb(header);

    QList<int> fullOutputs;
    QList<ReducedCopy> reduced;
    for (int i : qAsConst(open)) {
        if (m_outputs[size_t(i)].size == 0) {
            fullOutputs.append(i);
        } else {
            ReducedCopy r;
            r.output = i;
            r.size = TfImage::reducedCopySize(stored, m_outputs[size_t(i)].size);
            reduced.append(r);
        }
    }
    std::stable_sort(reduced.begin(), reduced.end(), [](const ReducedCopy &a, const ReducedCopy &b) {
        return qint64(a.size.width()) * a.size.height() > qint64(b.size.width()) * b.size.height();
    });

    FullPlan fullPlan = FullPlan::Bytes;
    // One full-size copy (the usual case) is written as the codec makes it;
    // several are made once in memory, then written.
    const bool asMade = fullOutputs.size() == 1;
    const qint64 madeBytes = asMade ? 1024 * 1024 : fileSize * 5 / 4 + 65536;
    // The source's coefficients (the turned ones are made a band at a
    // time) and the turned data.
    const qint64 turnBytes = TfJpeg::coefficientBytes(header) + madeBytes + 1024 * 1024;
    if (fullOutputs.isEmpty())
        fullPlan = FullPlan::Bytes;
    else if (orientation == 1)
        // A file too large to hold is copied as it is read.
        fullPlan = tooLarge ? FullPlan::OnItsOwn : FullPlan::Bytes;
    else if (TfJpeg::isPerfectTurn(header, orientation)
             && (tooLarge ? TfBufferPool::blockSize(fileSize) + turnBytes : turnBytes) <= budget)
        fullPlan = FullPlan::Lossless;
    else if (!tooLarge && canDecode && qint64(stored.width()) * stored.height() <= TfImage::kWholeDecodePixels)
        // Whole at its own size whatever the file's size below the never-
        // decode one: the memory is the pixels' (three bytes each) and the
        // file's, both reserved, and a progressive file's coefficients while
        // it decodes. A file of much fine detail may pass 30 MB at 24
        // megapixels; decoded smaller and scaled back, its copy would lose
        // its detail, outside the budget's count. A progressive one made
        // by the worker's own copy would lose its metadata.
        fullPlan = FullPlan::Reencode;
    else
        fullPlan = FullPlan::OnItsOwn;

    // The reduced copies' decode: the full one when the full-size copy
    // needs it anyway, else the smallest DCT-scaled one that covers the
    // largest copy.
    const bool fullDecode = fullPlan == FullPlan::Reencode;
    int denominator = 1;
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
    const int shrinkFactor = denominator;
    if (fullDecode)
        denominator = 1;
    const QSize decodeSize = TfJpeg::scaledSize(header, denominator);
    const bool reducedHere = canDecode && !tooLarge && !reduced.isEmpty()
        && (fullDecode || pixelBytes(decodeSize) <= kMaxScaledDecodeBytes);
    QList<int> theirOwn;
    if (fullPlan == FullPlan::OnItsOwn)
        theirOwn += fullOutputs;
    if (!reducedHere) {
        for (const ReducedCopy &r : qAsConst(reduced))
            theirOwn.append(r.output);
    }

    // Nothing to make here: the file is not read whole for nothing.
    if ((fullOutputs.isEmpty() || fullPlan == FullPlan::OnItsOwn) && !reducedHere) {
        file.close();
        onTheirOwn(open, qMin(budget / 2, pixelBytes(stored) * 2));
        return;
    }

    // The job's peak, reserved before anything large is allocated: the
    // file, then the larger of its full-size stage and its reduced stage.
    const qint64 progressiveBytes = header.progressive ? TfJpeg::coefficientBytes(header) : 0;
    // The largest reduced copy, the smaller ones beside it and its encoding.
    const qint64 reducedBytes = reduced.isEmpty() ? 0 : pixelBytes(reduced.first().size) * 3 / 2;
    qint64 need = TfBufferPool::blockSize(fileSize);
    if (fullPlan == FullPlan::Lossless)
        need += qMax(turnBytes, reducedHere ? blockBytes(decodeSize) + progressiveBytes + reducedBytes : 0);
    else if (fullPlan == FullPlan::Reencode)
        // The decode at three bytes a pixel beside the file; once decoded
        // the file goes, and the encoded copy comes beside the decode, or
        // later the reduced copies made from it once shrunk in its own
        // memory (beside it only when it is not shrunk).
        need = TfBufferPool::blockSize(pixelBytes(stored) * 3 / 4)
            + qMax(need + progressiveBytes,
                   qMax(madeBytes,
                        !reducedHere ? 0
                                     : (shrinkFactor > 1 ? 0 : blockBytes(TfJpeg::scaledSize(header, shrinkFactor)))
                                + reducedBytes));
    else if (reducedHere)
        need += blockBytes(decodeSize) + progressiveBytes + reducedBytes;
    if (!theirOwn.isEmpty())
        need = qMax(need, qMin(budget / 2, pixelBytes(stored) * 2));

    TfBufferPool::Reservation reservation;
    if (!pool.reserve(need, &reservation, cancelled))
        return;
    TfBufferPool::Block fileBlock = pool.take(fileSize);
    if (fileBlock.isNull()) {
        qCWarning(lcImaging) << "内存不足，无法读取图片:" << m_source;
        failAll(QString());
        return;
    }
    std::memcpy(fileBlock.data(), head.constData(), size_t(head.size()));
    qint64 got = head.size();
    while (got < fileSize) {
        const qint64 n = file.read(reinterpret_cast<char *>(fileBlock.data()) + got, fileSize - got);
        if (n <= 0)
            break;
        got += n;
    }
    file.close();
    head.clear();
    if (got != fileSize) {
        qCWarning(lcImaging) << "无法读取图片:" << m_source << file.errorString();
        failAll(QString());
        return;
    }
    gReads.fetch_add(1);
    const uchar *data = fileBlock.data();
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(fileSize));
    {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        // A file cut short decodes "successfully", its missing part grey:
        // no copy of it is made.
        if (TfImage::isTruncatedJpeg(&buffer)) {
            qCWarning(lcImaging) << "图片文件不完整（缺少结束标记）:" << m_source;
            failAll(TfImage::truncatedText());
            return;
        }
    }
    QList<TfJpeg::Segment> metadata;
    if (fullPlan == FullPlan::Lossless || fullPlan == FullPlan::Reencode)
        TfJpeg::metadataOf(bytes, &metadata);

    // The full-size copies.
    TfBufferPool::Block decodeBlock;
    QImage decoded;
    // A full-size decode is only encoded again: three bytes a pixel. A
    // scaled one is scaled further by Qt, which wants four.
    const auto decodeAt = [&](int d) {
        const QSize size = TfJpeg::scaledSize(header, d);
        const int depth = d == 1 ? 3 : 4;
        const int bytesPerLine = (size.width() * depth + 3) / 4 * 4;
        decodeBlock = pool.take(qint64(bytesPerLine) * size.height());
        QString error;
        if (decodeBlock.isNull()) {
            qCWarning(lcImaging) << "内存不足，无法解码图片:" << m_source;
            return false;
        }
        if (!TfJpeg::decode(data, fileSize, d, decodeBlock.data(), bytesPerLine, &error, depth)) {
            qCWarning(lcImaging) << "图片读取失败:" << m_source << error;
            return false;
        }
        (d == 1 ? gFullDecodes : gScaledDecodes).fetch_add(1);
        decoded = QImage(decodeBlock.data(), size.width(), size.height(), bytesPerLine,
                         depth == 3 ? QImage::Format_RGB888 : QImage::Format_RGB32);
        return true;
    };

    if (fullPlan == FullPlan::Bytes) {
        for (int i : qAsConst(fullOutputs))
            write(i, bytes);
    } else if (fullPlan == FullPlan::Lossless) {
        QByteArray turned;
        QString error;
        TfJpeg::UprightMetadata upMetadata;
        upMetadata.segments = &metadata;
        upMetadata.size = upright;
        upMetadata.orientation = orientation;
        TfJpeg::TurnResult result = TfJpeg::TurnResult::Failed;
        bool told = false;
        if (asMade) {
            told = writeAsMade(fullOutputs.first(), [&](QIODevice *device, bool *refused) {
                result = TfJpeg::turnLosslessTo(data, fileSize, orientation, device, &error, &upMetadata, refused);
                return result == TfJpeg::TurnResult::Turned;
            });
        } else {
            result = TfJpeg::turnLossless(data, fileSize, orientation, &turned, &error, &upMetadata);
        }
        if (result == TfJpeg::TurnResult::Turned) {
            gLosslessTurns.fetch_add(1);
            qCDebug(lcImaging).noquote() << QStringLiteral("无损旋转: %1, EXIF方向: %2").arg(m_source).arg(orientation);
            if (!asMade) {
                for (int i : qAsConst(fullOutputs))
                    write(i, turned);
            }
        } else if (!told) {
            qCWarning(lcImaging) << "无损旋转失败:" << m_source << error;
            for (int i : qAsConst(fullOutputs))
                fail(i, TfImage::notTurnedText());
        }
    } else if (fullPlan == FullPlan::Reencode && !cancelledNow()) {
        qCDebug(lcImaging).noquote() << QStringLiteral("尺寸不允许无损旋转，解码后旋转: %1 (%2x%3, EXIF方向: %4)")
                                             .arg(m_source)
                                             .arg(stored.width())
                                             .arg(stored.height())
                                             .arg(orientation);
        QByteArray encoded;
        QString error;
        bool ok = decodeAt(1);
        bool told = false;
        if (ok) {
            // Everything below is made from the decode and the metadata's
            // copy (a failed decode leaves the reduced copies to a scaled
            // one of the file).
            fileBlock = TfBufferPool::Block();
            TfJpeg::UprightMetadata upMetadata;
            upMetadata.segments = &metadata;
            upMetadata.size = upright;
            upMetadata.orientation = orientation;
            const int quality = header.quality > 0 ? qBound(kMinFullQuality, header.quality, kMaxFullQuality)
                                                   : kFullQualityUnknown;
            const int sampling = TfJpeg::uprightSampling(header.subsampling, orientation);
            if (asMade) {
                bool encodedNow = false;
                told = writeAsMade(fullOutputs.first(), [&](QIODevice *device, bool *refused) {
                    encodedNow = TfJpeg::encodeUprightTo(decoded, orientation, quality, sampling, device, &error,
                                                         &upMetadata, refused);
                    return encodedNow;
                });
                if (encodedNow)
                    gReencodedTurns.fetch_add(1);
                else if (!told)
                    qCWarning(lcImaging) << "图片旋转失败:" << m_source << error;
            } else {
                ok = TfJpeg::encodeUpright(decoded, orientation, quality, sampling, &encoded, &error, &upMetadata,
                                           fileSize * 5 / 4 + 65536);
                if (!ok)
                    qCWarning(lcImaging) << "图片旋转失败:" << m_source << error;
            }
        }
        if (ok && !asMade) {
            gReencodedTurns.fetch_add(1);
            for (int i : qAsConst(fullOutputs))
                write(i, encoded);
        } else if (!told) {
            for (int i : qAsConst(fullOutputs))
                fail(i, TfImage::notTurnedText());
        }
        encoded = QByteArray();
        // The reduced copies come from the full decode shrunk by whole
        // blocks, as a DCT-scaled decode would give them: no second decode,
        // and the full-size pixels go as soon as it is made.
        const QSize shrunkSize = TfJpeg::scaledSize(header, shrinkFactor);
        if (ok && reducedHere && !cancelledNow() && shrinkFactor > 1
            && pixelBytes(shrunkSize) <= decodeBlock.capacity()) {
            // Shrunk into the decode's own memory: nothing beside it.
            QImage shrunk(decodeBlock.data(), shrunkSize.width(), shrunkSize.height(), shrunkSize.width() * 4,
                          QImage::Format_RGB32);
            TfImage::shrinkInto(decoded, shrinkFactor, &shrunk);
            decoded = shrunk;
        } else if (ok && reducedHere && !cancelledNow()) {
            TfBufferPool::Block shrunkBlock = pool.take(pixelBytes(shrunkSize));
            if (shrunkBlock.isNull()) {
                qCWarning(lcImaging) << "内存不足，无法缩小图片:" << m_source;
                decoded = QImage();
            } else {
                QImage shrunk(shrunkBlock.data(), shrunkSize.width(), shrunkSize.height(), shrunkSize.width() * 4,
                              QImage::Format_RGB32);
                TfImage::shrinkInto(decoded, shrinkFactor, &shrunk);
                decoded = shrunk;
                decodeBlock = std::move(shrunkBlock);
            }
        }
    }

    // The reduced copies, largest first, each from the smallest picture
    // made so far that covers it.
    if (reducedHere && !cancelledNow()) {
        bool ok = !decoded.isNull() || decodeAt(denominator);
        std::vector<QImage> made;
        if (ok)
            made.push_back(decoded);
        for (const ReducedCopy &r : qAsConst(reduced)) {
            if (cancelledNow())
                break;
            if (!ok || r.size.isEmpty()) {
                fail(r.output, QString());
                continue;
            }
            const QImage *from = &made.front();
            for (const QImage &m : made) {
                if (m.width() >= r.size.width() && m.height() >= r.size.height()
                    && qint64(m.width()) * m.height() < qint64(from->width()) * from->height())
                    from = &m;
            }
            QImage copy = from->size() == r.size
                ? *from
                : from->scaled(r.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            if (copy.isNull()) {
                qCWarning(lcImaging) << "最终缩放失败:" << r.size;
                fail(r.output, QString());
                continue;
            }
            made.push_back(copy);
            // Turned upright band by band as it is encoded: no turned copy.
            QByteArray encoded;
            QString error;
            if (!TfJpeg::encode(copy, kReducedQuality, TfJpeg::kSampling420, &encoded, &error, nullptr,
                                orientation)) {
                qCWarning(lcImaging) << "图片保存失败:" << error;
                fail(r.output, QString());
                continue;
            }
            write(r.output, encoded);
        }
    }
    decoded = QImage();
    decodeBlock = TfBufferPool::Block();
    fileBlock = TfBufferPool::Block();

    // What this job does not make, the worker's own way does.
    if (!theirOwn.isEmpty() && !cancelledNow()) {
        for (int i : qAsConst(theirOwn)) {
            QString reason;
            const bool ok = produce(i, targets[size_t(i)], &reason);
            finish(i, ok, reason);
            if (cancelledNow())
                break;
        }
    }
}

TfPhotoPool::TfPhotoPool(int threads)
    : m_threadCount(threads > 0 ? threads : qMax(1, QThread::idealThreadCount()))
{
    TfBufferPool::keepFreedMemory();
}

TfPhotoPool::~TfPhotoPool()
{
    cancelAll();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void TfPhotoPool::submit(const std::shared_ptr<TfPhotoJob> &job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_threads.empty()) {
            for (int i = 0; i < m_threadCount; ++i)
                m_threads.emplace_back([this]() { loop(); });
        }
        m_queue.push_back(job);
        m_submitted.erase(std::remove_if(m_submitted.begin(), m_submitted.end(),
                                         [](const std::weak_ptr<TfPhotoJob> &w) { return w.expired(); }),
                          m_submitted.end());
        m_submitted.push_back(job);
    }
    m_wake.notify_one();
}

void TfPhotoPool::cancelAll()
{
    std::vector<std::shared_ptr<TfPhotoJob>> jobs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        for (const auto &weak : m_submitted) {
            if (auto job = weak.lock())
                jobs.push_back(job);
        }
        m_submitted.clear();
    }
    for (const auto &job : jobs)
        job->cancel();
}

void TfPhotoPool::setPaused(bool paused)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = paused;
    }
    m_wake.notify_all();
}

void TfPhotoPool::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this]() { return m_quit || (!m_paused && !m_queue.empty()); });
        if (m_quit)
            return;
        std::shared_ptr<TfPhotoJob> job = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        // Returns at once when a worker has taken the job over.
        job->run();
        job.reset();
        lock.lock();
    }
}
