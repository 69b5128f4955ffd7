// The frame index of an MP3 file, from libmpg123's seek index.
#include "KvMP3FrameRepacker.h"

#include <QFile>

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// libmpg123 reads a file with one small read per header and per frame body;
// this reader hands it the bytes from 1 MiB reads instead.
class BufferedSource {
public:
    explicit BufferedSource(int fd) : m_fd(fd), m_buf(1 << 20) {}
    ~BufferedSource() { ::close(m_fd); }

    static mpg123_ssize_t read(void *handle, void *out, size_t n)
    {
        return static_cast<BufferedSource *>(handle)->readBytes(static_cast<char *>(out), n);
    }
    static off_t seek(void *handle, off_t offset, int whence)
    {
        return static_cast<BufferedSource *>(handle)->seekTo(offset, whence);
    }
    static void cleanup(void *) {}

private:
    mpg123_ssize_t readBytes(char *out, size_t n)
    {
        size_t done = 0;
        while (done < n) {
            if (m_pos >= m_bufStart && m_pos < m_bufStart + m_bufLen) {
                const size_t at = size_t(m_pos - m_bufStart);
                const size_t k = std::min(n - done, size_t(m_bufLen) - at);
                std::memcpy(out + done, m_buf.data() + at, k);
                done += k;
                m_pos += off_t(k);
                continue;
            }
            const ssize_t got = ::pread(m_fd, m_buf.data(), m_buf.size(), m_pos);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return done > 0 ? mpg123_ssize_t(done) : -1;
            }
            if (got == 0)
                break;
            m_bufStart = m_pos;
            m_bufLen = got;
        }
        return mpg123_ssize_t(done);
    }

    off_t seekTo(off_t offset, int whence)
    {
        off_t base = 0;
        if (whence == SEEK_CUR) {
            base = m_pos;
        } else if (whence == SEEK_END) {
            struct stat st;
            if (::fstat(m_fd, &st) != 0)
                return -1;
            base = st.st_size;
        } else if (whence != SEEK_SET) {
            return -1;
        }
        if (base + offset < 0)
            return -1;
        m_pos = base + offset;
        return m_pos;
    }

    int m_fd;
    std::vector<char> m_buf;
    off_t m_bufStart = 0;
    off_t m_bufLen = 0;
    off_t m_pos = 0;
};

} // namespace

bool KvMP3FrameRepacker::buildMpg123FrameIndex(const QString &path, std::vector<qint64> &offsets,
                                               const Mpg123FrameVisitor &visit)
{
    offsets.clear();
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });

    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    BufferedSource source(fd);

    mpg123_handle *h = mpg123_new(nullptr, nullptr);
    if (!h)
        return false;
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0);
    // One entry per frame, growing in steps of 16384 entries.
    mpg123_param(h, MPG123_INDEX_SIZE, -16384, 0);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Gapless mode holds back the frames inside the encoder delay; every frame is wanted.
    mpg123_param(h, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);

    bool ok = false;
    if (mpg123_replace_reader_handle(h, &BufferedSource::read, &BufferedSource::seek, &BufferedSource::cleanup)
            == MPG123_OK
        && mpg123_open_handle(h, &source) == MPG123_OK) {
        // The first frame announces the format; every later one reads OK.
        int r = mpg123_framebyframe_next(h);
        while (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
            if (visit) {
                unsigned long header = 0;
                unsigned char *body = nullptr;
                size_t bodyBytes = 0;
                if (mpg123_framedata(h, &header, &body, &bodyBytes) != MPG123_OK
                    || !visit(qint64(mpg123_framepos(h)), uint32_t(header), body, bodyBytes))
                    break;
            }
            r = mpg123_framebyframe_next(h);
        }
        off_t *index = nullptr;
        off_t step = 0;
        size_t fill = 0;
        if (mpg123_index(h, &index, &step, &fill) == MPG123_OK && index && fill > 0 && step == 1) {
            offsets.assign(index, index + fill);
            ok = true;
        }
        mpg123_close(h);
    }
    mpg123_delete(h);
    return ok;
}
