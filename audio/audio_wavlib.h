#pragma once
#include "audio_lib.h"

// Writes 16-bit PCM after a zeroed gap of the WAV header's size; the encoding sink puts
// the real header over the gap when it saves the file.
class audio_wavlib : public audio_lib {
    Q_OBJECT
public:
    explicit audio_wavlib(const KvAudioFrameReaderPtr &source = KvAudioFrameReaderPtr());

    bool isAvailable() override { return true; }
    QString name() override;
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override;
    void close() override;
    audio_preset *presetSettings(int index) override;
    QString fileExtension() override;
    int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;

private:
    int m_headerWritten = 0;
};
