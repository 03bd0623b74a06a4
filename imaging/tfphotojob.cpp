#include "imaging/tfphotojob.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <optional>

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
#include "imaging/tfphotoplan.h"
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
constexpr int kReducedQuality = 90;
// A full-size copy that must be encoded again keeps about its source's
// quality: more only makes the file larger, less loses detail.
constexpr int kMinFullQuality = 50;
constexpr int kMaxFullQuality = 97;
constexpr int kFullQualityUnknown = 95;

} // namespace

TfPhotoJob::TfPhotoJob(const QString &source, const QList<Output> &outputs, const Hooks &hooks)
    : m_source(source)
    , m_outputs(outputs.begin(), outputs.end())
    , m_hooks(hooks)
    , m_slots(size_t(outputs.size()))
{
}

TfPhotoJob::~TfPhotoJob() = default;

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

bool TfPhotoJob::start()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_state != State::Queued)
        return false;
    m_state = State::Running;
    return true;
}

QString TfPhotoJob::runStep(const std::function<void()> &step)
{
    struct Here
    {
        bool was = tRunningHere;
        Here() { tRunningHere = true; }
        ~Here() { tRunningHere = was; }
    } here;
    try {
        step();
    } catch (const std::exception &e) {
        return QStringLiteral("处理异常: ") + QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("未知异常");
    }
    return QString();
}

void TfPhotoJob::drop()
{
    m_work.reset();
    reportUnmade(QString());
}

bool TfPhotoJob::isFinished() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state == State::Finished;
}

void TfPhotoJob::reportUnmade(const QString &failure)
{
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

// One run of a job, step by step: the targets, the file's header and the
// plan (all before any memory of the budget is held), then the file read
// whole, the reduced copies made in memory, the full-size copies, the
// reduced copies written, and what is left to the worker's own way. Each
// write waits for the disk before its rename: by then the file and its
// decode are given back, so the next photo runs meanwhile. It holds what
// the steps share; its members are destroyed in the reverse of their order
// here, so the pictures go before the blocks holding them and the blocks
// before the reservation that covers them.
class TfPhotoJob::Work
{
public:
    explicit Work(TfPhotoJob &job)
        : m_job(job)
        , m_targets(size_t(job.outputCount()))
    {
    }

    // The bytes the copies need reserved; -1 when nothing is left to make.
    qint64 plan();
    // The copies, with those bytes reserved.
    void make(TfBufferPool::Reservation reservation);

private:
    // The steps, in their order.
    bool takeTargets();
    bool openSource();
    bool readHeader();
    void readOrientation();
    QList<TfPhotoPlan::Copy> openCopies() const;
    bool readWhole();
    void makeReduced();
    void writeFull();
    void turnLosslessly();
    bool roomForWholeTurn();
    bool reencode();
    void shrinkForReduced();
    void giveBack(qint64 stillHeld = 0);
    void writeReduced();
    void makeTheirOwn(const QList<int> &which);

    bool cancelled() const { return m_job.cancelledNow(); }
    void fail(int i, const QString &reason) { m_job.finish(i, false, reason); }
    void failAll(const QString &reason);
    // Output i made the worker's own way, and told.
    void produce(int i);
    bool mayNotWrite(int i);
    void writeFailed(int i, const QString &error);
    bool writeWith(int i, const std::function<bool(QIODevice *, QString *)> &fill, QString *error);
    // beforeCommit, when given, runs once the copy is in its temporary
    // file, before the wait for the disk.
    void write(int i, const QByteArray &data, const std::function<void()> &beforeCommit = nullptr);
    bool writeAsMade(int i, const std::function<bool(QIODevice *, bool *refused)> &make,
                     const std::function<void()> &beforeCommit = nullptr);
    bool decodeAt(int d);
    TfJpeg::UprightMetadata uprightMetadata() const;

    TfPhotoJob &m_job;
    TfBufferPool &m_pool = TfBufferPool::instance();
    std::vector<QString> m_targets;
    QList<int> m_open;
    QFile m_file;
    qint64 m_fileSize = 0;
    qint64 m_budget = 0;
    // The first bytes of the one read of the file, its header in them.
    QByteArray m_head;
    TfJpeg::Header m_header;
    int m_orientation = 1;
    std::optional<TfPhotoPlan> m_plan;
    // Every copy is the worker's own: the file is not read here.
    bool m_allTheirOwn = false;
    TfBufferPool::Reservation m_reservation;
    // The reduced copies encoded, written once the full-size ones are.
    struct Encoded
    {
        int output = 0;
        QByteArray data;
    };
    std::vector<Encoded> m_encoded;
    bool m_reducedMade = false;
    TfBufferPool::Block m_fileBlock;
    const uchar *m_data = nullptr;
    QByteArray m_bytes;
    QList<TfJpeg::Segment> m_metadata;
    TfBufferPool::Block m_decodeBlock;
    QImage m_decoded;
};

void TfPhotoJob::run()
{
    if (!start())
        return;
    QString failure;
    if (!m_cancelled.load()) {
        failure = runStep([this]() {
            Work work(*this);
            const qint64 bytes = work.plan();
            TfBufferPool::Reservation reservation;
            if (bytes >= 0
                && TfBufferPool::instance().reserve(bytes, &reservation, [this]() { return cancelledNow(); }))
                work.make(std::move(reservation));
        });
    }
    reportUnmade(failure);
}

qint64 TfPhotoJob::plan()
{
    if (!start())
        return -1;
    qint64 bytes = -1;
    QString failure;
    if (!m_cancelled.load()) {
        failure = runStep([this, &bytes]() {
            m_work = std::make_unique<Work>(*this);
            bytes = m_work->plan();
        });
    }
    if (bytes >= 0 && failure.isEmpty())
        return bytes;
    m_work.reset();
    reportUnmade(failure);
    return -1;
}

void TfPhotoJob::make(TfBufferPool::Reservation &&reservation)
{
    QString failure;
    if (m_work && !m_cancelled.load())
        failure = runStep([this, &reservation]() { m_work->make(std::move(reservation)); });
    m_work.reset();
    reportUnmade(failure);
}

qint64 TfPhotoJob::Work::plan()
{
    if (!takeTargets() || !openSource())
        return -1;
    if (!readHeader() || qint64(m_header.width) * m_header.height > kMaxJobPixels) {
        m_file.close();
        m_allTheirOwn = true;
        return m_budget / 2;
    }
    readOrientation();
    m_plan.emplace(m_header, m_orientation, openCopies(), m_fileSize, m_budget,
                   m_budget / qMax(1, QThread::idealThreadCount()));
    // Nothing to make here: the file is not read whole for nothing.
    if (m_plan->makesNothing()) {
        m_file.close();
        m_allTheirOwn = true;
    }
    return m_plan->bytes;
}

// The job's peak is reserved before anything large is allocated. Whatever
// needs the file or its decode is made before the first copy is committed;
// the reduced copies are made first from the file when the full-size copy
// does not decode it.
void TfPhotoJob::Work::make(TfBufferPool::Reservation reservation)
{
    m_reservation = std::move(reservation);
    if (m_allTheirOwn) {
        makeTheirOwn(m_open);
        return;
    }
    if (!readWhole())
        return;
    if (m_plan->full != TfPhotoPlan::Full::Reencode)
        makeReduced();
    writeFull();
    makeReduced();
    giveBack();
    writeReduced();
    makeTheirOwn(m_plan->theirOwn);
}

// The outputs still to make, each with its target: the one given, or the
// prepare hook's; a refused one is told now. False when none is left.
bool TfPhotoJob::Work::takeTargets()
{
    const int count = m_job.outputCount();
    for (int i = 0; i < count; ++i) {
        if (cancelled())
            return false;
        const Output &output = m_job.m_outputs[size_t(i)];
        if (!output.target.isEmpty()) {
            m_targets[size_t(i)] = output.target;
            m_open.append(i);
            continue;
        }
        const QString refused = m_job.m_hooks.prepare ? m_job.m_hooks.prepare(i, &m_targets[size_t(i)])
                                                      : m_job.messageOf(i, QString());
        if (refused.isEmpty())
            m_open.append(i);
        else
            m_job.refuse(i, refused);
    }
    return !m_open.isEmpty();
}

bool TfPhotoJob::Work::openSource()
{
    const QString src = PathUtil::toFs(m_job.m_source);
    QString unreadable;
    if (!FileOps::openSource(src, &m_file, &unreadable)) {
        qCWarning(lcImaging) << "无法读取图片:" << m_job.m_source << unreadable;
        failAll(QStringLiteral("源文件") + unreadable);
        return false;
    }
    m_fileSize = m_file.size();
    m_budget = m_pool.budget();
    return true;
}

// Whether the file is a JPEG whose header the codec reads, from as few of
// its first bytes as hold the header.
bool TfPhotoJob::Work::readHeader()
{
    const QByteArray format = TfImage::formatOf(m_job.m_source);
    if (format != "jpg" && format != "jpeg")
        return false;
    for (qint64 want : {qint64(128 * 1024), qint64(1024 * 1024), qint64(8 * 1024 * 1024)}) {
        want = qMin(want, m_fileSize);
        if (m_head.size() < want)
            m_head.append(m_file.read(want - m_head.size()));
        if (m_head.size() < want)
            break;
        if (TfJpeg::readHeader(reinterpret_cast<const uchar *>(m_head.constData()), m_head.size(), &m_header))
            return true;
        if (want == m_fileSize)
            break;
    }
    return false;
}

void TfPhotoJob::Work::readOrientation()
{
    QBuffer buffer(&m_head);
    buffer.open(QIODevice::ReadOnly);
    m_orientation = TfImage::jpegExifOrientation(&buffer);
    if (m_orientation < 1 || m_orientation > 8)
        m_orientation = 1;
}

QList<TfPhotoPlan::Copy> TfPhotoJob::Work::openCopies() const
{
    QList<TfPhotoPlan::Copy> copies;
    for (int i : m_open) {
        TfPhotoPlan::Copy copy;
        copy.output = i;
        copy.size = m_job.m_outputs[size_t(i)].size;
        copies.append(copy);
    }
    return copies;
}

// The file whole in a block of the pool, checked whole, and the metadata a
// turned copy carries over.
bool TfPhotoJob::Work::readWhole()
{
    m_fileBlock = m_pool.take(m_fileSize);
    if (m_fileBlock.isNull()) {
        qCWarning(lcImaging) << "内存不足，无法读取图片:" << m_job.m_source;
        failAll(QString());
        return false;
    }
    std::memcpy(m_fileBlock.data(), m_head.constData(), size_t(m_head.size()));
    qint64 got = m_head.size();
    while (got < m_fileSize) {
        const qint64 n = m_file.read(reinterpret_cast<char *>(m_fileBlock.data()) + got, m_fileSize - got);
        if (n <= 0)
            break;
        got += n;
    }
    m_file.close();
    m_head.clear();
    if (got != m_fileSize) {
        qCWarning(lcImaging) << "无法读取图片:" << m_job.m_source << m_file.errorString();
        failAll(QString());
        return false;
    }
    gReads.fetch_add(1);
    m_data = m_fileBlock.data();
    m_bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(m_data), int(m_fileSize));
    QBuffer buffer;
    buffer.setData(m_bytes);
    buffer.open(QIODevice::ReadOnly);
    // A file cut short decodes "successfully", its missing part grey: no
    // copy of it is made.
    if (TfImage::isTruncatedJpeg(&buffer)) {
        qCWarning(lcImaging) << "图片文件不完整（缺少结束标记）:" << m_job.m_source;
        failAll(TfImage::truncatedText());
        return false;
    }
    if (m_plan->full == TfPhotoPlan::Full::Lossless || m_plan->full == TfPhotoPlan::Full::Reencode)
        TfJpeg::metadataOf(m_bytes, &m_metadata);
    return true;
}

// The full-size copies; a re-encode also leaves its decode, shrunk, for
// the reduced copies.
void TfPhotoJob::Work::writeFull()
{
    const TfPhotoPlan &plan = *m_plan;
    if (plan.full == TfPhotoPlan::Full::Bytes) {
        for (int i : qAsConst(plan.fullOutputs))
            write(i, m_bytes, i == plan.fullOutputs.last() ? [this]() { giveBack(); } : std::function<void()>());
    } else if (plan.full == TfPhotoPlan::Full::Lossless) {
        turnLosslessly();
    } else if (plan.full == TfPhotoPlan::Full::Reencode && !cancelled()) {
        reencode();
    }
}

TfJpeg::UprightMetadata TfPhotoJob::Work::uprightMetadata() const
{
    TfJpeg::UprightMetadata metadata;
    metadata.segments = &m_metadata;
    metadata.size = m_plan->upright;
    metadata.orientation = m_orientation;
    return metadata;
}

void TfPhotoJob::Work::turnLosslessly()
{
    const QList<int> &fullOutputs = m_plan->fullOutputs;
    QByteArray turned;
    QString error;
    const TfJpeg::UprightMetadata metadata = uprightMetadata();
    TfJpeg::TurnResult result = TfJpeg::TurnResult::Failed;
    bool told = false;
    const auto turn = [&](TfJpeg::TurnMemory memory) {
        if (!m_plan->asMade) {
            result = TfJpeg::turnLossless(m_data, m_fileSize, m_orientation, &turned, &error, &metadata, memory);
            return;
        }
        told = writeAsMade(
            fullOutputs.first(),
            [&](QIODevice *device, bool *refused) {
                result = TfJpeg::turnLosslessTo(m_data, m_fileSize, m_orientation, device, &error, &metadata,
                                                refused, memory);
                return result == TfJpeg::TurnResult::Turned;
            },
            [this]() { giveBack(); });
    };
    turn(m_plan->turnMemory);
    if (result == TfJpeg::TurnResult::TooDense && roomForWholeTurn())
        turn(TfJpeg::TurnMemory::Whole);
    if (result == TfJpeg::TurnResult::Turned) {
        gLosslessTurns.fetch_add(1);
        qCDebug(lcImaging).noquote()
            << QStringLiteral("无损旋转: %1, EXIF方向: %2").arg(m_job.m_source).arg(m_orientation);
        if (!m_plan->asMade) {
            for (int i : fullOutputs)
                write(i, turned,
                      i == fullOutputs.last() ? [&]() { giveBack(turned.size()); } : std::function<void()>());
        }
    } else if (!told) {
        qCWarning(lcImaging) << "无损旋转失败:" << m_job.m_source << error;
        for (int i : fullOutputs)
            fail(i, TfImage::notTurnedText());
    }
}

// A damaged scan that the decoder filled out holds more coefficients than
// the file's size allows to pack: the turn is made again with them whole,
// its room waited for while holding none, so that two such photos never
// wait for each other.
bool TfPhotoJob::Work::roomForWholeTurn()
{
    const qint64 more = TfJpeg::turnBytes(m_header, m_fileSize, TfJpeg::TurnMemory::Whole)
        - TfJpeg::turnBytes(m_header, m_fileSize, TfJpeg::TurnMemory::Packed);
    const qint64 bytes = m_reservation.bytes() + qMax<qint64>(0, more);
    m_reservation = TfBufferPool::Reservation();
    return m_pool.reserve(bytes, &m_reservation, [this]() { return cancelled(); });
}

// Decodes the picture whole, turns it and encodes it; whether it was
// decoded (and, made in memory, encoded). Once decoded, the file goes:
// everything after is made from the decode and the metadata's copy.
bool TfPhotoJob::Work::reencode()
{
    const TfPhotoPlan &plan = *m_plan;
    qCDebug(lcImaging).noquote() << QStringLiteral("尺寸不允许无损旋转，解码后旋转: %1 (%2x%3, EXIF方向: %4)")
                                         .arg(m_job.m_source)
                                         .arg(plan.stored.width())
                                         .arg(plan.stored.height())
                                         .arg(m_orientation);
    QByteArray encoded;
    QString error;
    bool ok = decodeAt(1);
    bool told = false;
    if (ok) {
        // A failed decode leaves the reduced copies to a scaled one of the
        // file; a good one needs the file no more.
        m_fileBlock = TfBufferPool::Block();
        m_data = nullptr;
        m_bytes = QByteArray();
        const TfJpeg::UprightMetadata metadata = uprightMetadata();
        const int quality = m_header.quality > 0 ? qBound(kMinFullQuality, m_header.quality, kMaxFullQuality)
                                                 : kFullQualityUnknown;
        const int sampling = TfJpeg::uprightSampling(m_header.subsampling, m_orientation);
        if (plan.asMade) {
            bool encodedNow = false;
            told = writeAsMade(
                plan.fullOutputs.first(),
                [&](QIODevice *device, bool *refused) {
                    encodedNow = TfJpeg::encodeUprightTo(m_decoded, m_orientation, quality, sampling, device,
                                                         &error, &metadata, refused);
                    return encodedNow;
                },
                [this]() {
                    makeReduced();
                    giveBack();
                });
            if (encodedNow)
                gReencodedTurns.fetch_add(1);
            else if (!told)
                qCWarning(lcImaging) << "图片旋转失败:" << m_job.m_source << error;
        } else {
            ok = TfJpeg::encodeUpright(m_decoded, m_orientation, quality, sampling, &encoded, &error, &metadata,
                                       m_fileSize * 5 / 4 + 65536);
            if (!ok)
                qCWarning(lcImaging) << "图片旋转失败:" << m_job.m_source << error;
        }
    }
    if (ok && !plan.asMade) {
        // Several copies of one encoding (rare): the reduced copies are
        // made after, not beside it.
        gReencodedTurns.fetch_add(1);
        for (int i : plan.fullOutputs)
            write(i, encoded);
    } else if (!told) {
        for (int i : plan.fullOutputs)
            fail(i, TfImage::notTurnedText());
    }
    return ok;
}

// The full decode shrunk by whole blocks for the reduced copies, as a
// DCT-scaled decode would give them: no second decode, and the full-size
// pixels go as soon as it is made.
void TfPhotoJob::Work::shrinkForReduced()
{
    const int factor = m_plan->shrinkFactor;
    const QSize shrunkSize = TfJpeg::scaledSize(m_header, factor);
    if (factor > 1 && TfPhotoPlan::pixelBytes(shrunkSize) <= m_decodeBlock.capacity()) {
        // Shrunk into the decode's own memory: nothing beside it.
        QImage shrunk(m_decodeBlock.data(), shrunkSize.width(), shrunkSize.height(), shrunkSize.width() * 4,
                      QImage::Format_RGB32);
        TfImage::shrinkInto(m_decoded, factor, &shrunk);
        m_decoded = shrunk;
        return;
    }
    TfBufferPool::Block shrunkBlock = m_pool.take(TfPhotoPlan::pixelBytes(shrunkSize));
    if (shrunkBlock.isNull()) {
        // The file is given back by now: the reduced copies are scaled from
        // the full decode itself rather than decoded again.
        qCWarning(lcImaging) << "内存不足，无法缩小图片:" << m_job.m_source;
        return;
    }
    QImage shrunk(shrunkBlock.data(), shrunkSize.width(), shrunkSize.height(), shrunkSize.width() * 4,
                  QImage::Format_RGB32);
    TfImage::shrinkInto(m_decoded, factor, &shrunk);
    m_decoded = shrunk;
    m_decodeBlock = std::move(shrunkBlock);
}

// The reduced copies encoded, largest first, each from the smallest picture
// made so far that covers it: from a full decode shrunk in its own memory,
// or from the smallest DCT-scaled decode of the file that covers them.
void TfPhotoJob::Work::makeReduced()
{
    if (m_reducedMade || !m_plan->reducedHere || cancelled())
        return;
    m_reducedMade = true;
    if (m_decoded.format() == QImage::Format_RGB888)
        shrinkForReduced();
    const bool ok = !m_decoded.isNull() || decodeAt(m_plan->denominator);
    std::vector<QImage> made;
    if (ok)
        made.push_back(m_decoded);
    for (const TfPhotoPlan::Reduced &r : qAsConst(m_plan->reduced)) {
        if (cancelled())
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
        QImage copy =
            from->size() == r.size ? *from : from->scaled(r.size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (copy.isNull()) {
            qCWarning(lcImaging) << "最终缩放失败:" << r.size;
            fail(r.output, QString());
            continue;
        }
        made.push_back(copy);
        // Turned upright band by band as it is encoded: no turned copy.
        Encoded encoded;
        encoded.output = r.output;
        QString error;
        if (!TfJpeg::encode(copy, kReducedQuality, TfJpeg::kSampling420, &encoded.data, &error, nullptr,
                            m_orientation)) {
            qCWarning(lcImaging) << "图片保存失败:" << error;
            fail(r.output, QString());
            continue;
        }
        // Held until written: no more than its bytes.
        encoded.data.squeeze();
        m_encoded.push_back(std::move(encoded));
    }
    made.clear();
    m_decoded = QImage();
    m_decodeBlock = TfBufferPool::Block();
}

// The file and its decode are given back once every copy that needs them
// is made, before the copies' commits wait for the disk; the reservation
// keeps the reduced copies' bytes, what the caller still holds
// (stillHeld: a full-size copy made in memory, for its next target) and
// what the worker's own copies need after.
void TfPhotoJob::Work::giveBack(qint64 stillHeld)
{
    m_decoded = QImage();
    m_decodeBlock = TfBufferPool::Block();
    m_bytes = QByteArray();
    m_data = nullptr;
    m_fileBlock = TfBufferPool::Block();
    qint64 kept = stillHeld;
    for (const Encoded &e : m_encoded)
        kept += e.data.size();
    if (!m_plan->theirOwn.isEmpty())
        kept = qMax(kept, m_plan->theirOwnBytes);
    m_reservation.shrinkTo(kept);
}

void TfPhotoJob::Work::writeReduced()
{
    for (Encoded &e : m_encoded) {
        write(e.output, e.data);
        e.data = QByteArray();
    }
}

// What this job does not make, the worker's own way does, from the file.
void TfPhotoJob::Work::makeTheirOwn(const QList<int> &which)
{
    for (int i : which) {
        if (cancelled())
            break;
        produce(i);
    }
}

void TfPhotoJob::Work::failAll(const QString &reason)
{
    for (int i : qAsConst(m_open))
        fail(i, reason);
}

void TfPhotoJob::Work::produce(int i)
{
    QString reason;
    const bool ok = m_job.produce(i, m_targets[size_t(i)], &reason);
    m_job.finish(i, ok, reason);
}

// Whether output i may not be written now, its failure told: the job was
// cancelled, or a link was put in the order's folder since the job was
// planned (checked right before the write).
bool TfPhotoJob::Work::mayNotWrite(int i)
{
    if (cancelled())
        return true;
    const QString &folder = m_job.m_outputs[size_t(i)].folder;
    if (!folder.isEmpty()) {
        const QString refusal = Confined::writeRefusal(m_targets[size_t(i)], folder);
        if (!refusal.isEmpty()) {
            qCWarning(lcImaging) << refusal;
            fail(i, refusal);
            return true;
        }
    }
    return false;
}

void TfPhotoJob::Work::writeFailed(int i, const QString &error)
{
    qCWarning(lcImaging) << "图片保存失败:" << m_targets[size_t(i)] << error;
    fail(i, error);
}

// Inside the output's folder, through the folders held from the check to
// the rename, when it has one.
bool TfPhotoJob::Work::writeWith(int i, const std::function<bool(QIODevice *, QString *)> &fill, QString *error)
{
    const QString &folder = m_job.m_outputs[size_t(i)].folder;
    if (folder.isEmpty())
        return FileOps::writeAtomicallyWith(m_targets[size_t(i)], fill, error);
    return Confined::writeWith(m_targets[size_t(i)], folder, fill, error);
}

void TfPhotoJob::Work::write(int i, const QByteArray &data, const std::function<void()> &beforeCommit)
{
    if (mayNotWrite(i))
        return;
    QString error;
    const bool written = writeWith(
        i,
        [&](QIODevice *device, QString *) {
            if (device->write(data) != data.size())
                return false;
            if (beforeCommit)
                beforeCommit();
            return true;
        },
        &error);
    if (written)
        m_job.finish(i, true, QString());
    else
        writeFailed(i, error);
}

// A full-size copy written as the codec makes it, never held whole in
// memory: make writes it to the device, sets *refused when the device
// refused a write, and says whether it made the copy. False when the making
// failed, which the caller tells; anything else is told here.
bool TfPhotoJob::Work::writeAsMade(int i, const std::function<bool(QIODevice *, bool *refused)> &make,
                                   const std::function<void()> &beforeCommit)
{
    if (mayNotWrite(i))
        return true;
    bool madeFailed = false;
    QString error;
    const bool written = writeWith(
        i,
        [&](QIODevice *device, QString *) {
            bool refused = false;
            if (make(device, &refused)) {
                if (beforeCommit)
                    beforeCommit();
                return true;
            }
            madeFailed = !refused;
            return false;
        },
        &error);
    if (written)
        m_job.finish(i, true, QString());
    else if (!madeFailed)
        writeFailed(i, error);
    return written || !madeFailed;
}

// A full-size decode is only encoded again: three bytes a pixel. A scaled
// one is scaled further by Qt, which wants four.
bool TfPhotoJob::Work::decodeAt(int d)
{
    if (!m_data) {
        // Given back after a full decode: there is nothing left to decode.
        qCWarning(lcImaging) << "图片数据已释放，无法再次解码:" << m_job.m_source;
        return false;
    }
    const QSize size = TfJpeg::scaledSize(m_header, d);
    const int depth = d == 1 ? 3 : 4;
    const int bytesPerLine = (size.width() * depth + 3) / 4 * 4;
    m_decodeBlock = m_pool.take(qint64(bytesPerLine) * size.height());
    QString error;
    if (m_decodeBlock.isNull()) {
        qCWarning(lcImaging) << "内存不足，无法解码图片:" << m_job.m_source;
        return false;
    }
    if (!TfJpeg::decode(m_data, m_fileSize, d, m_decodeBlock.data(), bytesPerLine, &error, depth)) {
        qCWarning(lcImaging) << "图片读取失败:" << m_job.m_source << error;
        return false;
    }
    (d == 1 ? gFullDecodes : gScaledDecodes).fetch_add(1);
    m_decoded = QImage(m_decodeBlock.data(), size.width(), size.height(), bytesPerLine,
                       depth == 3 ? QImage::Format_RGB888 : QImage::Format_RGB32);
    return true;
}

TfPhotoPool::TfPhotoPool(int threads)
    : m_threadCount(threads > 0 ? threads : qMax(1, QThread::idealThreadCount()))
{
    TfBufferPool::keepFreedMemory();
    // Room given back anywhere may let a waiting job in.
    m_roomListener = TfBufferPool::instance().addRoomListener([this]() { changed(); });
}

TfPhotoPool::~TfPhotoPool()
{
    cancelAll();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
        ++m_changes;
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
    TfBufferPool::instance().removeRoomListener(m_roomListener);
}

void TfPhotoPool::changed()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_changes;
    }
    m_wake.notify_all();
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
        ++m_changes;
    }
    m_wake.notify_one();
}

void TfPhotoPool::cancelAll()
{
    std::vector<std::shared_ptr<TfPhotoJob>> jobs;
    std::deque<Waiting> waiting;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.clear();
        for (const auto &weak : m_submitted) {
            if (auto job = weak.lock())
                jobs.push_back(job);
        }
        m_submitted.clear();
        waiting.swap(m_waiting);
        TfBufferPool::instance().countWaiting(-int(waiting.size()));
        ++m_changes;
    }
    for (const auto &job : jobs)
        job->cancel();
    // Planned ones hold their file open: finished here, never made.
    for (Waiting &w : waiting) {
        w.job->cancel();
        w.job->drop();
    }
    m_wake.notify_all();
}

void TfPhotoPool::setPaused(bool paused)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = paused;
        ++m_changes;
    }
    m_wake.notify_all();
}

int TfPhotoPool::waitingJobs() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_waiting.size());
}

int TfPhotoPool::idleThreads() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_idle;
}

bool TfPhotoPool::takeWaiting(std::shared_ptr<TfPhotoJob> *job, TfBufferPool::Reservation *reservation)
{
    TfBufferPool &memory = TfBufferPool::instance();
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (it->job->isCancelled()) {
            *job = std::move(it->job);
            m_waiting.erase(it);
            memory.countWaiting(-1);
            return true;
        }
    }
    if (m_paused)
        return false;
    for (size_t i = 0; i < m_waiting.size(); ++i) {
        Waiting &w = m_waiting[i];
        if (memory.tryReserve(w.bytes, reservation)) {
            for (size_t before = 0; before < i; ++before)
                ++m_waiting[before].passed;
            *job = std::move(w.job);
            m_waiting.erase(m_waiting.begin() + std::ptrdiff_t(i));
            memory.countWaiting(-1);
            return true;
        }
        // Its turn has come: none goes past it until its room is free.
        if (w.passed >= kPassesBeforeFirst)
            return false;
    }
    return false;
}

bool TfPhotoPool::mayPlanMore() const
{
    // A few planned ahead, to find one that fits; each holds its file open.
    if (m_waiting.size() >= size_t(m_threadCount))
        return false;
    return std::none_of(m_waiting.begin(), m_waiting.end(),
                        [](const Waiting &w) { return w.passed >= kPassesBeforeFirst; });
}

void TfPhotoPool::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_quit) {
        std::shared_ptr<TfPhotoJob> job;
        TfBufferPool::Reservation reservation;
        if (takeWaiting(&job, &reservation)) {
            lock.unlock();
            job->make(std::move(reservation));
            job.reset();
            lock.lock();
        } else if (!m_paused && !m_queue.empty() && mayPlanMore()) {
            job = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            // Nothing to wait for when another thread has it, or it ended
            // before needing memory (every copy refused, an unreadable file).
            const qint64 bytes = job->plan();
            if (bytes < 0)
                job.reset();
            lock.lock();
            if (job) {
                Waiting w;
                w.job = std::move(job);
                w.bytes = bytes;
                m_waiting.push_back(std::move(w));
                TfBufferPool::instance().countWaiting(1);
            }
        } else {
            const quint64 seen = m_changes;
            ++m_idle;
            m_wake.wait(lock, [&]() { return m_quit || m_changes != seen; });
            --m_idle;
        }
    }
}
