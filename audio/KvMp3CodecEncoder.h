#pragma once
// MP3 encoding through the encoders installed with libavcodec, presented the way an
// installed codec driver presents itself: a driver name and a list of fixed formats
// (rate, channels, bitrate), and a conversion stream that keeps partial codec frames
// pending until more PCM arrives or the stream ends.
#include <QString>

#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;

struct KvMp3CodecFormat {
    int sampleRate = 0;
    int channels = 0;
    int bitrate = 0;  // bit/s
    QString text;     // "128 kBit/s, 44.100 Hz, Stereo"
};

class KvMp3CodecEncoder {
public:
    KvMp3CodecEncoder() = default;
    ~KvMp3CodecEncoder();
    KvMp3CodecEncoder(const KvMp3CodecEncoder &) = delete;
    KvMp3CodecEncoder &operator=(const KvMp3CodecEncoder &) = delete;

    // Name of the first installed MP3 encoder; empty when there is none.
    static QString driverName();
    // Every format that driver offers; empty without a driver.
    static std::vector<KvMp3CodecFormat> driverFormats();

    // PCM in is interleaved 16-bit with the format's rate and channels. inputCapacity bounds
    // the pending plus new input of one conversion.
    bool open(const KvMp3CodecFormat &format, int inputCapacity);
    void close();
    bool isOpen() const { return m_ctx != nullptr; }
    int pendingBytes() const { return int(m_pending.size()); }

    // Encodes every whole codec frame of pending + input into out; a zero-length input ends
    // the stream (the partial frame and the codec's delay come out). 0 or -1.
    int convert(const char *in, int inLen, char *out, int outCap, int *outLen);

private:
    bool openContext();
    int sendSamples(const char *pcm, int samples, char *out, int outCap, int *outLen);
    int receive(char *out, int outCap, int *outLen);

    const AVCodec *m_codec = nullptr;
    AVCodecContext *m_ctx = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    KvMp3CodecFormat m_format;
    int m_inputCapacity = 0;
    std::vector<char> m_pending;
    long long m_pts = 0;
    bool m_ended = false;
};
