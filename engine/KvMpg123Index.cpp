// The frame index of an MP3 file, from libmpg123's seek index.
#include "KvMP3FrameRepacker.h"

#include <QFile>

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <thread>
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

// Batches of frame starts from the reader thread to the parsing one, a few
// batches deep so that neither waits long for the other.
class FrameStartQueue {
public:
    using Batch = std::vector<KvMP3FrameRepacker::Mpg123FrameStart>;

    // The reader's side: false once the parser has stopped.
    bool push(Batch &&batch)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopped || m_batches.size() < kDepth; });
        if (m_stopped)
            return false;
        m_batches.push_back(std::move(batch));
        m_changed.notify_all();
        return true;
    }
    void finish()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }

    // The parser's side: false once the reader finished and all was taken.
    bool pop(Batch &batch)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_finished || !m_batches.empty(); });
        if (m_batches.empty())
            return false;
        batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_changed.notify_all();
        return true;
    }
    // Emptied batches go back to the reader, so their memory is touched once.
    void recycle(Batch &&batch)
    {
        batch.clear();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_spare.push_back(std::move(batch));
    }
    Batch spare()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Batch batch;
        if (!m_spare.empty()) {
            batch = std::move(m_spare.back());
            m_spare.pop_back();
        }
        return batch;
    }

    void stop()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = true;
        m_batches.clear();
        m_changed.notify_all();
    }

private:
    static constexpr size_t kDepth = 4;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_batches;
    std::vector<Batch> m_spare;
    bool m_finished = false;
    bool m_stopped = false;
};

constexpr size_t kBatchFrames = 4096;

KvMP3FrameRepacker::Mpg123FrameStart frameStart(qint64 offset, uint32_t header, const uint8_t *body,
                                                size_t bodyBytes)
{
    KvMP3FrameRepacker::Mpg123FrameStart f;
    f.offset = offset;
    f.header = header;
    f.bodyBytes = uint32_t(std::min<size_t>(bodyBytes, UINT32_MAX));
    const size_t n = std::min<size_t>(bodyBytes, sizeof f.body);
    std::memcpy(f.body, body, n);
    std::memset(f.body + n, 0, sizeof f.body - n);
    return f;
}

} // namespace

bool KvMP3FrameRepacker::readMpg123FrameStarts(const QString &path, std::vector<qint64> &offsets,
                                               const Mpg123FrameConsumer &consume)
{
    FrameStartQueue queue;
    bool indexed = false;
    const auto read = [&] {
        FrameStartQueue::Batch batch;
        batch.reserve(kBatchFrames);
        indexed = buildMpg123FrameIndex(path, offsets,
                                        [&](qint64 offset, uint32_t header, const uint8_t *body, size_t bodyBytes) {
                                            batch.push_back(frameStart(offset, header, body, bodyBytes));
                                            if (batch.size() < kBatchFrames)
                                                return true;
                                            const bool more = queue.push(std::move(batch));
                                            batch = queue.spare();
                                            batch.reserve(kBatchFrames);
                                            return more;
                                        });
        if (!batch.empty())
            queue.push(std::move(batch));
        queue.finish();
    };

    std::thread reader;
    try {
        reader = std::thread(read);
    } catch (const std::system_error &) {
        // No thread to be had: each frame is handed over as it is read.
        return buildMpg123FrameIndex(path, offsets,
                                     [&](qint64 offset, uint32_t header, const uint8_t *body, size_t bodyBytes) {
                                         return consume(frameStart(offset, header, body, bodyBytes));
                                     });
    }
    FrameStartQueue::Batch batch;
    bool going = true;
    while (going && queue.pop(batch)) {
        for (const Mpg123FrameStart &f : batch) {
            if (!consume(f)) {
                going = false;
                break;
            }
        }
        queue.recycle(std::move(batch));
    }
    queue.stop();
    if (reader.joinable())
        reader.join();
    return indexed;
}

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
        // A frame that announces another format is handed over like any
        // other: damage makes false ones, and the scan tells them from a real
        // change of format.
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
