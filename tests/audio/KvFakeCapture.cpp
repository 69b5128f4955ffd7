#include "KvFakeCapture.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace kvrectest {

qint64 FakeDataDevice::bytesAvailable() const
{
    QMutexLocker lock(&m_lock);
    return m_pending.size() + QIODevice::bytesAvailable();
}

void FakeDataDevice::append(const QByteArray &data)
{
    {
        QMutexLocker lock(&m_lock);
        m_pending.append(data);
    }
    emit readyRead();
}

qint64 FakeDataDevice::readData(char *data, qint64 maxlen)
{
    QMutexLocker lock(&m_lock);
    const qint64 n = std::min<qint64>(maxlen, m_pending.size());
    memcpy(data, m_pending.constData(), size_t(n));
    m_pending.remove(0, int(n));
    m_read += n;
    return n;
}

FakeCaptureInput::FakeCaptureInput(const FakeDeviceSpec &spec, const QAudioFormat &format, bool openable)
    : m_spec(spec), m_format(format), m_openable(openable)
{
}

QIODevice *FakeCaptureInput::start()
{
    if (m_spec.failStart || !m_openable) {
        m_error = QAudio::OpenError;
        return nullptr;
    }
    m_data = new FakeDataDevice(this);
    m_data->open(QIODevice::ReadOnly);
    if (m_spec.errorAtStart)
        m_error = QAudio::OpenError;
    setState(QAudio::ActiveState);
    return m_data;
}

void FakeCaptureInput::setState(QAudio::State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void FakeCaptureInput::stop()
{
    if (m_data) {
        m_data->close();
        delete m_data;
    }
    setState(QAudio::StoppedState);
}

QByteArray FakeCaptureInput::sine(qint64 frames)
{
    const int channels = m_format.channelCount();
    const int bytes = m_format.sampleSize() / 8;
    const double full = bytes == 3 ? 8388607.0 : 32767.0;
    QByteArray out(int(frames * channels * bytes), '\0');
    char *p = out.data();
    for (qint64 i = 0; i < frames; ++i, ++m_phaseFrame) {
        for (int c = 0; c < channels; ++c) {
            const double freq = c == 0 ? 440.0 : 660.0;
            const qint32 v = qint32(std::lround(0.5 * full
                                                * std::sin(2.0 * M_PI * freq * m_phaseFrame / m_format.sampleRate())));
            for (int b = 0; b < bytes; ++b)
                *p++ = char((v >> (8 * b)) & 0xff);
        }
    }
    return out;
}

void FakeCaptureInput::feedFrames(qint64 frames)
{
    QMutexLocker lock(&m_feedLock);
    const qint64 slice = std::max(1, m_format.sampleRate() / 10);
    for (qint64 done = 0; done < frames;) {
        const qint64 n = std::min(slice, frames - done);
        const QByteArray data = sine(n);
        m_framesFed += n;
        m_bytesFed += data.size();
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection, Q_ARG(QByteArray, data));
        done += n;
    }
}

void FakeCaptureInput::deliver(QByteArray data)
{
    if (!m_data || m_state == QAudio::StoppedState)
        return;
    setState(QAudio::ActiveState);
    m_data->append(data);
    emit notify();
}

void FakeCaptureInput::goIdle() { QMetaObject::invokeMethod(this, "enterIdle", Qt::QueuedConnection); }

void FakeCaptureInput::enterIdle()
{
    if (m_state != QAudio::StoppedState)
        setState(QAudio::IdleState);
}

KvCaptureDevice FakeCaptureProvider::describe(const FakeDeviceSpec &spec)
{
    KvCaptureDevice d;
    d.name = spec.name;
    d.sampleRates = spec.rates;
    d.channelCounts = spec.channels;
    d.sampleSizes = spec.sizes;
    d.handle = spec.name;
    return d;
}

QList<KvCaptureDevice> FakeCaptureProvider::availableDevices()
{
    QList<KvCaptureDevice> list;
    for (const FakeDeviceSpec &s : m_specs)
        list.append(describe(s));
    return list;
}

KvCaptureDevice FakeCaptureProvider::defaultDevice()
{
    return m_specs.isEmpty() ? KvCaptureDevice() : describe(m_specs.first());
}

FakeDeviceSpec FakeCaptureProvider::specOf(const KvCaptureDevice &device) const
{
    for (const FakeDeviceSpec &s : m_specs)
        if (s.name == device.name)
            return s;
    FakeDeviceSpec none;
    none.failStart = true;
    return none;
}

bool FakeCaptureProvider::isFormatSupported(const KvCaptureDevice &device, const QAudioFormat &f)
{
    const FakeDeviceSpec s = specOf(device);
    return !s.failStart && f.codec() == QLatin1String("audio/pcm") && f.sampleType() == QAudioFormat::SignedInt
        && f.byteOrder() == QAudioFormat::LittleEndian && s.rates.contains(f.sampleRate())
        && s.channels.contains(f.channelCount()) && s.sizes.contains(f.sampleSize());
}

QAudioFormat FakeCaptureProvider::nearestFormat(const KvCaptureDevice &device, const QAudioFormat &f)
{
    const FakeDeviceSpec s = specOf(device);
    auto nearest = [](const QList<int> &list, int want, int fallback) {
        if (list.isEmpty())
            return fallback;
        int best = list.first();
        for (int v : list)
            if (std::abs(v - want) < std::abs(best - want))
                best = v;
        return best;
    };
    QAudioFormat n = f;
    n.setCodec(QStringLiteral("audio/pcm"));
    n.setSampleType(QAudioFormat::SignedInt);
    n.setByteOrder(QAudioFormat::LittleEndian);
    n.setSampleRate(nearest(s.rates, f.sampleRate(), s.nearestRate > 0 ? s.nearestRate : f.sampleRate()));
    n.setChannelCount(nearest(s.channels, f.channelCount(), f.channelCount()));
    n.setSampleSize(nearest(s.sizes, f.sampleSize(), f.sampleSize()));
    return n;
}

KvCaptureInput *FakeCaptureProvider::createInput(const KvCaptureDevice &device, const QAudioFormat &format)
{
    const FakeDeviceSpec s = specOf(device);
    const bool listed = s.channels.contains(format.channelCount())
        && (s.sizes.contains(format.sampleSize()) || (format.sampleSize() == 24 && s.opens24Unlisted))
        && (s.rates.contains(format.sampleRate()) || (s.rates.isEmpty() && format.sampleRate() == s.nearestRate));
    auto *input = new FakeCaptureInput(s, format, listed);
    ++m_created;
    QMutexLocker lock(&m_lock);
    m_last = input;
    return input;
}

FakeCaptureInput *FakeCaptureProvider::lastInput()
{
    QMutexLocker lock(&m_lock);
    return m_last.data();
}

FakeCaptureInput *FakeCaptureProvider::waitForStartedInput(int timeoutMs)
{
    FakeCaptureInput *found = nullptr;
    waitFor([&] {
        found = lastInput();
        return found && found->state() == QAudio::ActiveState;
    }, timeoutMs);
    return found;
}

} // namespace kvrectest
