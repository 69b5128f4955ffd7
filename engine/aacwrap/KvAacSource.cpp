#include "KvAacSource.h"

#include "AacBits.h"
#include "AacSyntaxWalker.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kvaac {

namespace {

struct InputCloser {
    AVFormatContext *ic = nullptr;
    AVPacket *pkt = av_packet_alloc();
    ~InputCloser()
    {
        av_packet_free(&pkt);
        avformat_close_input(&ic);
    }
};

// ADTS streams with channel configuration 0 name their layout in a leading program config.
int channelsFromLeadingPce(const uint8_t *raw, size_t size)
{
    BitReader br(raw, size);
    if (br.read(3) != 5)
        return 0;
    int channels = 0;
    return parseProgramConfig(br, &channels) ? channels : 0;
}

// Consecutive packets the container cannot read before the index gives up.
constexpr int kMaxReadErrors = 64;

bool sameAdtsLayout(const AdtsHeader &a, const AdtsHeader &b)
{
    return a.objectType == b.objectType && a.samplingIndex == b.samplingIndex &&
           a.channelConfig == b.channelConfig;
}

} // namespace

ScanResult scanSource(const char *path, KvAacCancelFn cancel)
{
    ScanResult res;
    InputCloser in;
    if (!path || !*path || !in.pkt || avformat_open_input(&in.ic, path, nullptr, nullptr) < 0) {
        res.error = KV_AAC_E_OPEN;
        return res;
    }
    int streamIndex = -1;
    for (unsigned i = 0; i < in.ic->nb_streams; ++i) {
        if (in.ic->streams[i]->codecpar->codec_id == AV_CODEC_ID_AAC) {
            streamIndex = int(i);
            break;
        }
    }
    const char *fmt = in.ic->iformat->name;
    auto src = std::make_shared<Source>();
    src->path = path;
    if (std::strcmp(fmt, "aac") == 0)
        src->container = ContainerAdts;
    else if (std::strstr(fmt, "mp4"))
        src->container = ContainerMp4;
    if (streamIndex < 0 || src->container == ContainerNone) {
        res.error = KV_AAC_E_OPEN;
        return res;
    }
    if (src->container == ContainerMp4) {
        const AVCodecParameters *par = in.ic->streams[streamIndex]->codecpar;
        if (!par->extradata || par->extradata_size <= 0 ||
            !parseAudioSpecificConfig(par->extradata, size_t(par->extradata_size), &src->cfg)) {
            res.error = KV_AAC_E_UNSUPPORTED;
            return res;
        }
        src->asc.assign(par->extradata, par->extradata + par->extradata_size);
    }

    AdtsHeader first;
    int64_t lastDuration = 0;
    // A run of ADTS frames of another layout: damage, unless they all share one layout
    // for long enough (or to the end), which is a change of format that ends the index.
    constexpr size_t kChangeRun = 8;
    constexpr size_t kChangeRunAtEnd = 2;
    size_t runStart = SIZE_MAX;
    int runLayout = -1;
    int readErrors = 0;
    for (int64_t n = 0;; ++n) {
        if (cancel && (n & 63) == 0 && cancel()) {
            res.error = KV_AAC_E_CANCELLED;
            return res;
        }
        const int rc = av_read_frame(in.ic, in.pkt);
        if (rc == AVERROR_EOF)
            break;
        if (rc < 0) {
            // A sample the container points at but that cannot be read (a damaged table)
            // is passed over; a file that keeps failing ends the index.
            if (src->frames.empty() || ++readErrors > kMaxReadErrors) {
                if (src->frames.empty()) {
                    res.error = KV_AAC_E_OPEN;
                    return res;
                }
                break;
            }
            continue;
        }
        readErrors = 0;
        if (in.pkt->stream_index != streamIndex) {
            av_packet_unref(in.pkt);
            continue;
        }
        const uint8_t *raw = in.pkt->data;
        size_t size = size_t(in.pkt->size);
        int64_t pos = in.pkt->pos;
        bool foreign = false;
        if (src->container == ContainerAdts) {
            AdtsHeader h;
            const bool parsed = parseAdtsHeader(raw, size, &h) && size_t(h.headerSize) <= size;
            const bool usable = parsed && h.rawBlocks == 1;
            if (src->frames.empty() && !usable) {
                res.error = KV_AAC_E_UNSUPPORTED;
                return res;
            }
            foreign = !usable || (!src->frames.empty() && !sameAdtsLayout(h, first));
            const size_t header = parsed ? size_t(h.headerSize) : std::min<size_t>(size, kAdtsHeaderSize);
            raw += header;
            size -= header;
            pos += int64_t(header);
            if (src->frames.empty()) {
                first = h;
                src->cfg = configFromAdts(h);
                if (src->cfg.channels == 0)
                    src->cfg.channels = channelsFromLeadingPce(raw, size);
            }
            if (!foreign) {
                runStart = SIZE_MAX;
            } else {
                const int layout = usable ? (h.objectType * 16 + h.samplingIndex) * 8 + h.channelConfig : -1;
                if (runStart == SIZE_MAX) {
                    runStart = src->frames.size();
                    runLayout = layout;
                } else if (layout != runLayout) {
                    runLayout = -1;
                }
            }
        }
        if (in.pkt->pos < 0 || size > UINT32_MAX || size == 0) {
            if (src->frames.empty()) {
                res.error = KV_AAC_E_UNSUPPORTED;
                return res;
            }
            av_packet_unref(in.pkt);
            continue;
        }
        if (src->frames.empty() && (!walkerSupports(src->cfg) || src->cfg.channels <= 0)) {
            res.error = KV_AAC_E_UNSUPPORTED;
            return res;
        }
        if (src->frames.empty() && src->container == ContainerMp4 && in.pkt->pts != AV_NOPTS_VALUE &&
            in.pkt->pts < 0) {
            const AVStream *st = in.ic->streams[streamIndex];
            const int rate = st->codecpar->sample_rate > 0 ? st->codecpar->sample_rate : src->cfg.sampleRate;
            src->primingSamples = av_rescale_q(-in.pkt->pts, st->time_base, AVRational{1, rate});
        }
        if (src->container == ContainerMp4) {
            const AVStream *st = in.ic->streams[streamIndex];
            const int rate = st->codecpar->sample_rate > 0 ? st->codecpar->sample_rate : src->cfg.sampleRate;
            lastDuration = in.pkt->duration > 0
                               ? av_rescale_q(in.pkt->duration, st->time_base, AVRational{1, rate})
                               : 0;
        }
        // The writer changes the gain of a frame it can walk this far and copies any
        // other as it is: such frames are counted for the report.
        FrameWalk walk;
        const bool walked = walkRawFrame(raw, size, src->cfg, WalkDepth::Gains, &walk) == WalkOk;
        res.gains.push_back(walk.streams > 0 ? walk.stream[0].gain : 0);
        src->frames.push_back({pos, uint32_t(size)});
        res.untouched.push_back(foreign || !walked);
        av_packet_unref(in.pkt);
        if (runStart != SIZE_MAX && runLayout >= 0 && src->frames.size() - runStart >= kChangeRun)
            break;
    }
    if (runStart != SIZE_MAX && runLayout >= 0 && src->frames.size() - runStart >= kChangeRunAtEnd) {
        res.cutAtFrame = int64_t(runStart);
        res.cutAtOffset = src->frames[runStart].pos;
        src->frames.resize(runStart);
        res.gains.resize(runStart);
        res.untouched.resize(runStart);
    }
    if (lastDuration > 0 && lastDuration < src->cfg.samplesPerFrame())
        src->lastFrameSamples = lastDuration;
    res.source = std::move(src);
    return res;
}

} // namespace kvaac
