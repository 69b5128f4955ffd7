#include "KvMP3FrameRepacker.h"

#include "KvFile.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMp3FrameContext.h"
#include "KvMp3FrameStep.h"
#include "KvMp3ReservoirRepacker.h"
#include "KvOpaqueAudioFileInfo.h"

#include <QThread>

#include <algorithm>
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
    if (!buildMpg123FrameIndex(file.fileName(), offsets) || !usableIndex(offsets))
        return -3;
    const qint64 count = qint64(offsets.size());

    // The index gives the frame count: size the table once, with its terminating record.
    m_table.reset(new KvMP3GainFrameInfo[size_t(count) + 1]());
    KvMP3GainFrameInfo *table = m_table.get();

    std::unique_ptr<KvMp3ReservoirRepacker> state(new KvMp3ReservoirRepacker);
    KvMp3InputBuffer in(kReadBufferSize);
    in.crcCheck = 1;
    ReadAhead reader(file);

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
        KvMp3FrameContext ctx;
        while (i < count) {
            KvMP3GainFrameInfo &rec = table[i];
            rec = KvMP3GainFrameInfo{};
            rec.offset = uint32_t(offsets[size_t(i)]);
            ctx.clear();
            ctx.sourceRecord = &rec;
            ctx.nextSourceRecord = &rec + 1;
            if (KvMp3FrameStep(in, *state, nullptr, ctx, format) != KvMp3StepOk) {
                code = -6;
                break;
            }
            if (i % 100 == 0 && QThread::currentThread()->isInterruptionRequested()) {
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
