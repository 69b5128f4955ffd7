#include "KvMP3AudioListFileIO.h"

#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvFrameRepacker.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3FrameSizeInfo.h"
#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvMp3FrameCheck.h"
#include "KvMp3FrameStep.h"
#include "KvMp3GainPatch.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

constexpr qint64 kInputSize = 32768;
constexpr qint64 kWindowSize = 65536;
// Frames planned beyond a chunk to find where the next one can start empty.
constexpr qint64 kChunkLookahead = 550;
// Shorter runs are rebuilt: taking the rebuilder up again after a run costs
// the parsing of up to ten frames.
constexpr qint64 kMinCopyRun = 32;

std::atomic<bool> g_wholeFrameCopy{true};

bool keepsSourceLayout(const KvMP3GainChangeInfo &e, const KvMP3GainFrameInfo &src)
{
    return e.bitrateIndex() == src.bitrateIndex() && e.mainDataBegin == int(src.mainDataBegin) &&
           !(e.flags & (KvMp3EditFlag::Silenced | KvMp3EditFlag::Dropped)) && !(src.flags & KvMp3FrameFlag::Broken);
}

} // namespace

void KvMP3AudioListFileIO::setWholeFrameCopy(bool on)
{
    g_wholeFrameCopy = on;
}

KvMP3AudioListFileIO::KvMP3AudioListFileIO() : m_writer(65536), m_input(kInputSize)
{
    m_input.crcCheck = 1;
}

KvMP3AudioListFileIO::~KvMP3AudioListFileIO()
{
    shutDown();
}

quint64 KvMP3AudioListFileIO::takeFramesRead()
{
    const quint64 n = m_framesRead;
    m_framesRead = 0;
    return n;
}

bool KvMP3AudioListFileIO::setSource(const boost::shared_ptr<KvRepackInfoPtrList> &document, int tag, int chunkFrames)
{
    Q_UNUSED(tag);
    m_emitPending = false;
    m_copyLeft = 0;
    m_resume = false;
    m_framesCopied = 0;
    clearReady();
    m_error.clear();
    m_chunked = chunkFrames != 0;
    if (m_iterator)
        m_previous = std::move(m_iterator);
    m_finished = false;
    m_document = document;
    if (m_chunked) {
        m_chunkSize = std::max(0, chunkFrames);
        m_position = 0;
        m_total = document ? document->totalFrames() : 0;
        nextChunk(true);
    } else {
        m_chunkSize = 0;
        m_iterator.reset(new KvMP3FrameListIterator(document, true));
    }
    if (KvMP3RepackInfoPtrList *mp3 = dynamic_cast<KvMP3RepackInfoPtrList *>(document.get()))
        m_handle.setForceJointStereo(mp3->jointStereoPresent());
    return true;
}

bool KvMP3AudioListFileIO::nextChunk(bool chunked)
{
    if (m_chunkSize == 0 || !m_document || m_total - m_position <= 0)
        return false;
    const qint64 n = std::min<qint64>(m_chunkSize, m_total - m_position);
    if (m_iterator)
        m_previous = std::move(m_iterator);

    KvRepackInfoPtrListPtr chunk;
    if (chunked) {
        const qint64 ahead = std::min(n + kChunkLookahead, m_total - m_position);
        const KvRepackInfoPtrListPtr window = m_document->copyRange(m_position, ahead);
        const int r = KvPrepareRepackFlagged(window, true);
        if (r > 0 && r != ahead) {
            chunk = m_document->copyRange(m_position, r);
            m_position += r;
        }
    }
    if (!chunk) {
        chunk = m_document->copyRange(m_position, n);
        m_position += n;
    }
    KvPrepareRepack(chunk);
    m_iterator.reset(new KvMP3FrameListIterator(chunk, true));
    return true;
}

void KvMP3AudioListFileIO::close()
{
    shutDown();
    KvAudioListFileIO::close();
}

void KvMP3AudioListFileIO::shutDown()
{
    m_finished = true;
    m_emitPending = false;
    m_copyLeft = 0;
    m_resume = false;
    clearReady();
    m_iterator.reset();
    m_previous.reset();
    m_windowFile = nullptr;
    m_windowSize = 0;
    std::vector<char>().swap(m_window);
    m_writer.clear();
}

void KvMP3AudioListFileIO::clearReady()
{
    m_ready.clear();
    m_readyAt = 0;
    m_readyLengths.clear();
}

void KvMP3AudioListFileIO::fail(const QString &text)
{
    m_error = text;
    shutDown();
}

void KvMP3AudioListFileIO::takeFrame()
{
    if (m_writer.overflow()) {
        fail(tr("A rebuilt frame does not fit the output buffer."));
        return;
    }
    if (m_writer.size() > 0) {
        const char *p = reinterpret_cast<const char *>(m_writer.data());
        m_ready.insert(m_ready.end(), p, p + m_writer.size());
        m_readyLengths.push_back(int(m_writer.size()));
    }
    m_writer.clear();
}

bool KvMP3AudioListFileIO::advance()
{
    if (!m_iterator)
        return false;
    if (m_iterator->next())
        return true;
    while (m_chunked && nextChunk(true)) {
        if (m_iterator->next())
            return true;
    }
    return false;
}

const KvFile *KvMP3AudioListFileIO::sourceFile()
{
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const boost::shared_ptr<KvFrameRepacker> source = fragment ? fragment->source() : boost::shared_ptr<KvFrameRepacker>();
    const KvFile *file = source ? source->device() : nullptr;
    if (!file || !file->isOpen()) {
        fail(tr("The source file %1 is not open.").arg(fragment ? fragment->sourcePath() : QString()));
        return nullptr;
    }
    return file;
}

bool KvMP3AudioListFileIO::readCurrentFrame()
{
    m_input.used = 0;
    m_input.length = 0;
    if (m_iterator->context().silentSource)
        return true;
    return readSourceFrame(m_iterator->sourcePosition());
}

bool KvMP3AudioListFileIO::readSourceFrame(qint64 index)
{
    m_input.used = 0;
    m_input.length = 0;
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const KvFile *file = sourceFile();
    if (!file)
        return false;
    const QString name = fragment->sourcePath();
    const KvMP3GainFrameInfo *table = fragment->sourceFrameTable();
    const qint64 offset = qint64(table[index].offset);
    qint64 length = kInputSize;
    if (index + 1 < fragment->sourceFrameCount())
        length = std::min<qint64>(kInputSize, qint64(table[index + 1].offset) - offset);
    if (length <= 0) {
        fail(tr("The frame index of %1 is damaged.").arg(name));
        return false;
    }

    const bool inWindow = file == m_windowFile && offset >= m_windowStart &&
                          (offset + length <= m_windowStart + m_windowSize ||
                           (m_windowSize < kWindowSize && offset < m_windowStart + m_windowSize));
    if (!inWindow) {
        if (m_window.size() < size_t(kWindowSize))
            m_window.resize(size_t(kWindowSize));
        const qint64 n = file->readAt(offset, m_window.data(), kWindowSize);
        if (n <= 0) {
            m_windowFile = nullptr;
            fail(n < 0 ? tr("Failed to read from %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno)))
                       : tr("The file %1 ends before frame %2.").arg(name).arg(index));
            return false;
        }
        if (!framesAsIndexed(m_window.data(), n, index)) {
            m_windowFile = nullptr;
            return false;
        }
        m_windowFile = file;
        m_windowStart = offset;
        m_windowSize = n;
    }
    const qint64 have = std::min(length, m_windowStart + m_windowSize - offset);
    std::memcpy(m_input.data, m_window.data() + (offset - m_windowStart), size_t(have));
    m_input.length = have;
    return true;
}

// Every source byte this device reads comes through here (the read-ahead
// window and the copied runs). Another program may have written to the
// source since it was indexed; the descriptor still reads the file that was
// indexed even when another file was renamed over its path, so only writes
// into that file itself show up here, as headers that no longer match.
bool KvMP3AudioListFileIO::framesAsIndexed(const char *bytes, qint64 length, qint64 index)
{
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const KvMP3FrameSizeInfo *format = fragment->sourceSizeInfo();
    if (!format)
        return true;
    if (KvMp3FirstChangedFrame(bytes, length, qint64(fragment->sourceFrameTable()[index].offset),
                               fragment->sourceFrameTable(), index, fragment->sourceFrameCount(), *format) < 0)
        return true;
    fail(KvFile::changedText(fragment->sourcePath()));
    return false;
}

// A frame comes out of the rebuilder as it is in its source, but for its
// global_gain fields and CRC word, when it keeps its source layout, and so do
// all frames whose payload bytes share its main-data area, and the fill
// between them: up to the first frame whose payload starts after its area.
// All of them must lie in this fragment, with their reservoir bytes refilled
// since it began. A gain edit changes only the side information, so it does
// not end a run: copied frames get their gains written in place.
qint64 KvMP3AudioListFileIO::copyRunLength() const
{
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const KvMP3GainFrameInfo *table = fragment ? fragment->sourceFrameTable() : nullptr;
    KvMP3GainChangeInfo *edits = fragment ? fragment->frameTable() : nullptr;
    if (!table || !edits)
        return 0;
    const qint64 first = fragment->firstFrame();
    const qint64 end = first + fragment->frameCount();
    const auto edit = [&](qint64 j) -> const KvMP3GainChangeInfo & { return edits[fragment->gainRecordBase() + j - first]; };
    const auto kept = [&](qint64 j) { return j < end && keepsSourceLayout(edit(j), table[j]); };

    const qint64 start = m_iterator->sourcePosition();
    qint64 refilled = m_handle.state().refilled;
    qint64 j = start;
    for (;; ++j) {
        if (!kept(j) || table[j].mainDataBegin > refilled)
            break;
        qint64 t = j + 1;
        for (qint64 before = 0; t < end && table[t].mainDataBegin > before && kept(t); ++t)
            before += table[t].capacity;
        if (!kept(t))
            break;
        refilled += table[j].capacity;
    }
    return j - start;
}

bool KvMP3AudioListFileIO::enterCopyRun()
{
    KvMp3ReservoirRepacker &st = m_handle.state();
    const int begin = m_iterator->context().editRecord->mainDataBegin;
    if (st.skipBytes != 0 || st.refilled < begin)
        return false;
    // What the waiting frames still lack: exactly the bytes in front of this
    // frame's area, which its source has at the end of the ring.
    int awaited = -st.fifoFill();
    for (int i = st.slotRead, n = st.pendingFrames(); n > 0; --n, i = (i + 1) & KvMp3ReservoirRepacker::kSlotMask) {
        KvMP3FrameRepackData &slot = st.outputSlots[i];
        awaited += KvMp3ReservoirRepacker::slotLayout(slot).capacity - int(slot.written);
    }
    if (awaited != begin)
        return false;
    st.pushPayload(st.ringWrite - begin, begin);
    while (st.pendingFrames() > 0) {
        bool emitted = false;
        st.emitFrame(&m_writer, emitted);
        if (!emitted)
            break;
        takeFrame();
    }
    if (st.pendingFrames() > 0 || st.fifoFill() != 0) {
        fail(tr("The frames before a copied run could not be completed."));
        return false;
    }
    return !m_finished;
}

int KvMP3AudioListFileIO::copiedFrameLength(const uint8_t *p, qint64 avail, const KvMP3GainFrameInfo &rec) const
{
    KvMp3FrameHeader h{};
    if (avail < 4 || p[0] != 0xFF || KvMp3DecodeHeader(p, 4, h, nullptr) != KvMp3SyntaxOk || h.layer != 3)
        return 0;
    if (h.bitrate_index != rec.bitrateIndex() || h.padding != ((rec.flags & KvMp3FrameFlag::Padding) ? 1 : 0) ||
        h.error_protection != ((rec.flags & KvMp3FrameFlag::Crc) ? 1 : 0))
        return 0;
    // The rebuilder would turn it into joint stereo.
    if (m_handle.state().forceJointStereo && h.mode == 0 && h.mode_extension == 0)
        return 0;
    const int length = KvMp3FrameLength(h.version, h.bitrate_index, h.sampling_frequency, h.padding);
    const int capacity = length - KvMp3SideInfoSize(h.version, h.mode) - (h.error_protection ? 6 : 4);
    if (std::max(0, capacity) != rec.capacity)
        return 0;
    return length <= avail ? length : 0;
}

bool KvMP3AudioListFileIO::copyCurrentFrame()
{
    if (!readCurrentFrame())
        return false;
    const KvMp3FrameContext &ctx = m_iterator->context();
    const int n = copiedFrameLength(m_input.data, m_input.length, *ctx.sourceRecord);
    if (n <= 0)
        return false;
    if (KvMp3HasGainEdit(*ctx.editRecord))
        KvMp3PatchFrameGains(m_input.data, *ctx.editRecord, *ctx.sourceRecord);
    const char *p = reinterpret_cast<const char *>(m_input.data);
    m_ready.insert(m_ready.end(), p, p + n);
    m_readyLengths.push_back(n);
    ++m_framesCopied;
    return true;
}

qint64 KvMP3AudioListFileIO::copyAhead(char *out, qint64 room, qint64 *frames)
{
    *frames = 0;
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const KvMP3GainFrameInfo *table = fragment->sourceFrameTable();
    const qint64 from = m_iterator->sourcePosition() + 1;
    // Frames that lie back to back in the file and fit.
    qint64 n = 0;
    const qint64 start = qint64(table[from].offset);
    while (n < m_copyLeft && qint64(table[from + n + 1].offset) - start <= room &&
           table[from + n + 1].offset > table[from + n].offset)
        ++n;
    if (n == 0)
        return 0;
    const qint64 bytes = qint64(table[from + n].offset) - start;
    const KvFile *file = sourceFile();
    if (!file)
        return 0;
    const qint64 got = file->readAt(start, out, bytes);
    if (got != bytes) {
        fail(got < 0 ? tr("Failed to read from %1: %2").arg(fragment->sourcePath(), QString::fromLocal8Bit(std::strerror(errno)))
                     : tr("The file %1 ends before frame %2.").arg(fragment->sourcePath()).arg(from + n - 1));
        return 0;
    }
    if (!framesAsIndexed(out, bytes, from))
        return 0;
    // Each frame must be whole and as planned, with nothing between them; its
    // gain edit goes straight into its bytes.
    uint8_t *p = reinterpret_cast<uint8_t *>(out);
    const KvMP3GainChangeInfo *edits = fragment->frameTable() + (fragment->gainRecordBase() + from - fragment->firstFrame());
    qint64 k = 0;
    for (; k < n; ++k) {
        const qint64 at = qint64(table[from + k].offset) - start;
        const qint64 next = qint64(table[from + k + 1].offset) - start;
        if (copiedFrameLength(p + at, bytes - at, table[from + k]) != next - at)
            break;
        if (KvMp3HasGainEdit(edits[k]))
            KvMp3PatchFrameGains(p + at, edits[k], table[from + k]);
    }
    if (k == 0)
        return 0;
    m_iterator->advanceInFragment(k);
    m_framesRead += quint64(k);
    m_framesCopied += quint64(k);
    m_copyLeft -= k;
    if (m_copyLeft == 0)
        m_resume = true;
    *frames = k;
    return qint64(table[from + k].offset) - start;
}

bool KvMP3AudioListFileIO::refillBefore(qint64 at)
{
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const KvMP3GainFrameInfo *table = fragment->sourceFrameTable();
    const KvMP3FrameSizeInfo *format = m_iterator->context().format;
    if (!table || !format)
        return true;
    // Enough frames to hold the largest reservoir a frame can reach back for.
    const int limit = KvMp3MainDataBeginLimit(format->versionCode());
    qint64 from = at;
    for (qint64 bytes = 0; from > 0 && bytes < limit;)
        bytes += table[--from].capacity;
    for (qint64 i = from; i < at; ++i) {
        if (!readSourceFrame(i))
            return false;
        KvMp3FrameContext ctx;
        ctx.fragmentFirst = fragment->firstFrame();
        ctx.preRoll = 1;
        ctx.firstPreRoll = i == from;
        ctx.lastPreRoll = i == at - 1;
        ctx.sourceRecord = const_cast<KvMP3GainFrameInfo *>(table + i);
        ctx.format = m_iterator->context().format;
        const int r = KvMP3FrameRepacker::parseFrameAt(m_handle, m_input, &m_writer, ctx, ctx.format);
        if (r != KvMp3StepNeedMore && r != KvMp3StepOk) {
            fail(tr("Frame %1 of %2 cannot be read (error %3).").arg(i).arg(fragment->sourcePath()).arg(r));
            return false;
        }
    }
    return true;
}

bool KvMP3AudioListFileIO::resumeAfterCopy()
{
    m_handle.reset();
    if (!refillBefore(m_iterator->sourcePosition()))
        return false;
    // The copied frames already hold the start of this frame's payload.
    m_handle.state().skipBytes = m_iterator->context().editRecord->mainDataBegin;
    return true;
}

bool KvMP3AudioListFileIO::produce()
{
    while (m_readyLengths.empty()) {
        if (m_finished)
            return false;
        if (m_emitPending) {
            const int r = m_handle.emitPending(m_writer);
            m_emitPending = r == KvMp3StepFifoPending;
            if (r == KvMp3StepOk || r == KvMp3StepFifoPending)
                takeFrame();
            continue;
        }
        if (!advance()) {
            if (m_finished)
                return false;
            // The end: the waiting frames are completed one at a time.
            if (m_handle.flush(m_writer)) {
                takeFrame();
                continue;
            }
            shutDown();
            return false;
        }
        ++m_framesRead;
        KvMp3FrameContext &ctx = m_iterator->context();
        if (m_iterator->enteredNewFragment()) {
            m_handle.reset();
            m_copyLeft = 0;
            m_resume = false;
            // At low bitrates the fragment's margin frames may hold fewer
            // bytes than its first frames reach back for: frames before the
            // margin refill the ring first.
            const qint64 margin = ctx.preRoll ? ctx.fragmentFirst - m_iterator->sourcePosition() : 0;
            qint64 bytes = 0;
            for (qint64 i = 0; i < margin; ++i)
                bytes += ctx.sourceRecord[i].capacity;
            if (!ctx.silentSource && ctx.format && bytes < KvMp3MainDataBeginLimit(ctx.format->versionCode()) &&
                !refillBefore(m_iterator->sourcePosition()))
                return false;
        }
        if (m_copyLeft == 0 && !m_resume && !ctx.preRoll && g_wholeFrameCopy) {
            const qint64 run = copyRunLength();
            if (run >= kMinCopyRun && enterCopyRun())
                m_copyLeft = run;
            if (m_finished)
                return false;
        }
        if (m_copyLeft > 0) {
            --m_copyLeft;
            if (copyCurrentFrame()) {
                m_resume = m_copyLeft == 0;
                continue;
            }
            if (m_finished)
                return false;
            // Not the frame the plan copies: the rebuilder takes it.
            m_copyLeft = 0;
            m_resume = true;
        }
        if (m_resume) {
            m_resume = false;
            if (!resumeAfterCopy())
                return false;
        }
        if (!readCurrentFrame())
            return false;
        const int r = KvMP3FrameRepacker::parseFrameAt(m_handle, m_input, &m_writer, ctx, ctx.format);
        if (r == KvMp3StepOk || r == KvMp3StepFifoPending) {
            takeFrame();
            m_emitPending = r == KvMp3StepFifoPending;
        } else if (r != KvMp3StepNeedMore) {
            KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
            fail(tr("Frame %1 of %2 cannot be read (error %3).")
                     .arg(m_iterator->sourcePosition())
                     .arg(fragment ? fragment->sourcePath() : QString())
                     .arg(r));
            return false;
        }
    }
    return true;
}

qint64 KvMP3AudioListFileIO::readFrames(char *data, qint64 maxSize, qint64 *frames)
{
    *frames = 0;
    qint64 total = 0;
    for (;;) {
        // Frames already made, whole.
        while (!m_readyLengths.empty() && m_readyLengths.front() <= maxSize - total) {
            const int n = m_readyLengths.front();
            std::memcpy(data + total, m_ready.data() + m_readyAt, size_t(n));
            m_readyAt += size_t(n);
            m_readyLengths.pop_front();
            total += n;
            ++*frames;
        }
        if (m_readyLengths.empty())
            clearReady();
        else
            break;
        if (m_copyLeft > 0) {
            qint64 copied = 0;
            total += copyAhead(data + total, maxSize - total, &copied);
            *frames += copied;
            if (m_finished)
                break;
            if (copied > 0)
                continue;
        }
        if (total > 0 && maxSize - total < kInputSize)
            break;
        if (!produce())
            break;
    }
    if (total == 0 && !m_readyLengths.empty())
        return -1;
    return total;
}

qint64 KvMP3AudioListFileIO::readData(char *data, qint64 maxSize)
{
    if (m_readyLengths.empty() && !produce())
        return 0;
    const int n = m_readyLengths.front();
    if (n > maxSize)
        return -1;
    std::memcpy(data, m_ready.data() + m_readyAt, size_t(n));
    m_readyAt += size_t(n);
    m_readyLengths.pop_front();
    if (m_readyLengths.empty())
        clearReady();
    return n;
}
