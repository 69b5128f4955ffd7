// The AAC half of `kvbench scan`: what the wrapper library's index holds.
//   summary: file, frames, format, configuration block, description, timing
//   --csv:   index,bytes,global_gain per frame
#include "KvAACAudioFile.h"
#include "KvAACAudioFragmentList.h"
#include "KvAACFrameRepacker.h"
#include "KvAACFrameSizeInfo.h"
#include "KvEngineFactories.h"

#include <QStringList>

#include <cstdio>

namespace {

const char *objectTypeName(int type)
{
    switch (type) {
    case 1: return "AAC Main";
    case 2: return "AAC LC";
    case 4: return "AAC LTP";
    case 5: return "HE-AAC (explicit SBR)";
    default: return "AAC (other)";
    }
}

} // namespace

// -1 when the source is not AAC; else the command's exit code.
int printAacScan(const boost::shared_ptr<KvAudioFile> &source, bool csv, bool heAac, qint64 nsecs)
{
    const auto *aac = dynamic_cast<const KvAACAudioFile *>(source.get());
    const KvAACFrameRepacker *index = aac ? aac->aacRepacker() : nullptr;
    const KvAACFrameSizeInfo *format = index ? index->aacSizeInfo() : nullptr;
    if (!format)
        return -1;
    const qint64 frames = source->frameCount();
    const KvAACGainFrameInfo *table = index->frameTable().get();
    if (csv) {
        std::printf("index,bytes,global_gain\n");
        for (qint64 i = 0; i < frames; ++i)
            std::printf("%lld,%u,%u\n", static_cast<long long>(i), unsigned(table[i].length), unsigned(table[i].gain));
        return 0;
    }
    const int32_t *f = format->aacInfo()->field;
    qint64 bytes = 0;
    for (qint64 i = 0; i < frames; ++i)
        bytes += table[i].length;
    const double seconds = double(frames) * format->samplesPerFrame() / format->sampleRate();
    QStringList block;
    for (int k = 0; k < KV_AAC_INFO_FIELDS; ++k)
        block << QString::number(f[k]);

    const boost::shared_ptr<KvAudioFragmentList> cursor(new KvAACAudioFragmentList);
    cursor->list()->appendFragment(source->createRepackInfo(0, -1));

    std::printf("file: %s\n", index->path().toLocal8Bit().constData());
    std::printf("frames: %lld\n", static_cast<long long>(frames));
    std::printf("format: %s, %d Hz, %d channels, %d samples/frame, %s\n", objectTypeName(f[KV_AAC_OBJECT_TYPE]),
                format->sampleRate(), format->channelCount(), format->samplesPerFrame(),
                f[KV_AAC_CONTAINER] == 2 ? "ADTS" : "MP4");
    std::printf("he_aac: %s\n", heAac ? "yes" : "no");
    std::printf("config: %s\n", block.join(QLatin1Char(' ')).toLatin1().constData());
    std::printf("description: %s\n", fileInfoText(cursor).toUtf8().constData());
    std::printf("bitrate: average %.1f kbit/s\n", seconds > 0 ? double(bytes) * 8.0 / seconds / 1000.0 : 0.0);
    std::printf("duration: %.3f s\n", seconds);
    std::printf("time: %.3f ms\n", double(nsecs) / 1e6);
    return 0;
}
