#pragma once
// Base of the encoder and decoder back-ends. It owns what they share: volume, channel
// mapping and SoundTouch (tempo, pitch, rate), the work buffers, the peak meters and the
// sample counters. A back-end supplies only the codec step and its own open/close/presets.
#include "KvAudioFrameSource.h"
#include "audio_preset.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace soundtouch { class SoundTouch; }

class audio_lib : public QObject {
    Q_OBJECT
public:
    explicit audio_lib(const KvAudioFrameReaderPtr &source);
    ~audio_lib() override;

    virtual bool isAvailable() = 0;
    virtual QString name() = 0;
    // mode: 1 VBR, 2 CBR, 3 ABR; resampleRatio: output rate / input rate.
    virtual bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame,
                      int mode, int bitrate, int vbrQuality, double resampleRatio,
                      int channelsOut, int resampleRate, bool encode) = 0;
    // Compressed bytes in, PCM out (volume, channel mapping, SoundTouch applied).
    virtual int decode(const char *in, int inLen, char *out, int outCap, int *outLen);
    // PCM in, encoded bytes out. inLen 0 finishes the stream: SoundTouch and the codec
    // are drained into out.
    virtual int encode(const char *in, int inLen, char *out, int outCap, int *outLen);
    virtual void close() = 0;
    virtual bool pullsFromSource();
    virtual int decodeFromSource(char *out, int outCap);
    virtual audio_preset *presetSettings(int index) = 0;
    virtual QString fileExtension();
    virtual bool sourceReady();
    virtual qint64 samplesIn();
    virtual qint64 samplesOut();
    virtual void takePeakLevels(qint16 *left, qint16 *right);
    virtual void maxPeakLevels(qint16 *left, qint16 *right);
    virtual int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) = 0;
    virtual int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) = 0;
    virtual int readSource(char *out, int outCap);

    // Linear: 1.0 unity, 0.0 silence, in between -60 dB .. 0 dB.
    void setVolume(double v);
    void setPitchSemiTones(double semitones);
    void setTempo(double tempo);
    int numUnprocessedSamples();

    QString errorText() const { return m_errorText; }
    bool isOpen() const { return m_opened; }
    int channelsIn() const { return m_channelsIn; }
    int channelsOut() const { return m_channelsOut; }
    qint64 bytesEncoded() const { return m_bytesEncoded; }

    static void scanPeaks(qint16 peaks[2], const qint16 *pcm, int channels, int byteLength);

protected:
    // Common set-up; a back-end's open calls it after setting both chunk sizes.
    bool setup(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
               int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
               int resampleRate, bool encode);
    void updatePeakMaxima();

    KvAudioFrameReaderPtr m_source;
    std::unique_ptr<soundtouch::SoundTouch> m_soundTouch;
    double m_gain = 1.0;
    double m_resampleRatio = 1.0;
    int m_channelsIn = 0;
    int m_channelsOut = 0;
    int m_resampleRate = 0;
    int m_pcmCapacity = 0;       // bytes of the PCM input buffer
    int m_floatOutCapacity = 0;  // values of the float and PCM output buffers
    int m_pcmFill = 0;
    int m_outFill = 0;
    std::vector<qint16> m_pcmIn;
    std::vector<qint16> m_pcmOut;
    std::vector<float> m_floatIn;
    std::vector<float> m_floatOut;
    bool m_gotData = false;
    bool m_flushed = false;  // SoundTouch's tail already pushed out for this end
    // Decoding at unity (no tempo, pitch or rate change) passes PCM straight through:
    // SoundTouch splices blocks even at unity, and playback at unity should sound exactly
    // like the decoded frames. The first change hands the stream to SoundTouch for good,
    // so nothing it buffers is ever cut off.
    bool m_bypass = false;
    int m_inputBufferSize = 0;  // first chunk size; its meaning is the back-end's
    int m_chunkSize = 0;        // bytes; sizes the work buffers
    bool m_opened = false;
    bool m_encodeMode = false;
    QString m_errorText;
    qint64 m_samplesIn = 0;
    qint64 m_samplesOut = 0;
    qint64 m_bytesEncoded = 0;
    qint16 m_blockPeak[2] = {0, 0};
    qint16 m_sincePeak[2] = {-1, -1};
    qint16 m_maxPeak[2] = {0, 0};

private:
    int soundTouchChannels() const;
    // Takes produced new PCM bytes, runs all whole frames through SoundTouch into out;
    // returns the frames written.
    int processPending(int produced, char *out, int outCap, int *framesIn);
    // The unity form of processPending: whole frames that fit out, with volume and channel
    // mapping only.
    int passPending(char *out, int outCap, int *framesIn);
    void toFloats(const qint16 *pcm, int frames, bool mixDown);
    // Passes the PCM output buffer to the codec, appending to out.
    int encodePending(char *out, int outCap, int *outLen);
    // Moves what SoundTouch has ready through the codec.
    int encodeReady(char *out, int outCap, int *outLen);
};
