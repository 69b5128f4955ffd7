#include "KvQtCapture.h"


namespace {
QAudioDeviceInfo infoOf(const KvCaptureDevice &device)
{
    return device.handle.value<QAudioDeviceInfo>();
}

} // namespace

KvQtCaptureInput::KvQtCaptureInput(const QAudioDeviceInfo &device, const QAudioFormat &format)
    : m_input(new QAudioInput(device, format, this))
{
    connect(m_input, &QAudioInput::notify, this, &KvCaptureInput::notify);
    connect(m_input, &QAudioInput::stateChanged, this, &KvCaptureInput::stateChanged);
}

KvQtCaptureInput::~KvQtCaptureInput() = default;

KvCaptureDevice KvQtCaptureProvider::describe(const QAudioDeviceInfo &info)
{
    KvCaptureDevice d;
    d.name = info.deviceName();
    d.sampleRates = info.supportedSampleRates();
    d.channelCounts = info.supportedChannelCounts();
    d.sampleSizes = info.supportedSampleSizes();
    d.handle = QVariant::fromValue(info);
    return d;
}

QList<KvCaptureDevice> KvQtCaptureProvider::availableDevices()
{
    QList<KvCaptureDevice> list;
    for (const QAudioDeviceInfo &info : QAudioDeviceInfo::availableDevices(QAudio::AudioInput))
        list.append(describe(info));
    return list;
}

KvCaptureDevice KvQtCaptureProvider::defaultDevice()
{
    const QAudioDeviceInfo info = QAudioDeviceInfo::defaultInputDevice();
    return info.isNull() ? KvCaptureDevice() : describe(info);
}

bool KvQtCaptureProvider::isFormatSupported(const KvCaptureDevice &device, const QAudioFormat &format)
{
    const QAudioDeviceInfo info = infoOf(device);
    return !info.isNull() && info.isFormatSupported(format);
}

QAudioFormat KvQtCaptureProvider::nearestFormat(const KvCaptureDevice &device, const QAudioFormat &format)
{
    const QAudioDeviceInfo info = infoOf(device);
    return info.isNull() ? QAudioFormat() : info.nearestFormat(format);
}

KvCaptureInput *KvQtCaptureProvider::createInput(const KvCaptureDevice &device, const QAudioFormat &format)
{
    return new KvQtCaptureInput(infoOf(device), format);
}
