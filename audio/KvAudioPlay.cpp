#include "KvAudioPlay.h"

#include "KvAudioGenerator.h"
#include "KvAudioMessages.h"
#include "KvAudioSink.h"
#include "KvFrameSizeInfo.h"
#include "KvRepackInfoPtrList.h"

#include <KvConnect.h>
#include <QDebug>
#include <QTimer>

#include <algorithm>

namespace {
// Slack for an output to report the end of what it was given before we end it ourselves.
constexpr int kEndGraceMs = 1500;

// A failed start and an output that lost its device say the same.
QString outputFailedText() { return KvAudioPlay::tr("Unable to open the audio output device."); }
} // namespace

KvAudioPlay::KvAudioPlay(const boost::shared_ptr<KvRepackInfoPtrList> &document) : m_document(document)
{
    if (m_document && m_document->fragmentCount() > 0) {
        m_formatInfo = m_document->firstSourceInfo();
        if (m_formatInfo) {
            m_samplesPerFrame = qint16(m_formatInfo->samplesPerFrame());
            if (m_formatInfo->sampleRate() > 0)
                m_notifyIntervalMs = m_framesPerNotify * 1000.0 * m_samplesPerFrame / m_formatInfo->sampleRate();
        }
    }
}

KvAudioPlay::~KvAudioPlay() { stopAudioOutput(); }

bool KvAudioPlay::play(qint64 startFrame, qint64 frameCount)
{
    m_rangeStart = startFrame;
    m_rangeCount = frameCount;
    return setupAudioFormat(m_formatInfo);
}

bool KvAudioPlay::setupAudioFormat(const boost::shared_ptr<KvFrameSizeInfo> &formatInfo)
{
    if (!formatInfo || formatInfo->sampleRate() <= 0 || formatInfo->channelCount() <= 0) {
        // An empty document has nothing to play and no format to open the device with.
        m_errorText = tr("There is nothing to play.");
        return false;
    }
    m_format = QAudioFormat();
    m_format.setSampleRate(formatInfo->sampleRate());
    m_format.setChannelCount(formatInfo->channelCount());
    m_format.setSampleSize(16);
    m_format.setCodec(QStringLiteral("audio/pcm"));
    m_format.setByteOrder(QAudioFormat::LittleEndian);
    m_format.setSampleType(QAudioFormat::SignedInt);
    return createAudioOutput();
}

bool KvAudioPlay::createAudioOutput()
{
    stopAudioOutput();
    m_resampleRatio = 1.0;
    int channelsOut = 0;
    const KvAudioOutputDevicePtr device = kvAudioOutputDevice();
    if (!device) {
        m_errorText = tr("Unable to open output audio device.");
        return false;
    }

    if (!device->isFormatSupported(m_format)) {
        const QAudioFormat nearest = device->nearestFormat(m_format);
        if (nearest.channelCount() < m_format.channelCount()) {
            qWarning().noquote() << QStringLiteral("Unable to open playback device with required format.\n"
                                                   "Channels: requested=%1/available=%2")
                                        .arg(m_format.channelCount())
                                        .arg(nearest.channelCount());
            m_errorText = tr("Unable to open output audio device.");
            return false;
        }
        if (nearest.channelCount() > m_format.channelCount()) {
            m_format.setChannelCount(nearest.channelCount());
            channelsOut = nearest.channelCount();
        }
    }
    if (!device->isFormatSupported(m_format)) {
        const QAudioFormat nearest = device->nearestFormat(m_format);
        if (nearest.sampleRate() > 0) {
            m_resampleRatio = double(nearest.sampleRate()) / double(m_format.sampleRate());
            m_format.setSampleRate(nearest.sampleRate());
        }
    }
    if (!device->isFormatSupported(m_format)) {
        m_errorText = tr("Unable to open output audio device.");
        return false;
    }

    m_output = device->createSink(m_format);
    if (!m_output) {
        m_errorText = tr("Unable to open output audio device.");
        return false;
    }
    m_output->setBufferSize(m_format.bytesForDuration(200000));
    kvConnect(m_output, SIGNAL(notify()), this, SLOT(notified()));
    kvConnect(m_output, SIGNAL(stateChanged(QAudio::State)), this, SLOT(stateChanged(QAudio::State)));
    m_output->setNotifyInterval(int(m_notifyIntervalMs));

    m_generator = new KvAudioGenerator(m_output, m_document, m_resampleRatio, channelsOut, nullptr, true);
    kvConnect(m_generator, SIGNAL(aboutToClose()), this, SLOT(finishedPlaying()));
    // Queued: the generator reports from inside the output's reads.
    kvConnect(m_generator, SIGNAL(rangeFailed(QString)), this, SLOT(generatorFailed(QString)), Qt::QueuedConnection);
    kvConnect(m_generator, SIGNAL(rangeRunDry()), this, SLOT(generatorRunDry()), Qt::QueuedConnection);
    return true;
}

bool KvAudioPlay::startAudioOutput()
{
    if (!m_generator || !m_output)
        return false;
    m_generator->start(m_rangeStart, m_rangeCount);
    m_output->start(m_generator);
    if (m_output->error() != QAudio::NoError) {
        m_errorText = outputFailedText();
        kvCriticalMessage(m_errorText);
        return false;
    }
    return true;
}

void KvAudioPlay::stopAudioOutput()
{
    if (m_endTimer)
        m_endTimer->stop();
    if (m_generator) {
        KvAudioGenerator *generator = m_generator;
        m_generator = nullptr;
        generator->stop();
        generator->disconnect(this);
        disconnect(generator, nullptr, this, nullptr);
        delete generator;
    }
    if (m_output) {
        KvAudioSink *output = m_output;
        m_output = nullptr;
        output->stop();
        output->disconnect(this);
        delete output;
    }
}

void KvAudioPlay::emitPlayPosition()
{
    if (!m_output)
        return;
    const double pos = updatePlayPosition();
    if (pos != -1.0 && pos != m_lastEmittedPosition) {
        m_lastEmittedPosition = pos;
        emit PlayPositionChanged(pos, m_levelLeft, m_levelRight);
    }
}

double KvAudioPlay::updatePlayPosition()
{
    if (!m_output || !m_generator)
        return -1.0;
    const double pos = m_generator->playedPosition(&m_levelLeft, &m_levelRight);
    m_position = pos;
    return pos;
}

void KvAudioPlay::ScrubPlayAudio(qint64 startFrame, qint64 numFrames)
{
    m_rangeStart = startFrame;
    m_rangeCount = numFrames;
    if (m_generator) {
        if (m_endTimer)
            m_endTimer->stop();
        m_generator->start(startFrame, numFrames);
    }
}

void KvAudioPlay::StopAudioOutput() { stopAudioOutput(); }

void KvAudioPlay::VolumeChanged(double value)
{
    if (m_generator)
        m_generator->VolumeChanged(value);
}

void KvAudioPlay::PitchChanged(double value)
{
    if (m_generator)
        m_generator->PitchChanged(value);
}

void KvAudioPlay::TempoChanged(double value)
{
    // A percentage change: +10 plays at 1.1 times the speed.
    if (m_generator)
        m_generator->TempoChanged(value * 0.01 + 1.0);
}

void KvAudioPlay::notified() { emitPlayPosition(); }

void KvAudioPlay::stateChanged(QAudio::State state)
{
    if (state != QAudio::IdleState && state != QAudio::StoppedState)
        return;
    // An output that stopped with an error lost its device (the sound server
    // went away): playback ends where it was heard last, with the words of a
    // failed start.
    if (state == QAudio::StoppedState && m_output && m_output->error() != QAudio::NoError) {
        if (m_errorText.isEmpty())
            m_errorText = outputFailedText();
        emit PlayFinished();
        return;
    }
    emitPlayPosition();
    // Idle while the range still has audio to come is an underrun: it goes on by itself.
    // An output that stopped plays nothing more, whatever the range still holds.
    if (state == QAudio::IdleState && m_generator && !m_generator->rangeExhausted())
        return;
    emit PlayFinished();
}

void KvAudioPlay::finishedPlaying() { emit PlayFinished(); }

void KvAudioPlay::generatorFailed(const QString &text)
{
    // Nothing more will come of this range; an output that was never fed may never fall
    // idle, so end here instead of waiting for it.
    m_errorText = text;
    emit PlayFinished();
}

void KvAudioPlay::generatorRunDry()
{
    if (!m_generator || !m_output || !m_generator->rangeExhausted())
        return;
    // The output should fall idle once it has played what it holds; some never do (a
    // stream shorter than the device's start threshold never starts). Give it that long.
    const qint64 left = std::max<qint64>(0, m_generator->decodedOutputUs() - m_output->processedUSecs());
    if (!m_endTimer) {
        m_endTimer = new QTimer(this);
        m_endTimer->setSingleShot(true);
        kvConnect(m_endTimer, SIGNAL(timeout()), this, SLOT(endOverdue()));
    }
    m_endTimer->start(int(std::min<qint64>(left / 1000, 60000)) + kEndGraceMs);
}

void KvAudioPlay::endOverdue()
{
    if (!m_generator || !m_generator->rangeExhausted())
        return;
    emitPlayPosition();
    emit PlayFinished();
}
