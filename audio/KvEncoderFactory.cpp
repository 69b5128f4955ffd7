#include "KvEncoderFactory.h"

#include "audio_acmlib.h"
#include "audio_cmdlib.h"
#include "audio_dlllib.h"
#include "audio_mftlib.h"
#include "audio_wavlib.h"

#include <memory>

namespace {
KvBackendMakers &currentMakers()
{
    static KvBackendMakers makers = KvBackendMakers::builtIn();
    return makers;
}

// Creates the back-end, keeps it when usable; an unusable one dies here.
bool offer(QList<KvAudioLibPtr> &list, const KvBackendMakers::Maker &make,
           const KvAudioFrameReaderPtr &source, bool needPresets = false)
{
    if (!make)
        return false;
    KvAudioLibPtr backend = make(source);
    if (!backend || !backend->isAvailable())
        return false;
    if (needPresets) {
        std::unique_ptr<audio_preset> first(backend->presetSettings(0));
        if (!first)
            return false;
    }
    list.append(backend);
    return true;
}
} // namespace

KvBackendMakers KvBackendMakers::builtIn()
{
    KvBackendMakers m;
    m.dlllib = [](const KvAudioFrameReaderPtr &s) { return KvAudioLibPtr(new audio_dlllib(s)); };
    m.acmlib = [](const KvAudioFrameReaderPtr &s) { return KvAudioLibPtr(new audio_acmlib(s)); };
    m.cmdlib = [](const KvAudioFrameReaderPtr &s) { return KvAudioLibPtr(new audio_cmdlib(s)); };
    m.mftlib = [](const KvAudioFrameReaderPtr &s) { return KvAudioLibPtr(new audio_mftlib(s)); };
    m.wavlib = [](const KvAudioFrameReaderPtr &s) { return KvAudioLibPtr(new audio_wavlib(s)); };
    return m;
}

KvBackendMakers kvBackendMakers() { return currentMakers(); }

QString currentEncoderText(const QString &stored)
{
    if (stored == QLatin1String("ACM MP3 Codec"))
        return audio_acmlib::codecName();
    if (stored == QLatin1String("MF AAC Codec"))
        return audio_mftlib::codecName();
    const QLatin1String oldAacPreset("MF AAC encoder: ");
    if (stored.startsWith(oldAacPreset))
        return QStringLiteral("FFmpeg AAC encoder: ") + stored.mid(oldAacPreset.size());
    return stored;
}

int encoderBitrate(const KvAudioLibPtr &encoder, int kbps)
{
    if (encoder) {
        if (const std::unique_ptr<audio_preset> first{encoder->presetSettings(0)}) {
            if (first->bitrate >= 1000)
                return kbps * 1000;
        }
    }
    return kbps;
}

KvBackendMakers setKvBackendMakers(const KvBackendMakers &makers)
{
    KvBackendMakers previous = currentMakers();
    currentMakers() = makers;
    return previous;
}

QList<KvAudioLibPtr> createEncoders(const KvAudioFrameReaderPtr &source, bool all,
                                    const QString &format)
{
    const KvBackendMakers makers = currentMakers();
    QList<KvAudioLibPtr> list;
    if (!all) {
        if (format == QLatin1String("mp3"))
            offer(list, makers.acmlib, source);
        else
            offer(list, makers.mftlib, source);
        return list;
    }
    // One MP3 encoder: the LAME library, else the installed codecs when they offer any
    // MP3 format, else the LAME program.
    if (!offer(list, makers.dlllib, source) && !offer(list, makers.acmlib, source, true))
        offer(list, makers.cmdlib, source);
    offer(list, makers.mftlib, source);
    if (format == QLatin1String("wav"))
        offer(list, makers.wavlib, source);
    return list;
}
