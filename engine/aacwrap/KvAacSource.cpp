#include "KvAacSource.h"

#include "AacBits.h"
#include "AacSyntaxWalker.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

namespace kvaac {

namespace {

// Reads [pos, pos + size) of the file into dst; false when it cannot be read whole.
bool readWhole(int fd, int64_t pos, uint8_t *dst, size_t size)
{
    for (size_t got = 0; got < size;) {
        const ssize_t n = ::pread(fd, dst + got, size - got, off_t(pos) + off_t(got));
        if (n <= 0)
            return false;
        got += size_t(n);
    }
    return true;
}

struct InputCloser {
    AVFormatContext *ic = nullptr;
    AVPacket *pkt = av_packet_alloc();
    ~InputCloser()
    {
        av_packet_free(&pkt);
        avformat_close_input(&ic);
    }
};

// ADTS streams with channel configuration 0 name their layout in a leading program config.
int channelsFromLeadingPce(const uint8_t *raw, size_t size)
{
    BitReader br(raw, size);
    if (br.read(3) != 5)
        return 0;
    int channels = 0;
    return parseProgramConfig(br, &channels) ? channels : 0;
}

// Consecutive packets the container cannot read before the index gives up.
constexpr int kMaxReadErrors = 64;

bool sameAdtsLayout(const AdtsHeader &a, const AdtsHeader &b)
{
    return a.objectType == b.objectType && a.samplingIndex == b.samplingIndex &&
           a.channelConfig == b.channelConfig;
}

// Walks the frames on worker threads while the container is still being read. Frames are
// independent and every batch's results are taken in frame order, so the index does not
// depend on the threads' timing.
//
// The level shown and the count of frames that cannot be walked come from the container's
// packets; the gain sites come from the file's bytes at each frame's position, which are
// what the writer reads and edits. The two differ only where FFmpeg's ADTS parser resyncs
// over damage and reports positions that do not hold the packet.
class BatchWalker {
public:
    // cfg is read only once frames are added. fd: the file, to read frames added by position
    // and to check packets against; -1 when the frames handed over are the file's own bytes.
    BatchWalker(const AacConfig &cfg, int fd) : m_cfg(cfg), m_fd(fd) {}
    ~BatchWalker()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    void add(const uint8_t *raw, size_t size, int64_t pos)
    {
        open();
        m_open->bytes.insert(m_open->bytes.end(), raw, raw + size);
        m_open->frames.push_back({pos, m_open->bytes.size()});
        if (m_open->frames.size() == kBatchFrames)
            dispatch();
    }

    // A frame that is read from the file by the walker itself.
    void addAt(int64_t pos, size_t size)
    {
        open();
        m_open->frames.push_back({pos, (m_open->frames.empty() ? 0 : m_open->frames.back().end) + size});
        if (m_open->frames.size() == kBatchFrames)
            dispatch();
    }

    // Waits for every frame added; appends the results in frame order.
    void finish(std::vector<uint8_t> &gains, std::vector<bool> &walked, FrameGainIndex &sites)
    {
        if (m_open)
            dispatch();
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_queue.empty()) // the reader is done: it walks too
            walkNext(lock, m_scratch);
        m_idle.wait(lock, [this] { return m_queue.empty() && m_busy == 0; });
        takeWalked();
        if (m_failed)
            throw std::bad_alloc();
        gains.insert(gains.end(), m_gains.begin(), m_gains.end());
        walked.insert(walked.end(), m_walked.begin(), m_walked.end());
        sites.append(m_sites);
    }

private:
    static constexpr size_t kBatchFrames = 256;
    static constexpr size_t kMaxSpan = size_t(8) << 20;

    struct Frame {
        int64_t pos;
        size_t end; // the frame's packet is bytes [previous end, end)
    };
    struct Batch {
        std::vector<uint8_t> bytes;
        std::vector<Frame> frames;
        std::vector<uint8_t> gains;
        std::vector<bool> walked;
        FrameGainIndex sites;
        bool walkedAll = false;
    };

    // Reads [pos, pos + size) of the file into buf; false when it cannot be read whole.
    bool readAt(int64_t pos, size_t size, std::vector<uint8_t> &buf) const
    {
        buf.resize(size);
        return readWhole(m_fd, pos, buf.data(), size);
    }

    // span: scratch for the file's bytes of the batch, kept by the caller from batch to batch.
    void walk(Batch &b, std::vector<uint8_t> &span) const
    {
        // The file's bytes of the whole batch in one read when its frames lie close together.
        int64_t lo = INT64_MAX, hi = 0;
        size_t begin = 0;
        for (const Frame &f : b.frames) {
            lo = std::min(lo, f.pos);
            hi = std::max(hi, f.pos + int64_t(f.end - begin));
            begin = f.end;
        }
        std::vector<uint8_t> one;
        const bool spanRead = m_fd >= 0 && hi > lo && size_t(hi - lo) <= kMaxSpan && readAt(lo, size_t(hi - lo), span);
        begin = 0;
        const bool fromFile = b.bytes.empty();
        for (const Frame &f : b.frames) {
            const size_t size = f.end - begin;
            const uint8_t *raw = fromFile ? nullptr : b.bytes.data() + begin;
            begin = f.end;
            const uint8_t *file = nullptr;
            if (spanRead)
                file = span.data() + (f.pos - lo);
            else if (m_fd >= 0 && readAt(f.pos, size, one))
                file = one.data();
            if (fromFile)
                raw = file;
            FrameWalk w;
            const int rc = raw ? walkRawFrame(raw, size, m_cfg, WalkDepth::Gains, &w) : WalkOverrun;
            b.gains.push_back(w.streams > 0 ? w.stream[0].gain : 0);
            b.walked.push_back(rc == WalkOk);
            if (file && file != raw && std::memcmp(file, raw, size) != 0) {
                FrameWalk fw;
                b.sites.add(walkRawFrame(file, size, m_cfg, WalkDepth::Gains, &fw), fw);
            } else {
                b.sites.add(rc, w);
            }
        }
    }

    void open()
    {
        if (m_open)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_spare.empty()) { // one already grown and paged in
            m_open = std::move(m_spare.back());
            m_spare.pop_back();
        } else {
            m_open = std::make_unique<Batch>();
            m_open->frames.reserve(kBatchFrames);
        }
    }

    // Under the lock: the results of the batches walked at the front, in frame order; their
    // buffers go back for reuse.
    void takeWalked()
    {
        while (!m_done.empty() && m_done.front()->walkedAll) {
            std::unique_ptr<Batch> b = std::move(m_done.front());
            m_done.pop_front();
            m_gains.insert(m_gains.end(), b->gains.begin(), b->gains.end());
            m_walked.insert(m_walked.end(), b->walked.begin(), b->walked.end());
            m_sites.append(b->sites);
            b->bytes.clear();
            b->frames.clear();
            b->gains.clear();
            b->walked.clear();
            b->sites.clear();
            b->walkedAll = false;
            m_spare.push_back(std::move(b));
        }
    }

    void dispatch()
    {
        // Threads start with the first full batch: a short file is walked where it is read.
        if (!m_started && m_open->frames.size() == kBatchFrames) {
            m_started = true;
            const unsigned cores = std::thread::hardware_concurrency();
            const unsigned workers = cores > 1 ? std::min(cores - 1, 7u) : 0;
            try {
                for (unsigned i = 0; i < workers; ++i)
                    m_threads.emplace_back([this] { work(); });
            } catch (const std::system_error &) {
                // fewer threads, or none: the walk is the same
            }
        }
        if (m_threads.empty()) {
            walk(*m_open, m_scratch);
            m_open->walkedAll = true;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done.push_back(std::move(m_open));
            takeWalked();
            return;
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        // Bounded read-ahead: while the workers are far behind, the reader walks.
        while (m_queue.size() >= 4 * m_threads.size())
            walkNext(lock, m_scratch);
        m_done.push_back(std::move(m_open));
        m_queue.push_back(m_done.back().get());
        takeWalked();
        lock.unlock();
        m_wake.notify_one();
    }

    // Under the lock, which it lets go while walking: walks the next queued batch.
    void walkNext(std::unique_lock<std::mutex> &lock, std::vector<uint8_t> &scratch)
    {
        Batch *b = m_queue.front();
        m_queue.pop_front();
        ++m_busy;
        lock.unlock();
        bool failed = false;
        try {
            walk(*b, scratch);
        } catch (const std::bad_alloc &) {
            failed = true;
        }
        lock.lock();
        b->walkedAll = true;
        m_failed = m_failed || failed;
        --m_busy;
        m_idle.notify_all();
    }

    void work()
    {
        std::vector<uint8_t> scratch;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            walkNext(lock, scratch);
        }
    }

    const AacConfig &m_cfg;
    const int m_fd;
    bool m_started = false;
    std::unique_ptr<Batch> m_open;
    std::vector<uint8_t> m_scratch;
    std::deque<std::unique_ptr<Batch>> m_done; // batches handed out and not yet taken, in order
    std::vector<std::unique_ptr<Batch>> m_spare;
    std::vector<uint8_t> m_gains;
    std::vector<bool> m_walked;
    FrameGainIndex m_sites;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_idle;
    std::deque<Batch *> m_queue;
    int m_busy = 0;
    bool m_failed = false;
    bool m_stop = false;
};

// Whether the file holds `data` at `pos`.
bool fileHolds(int fd, int64_t pos, const uint8_t *data, size_t size, std::vector<uint8_t> &buf)
{
    buf.resize(size);
    return readWhole(fd, pos, buf.data(), size) && std::memcmp(buf.data(), data, size) == 0;
}

// The configuration of an ADTS stream, from its first frame.
AacConfig adtsConfig(const AdtsHeader &h, const uint8_t *raw, size_t size)
{
    AacConfig cfg = configFromAdts(h);
    if (cfg.channels == 0)
        cfg.channels = channelsFromLeadingPce(raw, size);
    return cfg;
}

// A plain ADTS file is indexed straight from its bytes: frames of one layout back to back
// from the first byte to the last, each with one raw block and no CRC. FFmpeg's demuxer
// and parser give exactly these frames for such a file, at several times the cost. False,
// with nothing kept, for any other file, which then goes through FFmpeg.
bool scanPlainAdts(int fd, KvAacCancelFn cancel, ScanResult &res)
{
    constexpr size_t kMinFrames = 16; // FFmpeg's probe is sure of longer runs only
    constexpr size_t kChunk = size_t(1) << 20;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int64_t fileSize = int64_t(st.st_size);
    if (fileSize < int64_t(kMinFrames) * (kAdtsHeaderSize + 1))
        return false;
    auto src = std::make_shared<Source>();
    src->container = ContainerAdts;
    src->frames.reserve(size_t(std::min<int64_t>(fileSize / 128, int64_t(1) << 24)));
    BatchWalker walker(src->cfg, -1); // the frames handed over are the file's own bytes
    std::vector<uint8_t> buf(kChunk + kAdtsMaxFrame); // file bytes [bufPos, bufPos + filled)
    int64_t bufPos = 0;
    size_t filled = 0;
    AdtsHeader first;
    for (int64_t pos = 0, n = 0; pos < fileSize; ++n) {
        if (cancel && (n & 63) == 0 && cancel()) {
            res = ScanResult();
            res.error = KV_AAC_E_CANCELLED;
            return true;
        }
        size_t at = size_t(pos - bufPos);
        if (filled - at < size_t(kAdtsMaxFrame) && bufPos + int64_t(filled) < fileSize) {
            std::memmove(buf.data(), buf.data() + at, filled - at);
            filled -= at;
            bufPos = pos;
            at = 0;
            const size_t more = size_t(std::min<int64_t>(int64_t(buf.size() - filled), fileSize - bufPos - int64_t(filled)));
            if (!readWhole(fd, bufPos + int64_t(filled), buf.data() + filled, more))
                return false;
            filled += more;
        }
        const uint8_t *p = buf.data() + at;
        AdtsHeader h;
        if (!parseAdtsHeader(p, filled - at, &h) || h.headerSize != kAdtsHeaderSize || h.rawBlocks != 1 ||
            h.frameLength <= h.headerSize || size_t(h.frameLength) > filled - at)
            return false;
        const uint8_t *raw = p + kAdtsHeaderSize;
        const size_t size = size_t(h.frameLength - kAdtsHeaderSize);
        if (n == 0) {
            first = h;
            src->cfg = adtsConfig(h, raw, size);
            if (!walkerSupports(src->cfg) || src->cfg.channels <= 0)
                return false;
        } else if (!sameAdtsLayout(h, first)) {
            return false;
        }
        walker.add(raw, size, pos + kAdtsHeaderSize);
        src->frames.push_back({pos + kAdtsHeaderSize, uint32_t(size)});
        pos += h.frameLength;
    }
    if (src->frames.size() < kMinFrames)
        return false;
    std::vector<bool> walked;
    walker.finish(res.gains, walked, src->gainSites);
    res.untouched.resize(walked.size());
    for (size_t i = 0; i < walked.size(); ++i)
        res.untouched[i] = !walked[i];
    src->adtsHeaders = true;
    res.source = std::move(src);
    return true;
}

// An MP4 track is indexed from its sample table when FFmpeg has read that table whole (not a
// fragmented file) and it holds nothing FFmpeg's packets would differ from: one frame per
// entry, in time order, all inside the file, the first packet read agreeing with the first
// entry. (Entries an edit list hides are packets too, only flagged.) The walkers then read the frames from the file themselves.
// False, with nothing added, when the packets are to be read one by one.
bool indexFromSampleTable(AVFormatContext *ic, int streamIndex, const AVPacket *first, int64_t fileSize,
                          Source &src, BatchWalker &walker, int64_t *lastDuration)
{
    AVStream *st = ic->streams[streamIndex];
    const int n = avformat_index_get_entries_count(st);
    if (n <= 0 || st->nb_frames != n || st->duration == AV_NOPTS_VALUE || fileSize <= 0 ||
        first->stream_index != streamIndex || !walkerSupports(src.cfg) || src.cfg.channels <= 0)
        return false;
    const AVIndexEntry *e0 = avformat_index_get_entry(st, 0);
    if (!e0 || first->pos != e0->pos || first->size != e0->size || first->pts != e0->timestamp ||
        first->dts != e0->timestamp)
        return false;
    int64_t previous = INT64_MIN;
    for (int i = 0; i < n; ++i) {
        const AVIndexEntry *e = avformat_index_get_entry(st, i);
        if (!e || e->pos < 0 || e->size <= 0 || e->pos + e->size > fileSize || e->timestamp <= previous)
            return false;
        previous = e->timestamp;
    }
    const int rate = st->codecpar->sample_rate > 0 ? st->codecpar->sample_rate : src.cfg.sampleRate;
    if (e0->timestamp < 0)
        src.primingSamples = av_rescale_q(-e0->timestamp, st->time_base, AVRational{1, rate});
    // The last packet lasts to the track's end.
    const int64_t last = st->duration - previous;
    *lastDuration = last > 0 ? av_rescale_q(last, st->time_base, AVRational{1, rate}) : 0;
    src.frames.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const AVIndexEntry *e = avformat_index_get_entry(st, i);
        walker.addAt(e->pos, size_t(e->size));
        src.frames.push_back({e->pos, uint32_t(e->size)});
    }
    return true;
}

// A run of ADTS frames of another layout: damage, unless they all share one layout for long
// enough (or to the end), which is a change of format that ends the index.
struct LayoutRun {
    static constexpr size_t kChangeRun = 8;
    static constexpr size_t kChangeRunAtEnd = 2;
    size_t start = SIZE_MAX;
    int layout = -1;

    void note(bool foreign, bool usable, const AdtsHeader &h, size_t frameIndex)
    {
        if (!foreign) {
            start = SIZE_MAX;
            return;
        }
        const int l = usable ? (h.objectType * 16 + h.samplingIndex) * 8 + h.channelConfig : -1;
        if (start == SIZE_MAX) {
            start = frameIndex;
            layout = l;
        } else if (l != layout) {
            layout = -1;
        }
    }
    bool changed(size_t frames, size_t atLeast) const
    {
        return start != SIZE_MAX && layout >= 0 && frames - start >= atLeast;
    }
};

// The index's end: the walk's results, the frames the writer copies as they are, and the
// cut where the stream changes format.
void finishIndex(BatchWalker &walker, std::shared_ptr<Source> src, const std::vector<bool> &foreignFrames,
                 const LayoutRun &run, int64_t lastDuration, ScanResult &res)
{
    // The writer changes the gain of a frame it can walk this far and copies any other as
    // it is: such frames are counted for the report.
    std::vector<bool> walked;
    walker.finish(res.gains, walked, src->gainSites);
    res.untouched.resize(src->frames.size());
    for (size_t i = 0; i < res.untouched.size(); ++i)
        res.untouched[i] = foreignFrames[i] || !walked[i];
    if (run.changed(src->frames.size(), LayoutRun::kChangeRunAtEnd)) {
        res.cutAtFrame = int64_t(run.start);
        res.cutAtOffset = src->frames[run.start].pos;
        src->frames.resize(run.start);
        src->gainSites.truncate(run.start);
        res.gains.resize(run.start);
        res.untouched.resize(run.start);
    }
    if (lastDuration > 0 && lastDuration < src->cfg.samplesPerFrame())
        src->lastFrameSamples = lastDuration;
    res.source = std::move(src);
}

// A damaged ADTS stream, indexed from its own headers from `start` (where FFmpeg found the
// first frame) on. Over damage FFmpeg's parser returns packets that are not the file's bytes
// and positions that hold other bytes, so the writer, which copies from the file, would send
// out the wrong bytes. Here each frame is its header's length of bytes at its header; past
// damage the index resyncs on a header that the next frame's header confirms.
bool scanAdtsByHeaders(int fd, int64_t start, KvAacCancelFn cancel, ScanResult &res)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || start < 0 || start >= int64_t(st.st_size))
        return false;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(st.st_size));
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (!readWhole(fd, 0, bytes.data(), bytes.size()))
        return false;
    const size_t size = bytes.size();
    // (The layer bits of an ADTS header are always zero: one more check against a false sync.)
    const auto frameAt = [&](size_t p, AdtsHeader *h) {
        return p + 1 < size && (bytes[p + 1] & 0x06) == 0 && parseAdtsHeader(bytes.data() + p, size - p, h) && h->frameLength > h->headerSize &&
               size_t(h->frameLength) <= size - p;
    };
    auto src = std::make_shared<Source>();
    src->container = ContainerAdts;
    BatchWalker walker(src->cfg, -1); // the frames handed over are the file's own bytes
    std::vector<bool> foreignFrames;
    LayoutRun run;
    AdtsHeader first;
    bool inStep = true; // at the end of the previous frame, or at the start
    for (size_t p = size_t(start), n = 0; p + kAdtsHeaderSize <= size;) {
        if (cancel && (n & 63) == 0 && cancel()) {
            res = ScanResult();
            res.error = KV_AAC_E_CANCELLED;
            return true;
        }
        AdtsHeader h, next;
        bool ok = frameAt(p, &h);
        if (ok && !inStep) {
            const size_t after = p + size_t(h.frameLength);
            ok = size - after < size_t(kAdtsHeaderSize) || frameAt(after, &next);
        }
        if (!ok) {
            ++p;
            inStep = false;
            continue;
        }
        inStep = true;
        ++n;
        const bool usable = h.rawBlocks == 1;
        const uint8_t *raw = bytes.data() + p + size_t(h.headerSize);
        const size_t rawSize = size_t(h.frameLength - h.headerSize);
        if (src->frames.empty()) {
            if (!usable)
                return false;
            first = h;
            src->cfg = adtsConfig(h, raw, rawSize);
            if (!walkerSupports(src->cfg) || src->cfg.channels <= 0)
                return false;
        }
        const bool foreign = !usable || !sameAdtsLayout(h, first);
        run.note(foreign, usable, h, src->frames.size());
        walker.add(raw, rawSize, int64_t(p) + h.headerSize);
        src->frames.push_back({int64_t(p) + h.headerSize, uint32_t(rawSize)});
        foreignFrames.push_back(foreign);
        p += size_t(h.frameLength);
        if (run.changed(src->frames.size(), LayoutRun::kChangeRun))
            break;
    }
    if (src->frames.empty())
        return false;
    src->adtsHeaders = true;
    finishIndex(walker, std::move(src), foreignFrames, run, 0, res);
    return true;
}

// Indexes the file that fd holds open (FFmpeg reads it again by path).
ScanResult scanOpenFile(int fd, const char *path, KvAacCancelFn cancel)
{
    ScanResult res;
    if (scanPlainAdts(fd, cancel, res))
        return res;
    InputCloser in;
    if (!path || !*path || !in.pkt || avformat_open_input(&in.ic, path, nullptr, nullptr) < 0) {
        res.error = KV_AAC_E_OPEN;
        return res;
    }
    int streamIndex = -1;
    for (unsigned i = 0; i < in.ic->nb_streams; ++i) {
        if (in.ic->streams[i]->codecpar->codec_id == AV_CODEC_ID_AAC) {
            streamIndex = int(i);
            break;
        }
    }
    const char *fmt = in.ic->iformat->name;
    auto src = std::make_shared<Source>();
    if (std::strcmp(fmt, "aac") == 0)
        src->container = ContainerAdts;
    else if (std::strstr(fmt, "mp4"))
        src->container = ContainerMp4;
    if (streamIndex < 0 || src->container == ContainerNone) {
        res.error = KV_AAC_E_OPEN;
        return res;
    }
    if (src->container == ContainerMp4) {
        const AVCodecParameters *par = in.ic->streams[streamIndex]->codecpar;
        if (!par->extradata || par->extradata_size <= 0 ||
            !parseAudioSpecificConfig(par->extradata, size_t(par->extradata_size), &src->cfg)) {
            res.error = KV_AAC_E_UNSUPPORTED;
            return res;
        }
        src->asc.assign(par->extradata, par->extradata + par->extradata_size);
    }

    AdtsHeader first;
    int64_t lastDuration = 0;
    BatchWalker walker(src->cfg, fd);
    std::vector<bool> foreignFrames;
    // Room for every frame at once: the MP4 counts them; an ADTS file is guessed at from its
    // size (only the pages used are ever touched).
    const int64_t counted = in.ic->streams[streamIndex]->nb_frames;
    const int64_t fileSize = in.ic->pb ? avio_size(in.ic->pb) : -1;
    const int64_t expected = counted > 0 ? counted : fileSize > 0 ? fileSize / 128 : 0;
    src->frames.reserve(size_t(std::clamp<int64_t>(expected, 0, int64_t(1) << 24)));
    LayoutRun run;
    // Whether every ADTS packet is its header's frame, at the position FFmpeg gives.
    bool adtsInStep = true;
    int64_t firstAdtsPos = -1;
    std::vector<uint8_t> fileBytes;
    int readErrors = 0;
    // The first packet is read ahead: it tells whether the sample table can stand for them all.
    int pendingRc = 1;
    if (src->container == ContainerMp4 && !(cancel && cancel())) {
        pendingRc = av_read_frame(in.ic, in.pkt);
        struct stat st;
        if (pendingRc == 0 && ::fstat(fd, &st) == 0 &&
            indexFromSampleTable(in.ic, streamIndex, in.pkt, int64_t(st.st_size), *src, walker, &lastDuration)) {
            foreignFrames.assign(src->frames.size(), false);
            pendingRc = AVERROR_EOF;
        }
    }
    for (int64_t n = 0;; ++n) {
        if (cancel && (n & 63) == 0 && cancel()) {
            res.error = KV_AAC_E_CANCELLED;
            return res;
        }
        const int rc = pendingRc <= 0 ? std::exchange(pendingRc, 1) : av_read_frame(in.ic, in.pkt);
        if (rc == AVERROR_EOF)
            break;
        if (rc < 0) {
            // A sample the container points at but that cannot be read (a damaged table)
            // is passed over; a file that keeps failing ends the index.
            if (src->frames.empty() || ++readErrors > kMaxReadErrors) {
                if (src->frames.empty()) {
                    res.error = KV_AAC_E_OPEN;
                    return res;
                }
                break;
            }
            continue;
        }
        readErrors = 0;
        if (in.pkt->stream_index != streamIndex) {
            av_packet_unref(in.pkt);
            continue;
        }
        const uint8_t *raw = in.pkt->data;
        size_t size = size_t(in.pkt->size);
        int64_t pos = in.pkt->pos;
        bool foreign = false;
        if (src->container == ContainerAdts) {
            AdtsHeader h;
            const bool parsed = parseAdtsHeader(raw, size, &h) && size_t(h.headerSize) <= size;
            const bool usable = parsed && h.rawBlocks == 1;
            if (src->frames.empty() && !usable) {
                res.error = KV_AAC_E_UNSUPPORTED;
                return res;
            }
            foreign = !usable || (!src->frames.empty() && !sameAdtsLayout(h, first));
            if (firstAdtsPos < 0)
                firstAdtsPos = in.pkt->pos;
            // (A frame the file's end cuts short comes as the bytes that are left.)
            adtsInStep = adtsInStep && parsed && in.pkt->pos >= 0 &&
                         (size_t(h.frameLength) == size ||
                          (size_t(h.frameLength) > size && in.pkt->pos + int64_t(size) == fileSize)) &&
                         fileHolds(fd, in.pkt->pos, raw, size, fileBytes);
            const size_t header = parsed ? size_t(h.headerSize) : std::min<size_t>(size, kAdtsHeaderSize);
            raw += header;
            size -= header;
            pos += int64_t(header);
            if (src->frames.empty()) {
                first = h;
                src->cfg = adtsConfig(h, raw, size);
            }
            run.note(foreign, usable, h, src->frames.size());
        }
        if (in.pkt->pos < 0 || size > UINT32_MAX || size == 0) {
            if (src->frames.empty()) {
                res.error = KV_AAC_E_UNSUPPORTED;
                return res;
            }
            av_packet_unref(in.pkt);
            continue;
        }
        if (src->frames.empty() && (!walkerSupports(src->cfg) || src->cfg.channels <= 0)) {
            res.error = KV_AAC_E_UNSUPPORTED;
            return res;
        }
        if (src->frames.empty() && src->container == ContainerMp4 && in.pkt->pts != AV_NOPTS_VALUE &&
            in.pkt->pts < 0) {
            const AVStream *st = in.ic->streams[streamIndex];
            const int rate = st->codecpar->sample_rate > 0 ? st->codecpar->sample_rate : src->cfg.sampleRate;
            src->primingSamples = av_rescale_q(-in.pkt->pts, st->time_base, AVRational{1, rate});
        }
        if (src->container == ContainerMp4) {
            const AVStream *st = in.ic->streams[streamIndex];
            const int rate = st->codecpar->sample_rate > 0 ? st->codecpar->sample_rate : src->cfg.sampleRate;
            lastDuration = in.pkt->duration > 0
                               ? av_rescale_q(in.pkt->duration, st->time_base, AVRational{1, rate})
                               : 0;
        }
        walker.add(raw, size, pos);
        src->frames.push_back({pos, uint32_t(size)});
        foreignFrames.push_back(foreign);
        av_packet_unref(in.pkt);
        if (run.changed(src->frames.size(), LayoutRun::kChangeRun))
            break;
    }
    if (src->container == ContainerAdts && !adtsInStep) {
        ScanResult own;
        if (scanAdtsByHeaders(fd, firstAdtsPos, cancel, own))
            return own;
    }
    src->adtsHeaders = src->container == ContainerAdts && adtsInStep;
    finishIndex(walker, std::move(src), foreignFrames, run, lastDuration, res);
    return res;
}

} // namespace

HeldFile::~HeldFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

HeldFile &HeldFile::operator=(HeldFile &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

size_t Source::headerLead(size_t i) const
{
    // A header with CRC is 9 bytes, without 7.
    return adtsHeaders && i < frames.size() ? size_t(std::min<int64_t>(frames[i].pos, 9)) : 0;
}

bool Source::holdsFrame(size_t i, const uint8_t *bytes, size_t lead) const
{
    const size_t size = frames[i].size;
    if (lead > 0) {
        bool header = false;
        for (const size_t headerSize : {size_t(kAdtsHeaderSize), size_t(9)}) {
            AdtsHeader h;
            if (header || lead < headerSize ||
                !parseAdtsHeader(bytes + lead - headerSize, headerSize + size, &h) ||
                size_t(h.headerSize) != headerSize)
                continue;
            // The file's last frame may be cut short: its header names more than it holds.
            const size_t length = size_t(h.frameLength);
            header = length == headerSize + size || (i + 1 == frames.size() && length > headerSize + size);
        }
        if (!header)
            return false;
    }
    return i >= gainSites.size() || gainSites.holdsWalkedGains(i, bytes + lead, size);
}

ScanResult scanSource(const char *path, KvAacCancelFn cancel)
{
    if (!path || !*path) {
        ScanResult res;
        res.error = KV_AAC_E_OPEN;
        return res;
    }
    // The index and every later write read this one descriptor.
    HeldFile file(::open(path, O_RDONLY | O_CLOEXEC));
    if (file.fd() < 0) {
        ScanResult res;
        res.error = KV_AAC_E_OPEN;
        return res;
    }
    ScanResult res = scanOpenFile(file.fd(), path, cancel);
    if (res.source)
        res.source->file = std::move(file);
    return res;
}

} // namespace kvaac
