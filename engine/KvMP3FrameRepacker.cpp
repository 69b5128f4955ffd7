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
    std::unique_ptr<KvMP3GainFrameInfo[]> records;
    qint64 capacity = 0;
    qint64 seen = 0;
    bool failed = false;
    bool stopped = false;
    bool farOffset = false;
    {
        const qint64 fileSize = file.size();
        RecordScanner scanner(format);
        KvMp3InputBuffer &in = scanner.input();
        const auto consume = [&](const Mpg123FrameStart &f) {
            const qint64 i = seen++;
            if (stopRequested(i)) {
                stopped = true;
                return false;
            }
            // Room for this record and the zero record after it. The first
            // frame's length gives the count of a constant-bitrate file; the
            // pages of a table too large for a variable one are never touched.
            if (i + 2 > capacity) {
                const qint64 grown = capacity > 0 ? capacity * 2 : fileSize / (qint64(f.bodyBytes) + 4) + 16;
                std::unique_ptr<KvMP3GainFrameInfo[]> bigger(new KvMP3GainFrameInfo[size_t(grown)]);
                if (i > 0)
                    std::memcpy(bigger.get(), records.get(), size_t(i) * sizeof(KvMP3GainFrameInfo));
                records = std::move(bigger);
                capacity = grown;
            }
            if (f.offset > qint64(UINT32_MAX))
                farOffset = true;
            // The scan reads a frame's header, CRC word and side information
            // only; the rest of the buffer stands for the main data.
            for (int k = 0; k < 4; ++k)
                in.data[k] = uint8_t(f.header >> (24 - 8 * k));
            std::memcpy(in.data + 4, f.body, sizeof f.body);
            in.length = std::min<int64_t>(int64_t(f.bodyBytes) + 4, kReadBufferSize);
            in.used = 0;
            if (!scanner.parse(records[size_t(i)], f.offset)) {
                failed = true;
                return false;
            }
            return true;
        };
        const bool indexed = readMpg123FrameStarts(file.fileName(), offsets, consume);
        if (stopped)
            return -12;
        if (!indexed)
            return -3;
    }
    if (!usableIndex(offsets))
        return -3;

    // After a failure the index may name frames past the failing one.
    bool same = !farOffset && (failed ? seen <= qint64(offsets.size()) : seen == qint64(offsets.size()));
    for (qint64 k = 0; same && k < seen; ++k)
        same = qint64(records[size_t(k)].offset) == offsets[size_t(k)];
    if (same) {
        const qint64 count = seen - (failed ? 1 : 0);
        if (count == 0)
            return -6;
        // The terminating record; after a failure it keeps the failing frame's offset.
        std::memset(&records[size_t(count)], 0, sizeof(KvMP3GainFrameInfo));
        if (failed)
            records[size_t(count)].offset = uint32_t(offsets[size_t(count)]);
        m_table.reset(records.release());
        m_firstFrameOffset = offsets[0];
        m_frameCount = count;
        return count;
    }

    // libmpg123 handed over frames its index does not name: read the frames
    // again at the index's offsets, with fresh format facts. The index is
    // whole unless the walk was stopped at a failing frame.
    records.reset();
    *format = KvMP3FrameSizeInfo();
    if (failed && (!buildMpg123FrameIndex(file.fileName(), offsets) || !usableIndex(offsets)))
        return -3;
    return scanAtOffsets(offsets);
}

qint64 KvMP3FrameRepacker::scanAtOffsets(const std::vector<qint64> &offsets)
{
    KvMP3FrameSizeInfo *format = mp3SizeInfo();
    const qint64 count = qint64(offsets.size());

    // The index gives the frame count: size the table once, with its terminating record.
    m_table.reset(new KvMP3GainFrameInfo[size_t(count) + 1]());
    KvMP3GainFrameInfo *table = m_table.get();

    RecordScanner scanner(format);
    KvMp3InputBuffer &in = scanner.input();
    ReadAhead reader(m_fileInfo->file());

    // Reads frame k: the bytes up to the next frame, at most the buffer. What
    // lies beyond (a large tag between frames, say) is skipped.
    const auto readFrame = [&](qint64 k) {
        const qint64 distance = k + 1 < count ? offsets[size_t(k) + 1] - offsets[size_t(k)] : kReadBufferSize;
        const qint64 n = reader.read(offsets[size_t(k)], in.data, std::min(distance, kReadBufferSize));
        if (n <= 0)
            return -5;
        in.length = n;
        in.used = 0;
        return 0;
    };

    int code = readFrame(0);
    qint64 i = 0;
    const bool started = code == 0;
    if (started) {
        while (i < count) {
            if (!scanner.parse(table[i], offsets[size_t(i)])) {
                code = -6;
                break;
            }
            if (stopRequested(i)) {
                code = -12;
                break;
            }
            ++i;
            if (i < count) {
                code = readFrame(i);
                if (code != 0)
                    break;
            }
        }
    }
    if (started) {
        // The terminating record; after a failure it keeps the failing frame's offset.
        table[i] = KvMP3GainFrameInfo{};
        if (i < count)
            table[i].offset = uint32_t(offsets[size_t(i)]);
    }

    if (code == -12)
        return -12;
    if (code == 0 || i > 0) {
        m_firstFrameOffset = offsets[0];
        // Frames after a failure are not indexed: the table ends here.
        m_frameCount = i;
        return i;
    }
    return code;
}
