#include "KvAacWriter.h"

#include "AacFrameEdit.h"
#include "KvAacWrap.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>

namespace kvaac {

namespace {

const char *muxerForPath(const std::string &path)
{
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return nullptr;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char ch) { return char(std::tolower(ch)); });
    if (ext == "m4a" || ext == "m4b" || ext == "m4r")
        return "ipod";
    if (ext == "mp4")
        return "mp4";
    if (ext == "aac")
        return "adts";
    return nullptr;
}

} // namespace

Writer::Writer(const AacConfig &cfg, Output output)
    : m_cfg(cfg), m_output(output), m_silent(silentFrame(cfg))
{
}

std::shared_ptr<Writer> Writer::create(const AacConfig &cfg, Output output,
                                       const std::string &path,
                                       const std::shared_ptr<Source> &firstSource,
                                       int64_t primingSamples, int *error)
{
    std::shared_ptr<Writer> w(new Writer(cfg, output));
    w->m_priming = primingSamples > 0 ? primingSamples : 0;
    *error = 0;
    if (w->m_silent.empty()) {
        *error = KV_AAC_E_FORMAT;
        return nullptr;
    }
    if (output == Output::File && (*error = w->openFile(path, firstSource)) != 0)
        return nullptr;
    return w;
}

Writer::~Writer()
{
    finishLocked();
}

int Writer::openFile(const std::string &path, const std::shared_ptr<Source> &firstSource)
{
    const char *muxer = muxerForPath(path);
    if (!muxer || avformat_alloc_output_context2(&m_oc, nullptr, muxer, path.c_str()) < 0)
        return KV_AAC_E_FORMAT;
    AVStream *st = avformat_new_stream(m_oc, nullptr);
    m_pkt = av_packet_alloc();
    if (!st || !m_pkt)
        return KV_AAC_E_WRITE;
    std::vector<uint8_t> asc;
    if (firstSource && !firstSource->asc.empty() && sameStreamLayout(firstSource->cfg, m_cfg))
        asc = firstSource->asc;
    else
        asc = buildAudioSpecificConfig(m_cfg);
    AVCodecParameters *par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_AAC;
    const bool sbr = m_cfg.sbr && m_cfg.extSampleRate > m_cfg.sampleRate;
    const int rate = sbr ? m_cfg.extSampleRate : m_cfg.sampleRate;
    m_frameDuration = m_cfg.samplesPerFrame() * (sbr ? 2 : 1);
    par->sample_rate = rate;
    par->frame_size = m_frameDuration;
    av_channel_layout_default(&par->ch_layout, m_cfg.channels);
    par->extradata = static_cast<uint8_t *>(av_mallocz(asc.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata)
        return KV_AAC_E_WRITE;
    std::memcpy(par->extradata, asc.data(), asc.size());
    par->extradata_size = int(asc.size());
    st->time_base = AVRational{1, rate};
    if (avio_open(&m_oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return KV_AAC_E_WRITE;
    if (avformat_write_header(m_oc, nullptr) < 0) {
        avio_closep(&m_oc->pb);
        return KV_AAC_E_WRITE;
    }
    return 0;
}

void Writer::queue(const std::shared_ptr<Source> &source, bool sourceGiven, int64_t first,
                   int64_t count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Run run{source, !sourceGiven || (source && sameStreamLayout(source->cfg, m_cfg)), 0, 0};
    if (first < 0)
        first = 0;
    if (count < 0) // to the end of the source
        count = source ? std::max<int64_t>(0, int64_t(source->frames.size()) - first) : 0;
    run.next = first;
    run.end = count > INT64_MAX - first ? INT64_MAX : first + count;
    if (run.end > run.next)
        m_runs.push_back(std::move(run));
}

int Writer::sourceBytes(const std::shared_ptr<Source> &source, int64_t pos, size_t size, const uint8_t **bytes)
{
    constexpr size_t kWindow = size_t(1) << 16;
    ReadWindow &w = m_windows[source];
    if (pos < w.start || pos + int64_t(size) > w.start + int64_t(w.bytes.size())) {
        const int fd = source->file.fd();
        if (fd < 0)
            return KV_AAC_E_SOURCE;
        w.start = pos;
        w.bytes.resize(std::max(size, kWindow));
        size_t got = 0;
        while (got < w.bytes.size()) {
            const ssize_t n = ::pread(fd, w.bytes.data() + got, w.bytes.size() - got, off_t(pos) + off_t(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                w.bytes.clear();
                return KV_AAC_E_SOURCE;
            }
            if (n == 0)
                break;
            got += size_t(n);
        }
        w.bytes.resize(got);
        // The file no longer reaches as far as the index says.
        if (got < size)
            return KV_AAC_E_CHANGED;
    }
    *bytes = w.bytes.data() + (pos - w.start);
    return 0;
}

int Writer::readFrame(const std::shared_ptr<Source> &source, int64_t index)
{
    const Source &src = *source;
    if (index < 0 || index >= int64_t(src.frames.size()))
        return KV_AAC_E_SOURCE;
    const SourceFrame &f = src.frames[size_t(index)];
    const size_t lead = src.headerLead(size_t(index));
    const uint8_t *bytes = nullptr;
    if (const int rc = sourceBytes(source, f.pos - int64_t(lead), lead + f.size, &bytes))
        return rc;
    if (!src.holdsFrame(size_t(index), bytes, lead))
        return KV_AAC_E_CHANGED;
    m_frame.assign(bytes + lead, bytes + lead + f.size);
    return 0;
}

int Writer::emit(const uint8_t *data, size_t size, uint8_t *out, int capacity, int *outLength,
                 int64_t trimmedDuration)
{
    if (m_output == Output::Memory) {
        if (size + kAdtsHeaderSize > size_t(capacity))
            return KV_AAC_E_BUFFER;
        if (!writeAdtsHeader(m_cfg, int(size), out))
            return KV_AAC_E_FORMAT;
        std::memcpy(out + kAdtsHeaderSize, data, size);
        *outLength = int(size) + kAdtsHeaderSize;
        return KV_AAC_FRAME;
    }
    if (m_writeFailed)
        return KV_AAC_E_WRITE;
    if (m_pending && writePending(false) < 0)
        return KV_AAC_E_WRITE;
    if (data == m_frame.data() && size == m_frame.size())
        m_pendingData.swap(m_frame); // the frame just read: no copy
    else
        m_pendingData.assign(data, data + size);
    m_pending = true;
    m_pendingTrimmed = trimmedDuration;
    return KV_AAC_FRAME;
}

int Writer::writePending(bool last)
{
    m_pending = false;
    AVStream *st = m_oc->streams[0];
    const AVRational tb{1, st->codecpar->sample_rate};
    const int64_t duration = last && m_pendingTrimmed > 0 ? m_pendingTrimmed : m_frameDuration;
    av_packet_unref(m_pkt);
    m_pkt->data = m_pendingData.data(); // not reference-counted: the muxer copies if it keeps it
    m_pkt->size = int(m_pendingData.size());
    m_pkt->pts = m_pkt->dts =
        av_rescale_q(m_written * m_frameDuration - m_priming, tb, st->time_base);
    m_pkt->duration = av_rescale_q(duration, tb, st->time_base);
    m_pkt->stream_index = 0;
    const int rc = av_write_frame(m_oc, m_pkt);
    av_packet_unref(m_pkt);
    if (rc < 0 || (m_oc->pb && m_oc->pb->error < 0)) {
        m_writeFailed = true;
        return KV_AAC_E_WRITE;
    }
    ++m_written;
    return 0;
}

int Writer::writeNext(int gainDelta, bool silenced, uint8_t *out, int capacity, int *outLength)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (outLength)
        *outLength = 0;
    if (m_finished)
        return KV_AAC_E_HANDLE;
    while (!m_runs.empty() && m_runs.front().next >= m_runs.front().end)
        m_runs.pop_front();
    if (m_runs.empty())
        return KV_AAC_END;
    Run &run = m_runs.front();
    const int64_t index = run.next++;
    if (m_output == Output::None)
        return KV_AAC_E_ARGUMENT;
    if (m_output == Output::Memory && (!out || capacity <= 0 || !outLength))
        return KV_AAC_E_ARGUMENT;
    if (!run.valid)
        return KV_AAC_E_SOURCE;
    if (silenced || !run.source)
        return emit(m_silent.data(), m_silent.size(), out, capacity, outLength);
    if (const int rc = readFrame(run.source, index))
        return rc;
    // A frame the walker cannot follow keeps its original level rather than being lost.
    const Source &src = *run.source;
    if (size_t(index) < src.gainSites.size())
        src.gainSites.change(size_t(index), m_frame.data(), m_frame.size(), gainDelta);
    else
        changeFrameGain(m_frame.data(), m_frame.size(), src.cfg, gainDelta);
    const bool sourceEnd = index + 1 == int64_t(run.source->frames.size());
    return emit(m_frame.data(), m_frame.size(), out, capacity, outLength,
                sourceEnd ? run.source->lastFrameSamples : 0);
}

int Writer::wrap(const uint8_t *data, int length, uint8_t *out, int capacity, int *outLength)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    *outLength = 0;
    if (length + kAdtsHeaderSize > capacity)
        return KV_AAC_E_BUFFER;
    if (!writeAdtsHeader(m_cfg, length, out))
        return KV_AAC_E_FORMAT;
    std::memcpy(out + kAdtsHeaderSize, data, size_t(length));
    *outLength = length + kAdtsHeaderSize;
    return KV_AAC_FRAME;
}

int Writer::finish()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return finishLocked();
}

int Writer::finishLocked()
{
    if (m_finished)
        return m_finishResult;
    m_finished = true;
    int rc = m_writeFailed ? KV_AAC_E_WRITE : 0;
    if (m_oc) {
        if (m_oc->pb && m_pending && writePending(true) < 0)
            rc = KV_AAC_E_WRITE;
        if (m_oc->pb) {
            if (av_write_trailer(m_oc) < 0 || m_oc->pb->error < 0)
                rc = KV_AAC_E_WRITE;
            avio_flush(m_oc->pb);
            if (m_oc->pb->error < 0)
                rc = KV_AAC_E_WRITE;
            if (avio_closep(&m_oc->pb) < 0)
                rc = KV_AAC_E_WRITE;
        }
        avformat_free_context(m_oc);
        m_oc = nullptr;
    }
    av_packet_free(&m_pkt);
    m_windows.clear();
    m_runs.clear();
    m_finishResult = rc;
    return rc;
}

} // namespace kvaac
