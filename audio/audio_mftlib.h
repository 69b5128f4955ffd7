#pragma once
// AAC back-end: decodes AAC frames for playback and decoding, and encodes PCM to AAC-LC
// whose raw frames the AAC wrapper library's writer packages into the output bytes.
#include "KvAacCodec.h"
#include "KvAacFrameWriter.h"
#include "audio_lib.h"

class audio_mftlib : public audio_lib {
    Q_OBJECT
public:
    explicit audio_mftlib(const KvAudioFrameReaderPtr &source = KvAudioFrameReaderPtr());
    ~audio_mftlib() override;

    bool isAvailable() override { return m_available; }
    QString name() override;
    // What name() answers, without a back-end object.
    static QString codecName();
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override;
    void close() override;
    audio_preset *presetSettings(int index) override;
    QString fileExtension() override;
    // One AAC frame in (raw, or with its ADTS header), 16-bit PCM out; an empty chunk drains
    // the decoder once per stream. -1 on a decoder error or a chunk above the input buffer.
    int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    // PCM in; every finished frame goes through the writer into out. An empty chunk drains
    // the encoder once per stream. -1 on an encoder or writer error.
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;

    // Index of the rate in the MPEG-4 sampling-frequency table, 15 when it is none of them.
    static int samplingIndex(int sampleRate);
    // The block the writer is opened with.
    static KvAacStreamInfo streamInfo(int sampleRate, int channels);
    // AAC-LC AudioSpecificConfig with the explicit "no SBR" extension; a rate outside the
    // table is written out in full (24 bits).
    static QByteArray audioSpecificConfig(int sampleRate, int channels);

    static constexpr int kEncodeInputBuffer = 524288;
    static constexpr int kDecodeInputBuffer = 131072;
    static constexpr int kFrameBufferCapacity = 16384;

    KvAacWriterHandle writerHandle() const { return m_writer; }
    const KvAacStreamInfo &writerInfo() const { return m_info; }
    quint64 inputBytes() const { return m_inputBytes; }
    qint64 decodedBytes() const { return m_decodedBytes; }

private:
    KvAacCodec m_codec;
    bool m_available = false;
    bool m_encoding = false;
    quint64 m_inputBytes = 0;
    qint64 m_decodedBytes = 0;
    bool m_drained = false;
    KvAacFrameWriter m_writerCalls;  // the calls the writer was opened with
    KvAacWriterHandle m_writer = 0;
    KvAacStreamInfo m_info = {};
};
