#include "KvQtAudioOutput.h"

#include <KvConnect.h>

KvQtAudioSink::KvQtAudioSink(const QAudioDeviceInfo &device, const QAudioFormat &format, QObject *parent)
    : KvAudioSink(parent), m_output(new KvAudioOutput(device, format, this))
{
    kvConnect(m_output, SIGNAL(notify()), this, SIGNAL(notify()));
    kvConnect(m_output, SIGNAL(stateChanged(QAudio::State)), this, SIGNAL(stateChanged(QAudio::State)));
}

KvQtAudioSink::~KvQtAudioSink()
{
    // Stopping here, while this object is still whole, keeps the last state change inside
    // our own lifetime.
    m_output->disconnect(this);
    m_output->stop();
}

QAudioFormat KvQtAudioSink::format() const { return m_output->format(); }
void KvQtAudioSink::start(QIODevice *device) { m_output->start(device); }
void KvQtAudioSink::stop() { m_output->stop(); }
void KvQtAudioSink::setBufferSize(int bytes) { m_output->setBufferSize(bytes); }
int KvQtAudioSink::bufferSize() const { return m_output->bufferSize(); }
void KvQtAudioSink::setNotifyInterval(int ms) { m_output->setNotifyInterval(ms); }
int KvQtAudioSink::notifyInterval() const { return m_output->notifyInterval(); }
qint64 KvQtAudioSink::processedUSecs() const { return m_output->processedUSecs(); }
QAudio::State KvQtAudioSink::state() const { return m_output->state(); }
QAudio::Error KvQtAudioSink::error() const { return m_output->error(); }

KvQtAudioDevice::KvQtAudioDevice() : m_device(QAudioDeviceInfo::defaultOutputDevice()) {}
KvQtAudioDevice::KvQtAudioDevice(const QAudioDeviceInfo &device) : m_device(device) {}

QString KvQtAudioDevice::deviceName() const { return m_device.deviceName(); }

bool KvQtAudioDevice::isFormatSupported(const QAudioFormat &format) const
{
    return !m_device.isNull() && m_device.isFormatSupported(format);
}

QAudioFormat KvQtAudioDevice::nearestFormat(const QAudioFormat &format) const
{
    return m_device.isNull() ? QAudioFormat() : m_device.nearestFormat(format);
}

KvAudioSink *KvQtAudioDevice::createSink(const QAudioFormat &format)
{
    return new KvQtAudioSink(m_device, format);
}
