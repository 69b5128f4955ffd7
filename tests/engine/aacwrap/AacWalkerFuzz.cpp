// libFuzzer target: arbitrary bytes as a raw AAC frame under an arbitrary configuration.
// Byte 0 picks the object type and sampling table, byte 1 the channel configuration and the
// gain delta; the rest is the frame.
#include "AacConfig.h"
#include "AacFrameEdit.h"
#include "AacSyntaxWalker.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace kvaac;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const int kTypes[3] = {1, 2, 4};
    AacConfig cfg;
    cfg.objectType = cfg.signalledType = kTypes[data[0] % 3];
    cfg.samplingIndex = (data[0] / 3) % 13;
    cfg.channelConfig = data[1] % 8;
    cfg.channels = cfg.channelConfig ? channelsOfConfig(cfg.channelConfig) : 2;
    const int delta = int(int8_t(data[1])) / 8 * 8 + (data[1] & 7) - 3;
    const std::vector<uint8_t> frame(data + 2, data + size);

    for (WalkDepth depth : {WalkDepth::FirstGain, WalkDepth::Gains, WalkDepth::Full}) {
        FrameWalk walk;
        const int rc = walkRawFrame(frame.data(), frame.size(), cfg, depth, &walk);
        if (rc == WalkOk && walk.complete && walk.endBit > frame.size() * 8)
            std::abort();
    }

    // A gain change never changes the syntax: the frame walks to the same end afterwards.
    FrameWalk before;
    if (walkRawFrame(frame.data(), frame.size(), cfg, WalkDepth::Full, &before) == WalkOk) {
        std::vector<uint8_t> edited = frame;
        const GainResult r = changeFrameGain(edited.data(), edited.size(), cfg, delta);
        FrameWalk after;
        if (r.error != WalkOk ||
            walkRawFrame(edited.data(), edited.size(), cfg, WalkDepth::Full, &after) != WalkOk ||
            after.endBit != before.endBit)
            std::abort();
    }

    AacConfig parsed;
    parseAudioSpecificConfig(frame.data(), frame.size(), &parsed);
    AdtsHeader header;
    parseAdtsHeader(frame.data(), frame.size(), &header);

    const std::vector<uint8_t> silent = silentFrame(cfg);
    FrameWalk s;
    if (!silent.empty() && walkRawFrame(silent.data(), silent.size(), cfg, WalkDepth::Full, &s) != WalkOk)
        std::abort();
    return 0;
}
