#include "KvAudioSink.h"

#include "KvNullAudioSink.h"
#include "KvQtAudioOutput.h"

#include <QDebug>
#include <QMutex>

KvAudioOutputDevice::~KvAudioOutputDevice() = default;

namespace {
QMutex g_factoryMutex;
KvAudioOutputDeviceFactory g_factory;
} // namespace

KvAudioOutputDeviceFactory setKvAudioOutputDeviceFactory(KvAudioOutputDeviceFactory factory)
{
    QMutexLocker lock(&g_factoryMutex);
    std::swap(g_factory, factory);
    return factory;
}

KvAudioOutputDevicePtr kvAudioOutputDevice()
{
    KvAudioOutputDeviceFactory factory;
    {
        QMutexLocker lock(&g_factoryMutex);
        factory = g_factory;
    }
    if (factory)
        return factory();
    const QByteArray choice = qgetenv("KV_AUDIO_OUTPUT");
    if (choice == "null")
        return std::make_shared<KvNullAudioDevice>(
            std::make_shared<KvNullAudioClock>(KvNullAudioClock::RealTime), false);
    if (!choice.isEmpty() && choice != "qt")
        qWarning() << "KV_AUDIO_OUTPUT: unknown output" << choice << "- using the default device";
    return std::make_shared<KvQtAudioDevice>();
}
