#pragma once
// MPEG audio decoder fed with compressed bytes as they come (libmpg123 feed mode): 16-bit
// little-endian output at a fixed rate and channel count, no gapless trimming, a Xing or
// Info frame decoded as an ordinary (silent) frame, and output from the first whole frame.
struct mpg123_handle_struct;

class KvMpegFeedDecoder {
public:
    KvMpegFeedDecoder() = default;
    ~KvMpegFeedDecoder();
    KvMpegFeedDecoder(const KvMpegFeedDecoder &) = delete;
    KvMpegFeedDecoder &operator=(const KvMpegFeedDecoder &) = delete;

    // The libmpg123 flags this decoder runs with.
    static long decoderFlags();

    bool open(int sampleRate, int channels);
    void close();
    bool isOpen() const { return m_handle != nullptr; }

    // Compressed bytes held that do not yet make a whole frame.
    int pendingBytes() const;
    bool feed(const char *data, int len);
    // Copies up to cap bytes of decoded PCM; 0 when more input is needed, -1 on error.
    int read(char *out, int cap);

private:
    mpg123_handle_struct *m_handle = nullptr;
};
