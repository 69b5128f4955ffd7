#pragma once
#include "audio_lib.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QString>
#include <QVector>

namespace kvaudiotest {

// 16-bit signed little-endian PCM at the given rate and channel count.
QAudioFormat pcmFormat(int rate, int channels);

// One MPEG audio frame as it sits in a file.
struct Mp3Frame {
    qint64 pos = 0;
    int size = 0;
    int version = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
};

// Walks the Layer III frames of an MP3 file (after an ID3v2 tag, up to the first thing that
// is not a frame). Our own small header parser, independent of the code under test.
QVector<Mp3Frame> splitFrames(const QByteArray &file);

// Packets of the file as ffprobe sees them: (pos, size).
QVector<QPair<qint64, int>> ffprobePackets(const QString &path);

// Whole-file decode through libmpg123 with the given flags, 16-bit at the file's own
// rate and channel count.
QByteArray decodeWholeFile(const QString &path, long flags, int rate, int channels);

// Interleaved 16-bit sine; channel c gets frequency freqs[c].
QByteArray sine(int rate, int channels, double seconds, const QVector<double> &freqs, double amp);

QVector<qint16> samples(const QByteArray &pcm);
double rms(const QByteArray &pcm, int channels, int channel);
// RMS of one channel over frames [first, first + count) of 16-bit interleaved PCM.
double rmsOfFrames(const QByteArray &pcm, int channels, int channel, int first, int count);
// 20 log10(a / b).
double dbRatio(double a, double b);

// The 16-bit PCM as 24-bit signed little-endian samples (the low byte zero).
QByteArray widenTo24(const QByteArray &pcm16);

// Runs PCM through an opened encoder in chunks of chunkBytes, then calls the finishing
// encode (length 0) until it yields nothing more; the encoded stream. ok reports every
// call's success.
QByteArray encodeAll(audio_lib &encoder, const QByteArray &pcm, int chunkBytes, bool *ok,
                     int outCapacity = 4 * 1024 * 1024);

// A WAV file holding the PCM (for sox as the judge).
bool writeWav(const QString &path, const QByteArray &pcm, int rate, int channels);
// sox's duration (seconds) and rough frequency (Hz, first channel) of a file.
double soxDuration(const QString &path);
double soxRoughFrequency(const QString &path);

// Back-end whose codec step copies PCM through unchanged: exercises the base pipelines.
class PcmPassthrough : public audio_lib {
    Q_OBJECT
public:
    explicit PcmPassthrough(int chunk = 9216) : audio_lib(KvAudioFrameReaderPtr()), m_chunk(chunk) {}
    bool isAvailable() override { return true; }
    QString name() override { return "PCM passthrough"; }
    bool open(int channelsIn, int bitsPerSample, int sampleRate, int samplesPerFrame, int mode,
              int bitrate, int vbrQuality, double resampleRatio, int channelsOut,
              int resampleRate, bool encode) override
    {
        m_inputBufferSize = m_chunk;
        m_chunkSize = m_chunk;
        return setup(channelsIn, bitsPerSample, sampleRate, samplesPerFrame, mode, bitrate,
                     vbrQuality, resampleRatio, channelsOut, resampleRate, encode);
    }
    void close() override {}
    audio_preset *presetSettings(int) override { return nullptr; }
    int decodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;
    int encodeChunk(const char *in, int inLen, char *out, int outCap, int *outLen) override;

    int encodeCalls = 0;
    int finishCalls = 0;
    int failAfter = -1;  // fail every encodeChunk call after this many
    QByteArray received;

private:
    int m_chunk;
};

} // namespace kvaudiotest
