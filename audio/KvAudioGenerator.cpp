#include "KvAudioGenerator.h"

#include "KvAudioSink.h"
#include "KvAudioStream.h"
#include "KvEncoderFactory.h"
#include "KvEngineFactories.h"
#include "KvFrameSizeInfo.h"
#include "KvRepackInfoPtrList.h"
#include "audio_lib.h"

#include <QMutexLocker>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kRetries = 3;
constexpr int kInputSize = 32768;
// Larger than any one decode call can produce: the back-ends' output buffers are sized for
// 6 x 9216 values at the most common ratios, and receiving stops at this capacity anyway.
constexpr int kStagedSize = 512 * 1024;
// A stream that keeps answering "nothing this time" without ending has stopped working.
constexpr int kMaxEmptyReads = 64;
constexpr int kPlaybackChunkFrames = 100;

QMutex g_openerMutex;
KvAudioGenerator::StreamOpener g_opener;

QIODevice *openStream(const char *mode, const boost::shared_ptr<KvRepackInfoPtrList> &document, int chunkFrames)
{
    KvAudioGenerator::StreamOpener opener;
    {
        QMutexLocker lock(&g_openerMutex);
        opener = g_opener;
    }
    return opener ? opener(mode, document, chunkFrames) : KvAudioStreamOpen(mode, document, chunkFrames);
}
} // namespace

KvAudioGenerator::StreamOpener KvAudioGenerator::setStreamOpener(StreamOpener opener)
{
    QMutexLocker lock(&g_openerMutex);
    std::swap(g_opener, opener);
    return opener;
}

KvAudioGenerator::KvAudioGenerator(KvAudioSink *output, const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                   double resampleRatio, int channelsOut, QObject *parent, bool forPlayback)
    : QIODevice(parent), m_document(document), m_resampleRatio(resampleRatio), m_channelsOut(channelsOut),
      m_output(output), m_forPlayback(forPlayback)
{
    if (m_document)
        m_formatInfo = m_document->firstSourceInfo();
    if (!(m_resampleRatio > 0.0) || !std::isfinite(m_resampleRatio))
        m_resampleRatio = 1.0;
}

KvAudioGenerator::~KvAudioGenerator()
{
    QMutexLocker lock(&m_mutex);
    closeStreamLocked();
    if (m_decoder)
        m_decoder->close();
    m_decoder.reset();
    m_decoders.clear();
    m_reader.reset();
}

bool KvAudioGenerator::start(qint64 startFrame, qint64 frameCount)
{
    {
        QMutexLocker lock(&m_mutex);
        m_pendingStart = std::max<qint64>(0, startFrame);
        m_pendingCount = frameCount < -1 ? 0 : frameCount;
    }
    if (!isOpen())
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return true;
}

bool KvAudioGenerator::openRange()
{
    bool ok;
    {
        QMutexLocker lock(&m_mutex);
        ok = openRangeLocked();
    }
    emitPending();
    return ok;
}

void KvAudioGenerator::closeStreamLocked()
{
    if (m_reader)
        m_reader->setDevice(nullptr);
    if (m_stream) {
        KvAudioStreamClose(m_stream);
        m_stream = nullptr;
    }
}

void KvAudioGenerator::dropStagedLocked()
{
    const int frameBytes = 2 * (m_channelsOut > 0 ? m_channelsOut : m_channelCount);
    if (frameBytes > 0 && m_stagedLen > m_stagedPos)
        m_droppedOutputFrames += (m_stagedLen - m_stagedPos) / frameBytes;
    m_stagedPos = m_stagedLen = 0;
}

double KvAudioGenerator::outputUsLocked() const
{
    if (!m_decoder)
        return 0.0;
    return double(m_decoder->samplesOut() - m_droppedOutputFrames) * m_usPerOutputSample;
}

void KvAudioGenerator::failLocked(const QString &text)
{
    closeStreamLocked();
    dropStagedLocked();
    m_failed = true;
    m_errorText = text;
    m_emitFailed = true;
    runDryLocked();
}

void KvAudioGenerator::runDryLocked()
{
    m_retriesLeft = 0;
    if (!m_dryAnnounced) {
        m_dryAnnounced = true;
        m_emitRunDry = true;
    }
}

void KvAudioGenerator::emitPending()
{
    bool dry, failed;
    QString text;
    {
        QMutexLocker lock(&m_mutex);
        dry = m_emitRunDry;
        failed = m_emitFailed;
        text = m_errorText;
        m_emitRunDry = m_emitFailed = false;
    }
    if (failed)
        emit rangeFailed(text);
    if (dry)
        emit rangeRunDry();
}

bool KvAudioGenerator::openRangeLocked()
{
    if (m_pendingStart < 0)
        return true;
    const qint64 start = m_pendingStart;
    qint64 count = m_pendingCount;
    m_pendingStart = m_pendingCount = -1;
    if (count == -1)
        count = (m_document ? m_document->totalFrames() : 0) - start;
    m_rangeStart = start;
    m_rangeCount = std::max<qint64>(0, count);
    m_failed = false;
    m_dryAnnounced = false;
    m_errorText.clear();
    dropStagedLocked();
    m_emptyReads = 0;

    boost::shared_ptr<KvRepackInfoPtrList> sub;
    if (m_document && count > 0)
        sub = m_document->copyRange(start, count);
    // A source another program rewrote would decode as noise, or not at all.
    const QString changed = sub ? sub->changedSourceText() : QString();
    if (!changed.isEmpty()) {
        failLocked(changed);
        return false;
    }
    if (sub && !m_forPlayback)
        KvPrepareRepackFlagged(sub, false);
    closeStreamLocked();
    if (sub)
        m_stream = openStream("rb", sub, m_forPlayback ? kPlaybackChunkFrames : 0);
    if (!m_stream) {
        std::fputs("cannot open 'fragment list' input file\n", stdout);
        std::fflush(stdout);
        failLocked(tr("cannot open 'fragment list' input file"));
        return false;
    }
    if (m_reader)
        m_reader->setDevice(m_stream);

    if (!m_opened) {
        if (!m_formatInfo || m_formatInfo->sampleRate() <= 0 || m_formatInfo->samplesPerFrame() <= 0) {
            failLocked(tr("The document has no playable format."));
            return false;
        }
        m_reader.reset(new KvAudioFrameReader(m_stream));
        const QString suffix = documentFileSuffix(m_document);
        m_decoders = createEncoders(m_reader, false, suffix);
        if (m_decoders.isEmpty()) {
            failLocked(tr("No audio decoder is available for \"%1\" audio.").arg(suffix));
            return false;
        }
        m_decoder = m_decoders.first();
        m_samplesPerFrame = qint16(m_formatInfo->samplesPerFrame());
        m_sampleRate = m_formatInfo->sampleRate();
        m_channelCount = m_formatInfo->channelCount();
        m_bytesPerFrame = qint64(m_channelCount) * m_samplesPerFrame * 16 / 8;
        m_usPerOutputSample = 1000000.0 / m_sampleRate / m_resampleRatio;
        m_input[0].assign(kInputSize, 0);
        m_input[1].assign(kInputSize, 0);
        m_staged.assign(kStagedSize, 0);
        // A new decoder counts from 0.
        m_droppedOutputFrames = 0;
        m_tempoSegments.clear();
        if (!m_decoder->open(m_channelCount, 16, m_sampleRate, m_samplesPerFrame, 1, 0, 0, m_resampleRatio,
                             m_channelsOut, 0, false)) {
            const QString why = m_decoder->errorText();
            failLocked(why.isEmpty() ? tr("Unable to open the audio decoder (%1).").arg(m_decoder->name()) : why);
            m_decoder.reset();
            m_decoders.clear();
            return false;
        }
        m_opened = true;
    }

    m_retriesLeft = kRetries;
    m_decoder->setVolume(m_volume);
    m_decoder->setPitchSemiTones(m_pitch);
    m_decoder->setTempo(m_requestedTempo);

    TempoSegment seg{double(start), 0.0, 0.0, m_requestedTempo};
    if (!m_tempoSegments.empty()) {
        seg.startSamplesIn = double(m_decoder->samplesIn());
        seg.startOutputUs = outputUsLocked();
    }
    m_tempoSegments.push_back(seg);
    m_samplesInAtOpen = m_decoder->samplesIn();
    m_appliedTempo = m_requestedTempo;
    m_bytesDelivered = 0;
    return true;
}

void KvAudioGenerator::applyTempoLocked()
{
    if (!m_decoder || m_requestedTempo == m_appliedTempo)
        return;
    const double S = double(m_decoder->samplesIn());
    const double T = outputUsLocked();
    if (m_tempoSegments.empty()) {
        m_tempoSegments.push_back({double(m_rangeStart), S, 0.0, m_requestedTempo});
    } else {
        const TempoSegment &last = m_tempoSegments.back();
        m_tempoSegments.push_back(
            {last.startFrame + (S - last.startSamplesIn) / m_samplesPerFrame, S, T, m_requestedTempo});
    }
    m_decoder->setTempo(m_requestedTempo);
    m_appliedTempo = m_requestedTempo;
}

qint64 KvAudioGenerator::readData(char *data, qint64 maxlen)
{
    if (maxlen <= 0)
        return 0;
    qint64 written = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (!openRangeLocked()) {
            lock.unlock();
            emitPending();
            return 0;
        }
        applyTempoLocked();
        if (!m_decoder || !m_stream) {
            lock.unlock();
            emitPending();
            return 0;
        }
        // Whole output frames only.
        const int frameBytes = 2 * (m_channelsOut > 0 ? m_channelsOut : m_channelCount);
        const qint64 cap = std::min<qint64>(maxlen, INT_MAX / 2) / frameBytes * frameBytes;
        while (written < cap) {
            if (m_stagedPos < m_stagedLen) {
                const int n = int(std::min<qint64>(cap - written, m_stagedLen - m_stagedPos));
                std::memcpy(data + written, m_staged.data() + m_stagedPos, size_t(n));
                m_stagedPos += n;
                written += n;
                continue;
            }
            const bool ended = KvAudioStreamEof(m_stream) != 0;
            // A stream that ended on a failure (a source frame that no longer matches
            // its index, say) ends the range with its reason.
            if (ended) {
                const KvAudioListFileIO *device = qobject_cast<const KvAudioListFileIO *>(m_stream);
                if (device && !device->errorText().isEmpty()) {
                    failLocked(device->errorText());
                    break;
                }
            }
            if (ended && m_retriesLeft <= 0)
                break;
            m_inputIndex ^= 1;
            char *in = m_input[m_inputIndex].data();
            const int n = ended ? 0 : KvAudioStreamRead(in, 1, kInputSize, m_stream);
            if (n < 0) {
                failLocked(tr("A frame of the document does not fit the read buffer."));
                break;
            }
            if (n == 0 && !KvAudioStreamEof(m_stream)) {
                // Nothing this time, but more to come: try again without disturbing the
                // decoder, whose empty calls mean the end of the stream.
                if (++m_emptyReads >= kMaxEmptyReads) {
                    failLocked(tr("The document stream stopped delivering frames."));
                    break;
                }
                continue;
            }
            m_emptyReads = 0;
            m_compressedBytesRead += n;
            int produced = 0;
            const int r = m_decoder->decode(in, n, m_staged.data(), int(m_staged.size()), &produced);
            if (r < 0) {
                failLocked(tr("The audio decoder failed (%1).").arg(m_decoder->name()));
                break;
            }
            m_stagedPos = 0;
            m_stagedLen = std::max(0, std::min(produced, int(m_staged.size())));
            if (n == 0 && produced == 0 && m_retriesLeft > 0 && --m_retriesLeft == 0)
                runDryLocked();
        }
        m_bytesDelivered += written;
    }
    emitPending();
    return written;
}

qint64 KvAudioGenerator::writeData(const char *, qint64) { return 0; }

bool KvAudioGenerator::atEnd() const
{
    QMutexLocker lock(&m_mutex);
    if (!m_decoder || !m_stream)
        return true;
    return KvAudioStreamEof(m_stream) != 0;
}

qint64 KvAudioGenerator::bytesAvailable() const
{
    QMutexLocker lock(&m_mutex);
    qint64 consumed = 0;
    if (m_decoder)
        consumed = m_decoder->samplesIn() - m_samplesInAtOpen - m_decoder->numUnprocessedSamples();
    return std::max<qint64>(0, m_rangeCount * m_bytesPerFrame - 2 * m_channelCount * std::max<qint64>(0, consumed));
}

double KvAudioGenerator::playedPosition(qint16 *left, qint16 *right)
{
    QMutexLocker lock(&m_mutex);
    if (!m_output || !m_decoder)
        return -1.0;
    const double end = double(m_rangeStart + m_rangeCount);
    const QAudio::State state = m_output->state();
    // Idle after the range ran dry is the end as well: pull-mode outputs fall idle, they
    // do not stop, when the last sample has been played.
    const bool finished = m_retriesLeft <= 0 && m_pendingStart < 0 && m_stagedPos >= m_stagedLen;
    if (state == QAudio::StoppedState || (state == QAudio::IdleState && finished))
        return end;
    if (state != QAudio::ActiveState)
        return -1.0;
    double result = -1.0;
    const double t = double(m_output->processedUSecs());
    for (size_t i = m_tempoSegments.size(); i-- > 0;) {
        const TempoSegment &s = m_tempoSegments[i];
        if (s.startOutputUs <= t) {
            const double position =
                s.startFrame + (t - s.startOutputUs) / 1000000.0 / m_samplesPerFrame * s.tempo * m_sampleRate;
            m_lastPosition = position;
            result = position + 0.5;
            m_tempoSegments.erase(m_tempoSegments.begin(), m_tempoSegments.begin() + std::ptrdiff_t(i));
            break;
        }
    }
    m_decoder->takePeakLevels(left, right);
    return std::min(result, end);
}

void KvAudioGenerator::maxPeakLevels(qint16 *left, qint16 *right)
{
    QMutexLocker lock(&m_mutex);
    if (m_decoder) {
        m_decoder->maxPeakLevels(left, right);
    } else {
        if (left)
            *left = 0;
        if (right)
            *right = 0;
    }
}

int KvAudioGenerator::retriesLeft() const
{
    QMutexLocker lock(&m_mutex);
    return m_retriesLeft;
}

bool KvAudioGenerator::rangeExhausted() const
{
    QMutexLocker lock(&m_mutex);
    return m_retriesLeft <= 0 && m_pendingStart < 0;
}

QString KvAudioGenerator::errorText() const
{
    QMutexLocker lock(&m_mutex);
    return m_errorText;
}

qint64 KvAudioGenerator::decodedOutputUs() const
{
    QMutexLocker lock(&m_mutex);
    return qint64(outputUsLocked());
}

void KvAudioGenerator::VolumeChanged(double value)
{
    if (!std::isfinite(value))
        return;
    QMutexLocker lock(&m_mutex);
    if (m_decoder && value != m_volume)
        m_decoder->setVolume(value);
    m_volume = value;
}

void KvAudioGenerator::PitchChanged(double value)
{
    if (!std::isfinite(value))
        return;
    QMutexLocker lock(&m_mutex);
    if (m_decoder && value != m_pitch)
        m_decoder->setPitchSemiTones(value);
    m_pitch = value;
}

void KvAudioGenerator::TempoChanged(double value)
{
    // SoundTouch divides by the tempo: keep it positive and finite.
    const double tempo = std::isfinite(value) ? std::max(value, kMinTempo) : 1.0;
    QMutexLocker lock(&m_mutex);
    m_requestedTempo = tempo;
}

void KvAudioGenerator::CheckTempoChanged() { applyTempoLocked(); }

void KvAudioGenerator::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        closeStreamLocked();
        m_input[0].clear();
        m_input[0].shrink_to_fit();
        m_input[1].clear();
        m_input[1].shrink_to_fit();
        dropStagedLocked();
        if (m_decoder)
            m_decoder->close();
        m_decoder.reset();
        m_decoders.clear();
        m_reader.reset();
        // A later start begins afresh, with a new decoder.
        m_opened = false;
        m_pendingStart = m_pendingCount = -1;
        m_retriesLeft = 0;
    }
    close();
}
