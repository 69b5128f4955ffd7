#pragma once
// The installed-codec MP3 back-end: decodes MP3 frames for playback and decoding, and
// encodes through the first installed MP3 encoder, whose formats are its preset list.
#include "KvMp3CodecEncoder.h"
#include "KvMpegFeedDecoder.h"
#include "audio_lib.h"

#include <vector>

class audio_acmlib : public audio_lib {
    Q_OBJECT
public:
    explicit audio_acmlib(const KvAudioFrameReaderPtr &source = KvAudioFrameReaderPtr());
    ~audio_acmlib() override;

    bool isAvailable() override { return true; }
    QString name() override;
    // What name() answers, without a back-end object.
    static QString codecName();
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override;
    void close() override;
    audio_preset *presetSettings(int index) override;
    QString fileExtension() override;
    int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    // First enumerated format with that rate, bitrate (bit/s) and channel count.
    virtual const KvMp3CodecFormat *findFormat(int sampleRate, int bitrate, int channels);

    // Number of encoder formats (enumerated once per object).
    int formatCount();
    // Compressed bytes the decoder or encoder holds that do not yet make a whole frame.
    int pendingBytes() const;

private:
    // One conversion step for both directions: 0, or -1 on overflow or codec error.
    int convertChunk(const char *in, int inLen, char *out, int outCap, int *outLen);
    int decodeStep(const char *in, int inLen, char *out, int outCap, int *outLen);

    KvMpegFeedDecoder m_decoder;
    KvMp3CodecEncoder m_encoder;
    std::vector<KvMp3CodecFormat> m_formats;
    int m_formatCount = -1;
};
