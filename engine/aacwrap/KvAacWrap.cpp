// The library's C entry points.
#include "KvAacWrap.h"

#include "KvAacHandles.h"
#include "KvAacInfoMap.h"
#include "KvAacSource.h"
#include "KvAacWriter.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

using namespace kvaac;

namespace {

// FFmpeg's last error on this thread, and what the last scan on it reported.
thread_local char t_lastLog[KV_AAC_SCAN_MESSAGE_SIZE];
thread_local KvAacScanReport t_report = {0, -1, -1, {0}};

// FFmpeg writes its log to the terminal; an editor's user never sees that. Errors are
// kept for the scan report instead, everything else is dropped.
void keepLastError(void *, int level, const char *format, va_list args)
{
    if (level > AV_LOG_ERROR || !format)
        return;
    char line[KV_AAC_SCAN_MESSAGE_SIZE];
    std::vsnprintf(line, sizeof line, format, args);
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == ' '))
        line[--n] = 0;
    if (n > 0)
        std::memcpy(t_lastLog, line, n + 1);
}

void quietFfmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(keepLastError); });
}

} // namespace

int32_t init_aac_libav_library(void)
{
    quietFfmpegLog();
    return 1;
}

void aac_last_scan_report(KvAacScanReport *report)
{
    if (report)
        *report = t_report;
}

KvAacHandle find_aac_gains_offsets(const char *path, KvAACGainOffsetEntry **entries,
                                   KvAACInfo *info, int64_t *frameCount)
{
    return find_aac_gains_offsets2(path, entries, info, frameCount, nullptr);
}

KvAacHandle find_aac_gains_offsets2(const char *path, KvAACGainOffsetEntry **entries,
                                    KvAACInfo *info, int64_t *frameCount, KvAacCancelFn cancel)
{
    if (entries)
        *entries = nullptr;
    if (!entries || !info || !frameCount) {
        if (frameCount)
            *frameCount = KV_AAC_E_ARGUMENT;
        return 0;
    }
    *frameCount = 0;
    quietFfmpegLog();
    t_lastLog[0] = 0;
    t_report = KvAacScanReport{0, -1, -1, {0}};
    try {
        ScanResult r = scanSource(path, cancel);
        std::memcpy(t_report.message, t_lastLog, sizeof t_report.message);
        if (r.error != 0) {
            *frameCount = r.error;
            return 0;
        }
        t_report.untouchedFrames = int64_t(std::count(r.untouched.begin(), r.untouched.end(), true));
        t_report.cutAtFrame = r.cutAtFrame;
        t_report.cutAtOffset = r.cutAtOffset;
        const size_t n = r.source->frames.size();
        auto *out = static_cast<KvAACGainOffsetEntry *>(std::malloc(n * sizeof(KvAACGainOffsetEntry)));
        if (!out) {
            *frameCount = KV_AAC_E_ARGUMENT;
            return 0;
        }
        uint32_t offset = 0; // wraps past 4 GiB; the differences stay right
        for (size_t i = 0; i < n; ++i) {
            offset += r.source->frames[i].size;
            out[i].globalGain = r.gains[i];
            const int32_t signedOffset = int32_t(offset);
            std::memcpy(&out[i].offset, &signedOffset, sizeof signedOffset);
        }
        *info = infoFromConfig(r.source->cfg, r.source->container);
        const KvAacHandle h = addHandle(r.source);
        *entries = out;
        *frameCount = int64_t(n);
        return h;
    } catch (const std::bad_alloc &) {
        *frameCount = KV_AAC_E_ARGUMENT;
        return 0;
    }
}

void free_aac_gains_offsets(KvAACGainOffsetEntry *entries)
{
    std::free(entries);
}

KvAacHandle init_aac_write_next_file_frames(KvAacHandle writer, KvAacHandle source,
                                            const char *outputPath, int64_t firstFrame,
                                            int64_t frameCount, int32_t memoryMode,
                                            const KvAACInfo *format)
{
    try {
        std::shared_ptr<Source> src = source ? findSource(source) : nullptr;
        if (writer) {
            if (std::shared_ptr<Writer> w = findWriter(writer)) {
                w->queue(src, source != 0, firstFrame, frameCount);
                return writer;
            }
            if (!findSource(writer))
                return 0; // neither a writer nor a source: a stale or foreign handle
        }
        // A new writer, distinct from every source handle.
        AacConfig cfg;
        if (format) {
            if (!configFromInfo(*format, &cfg))
                return 0;
        } else if (src) {
            cfg = src->cfg;
            if (cfg.channelConfig == 0)
                cfg.channelConfig = configOfChannels(cfg.channels);
        } else {
            return 0;
        }
        const std::string path = outputPath ? outputPath : "";
        const Writer::Output output = memoryMode ? Writer::Output::Memory
                                      : path.empty() ? Writer::Output::None
                                                     : Writer::Output::File;
        int error = 0;
        // A copy that starts where its source starts keeps the source's encoder delay hidden.
        const int64_t priming = src && firstFrame == 0 ? src->primingSamples : 0;
        std::shared_ptr<Writer> w = Writer::create(cfg, output, path, src, priming, &error);
        if (!w)
            return 0;
        w->queue(src, source != 0, firstFrame, frameCount);
        return addHandle(std::move(w));
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

int32_t aac_write_next_frame(KvAacHandle writer, int32_t gainDelta, int32_t silenced,
                             void *output, int32_t capacity, int32_t *outputLength)
{
    if (outputLength)
        *outputLength = 0;
    std::shared_ptr<Writer> w = findWriter(writer);
    if (!w)
        return KV_AAC_E_HANDLE;
    try {
        int length = 0;
        const int rc = w->writeNext(gainDelta, silenced != 0, static_cast<uint8_t *>(output),
                                    capacity, outputLength ? &length : nullptr);
        if (outputLength)
            *outputLength = length;
        return rc;
    } catch (const std::bad_alloc &) {
        return KV_AAC_E_SOURCE;
    }
}

int32_t aac_write_frame(KvAacHandle writer, const void *data, int32_t length, void *output,
                        int32_t capacity, int32_t *outputLength)
{
    if (outputLength)
        *outputLength = 0;
    std::shared_ptr<Writer> w = findWriter(writer);
    if (!w)
        return KV_AAC_E_HANDLE;
    if (!data || length <= 0 || !output || capacity <= 0 || !outputLength)
        return KV_AAC_E_ARGUMENT;
    int written = 0;
    const int rc = w->wrap(static_cast<const uint8_t *>(data), length,
                           static_cast<uint8_t *>(output), capacity, &written);
    *outputLength = written;
    return rc;
}

int32_t close_aac_write(KvAacHandle writer)
{
    Released r = releaseHandle(writer, true);
    return r.found ? r.writer->finish() : KV_AAC_E_HANDLE;
}

int32_t close_aac_handle(KvAacHandle handle)
{
    Released r = releaseHandle(handle, false);
    if (!r.found)
        return KV_AAC_E_HANDLE;
    return r.writer ? r.writer->finish() : 0;
}
