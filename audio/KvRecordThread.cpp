#include "KvRecordThread.h"

#include <KvConnect.h>
#include <QIODevice>

#include <algorithm>

namespace {
constexpr int kBufferFrames = 20480;
constexpr int kNotifyMs = 100;
} // namespace

KvRecordThread::KvRecordThread(const KvCaptureDevice &device, const QAudioFormat &format,
                               const KvAudioLibPtr &encoder, int mode, int bitrate, int vbrQuality,
                               double resampleRatio, int channelsOut, int resampleRate)
    : m_device(device), m_format(format), m_encoder(encoder), m_provider(kvCaptureProvider()),
      m_mode(mode), m_bitrate(bitrate), m_vbrQuality(vbrQuality), m_resampleRatio(resampleRatio),
      m_channelsOut(channelsOut), m_resampleRate(resampleRate)
{
}

KvRecordThread::~KvRecordThread()
{
    // The owner ends and waits for the thread first; what is left goes here.
    stopInput();
    AudioInfo *s = nullptr;
    {
        QMutexLocker lock(&m_lock);
        std::swap(s, m_sink);
    }
    if (s) {
        s->flushLocked();
        delete s;
    }
}

int KvRecordThread::bufferSize() const
{
    return m_format.channelCount() * (m_format.sampleSize() / 8) * kBufferFrames;
}

AudioInfo *KvRecordThread::sink() const
{
    QMutexLocker lock(&m_lock);
    return m_sink;
}

QString KvRecordThread::errorText() const
{
    QMutexLocker lock(&m_lock);
    return m_errorText;
}

void KvRecordThread::setErrorText(const QString &text)
{
    QMutexLocker lock(&m_lock);
    m_errorText = text;
}

KvTempFilePtr KvRecordThread::recording() const
{
    AudioInfo *s = sink();
    return s ? s->tempFile() : KvTempFilePtr();
}

qint64 KvRecordThread::recordedSize() const
{
    AudioInfo *s = sink();
    return s ? s->pcmBytesEncoded() : 0;
}

void KvRecordThread::run()
{
    m_buffer.resize(std::max(bufferSize(), 0));
    auto *s = new AudioInfo(m_encoder, m_format, m_mode, m_bitrate, m_vbrQuality, m_resampleRatio,
                            m_channelsOut, m_resampleRate);
    kvConnect(s, SIGNAL(reportFatalError(QString)), this, SLOT(errorCheck(QString)));
    {
        QMutexLocker lock(&m_lock);
        m_sink = s;
        m_errorText = s->errorMessage();
    }
    const bool started = errorText().isEmpty() && startInput();
    {
        QMutexLocker lock(&m_lock);
        m_startedUp = true;
        m_startUpDone.wakeAll();
    }
    if (started) {
        m_running = true;
        exec();
    }
    stopInput();
}

void KvRecordThread::waitForStartUp() const
{
    QMutexLocker lock(&m_lock);
    // Polled as well: a thread that ends before run() starts never sets the flag.
    while (!m_startedUp && isRunning())
        m_startUpDone.wait(&m_lock, 50);
}

bool KvRecordThread::startInput()
{
    KvCaptureInput *input = m_provider ? m_provider->createInput(m_device, m_format) : nullptr;
    if (!input) {
        setErrorText(QStringLiteral("Error was encountered while opening the recording device."));
        return false;
    }
    input->setBufferSize(bufferSize());
    input->setNotifyInterval(kNotifyMs);
    kvConnect(input, SIGNAL(notify()), this, SLOT(notified()));
    kvConnect(input, SIGNAL(stateChanged(QAudio::State)), this, SLOT(stateChanged(QAudio::State)));
    {
        QMutexLocker lock(&m_lock);
        m_input = input;
    }
    AudioInfo *s = sink();
    const bool sinkOpen = s->openWrite();

    QIODevice *device = input->start();
    if (!device || input->error() != QAudio::NoError) {
        setErrorText(QStringLiteral("Error was encountered while opening the recording device."));
        return false;
    }
    m_inputDevice = device;
    kvConnect(device, SIGNAL(readyRead()), this, SLOT(readMore()), Qt::DirectConnection);

    if (s->hasError() || !sinkOpen) {
        // Whatever stopped the sink is what the user must see; without a text the take
        // would end looking like a finished recording.
        QString why = s->errorMessage();
        if (why.isEmpty())
            why = QStringLiteral("Unable to open recording output file");
        setErrorText(why);
        stopInput();
        return false;
    }
    return true;
}

void KvRecordThread::readMore()
{
    KvCaptureInput *input;
    {
        QMutexLocker lock(&m_lock);
        input = m_input;
    }
    if (!input || !m_inputDevice)
        return;
    const qint64 n = std::min<qint64>(input->bytesReady(), m_buffer.size());
    if (n <= 0)
        return;
    const qint64 got = m_inputDevice->read(m_buffer.data(), n);
    if (got > 0) {
        if (AudioInfo *s = sink())
            s->write(m_buffer.constData(), got);
    }
}

void KvRecordThread::notified()
{
    qint64 usecs = 0;
    qint16 level = 0;
    if (AudioInfo *s = sink()) {
        const qint64 frameBytes = qint64(std::max(m_format.channelCount(), 1))
            * std::max(m_format.sampleSize() / 8, 1);
        const int rate = std::max(m_format.sampleRate(), 1);
        usecs = s->pcmBytesWritten() / frameBytes * 1000000 / rate;
        level = m_suspended ? 0 : qint16(s->level() * 32767.0);
    }
    emit processedAudio(usecs, level, level);
}

void KvRecordThread::stateChanged(QAudio::State state)
{
    if (int(state) != m_lastState)
        emit signalStateChanged(state);
    m_lastState = int(state);
    if (state == QAudio::StoppedState)
        exit(0);
}

bool KvRecordThread::errorCheck(QString errorMessage)
{
    if (errorMessage.isEmpty())
        return false;
    setErrorText(errorMessage);
    requestInputStop();
    return true;
}

void KvRecordThread::setSuspendAudio(bool suspend)
{
    m_suspended = suspend;
    if (AudioInfo *s = sink())
        s->setPaused(suspend);
}

void KvRecordThread::requestInputStop()
{
    QMutexLocker lock(&m_lock);
    if (!m_input)
        return;
    if (m_input->thread() == QThread::currentThread())
        m_input->stop();
    else
        QMetaObject::invokeMethod(m_input, "stop", Qt::QueuedConnection);
}

void KvRecordThread::StopAudioRecording()
{
    requestInputStop();
    if (AudioInfo *s = sink())
        s->flushLocked();
}

void KvRecordThread::stopInput()
{
    KvCaptureInput *input = nullptr;
    {
        QMutexLocker lock(&m_lock);
        std::swap(input, m_input);
        m_inputDevice = nullptr;
    }
    if (input) {
        // The data device belongs to the input and may go away with its stop.
        input->disconnect(this);
        input->stop();
        delete input;
    }
    if (AudioInfo *s = sink())
        s->flushLocked();
}
