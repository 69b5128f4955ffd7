#include "KvDecodeThread.h"

#include "KvAudioGenerator.h"

#include <KvFrameSizeInfo.h>
#include <KvRepackInfoPtrList.h>

#include <vector>

namespace {
// Reads in a row that bring nothing before a run gives up on a generator that neither
// delivers nor admits that its range ran dry.
const int kMaxEmptyReads = 200;
const qint16 kNoLevel = qint16(0xFFFF);
} // namespace

KvDecodeThread::KvDecodeThread(const boost::shared_ptr<KvRepackInfoPtrList> &list,
                               const QAudioFormat &format, const KvAudioLibPtr &encoder, int mode,
                               int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
                               int resampleRate, bool writeOutput, double tempo, double pitch,
                               QObject *parent)
    : QThread(parent), stopSemaphore(0), m_writeOutput(writeOutput), m_list(list), m_tempo(tempo),
      m_pitch(pitch), m_format(format), m_encoder(encoder), m_mode(mode), m_bitrate(bitrate),
      m_vbrQuality(vbrQuality), m_resampleRatio(resampleRatio), m_channelsOut(channelsOut),
      m_resampleRate(resampleRate)
{
}

// Out of line: inlined into a caller, GCC 12 takes this atomic store for a
// write past a zero-sized object (-Wstringop-overflow).
void KvDecodeThread::setPaused(bool paused) { m_paused.store(paused); }

KvDecodeThread::~KvDecodeThread()
{
    // Owners stop and wait first; a thread still running here would use freed members.
    if (isRunning()) {
        requestStop();
        wait();
    }
    if (m_sink)
        m_sink->close();
}

void KvDecodeThread::requestStop()
{
    stopState.store(-1);
    stopSemaphore.release(1);
}

KvTempFilePtr KvDecodeThread::outputFile() const
{
    return m_sink ? m_sink->tempFile() : KvTempFilePtr();
}

qint64 KvDecodeThread::outputLength() const
{
    return m_sink ? m_sink->pcmBytesWritten() : 0;
}

void KvDecodeThread::run()
{
    m_errorText.clear();
    if (!m_list || m_list->totalFrames() <= 0 || !m_list->firstSourceInfo()) {
        m_errorText = tr("Nothing to decode.");
        return;
    }
    const boost::shared_ptr<KvFrameSizeInfo> source = m_list->firstSourceInfo();
    std::unique_ptr<KvAudioGenerator> generator(
        new KvAudioGenerator(nullptr, m_list, 1.0, m_channelsOut, nullptr, false));
    generator->start(0, -1);
    generator->openRange();

    const qint64 blockSize = qint64(16) * source->samplesPerFrame() * source->channelCount() * 2;
    std::vector<char> block(size_t(qMax<qint64>(blockSize, 4096)));

    const qint64 total = generator->bytesAvailable();
    emit decodeProgress(0);
    int lastPercent = 0;

    if (m_writeOutput) {
        m_sink.reset(new AudioInfo(m_encoder, m_format, m_mode, m_bitrate, m_vbrQuality,
                                   m_resampleRatio, m_channelsOut, m_resampleRate));
        m_errorText = m_sink->errorMessage();
        if (!m_errorText.isEmpty()) {
            generator->stop();
            return;
        }
        m_sink->openWrite();
        m_errorText = m_sink->errorMessage();
        if (!m_errorText.isEmpty() || !m_sink->isOpen()) {
            if (m_errorText.isEmpty())
                m_errorText = tr("Unable to open the audio encoder's output.");
            generator->stop();
            return;
        }
    }

    generator->TempoChanged(m_tempo);
    generator->PitchChanged(m_pitch);

    qint16 left = kNoLevel;
    qint16 right = kNoLevel;
    bool stopped = stopSemaphore.tryAcquire(1);
    int emptyReads = 0;
    while (!stopped && generator->retriesLeft() > 0 && !generator->rangeExhausted()) {
        if (m_paused.load()) {
            msleep(50);
        } else {
            const qint64 got = generator->read(block.data(), qint64(block.size()));
            if (got < 0)
                break;
            if (got == 0) {
                if (++emptyReads >= kMaxEmptyReads)
                    break;
            } else {
                emptyReads = 0;
                if (m_sink && m_sink->write(block.data(), got) < 0)
                    break;
            }
            generator->maxPeakLevels(&left, &right);
            if (total > 0) {
                qint64 remaining = generator->bytesAvailable();
                const int percent = int(qBound<qint64>(0, (total - remaining) * 100 / total, 100));
                if (percent != lastPercent) {
                    lastPercent = percent;
                    emit decodeProgress(percent);
                }
            }
            if (!m_writeOutput && (left == 32767 || right == 32767))
                break;
            if (m_sink && m_sink->hasError())
                break;
        }
        // Polled while paused too, so that a paused run can always be stopped.
        if (stopSemaphore.tryAcquire(1))
            stopped = true;
    }

    if (m_sink) {
        m_sink->flushLocked();
        if (m_sink->hasError())
            m_errorText = m_sink->errorMessage();
    }
    if (m_errorText.isEmpty() && !stopped)
        m_errorText = generator->errorText();
    generator->stop();
    emit MaxVolumes(left, right);
    if (m_sink)
        m_sink->close();
    generator.reset();
}
