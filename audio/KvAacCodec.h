#pragma once
// AAC-LC encoding and decoding through libavcodec, one raw AAC frame at a time: the encoder
// gathers 16-bit PCM into whole codec frames and hands out raw frames; the decoder takes one
// frame per call (raw, or with an ADTS header) and queues 16-bit interleaved PCM.
#include <QByteArray>

#include <functional>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

class KvAacCodec {
public:
    KvAacCodec() = default;
    ~KvAacCodec();
    KvAacCodec(const KvAacCodec &) = delete;
    KvAacCodec &operator=(const KvAacCodec &) = delete;

    // The installed libavcodec has both an AAC encoder and decoder.
    static bool available();

    bool openEncoder(int channels, int sampleRate, int bitrateKbps);
    // audioSpecificConfig: the stream's configuration, given to the decoder as it is.
    bool openDecoder(int channels, int sampleRate, const QByteArray &audioSpecificConfig);
    void close();
    bool isEncoder() const { return m_ctx && m_encoder; }
    bool isDecoder() const { return m_ctx && !m_encoder; }

    // Receives each raw frame; false stops the call with an error.
    typedef std::function<bool(const unsigned char *frame, int size)> FrameSink;
    // Interleaved 16-bit PCM of the opened channel count; every whole codec frame is
    // encoded, the rest waits. 0 or -1.
    int encode(const char *pcm, int len, const FrameSink &sink);
    // The waiting partial frame and the codec's delay come out. 0 or -1.
    int drainEncoder(const FrameSink &sink);
    int pendingInputBytes() const { return int(m_pending.size()); }

    // One compressed frame in; its PCM is queued. 0 or -1.
    int decode(const char *data, int len);
    // What the decoder still holds comes into the queue. 0 or -1.
    int drainDecoder();
    int queuedPcmBytes() const { return int(m_pcm.size()); }
    // Moves whole sample frames of queued PCM into out, at most cap bytes; the bytes moved.
    int takePcm(char *out, int cap);

private:
    int sendFrame(const char *pcm, int samples, const FrameSink &sink);
    int receivePackets(const FrameSink &sink);
    int receiveFrames();

    AVCodecContext *m_ctx = nullptr;
    AVFrame *m_frame = nullptr;
    AVPacket *m_packet = nullptr;
    bool m_encoder = false;
    bool m_ended = false;
    int m_channels = 0;
    long long m_pts = 0;
    std::vector<char> m_pending;  // encoder: PCM short of a whole frame
    std::vector<char> m_pcm;      // decoder: decoded PCM not yet taken
};
