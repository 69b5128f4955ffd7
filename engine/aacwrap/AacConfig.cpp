#include "AacConfig.h"

#include "AacBands.h"
#include "AacBits.h"

namespace kvaac {

int AacConfig::tableIndex() const
{
    if (samplingIndex >= 0 && samplingIndex <= 11)
        return samplingIndex;
    if (samplingIndex == 12)
        return 11;
    return tableIndexForRate(sampleRate);
}

int channelsOfConfig(int c)
{
    static const int n[8] = {0, 1, 2, 3, 4, 5, 6, 8};
    return c >= 1 && c <= 7 ? n[c] : 0;
}

int configOfChannels(int ch)
{
    for (int c = 1; c <= 7; ++c)
        if (channelsOfConfig(c) == ch)
            return c;
    return 0;
}

namespace {

int readObjectType(BitReader &br)
{
    int t = int(br.read(5));
    if (t == 31)
        t = 32 + int(br.read(6));
    return t;
}

void readSampling(BitReader &br, int *index, int *rate)
{
    *index = int(br.read(4));
    *rate = *index == 15 ? int(br.read(24)) : samplingRate(*index);
}

bool isGeneralAudio(int t)
{
    switch (t) {
    case 1: case 2: case 3: case 4: case 6: case 7:
    case 17: case 19: case 20: case 21: case 22: case 23:
        return true;
    default:
        return false;
    }
}

} // namespace

bool parseProgramConfig(BitReader &br, int *channels)
{
    br.skip(4 + 2 + 4); // tag, object type, sampling index
    const int front = int(br.read(4)), side = int(br.read(4)), back = int(br.read(4));
    const int lfe = int(br.read(2)), assoc = int(br.read(3)), cc = int(br.read(4));
    if (br.readBit())
        br.skip(4);
    if (br.readBit())
        br.skip(4);
    if (br.readBit())
        br.skip(3);
    int n = lfe;
    for (int i = 0; i < front + side + back; ++i) {
        n += br.readBit() ? 2 : 1;
        br.skip(4);
    }
    br.skip(size_t(lfe) * 4 + size_t(assoc) * 4 + size_t(cc) * 5);
    br.alignByte();
    br.skip(size_t(br.read(8)) * 8);
    *channels = n;
    return !br.overrun();
}

bool parseAudioSpecificConfig(const uint8_t *data, size_t size, AacConfig *out)
{
    BitReader br(data, size);
    AacConfig c;
    c.signalledType = c.objectType = readObjectType(br);
    readSampling(br, &c.samplingIndex, &c.sampleRate);
    c.channelConfig = int(br.read(4));
    bool explicitSbr = false;
    if (c.objectType == 5 || c.objectType == 29) {
        explicitSbr = true;
        c.sbr = 1;
        c.ps = c.objectType == 29;
        int extIndex;
        readSampling(br, &extIndex, &c.extSampleRate);
        c.objectType = readObjectType(br);
    }
    if (!isGeneralAudio(c.objectType) || c.sampleRate <= 0)
        return false;
    c.frameLengthFlag = int(br.read(1));
    if (br.readBit())
        br.skip(14); // core coder delay
    const bool extensionFlag = br.readBit();
    if (c.channelConfig == 0) {
        if (!parseProgramConfig(br, &c.channels))
            return false;
    } else {
        c.channels = channelsOfConfig(c.channelConfig);
    }
    if (c.objectType == 6 || c.objectType == 20)
        br.skip(3);
    if (extensionFlag) {
        if (c.objectType == 22)
            br.skip(5 + 11);
        if (c.objectType == 17 || c.objectType == 19 || c.objectType == 20 || c.objectType == 23)
            br.skip(3);
        br.skip(1);
    }
    if (br.overrun() || c.channels <= 0)
        return false;
    // Backward-compatible SBR / PS signalling after the core configuration.
    if (!explicitSbr && br.bitsLeft() >= 16 && br.peek(11) == 0x2b7) {
        br.skip(11);
        if (readObjectType(br) == 5) {
            c.sbr = int(br.read(1));
            if (c.sbr) {
                int extIndex;
                readSampling(br, &extIndex, &c.extSampleRate);
                if (br.bitsLeft() >= 12 && br.read(11) == 0x548)
                    c.ps = int(br.read(1));
            }
        }
        if (br.overrun()) {
            c.sbr = c.ps = 0;
            c.extSampleRate = 0;
        }
    }
    *out = c;
    return true;
}

std::vector<uint8_t> buildAudioSpecificConfig(const AacConfig &c)
{
    BitWriter bw;
    auto putType = [&](int t) {
        if (t >= 31) {
            bw.put(31, 5);
            bw.put(uint32_t(t - 32), 6);
        } else {
            bw.put(uint32_t(t), 5);
        }
    };
    auto putSampling = [&](int rate) {
        const int idx = samplingIndexOf(rate);
        bw.put(uint32_t(idx), 4);
        if (idx == 15)
            bw.put(uint32_t(rate), 24);
    };
    const bool sbr = c.sbr == 1 && c.extSampleRate > 0;
    if (sbr) {
        putType(c.ps ? 29 : 5);
        putSampling(c.sampleRate);
        bw.put(uint32_t(c.channelConfig), 4);
        putSampling(c.extSampleRate);
        putType(c.objectType);
    } else {
        putType(c.objectType);
        putSampling(c.sampleRate);
        bw.put(uint32_t(c.channelConfig), 4);
    }
    bw.put(uint32_t(c.frameLengthFlag), 1);
    bw.put(0, 1); // depends on core coder
    bw.put(0, 1); // extension flag
    bw.alignByte();
    return bw.bytes();
}

bool parseAdtsHeader(const uint8_t *data, size_t size, AdtsHeader *out)
{
    if (size < size_t(kAdtsHeaderSize))
        return false;
    BitReader br(data, size);
    if (br.read(12) != 0xfff)
        return false;
    br.skip(1 + 2); // id, layer
    const bool noCrc = br.readBit();
    AdtsHeader h;
    h.objectType = int(br.read(2)) + 1;
    h.samplingIndex = int(br.read(4));
    br.skip(1);
    h.channelConfig = int(br.read(3));
    br.skip(4);
    h.frameLength = int(br.read(13));
    br.skip(11);
    h.rawBlocks = int(br.read(2)) + 1;
    h.headerSize = noCrc ? 7 : 9;
    if (h.samplingIndex > 12 || h.frameLength < h.headerSize)
        return false;
    *out = h;
    return true;
}

bool writeAdtsHeader(const AacConfig &c, int payloadSize, uint8_t out[kAdtsHeaderSize])
{
    const int total = payloadSize + kAdtsHeaderSize;
    const int idx = c.samplingIndex;
    if (c.objectType < 1 || c.objectType > 4 || idx < 0 || idx > 12 || c.channelConfig < 0 ||
        c.channelConfig > 7 || payloadSize < 0 || total > kAdtsMaxFrame)
        return false;
    BitWriter bw;
    bw.put(0xfff, 12);
    bw.put(0, 1); // MPEG-4
    bw.put(0, 2);
    bw.put(1, 1); // no CRC
    bw.put(uint32_t(c.objectType - 1), 2);
    bw.put(uint32_t(idx), 4);
    bw.put(0, 1);
    bw.put(uint32_t(c.channelConfig), 3);
    bw.put(0, 4);
    bw.put(uint32_t(total), 13);
    bw.put(0x7ff, 11); // variable bitrate
    bw.put(0, 2);      // one raw block
    for (int i = 0; i < kAdtsHeaderSize; ++i)
        out[i] = bw.bytes()[size_t(i)];
    return true;
}

AacConfig configFromAdts(const AdtsHeader &h)
{
    AacConfig c;
    c.objectType = c.signalledType = h.objectType;
    c.samplingIndex = h.samplingIndex;
    c.sampleRate = samplingRate(h.samplingIndex);
    c.channelConfig = h.channelConfig;
    c.channels = channelsOfConfig(h.channelConfig);
    return c;
}

} // namespace kvaac
