#include "KvNullAudioSink.h"

#include <KvConnect.h>
#include <QIODevice>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace {
constexpr qint64 kMicro = 1000000;
// How often a sink looks at its clock.
constexpr int kDrivenTickMs = 1;
constexpr int kRealTimeTickMs = 5;
// Qt's own default when nobody sets a buffer size: about this much audio.
constexpr qint64 kDefaultBufferUs = 200000;

bool isPlainPcm(const QAudioFormat &f)
{
    return f.codec() == QLatin1String("audio/pcm") && f.sampleSize() == 16 &&
           f.sampleType() == QAudioFormat::SignedInt && f.byteOrder() == QAudioFormat::LittleEndian;
}

bool sameFormat(const QAudioFormat &a, const QAudioFormat &b)
{
    return a.sampleRate() == b.sampleRate() && a.channelCount() == b.channelCount() &&
           a.sampleSize() == b.sampleSize() && a.sampleType() == b.sampleType() &&
           a.byteOrder() == b.byteOrder() && a.codec() == b.codec();
}
} // namespace

// ---- clock

KvNullAudioClock::KvNullAudioClock(Mode mode) : m_mode(mode) { m_elapsed.start(); }

qint64 KvNullAudioClock::nowUs() const
{
    return m_mode == RealTime ? m_elapsed.nsecsElapsed() / 1000 : m_now.load();
}

void KvNullAudioClock::advance(qint64 us)
{
    if (m_mode == Driven && us > 0)
        m_now.fetch_add(us);
}

bool KvNullAudioClock::waitUntilCaughtUp(int timeoutMs) const
{
    QElapsedTimer t;
    t.start();
    while (!caughtUp()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::usleep(200);
    }
    return true;
}

bool KvNullAudioClock::waitForSink(int timeoutMs) const
{
    QElapsedTimer t;
    t.start();
    while (m_running.load() == 0) {
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::usleep(200);
    }
    return true;
}

void KvNullAudioClock::sinkStarted(qint64 seenUs)
{
    m_seen.store(seenUs);
    m_running.fetch_add(1);
}

void KvNullAudioClock::sinkStopped() { m_running.fetch_sub(1); }

// ---- record

void KvNullAudioRecord::started(const QAudioFormat &format)
{
    QMutexLocker lock(&m_mutex);
    m_format = format;
    ++m_starts;
}

void KvNullAudioRecord::played(const char *data, qint64 len)
{
    QMutexLocker lock(&m_mutex);
    m_bytes += len;
    if (m_keepPcm)
        m_pcm.append(data, int(len));
}

void KvNullAudioRecord::notified()
{
    QMutexLocker lock(&m_mutex);
    ++m_notifies;
}

void KvNullAudioRecord::state(QAudio::State s)
{
    QMutexLocker lock(&m_mutex);
    m_states.append(s);
}

QByteArray KvNullAudioRecord::playedPcm() const
{
    QMutexLocker lock(&m_mutex);
    return m_pcm;
}

qint64 KvNullAudioRecord::playedBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_bytes;
}

QAudioFormat KvNullAudioRecord::lastFormat() const
{
    QMutexLocker lock(&m_mutex);
    return m_format;
}

int KvNullAudioRecord::sinksStarted() const
{
    QMutexLocker lock(&m_mutex);
    return m_starts;
}

int KvNullAudioRecord::notifyCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_notifies;
}

QList<QAudio::State> KvNullAudioRecord::states() const
{
    QMutexLocker lock(&m_mutex);
    return m_states;
}

// ---- sink

KvNullAudioSink::KvNullAudioSink(const QAudioFormat &format, std::shared_ptr<KvNullAudioClock> clock,
                                 std::shared_ptr<KvNullAudioRecord> record, Options options, QObject *parent)
    : KvAudioSink(parent), m_format(format), m_clock(std::move(clock)), m_record(std::move(record)),
      m_options(options)
{
    m_bufferSize = m_format.isValid() ? m_format.bytesForDuration(kDefaultBufferUs) : 0;
}

KvNullAudioSink::~KvNullAudioSink() { stopRunning(); }

void KvNullAudioSink::stopRunning()
{
    if (m_timer)
        m_timer->stop();
    if (m_running) {
        m_running = false;
        m_clock->sinkStopped();
    }
}

qint64 KvNullAudioSink::processedUSecs() const
{
    const int rate = m_format.sampleRate();
    return rate > 0 ? m_processedFrames * kMicro / rate : 0;
}

void KvNullAudioSink::setState(QAudio::State s)
{
    if (s == m_state)
        return;
    m_state = s;
    m_record->state(s);
    emit stateChanged(s);
}

void KvNullAudioSink::start(QIODevice *device)
{
    stopRunning();
    m_buffer.clear();
    m_processedFrames = 0;
    m_credit = 0;
    m_error = QAudio::NoError;
    if (m_options.failStart || !device || !device->isReadable() || !isPlainPcm(m_format) ||
        m_format.bytesPerFrame() <= 0 || m_format.sampleRate() <= 0) {
        m_error = QAudio::OpenError;
        m_state = QAudio::StoppedState;
        return;
    }
    m_device = device;
    m_nextNotifyUs = qint64(m_notifyMs) * 1000;
    m_record->started(m_format);
    if (!m_timer) {
        m_timer = new QTimer(this);
        kvConnect(m_timer, SIGNAL(timeout()), this, SLOT(tick()));
    }
    m_lastUs = m_clock->nowUs();
    m_running = true;
    m_clock->sinkStarted(m_lastUs);
    m_timer->start(m_clock->mode() == KvNullAudioClock::Driven ? kDrivenTickMs : kRealTimeTickMs);
    setState(QAudio::ActiveState);
    refill();
}

void KvNullAudioSink::stop()
{
    stopRunning();
    m_device = nullptr;
    m_buffer.clear();
    setState(QAudio::StoppedState);
}

bool KvNullAudioSink::refill()
{
    if (!m_device || !m_device->isOpen())
        return false;
    const int frameBytes = m_format.bytesPerFrame();
    const int room = (std::max(m_bufferSize, frameBytes) - m_buffer.size()) / frameBytes * frameBytes;
    if (room <= 0)
        return true;
    const int old = m_buffer.size();
    m_buffer.resize(old + room);
    const qint64 got = m_device->read(m_buffer.data() + old, room);
    m_buffer.resize(old + int(std::max<qint64>(0, std::min<qint64>(got, room))));
    return got > 0;
}

void KvNullAudioSink::tick()
{
    if (!m_running)
        return;
    QPointer<KvNullAudioSink> self(this);
    const qint64 now = m_clock->nowUs();
    const int rate = m_format.sampleRate();
    const int frameBytes = m_format.bytesPerFrame();
    if (now > m_lastUs)
        m_credit += (now - m_lastUs) * rate;
    m_lastUs = now;

    bool dry = false;
    for (;;) {
        const bool gave = refill();
        const qint64 owed = m_credit / kMicro;
        const qint64 n = std::min<qint64>(owed, m_buffer.size() / frameBytes);
        if (n > 0) {
            if (m_state == QAudio::IdleState) {
                m_error = QAudio::NoError;
                setState(QAudio::ActiveState);
                if (!self)
                    return;
            }
            m_record->played(m_buffer.constData(), n * frameBytes);
            m_buffer.remove(0, int(n * frameBytes));
            m_processedFrames += n;
            m_credit -= n * kMicro;
            continue;
        }
        if (m_buffer.isEmpty() && !gave) {
            // Nothing to play: the owed time passes in silence.
            m_credit = 0;
            dry = true;
        }
        break;
    }

    if (m_options.loseDeviceAfterUs >= 0 && processedUSecs() >= m_options.loseDeviceAfterUs) {
        stopRunning();
        m_device = nullptr;
        m_buffer.clear();
        m_error = QAudio::FatalError;
        setState(QAudio::StoppedState);
        return;
    }
    if (m_state == QAudio::ActiveState && m_notifyMs > 0 && processedUSecs() >= m_nextNotifyUs) {
        const qint64 interval = qint64(m_notifyMs) * 1000;
        m_nextNotifyUs = (processedUSecs() / interval + 1) * interval;
        m_record->notified();
        emit notify();
        if (!self)
            return;
    }
    if (dry && m_state == QAudio::ActiveState && m_options.reportsIdle) {
        m_error = QAudio::UnderrunError;
        setState(QAudio::IdleState);
        if (!self)
            return;
    }
    if (m_running)
        m_clock->caughtUp(now);
}

// ---- device

KvNullAudioDevice::KvNullAudioDevice(std::shared_ptr<KvNullAudioClock> clock, bool keepPcm)
    : m_clock(std::move(clock)), m_record(std::make_shared<KvNullAudioRecord>(keepPcm))
{
}

QString KvNullAudioDevice::deviceName() const { return QStringLiteral("null"); }

QAudioFormat KvNullAudioDevice::pcmFormat(int sampleRate, int channels)
{
    QAudioFormat f;
    f.setSampleRate(sampleRate);
    f.setChannelCount(channels);
    f.setSampleSize(16);
    f.setCodec(QStringLiteral("audio/pcm"));
    f.setByteOrder(QAudioFormat::LittleEndian);
    f.setSampleType(QAudioFormat::SignedInt);
    return f;
}

bool KvNullAudioDevice::isFormatSupported(const QAudioFormat &format) const
{
    if (m_offered.isEmpty())
        return isPlainPcm(format) && format.channelCount() >= 1 && format.channelCount() <= 2 &&
               format.sampleRate() >= 8000 && format.sampleRate() <= 192000;
    for (const QAudioFormat &f : m_offered)
        if (sameFormat(f, format))
            return true;
    return false;
}

QAudioFormat KvNullAudioDevice::nearestFormat(const QAudioFormat &format) const
{
    if (isFormatSupported(format))
        return format;
    if (m_offered.isEmpty()) {
        QAudioFormat f = pcmFormat(std::clamp(format.sampleRate(), 8000, 192000),
                                   std::clamp(format.channelCount(), 1, 2));
        return f;
    }
    // Fewest differences first: channels, then sample rate distance.
    const QAudioFormat *best = nullptr;
    qint64 bestScore = 0;
    for (const QAudioFormat &f : m_offered) {
        const qint64 score = qint64(f.channelCount() != format.channelCount()) * 1000000000LL +
                             qint64(!isPlainPcm(f)) * 100000000LL +
                             std::llabs(qint64(f.sampleRate()) - format.sampleRate());
        if (!best || score < bestScore) {
            best = &f;
            bestScore = score;
        }
    }
    return *best;
}

KvAudioSink *KvNullAudioDevice::createSink(const QAudioFormat &format)
{
    return new KvNullAudioSink(format, m_clock, m_record, m_options);
}
