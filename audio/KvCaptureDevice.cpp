#include "KvCaptureDevice.h"

#include "KvQtCapture.h"

#include <QMutex>

namespace {
QMutex g_providerLock;
KvCaptureProviderPtr &currentProvider()
{
    static KvCaptureProviderPtr provider = std::make_shared<KvQtCaptureProvider>();
    return provider;
}
} // namespace

KvCaptureProviderPtr kvCaptureProvider()
{
    QMutexLocker lock(&g_providerLock);
    return currentProvider();
}

KvCaptureProviderPtr setKvCaptureProvider(const KvCaptureProviderPtr &provider)
{
    QMutexLocker lock(&g_providerLock);
    KvCaptureProviderPtr previous = currentProvider();
    currentProvider() = provider;
    return previous;
}

QAudioFormat kvPcmFormat(int sampleRate, int channels, int sampleSize)
{
    QAudioFormat f;
    f.setSampleRate(sampleRate);
    f.setChannelCount(channels);
    f.setSampleSize(sampleSize);
    f.setSampleType(QAudioFormat::SignedInt);
    f.setByteOrder(QAudioFormat::LittleEndian);
    f.setCodec(QStringLiteral("audio/pcm"));
    return f;
}
