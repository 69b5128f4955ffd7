#include "KvMpegFeedDecoder.h"

#include <mpg123.h>

#include <mutex>

namespace {
bool initLibrary()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = mpg123_init() == MPG123_OK; });
    return ok;
}
} // namespace

KvMpegFeedDecoder::~KvMpegFeedDecoder() { close(); }

long KvMpegFeedDecoder::decoderFlags()
{
    return MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD | MPG123_FORCE_ENDIAN
        | MPG123_AUTO_RESAMPLE;
}

bool KvMpegFeedDecoder::open(int sampleRate, int channels)
{
    close();
    if (!initLibrary() || sampleRate <= 0 || channels < 1 || channels > 2)
        return false;
    int err = MPG123_OK;
    mpg123_handle *h = mpg123_new(nullptr, &err);
    if (!h)
        return false;
    const bool ok = mpg123_param(h, MPG123_FLAGS, decoderFlags(), 0) == MPG123_OK
        && mpg123_format_none(h) == MPG123_OK
        && mpg123_format(h, sampleRate, channels == 1 ? MPG123_MONO : MPG123_STEREO,
                         MPG123_ENC_SIGNED_16) == MPG123_OK
        && mpg123_open_feed(h) == MPG123_OK;
    if (!ok) {
        mpg123_delete(h);
        return false;
    }
    m_handle = h;
    return true;
}

void KvMpegFeedDecoder::close()
{
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
}

int KvMpegFeedDecoder::pendingBytes() const
{
    if (!m_handle)
        return 0;
    long fill = 0;
    double unused = 0;
    if (mpg123_getstate(m_handle, MPG123_BUFFERFILL, &fill, &unused) != MPG123_OK)
        return 0;
    return int(fill);
}

bool KvMpegFeedDecoder::feed(const char *data, int len)
{
    if (!m_handle || len < 0)
        return false;
    if (len == 0)
        return true;
    return mpg123_feed(m_handle, reinterpret_cast<const unsigned char *>(data), size_t(len))
        == MPG123_OK;
}

int KvMpegFeedDecoder::read(char *out, int cap)
{
    if (!m_handle || cap < 0)
        return -1;
    int total = 0;
    while (total < cap) {
        size_t done = 0;
        const int r = mpg123_read(m_handle, reinterpret_cast<unsigned char *>(out) + total,
                                  size_t(cap - total), &done);
        total += int(done);
        if (r == MPG123_NEW_FORMAT || (r == MPG123_OK && done > 0))
            continue;
        if (r == MPG123_OK || r == MPG123_NEED_MORE || r == MPG123_DONE)
            break;
        return -1;
    }
    return total;
}
