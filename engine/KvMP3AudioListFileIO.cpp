#include "KvMP3AudioListFileIO.h"

#include "KvEngineFactories.h"
#include "KvFile.h"
#include "KvFrameRepacker.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3FrameRepacker.h"
#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvMp3FrameStep.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kInputSize = 32768;
constexpr qint64 kWindowSize = 65536;
// Frames planned beyond a chunk to find where the next one can start empty.
constexpr qint64 kChunkLookahead = 550;

} // namespace

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

bool KvMP3AudioListFileIO::readCurrentFrame()
{
    m_input.used = 0;
    m_input.length = 0;
    const KvMp3FrameContext &ctx = m_iterator->context();
    if (ctx.silentSource)
        return true;
    KvMP3RepackInfo *fragment = m_iterator->mp3Fragment();
    const boost::shared_ptr<KvFrameRepacker> source = fragment ? fragment->source() : boost::shared_ptr<KvFrameRepacker>();
    const KvFile *file = source ? source->device() : nullptr;
    const QString name = fragment ? fragment->sourcePath() : QString();
    if (!file || !file->isOpen()) {
        fail(tr("The source file %1 is not open.").arg(name));
        return false;
    }
    const qint64 offset = qint64(ctx.sourceRecord->offset);
    qint64 length = kInputSize;
    if (m_iterator->sourcePosition() + 1 < fragment->sourceFrameCount())
        length = std::min<qint64>(kInputSize, qint64(ctx.sourceRecord[1].offset) - offset);
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
                       : tr("The file %1 ends before frame %2.").arg(name).arg(m_iterator->sourcePosition()));
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
        if (m_iterator->enteredNewFragment())
            m_handle.reset();
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
