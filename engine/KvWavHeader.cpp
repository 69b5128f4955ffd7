#include "KvWavHeader.h"

#include <cstring>

namespace {
void put16(unsigned char *p, uint32_t v) { p[0] = v & 0xff; p[1] = (v >> 8) & 0xff; }
void put32(unsigned char *p, uint32_t v)
{
    put16(p, v & 0xffff);
    put16(p + 2, v >> 16);
}
// RIFF sizes are 32-bit: saturate rather than wrap for oversized data.
uint32_t clamp32(uint64_t v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(v); }
}

int KvWavHeaderSize() { return 44; }

void KvFillWavHeader(unsigned char h[44], uint64_t dataLength, int sampleRate, int channels)
{
    const uint32_t rate = sampleRate > 0 ? uint32_t(sampleRate) : 44100u;
    const uint32_t ch = channels > 0 ? uint32_t(channels) : 2u;
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, clamp32(dataLength + 36));
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, ch);
    put32(h + 24, rate);
    put32(h + 28, ch * 2 * rate);
    put16(h + 32, ch * 2);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, clamp32(dataLength));
}

void KvWriteWavHeader(FILE *stream, uint32_t dataLength, int sampleRate, int channels)
{
    if (!stream)
        return;
    unsigned char h[44];
    KvFillWavHeader(h, dataLength, sampleRate, channels);
    std::fseek(stream, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, stream);
}
