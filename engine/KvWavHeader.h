#pragma once
#include <cstdint>
#include <cstdio>

// Canonical 44-byte RIFF/WAVE header for 16-bit PCM.
int KvWavHeaderSize();

// Seeks to the start of the stream and writes the header there; the stream is
// left positioned at byte 44. Rate 0 means 44100, channels 0 means stereo.
void KvWriteWavHeader(FILE *stream, uint32_t dataLength, int sampleRate, int channels);

// Same header, for callers that build it in memory.
void KvFillWavHeader(unsigned char out[44], uint64_t dataLength, int sampleRate, int channels);
