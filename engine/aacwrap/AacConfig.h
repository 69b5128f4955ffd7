#pragma once
// AAC stream configuration: AudioSpecificConfig and ADTS headers, read and written.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvaac {

class BitReader;

struct AacConfig {
    int objectType = 0;     // core object type: 1 Main, 2 LC, 3 SSR, 4 LTP
    int signalledType = 0;  // as the configuration names it (5 or 29 for explicit SBR / PS)
    int samplingIndex = 15; // 15: the rate is not a table rate
    int sampleRate = 0;     // core rate
    int channelConfig = 0;  // 0: given by a program config element
    int channels = 0;
    int frameLengthFlag = 0; // 1: 960-sample frames
    int sbr = 0;
    int ps = 0;
    int extSampleRate = 0; // SBR output rate, 0 without SBR

    int samplesPerFrame() const { return frameLengthFlag ? 960 : 1024; }
    // Sampling index whose band tables apply (0..11).
    int tableIndex() const;
};

// Channels of channel configuration 1..7, 0 otherwise.
int channelsOfConfig(int channelConfig);
// The channel configuration that carries `channels` channels, 0 when there is none.
int configOfChannels(int channels);

bool parseAudioSpecificConfig(const uint8_t *data, size_t size, AacConfig *out);
std::vector<uint8_t> buildAudioSpecificConfig(const AacConfig &cfg);

// Reads a program_config_element after its element id; sets the channel count.
bool parseProgramConfig(BitReader &br, int *channels);

struct AdtsHeader {
    int objectType = 0;
    int samplingIndex = 0;
    int channelConfig = 0;
    int frameLength = 0; // header included
    int headerSize = 7;  // 9 with CRC
    int rawBlocks = 1;
};

constexpr int kAdtsHeaderSize = 7;
constexpr int kAdtsMaxFrame = 8191;

bool parseAdtsHeader(const uint8_t *data, size_t size, AdtsHeader *out);
// Writes a 7-byte header (no CRC) for a payload of payloadSize bytes; false when the
// configuration or the size cannot be expressed in ADTS.
bool writeAdtsHeader(const AacConfig &cfg, int payloadSize, uint8_t out[kAdtsHeaderSize]);
// The configuration an ADTS header describes.
AacConfig configFromAdts(const AdtsHeader &h);

} // namespace kvaac
