#include "KvMP3FrameRepacker.h"

#include "KvFile.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameStep.h"
#include "KvMp3ReservoirRepacker.h"
#include "KvOpaqueAudioFileInfo.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

namespace {

// Serves the frames of a sequential scan from large positional reads, so that a
// file of a hundred thousand frames costs a few hundred reads, not one per frame.
class ReadAhead {
public:
    explicit ReadAhead(const KvFile &file) : m_file(file), m_window(kWindow) {}

    // Copies up to len bytes at pos into out; returns the count, 0 at the end
    // of the file, -1 on a read error.
    qint64 read(qint64 pos, uint8_t *out, qint64 len)
    {
        const bool inWindow = pos >= m_start && pos <= m_start + m_size;
        if (!inWindow || (pos + len > m_start + m_size && !m_atEnd)) {
            if (!fill(pos, len))
                return -1;
        }
        const qint64 n = std::max<qint64>(0, std::min(len, m_start + m_size - pos));
        std::memcpy(out, m_window.data() + (pos - m_start), size_t(n));
        return n;
    }

private:
    static constexpr qint64 kWindow = 1 << 20;

    bool fill(qint64 pos, qint64 len)
    {
        if (qint64(m_window.size()) < len)
            m_window.resize(size_t(len));
        const qint64 n = m_file.readAt(pos, reinterpret_cast<char *>(m_window.data()), qint64(m_window.size()));
        if (n < 0)
            return false;
        m_start = pos;
        m_size = n;
        m_atEnd = n < qint64(m_window.size());
        return true;
    }

    const KvFile &m_file;
    std::vector<uint8_t> m_window;
    qint64 m_start = 0;
    qint64 m_size = 0;
    bool m_atEnd = false;
};

// The index must give one strictly increasing offset per frame, each fitting
// the 32-bit offset of the frame record.
bool usableIndex(const std::vector<qint64> &offsets)
{
    if (offsets.empty())
        return false;
    qint64 previous = -1;
    for (qint64 o : offsets) {
        if (o <= previous || o > qint64(UINT32_MAX))
            return false;
        previous = o;
    }
    return true;
}

} // namespace

KvMP3FrameRepacker::KvMP3FrameRepacker()
{
    m_format.reset(new KvMP3FrameSizeInfo);
    m_fileInfo.reset(new KvOpaqueAudioFileInfo);
}

KvMP3FrameRepacker::KvMP3FrameRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    m_frameCount = kSilentFrameCount;
    m_format = format;
    m_fileInfo.reset(new KvOpaqueAudioFileInfo);
}

KvMP3FrameRepacker::~KvMP3FrameRepacker() = default;

KvMP3FrameSizeInfo *KvMP3FrameRepacker::mp3SizeInfo() const
{
    return dynamic_cast<KvMP3FrameSizeInfo *>(m_format.get());
}

namespace {

// Parses source frames one after another into their records: the state the
// frame step carries from frame to frame, and the buffer each frame is put in.
class RecordScanner {
public:
    explicit RecordScanner(KvMP3FrameSizeInfo *format)
        : m_format(format), m_state(new KvMp3ReservoirRepacker), m_in(KvMP3FrameRepacker::kReadBufferSize)
    {
        m_in.crcCheck = 1;
    }

    KvMp3InputBuffer &input() { return m_in; }

    // Parses the frame in the input into rec, which lies in a table after the
    // records of the frames before it; false when the frame cannot be parsed.
    bool parse(KvMP3GainFrameInfo &rec, qint64 offset)
    {
        // Whole, padding included: tables are compared byte for byte.
        std::memset(&rec, 0, sizeof rec);
        rec.offset = uint32_t(offset);
        m_ctx.clear();
        m_ctx.sourceRecord = &rec;
        m_ctx.nextSourceRecord = &rec + 1;
        return KvMp3FrameStep(m_in, *m_state, nullptr, m_ctx, m_format) == KvMp3StepOk;
    }

private:
    KvMP3FrameSizeInfo *m_format;
    std::unique_ptr<KvMp3ReservoirRepacker> m_state;
    KvMp3InputBuffer m_in;
    KvMp3FrameContext m_ctx;
};

// Which format a header names: version, layer, sampling frequency and mono or
// not; -1 when it is no valid header.
int formatSignature(const uint8_t *header)
{
    KvMp3FrameHeader h{};
    if (KvMp3DecodeHeader(header, 4, h, nullptr) != KvMp3SyntaxOk || header[0] != 0xFF)
        return -1;
    return ((h.version * 4 + h.layer) * 4 + h.sampling_frequency) * 2 + (h.mode == 3 ? 1 : 0);
}

} // namespace

// Walks the frames of a scan in file order into a growing record table.
// Damage stays in place as broken frames. A run of frames outside the stream's
// format that all share one other format is where the stream changes format
// (two files joined): the frames kept end before it.
class KvMp3ScanWalk {
public:
    // Frames of one other format in a row that make a change of format; a
    // shorter run counts when it reaches the end of the index.
    static constexpr qint64 kChangeRun = 8;
    static constexpr qint64 kChangeRunAtEnd = 2;

    explicit KvMp3ScanWalk(KvMP3FrameSizeInfo *format) : m_format(format), m_scanner(format) {}

    KvMp3InputBuffer &input() { return m_scanner.input(); }
    // Table size to start with, when known.
    void setCapacityHint(qint64 n) { m_hint = n; }

    // Parses the frame now in the input, found at offset. False ends the walk:
    // the frame cannot be parsed (a truncated frame) or the format changed.
    bool add(qint64 offset)
    {
        const qint64 i = m_count;
        // Room for this record and the zero record after it.
        if (i + 2 > m_capacity) {
            const qint64 grown = m_capacity > 0 ? m_capacity * 2 : std::max<qint64>(m_hint, i + 2);
            std::unique_ptr<KvMP3GainFrameInfo[]> bigger(new KvMP3GainFrameInfo[size_t(grown)]);
            if (i > 0)
                std::memcpy(bigger.get(), m_records.get(), size_t(i) * sizeof(KvMP3GainFrameInfo));
            m_records = std::move(bigger);
            m_capacity = grown;
        }
        KvMp3InputBuffer &in = input();
        const uint8_t *frame = in.data + in.used;
        const size_t avail = size_t(std::max<int64_t>(0, in.length - in.used));
        const bool outside = i > 0 && m_format && KvMp3OutsideFormat(frame, avail, *m_format);
        const int signature = outside && avail >= 4 ? formatSignature(frame) : -1;
        if (!m_scanner.parse(m_records[size_t(i)], offset)) {
            m_failed = true;
            return false;
        }
        ++m_count;
        if (!outside) {
            m_runStart = -1;
            return true;
        }
        if (m_runStart < 0) {
            m_runStart = i;
            m_runSignature = signature;
        } else if (signature != m_runSignature) {
            m_runSignature = -1;
        }
        if (m_runSignature >= 0 && m_count - m_runStart >= kChangeRun) {
            m_changed = true;
            return false;
        }
        return true;
    }

    bool failed() const { return m_failed; }
    bool changed() const { return m_changed; }
    // Frames handed to add, the one that failed included.
    qint64 seen() const { return m_count + (m_failed ? 1 : 0); }
    qint64 offsetOf(qint64 i) const { return qint64(m_records[size_t(i)].offset); }

    // Ends the walk at the end of the index (or where add refused a frame):
    // the frames kept, with the terminating record after them. After a walk
    // that ended early it keeps the offset of the frame it ended at.
    qint64 finish(KvScanReport &damage)
    {
        if (!m_failed && !m_changed && m_runStart >= 0 && m_runSignature >= 0
            && m_count - m_runStart >= kChangeRunAtEnd)
            m_changed = true;
        const qint64 kept = m_changed ? m_runStart : m_count;
        if (kept > 0) {
            KvMP3GainFrameInfo &end = m_records[size_t(kept)];
            const uint32_t offset = m_changed || m_failed ? end.offset : 0;
            end = KvMP3GainFrameInfo{};
            end.offset = offset;
        }
        damage = KvScanReport();
        for (qint64 k = 0; k < kept; ++k)
            if (m_records[size_t(k)].flags & KvMp3FrameFlag::Broken)
                ++damage.damagedFrames;
        if (m_changed) {
            damage.cutAtFrame = kept;
            damage.cutAtOffset = offsetOf(kept);
        }
        return kept;
    }

    std::unique_ptr<KvMP3GainFrameInfo[]> release() { return std::move(m_records); }

private:
    KvMP3FrameSizeInfo *m_format;
    RecordScanner m_scanner;
    std::unique_ptr<KvMP3GainFrameInfo[]> m_records;
    qint64 m_capacity = 0;
    qint64 m_hint = 0;
    qint64 m_count = 0;
    bool m_failed = false;
    bool m_changed = false;
    qint64 m_runStart = -1;   // first frame of the current run outside the format
    int m_runSignature = -1;  // the run's one format, -1 when it has several
};

namespace {

std::atomic<bool> g_onePass{true};

bool stopRequested(qint64 frame)
{
    return frame % 100 == 0 && QThread::currentThread()->isInterruptionRequested();
}

} // namespace

void KvMP3FrameRepacker::setOnePassScan(bool on)
{
    g_onePass = on;
}

qint64 KvMP3FrameRepacker::scanFrames(const QString &path, QString &errorText)
{
    if (m_table)
        return -1;
    KvMP3FrameSizeInfo *format = mp3SizeInfo();
    if (!format || !m_fileInfo)
        return -1;
    // Until the scan succeeds the source holds no frames.
    m_frameCount = 0;
    m_scanReport = KvScanReport();

    KvFile &file = m_fileInfo->file();
    file.setFileName(path);
    if (!file.openShared(QIODevice::ReadOnly)) {
        errorText = tr("Failed to open MP3 audio file: %1").arg(file.errorString());
        return -1;
    }

    std::vector<qint64> offsets;
    if (!g_onePass) {
        if (!buildMpg123FrameIndex(file.fileName(), offsets) || !usableIndex(offsets))
            return -3;
        return scanAtOffsets(offsets);
    }

    // One pass: each frame is parsed as libmpg123 hands it over (libmpg123
    // reading on a thread of its own). The result stands when libmpg123's
    // index names exactly the offsets seen.
    KvMp3ScanWalk walk(format);
    bool stopped = false;
    bool farOffset = false;
    const qint64 fileSize = file.size();
    KvMp3InputBuffer &in = walk.input();
    const auto consume = [&](const Mpg123FrameStart &f) {
        const qint64 i = walk.seen();
        if (stopRequested(i)) {
            stopped = true;
            return false;
        }
        // The first frame's length gives the count of a constant-bitrate file;
        // the pages of a table too large for a variable one are never touched.
        if (i == 0)
            walk.setCapacityHint(fileSize / (qint64(f.bodyBytes) + 4) + 16);
        if (f.offset > qint64(UINT32_MAX))
            farOffset = true;
        // The scan reads a frame's header, CRC word and side information
        // only; the rest of the buffer stands for the main data.
        for (int k = 0; k < 4; ++k)
            in.data[k] = uint8_t(f.header >> (24 - 8 * k));
        std::memcpy(in.data + 4, f.body, sizeof f.body);
        in.length = std::min<int64_t>(int64_t(f.bodyBytes) + 4, kReadBufferSize);
        in.used = 0;
        return walk.add(f.offset);
    };
    const bool indexed = readMpg123FrameStarts(file.fileName(), offsets, consume);
    if (stopped)
        return -12;
    if (!indexed || !usableIndex(offsets))
        return -3;

    // A walk that ended early leaves the index naming frames past its end.
    const qint64 seen = walk.seen();
    const bool early = walk.failed() || walk.changed();
    bool same = !farOffset && (early ? seen <= qint64(offsets.size()) : seen == qint64(offsets.size()));
    for (qint64 k = 0; same && k < seen; ++k)
        same = walk.offsetOf(k) == offsets[size_t(k)];
    if (same)
        return keep(walk);

    // libmpg123 handed over frames its index does not name: read the frames
    // again at the index's offsets, with fresh format facts. The index is
    // whole unless the walk was stopped early.
    *format = KvMP3FrameSizeInfo();
    if (early && (!buildMpg123FrameIndex(file.fileName(), offsets) || !usableIndex(offsets)))
        return -3;
    return scanAtOffsets(offsets);
}

qint64 KvMP3FrameRepacker::keep(KvMp3ScanWalk &walk)
{
    KvScanReport damage;
    const qint64 count = walk.finish(damage);
    // Not an MP3 stream that damage left readable, but false frames libmpg123
    // found in other data: refused as not recognised.
    if (count == 0 || damage.damagedFrames * 2 > count)
        return -6;
    m_firstFrameOffset = walk.offsetOf(0);
    m_table.reset(walk.release().release());
    m_frameCount = count;
    m_scanReport = damage;
    return count;
}

qint64 KvMP3FrameRepacker::scanAtOffsets(const std::vector<qint64> &offsets)
{
    const qint64 count = qint64(offsets.size());
    KvMp3ScanWalk walk(mp3SizeInfo());
    // The index gives the frame count: the table is sized once, with its terminating record.
    walk.setCapacityHint(count + 1);
    KvMp3InputBuffer &in = walk.input();
    ReadAhead reader(m_fileInfo->file());

    // Reads frame k: the bytes up to the next frame, at most the buffer. What
    // lies beyond (a large tag between frames, say) is skipped.
    const auto readFrame = [&](qint64 k) {
        const qint64 distance = k + 1 < count ? offsets[size_t(k) + 1] - offsets[size_t(k)] : kReadBufferSize;
        const qint64 n = reader.read(offsets[size_t(k)], in.data, std::min(distance, kReadBufferSize));
        if (n <= 0)
            return n < 0 ? -4 : -5;
        in.length = n;
        in.used = 0;
        return 0;
    };

    for (qint64 i = 0; i < count; ++i) {
        if (stopRequested(i))
            return -12;
        const int code = readFrame(i);
        if (code != 0) {
            // Nothing to read at the first frame: the code; later the frames before.
            if (i == 0)
                return -5;
            break;
        }
        if (!walk.add(offsets[size_t(i)]))
            break;
    }
    return keep(walk);
}
