#include "KvAacFileInfoText.h"

#include "KvAACFrameSizeInfo.h"
#include "KvAACRepackInfo.h"
#include "KvAudioFragmentList.h"

#include <QCoreApplication>
#include <QTime>

namespace {

struct Tr {
    Q_DECLARE_TR_FUNCTIONS(KvAACFileInfoText)
};

// Bytes of one generated silent frame, by channel layout and SBR.
qint64 silentFrameBytes(const int32_t *f)
{
    const bool mono = f[KV_AAC_CHANNELS] == 1;
    const bool sbr = f[KV_AAC_SBR] == 1;
    if (mono)
        return sbr ? 13 : 4;
    return sbr ? 20 : 10;
}

QString kindText(const int32_t *f)
{
    const bool ps = f[KV_AAC_PS] == 1;
    switch (f[KV_AAC_OBJECT_TYPE]) {
    case 0:
        return QStringLiteral("AAC ");
    case 1:
        return QStringLiteral("AAC Main ");
    case 2:
        if (f[KV_AAC_SBR] == 1)
            return ps ? QStringLiteral("HE-AAC v2 ") : QStringLiteral("HE-AAC v1 ");
        return QStringLiteral("AAC LC ");
    case 4:
        return QStringLiteral("AAC LTP ");
    case 5:
        return ps ? QStringLiteral("HE-AAC v2 ") : QStringLiteral("HE-AAC v1 ");
    case 36:
        return QStringLiteral("AAC ALS ");
    default:
        return Tr::tr("MPEG (unsupported) ");
    }
}

} // namespace

QString KvAACFileInfoText(const boost::shared_ptr<KvAudioFragmentList> &fragmentList)
{
    if (!fragmentList || !fragmentList->list())
        return QString();
    const int32_t *block = nullptr;
    qint64 frames = 0;
    qint64 bytes = 0;
    for (const KvRepackInfoPtr &f : *fragmentList->list()->list()) {
        KvAACRepackInfo *aac = dynamic_cast<KvAACRepackInfo *>(f.get());
        if (!aac)
            break;
        const KvAACFrameSizeInfo *format = aac->aacSizeInfo();
        if (!block && format)
            block = format->aacInfo()->field;
        const qint64 n = aac->frameCount();
        frames += n;
        if (const KvAACGainFrameInfo *table = aac->sourceFrameTable()) {
            const qint64 first = aac->firstFrame();
            for (qint64 i = 0; i < n; ++i)
                bytes += table[first + i].length;
        } else if (format) {
            bytes += n * silentFrameBytes(format->aacInfo()->field);
        }
    }
    if (!block)
        return QString();

    QString text = kindText(block);
    const bool doubled = block[KV_AAC_EXT_SAMPLE_RATE] > block[KV_AAC_SAMPLE_RATE];
    const double samples = doubled ? 2.0 * block[KV_AAC_SAMPLES_PER_FRAME] : double(block[KV_AAC_SAMPLES_PER_FRAME]);
    const double rate = doubled ? block[KV_AAC_EXT_SAMPLE_RATE] : block[KV_AAC_SAMPLE_RATE];
    qint64 kbps = 0;
    if (frames > 0 && samples > 0 && rate > 0)
        kbps = qint64((double(bytes) * 8.0 / double(frames)) / (samples / rate) / 1000.0);
    text += QStringLiteral("- %1 kbps ").arg(kbps);
    text += QStringLiteral("- %1 Hz - ")
                .arg(block[KV_AAC_EXT_SAMPLE_RATE] < 1 ? block[KV_AAC_SAMPLE_RATE] : block[KV_AAC_EXT_SAMPLE_RATE]);
    if (block[KV_AAC_PS] == 1)
        text += QStringLiteral("Stereo - ");
    else if (block[KV_AAC_CHANNELS] == 1)
        text += QStringLiteral("Mono - ");
    else if (block[KV_AAC_CHANNELS] == 2)
        text += QStringLiteral("Stereo - ");

    const qint64 durationRate = block[KV_AAC_SAMPLE_RATE] > 0 ? block[KV_AAC_SAMPLE_RATE] : 44100;
    qint64 ms = fragmentList->totalFrames() * block[KV_AAC_SAMPLES_PER_FRAME] * 1000 / durationRate;
    ms = (ms + 5) / 10 * 10;
    const qint64 hours = ms / 3600000;
    const QString rest = QTime(0, 0).addMSecs(int(ms % 3600000)).toString(QStringLiteral("mm:ss.zzz")).left(8);
    text += QStringLiteral("%1:%2").arg(hours).arg(rest);
    return text;
}
