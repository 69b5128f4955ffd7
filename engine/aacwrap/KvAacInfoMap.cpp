#include "KvAacInfoMap.h"

#include "AacBands.h"

namespace kvaac {

KvAACInfo infoFromConfig(const AacConfig &c, Container container)
{
    KvAACInfo info{};
    int32_t *f = info.field;
    f[KV_AAC_OBJECT_TYPE] = c.signalledType == 5 || c.signalledType == 29 ? 5 : c.objectType;
    f[KV_AAC_SAMPLING_INDEX] = c.samplingIndex;
    f[KV_AAC_SAMPLE_RATE] = c.sampleRate;
    f[KV_AAC_CHANNEL_CONFIG] = c.channelConfig;
    f[KV_AAC_SBR] = c.sbr;
    f[KV_AAC_EXT_OBJECT_TYPE] = c.sbr ? 5 : 0;
    f[KV_AAC_FRAME_LENGTH_FLAG] = c.frameLengthFlag;
    f[KV_AAC_EXT_SAMPLE_RATE] = c.sbr ? c.extSampleRate : 0;
    f[KV_AAC_CHANNELS] = c.channels;
    f[KV_AAC_PS] = c.ps;
    f[KV_AAC_SAMPLES_PER_FRAME] = c.samplesPerFrame();
    f[KV_AAC_CONTAINER] = container;
    return info;
}

bool configFromInfo(const KvAACInfo &info, AacConfig *out)
{
    const int32_t *f = info.field;
    AacConfig c;
    const int type = f[KV_AAC_OBJECT_TYPE];
    c.objectType = type == 0 || type == 5 || type == 29 ? 2 : type;
    c.signalledType = c.objectType;
    c.sampleRate = f[KV_AAC_SAMPLE_RATE];
    const int idx = f[KV_AAC_SAMPLING_INDEX];
    if (idx >= 0 && idx <= 12 && (c.sampleRate <= 0 || samplingRate(idx) == c.sampleRate)) {
        c.samplingIndex = idx;
        c.sampleRate = samplingRate(idx);
    } else {
        c.samplingIndex = samplingIndexOf(c.sampleRate);
    }
    c.channels = f[KV_AAC_CHANNELS];
    c.channelConfig = f[KV_AAC_CHANNEL_CONFIG] >= 1 && f[KV_AAC_CHANNEL_CONFIG] <= 7 &&
                              channelsOfConfig(f[KV_AAC_CHANNEL_CONFIG]) == c.channels
                          ? f[KV_AAC_CHANNEL_CONFIG]
                          : configOfChannels(c.channels);
    c.frameLengthFlag = f[KV_AAC_FRAME_LENGTH_FLAG] == 1 || f[KV_AAC_SAMPLES_PER_FRAME] == 960;
    c.sbr = f[KV_AAC_SBR] == 1 || f[KV_AAC_EXT_OBJECT_TYPE] == 5 || type == 5 || type == 29;
    c.ps = f[KV_AAC_PS] == 1 || type == 29;
    if (c.sbr) {
        c.extSampleRate = f[KV_AAC_EXT_SAMPLE_RATE] > c.sampleRate ? f[KV_AAC_EXT_SAMPLE_RATE]
                                                                    : 2 * c.sampleRate;
        c.signalledType = c.ps ? 29 : 5;
    }
    if ((c.objectType != 1 && c.objectType != 2 && c.objectType != 4) || c.sampleRate <= 0 ||
        c.channelConfig == 0)
        return false;
    *out = c;
    return true;
}

bool sameStreamLayout(const AacConfig &a, const AacConfig &b)
{
    return a.objectType == b.objectType && a.sampleRate == b.sampleRate &&
           a.channels == b.channels && a.frameLengthFlag == b.frameLengthFlag;
}

} // namespace kvaac
