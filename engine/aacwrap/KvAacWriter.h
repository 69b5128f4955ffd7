#pragma once
// A writer: a queue of runs of source frames (or silence), written with per-frame gain and
// silence edits to a file through libavformat, or handed back one ADTS frame at a time.
#include "AacConfig.h"
#include "KvAacSource.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVPacket;

namespace kvaac {

class Writer {
public:
    enum class Output { None, File, Memory };

    // Null with *error set (KvAacResult) when the output cannot be opened.
    static std::shared_ptr<Writer> create(const AacConfig &cfg, Output output,
                                          const std::string &path,
                                          const std::shared_ptr<Source> &firstSource,
                                          int64_t primingSamples, int *error);
    ~Writer();

    // A null source queues silence. Runs of a missing or unsuitable source are queued as
    // failing runs (their frames return KV_AAC_E_SOURCE).
    void queue(const std::shared_ptr<Source> &source, bool sourceGiven, int64_t first,
               int64_t count);
    int writeNext(int gainDelta, bool silenced, uint8_t *out, int capacity, int *outLength);
    int wrap(const uint8_t *data, int length, uint8_t *out, int capacity, int *outLength);
    // Finishes the output; later calls return the first result.
    int finish();

    const AacConfig &config() const { return m_cfg; }

private:
    Writer(const AacConfig &cfg, Output output);
    int openFile(const std::string &path, const std::shared_ptr<Source> &firstSource);
    // Frame `index` of the source into m_frame, checked against the index.
    int readFrame(const std::shared_ptr<Source> &src, int64_t index);
    // Bytes [pos, pos + size) of the source from its read-ahead window; KvAacResult.
    int sourceBytes(const std::shared_ptr<Source> &src, int64_t pos, size_t size, const uint8_t **bytes);
    int emit(const uint8_t *data, size_t size, uint8_t *out, int capacity, int *outLength,
             int64_t trimmedDuration = 0);
    int writePending(bool last);
    int finishLocked();

    struct Run {
        std::shared_ptr<Source> source; // null: silence
        bool valid;
        int64_t next;
        int64_t end;
    };

    std::mutex m_mutex;
    AacConfig m_cfg;
    Output m_output;
    std::deque<Run> m_runs;
    std::vector<uint8_t> m_frame;
    std::vector<uint8_t> m_silent;
    // The source bytes last read, per source: frames lie close together in the file.
    struct ReadWindow {
        int64_t start = 0;
        std::vector<uint8_t> bytes;
    };
    std::map<std::shared_ptr<Source>, ReadWindow> m_windows;
    AVFormatContext *m_oc = nullptr;
    AVPacket *m_pkt = nullptr;
    // File output holds one packet back, so that a stream ending on a source's trimmed last
    // frame keeps that frame's shorter duration.
    bool m_pending = false;
    std::vector<uint8_t> m_pendingData;
    int64_t m_pendingTrimmed = 0;
    int64_t m_written = 0;
    int64_t m_priming = 0; // output starts this many samples before time 0
    int m_frameDuration = 1024;
    bool m_finished = false;
    int m_finishResult = 0;
    bool m_writeFailed = false;
};

} // namespace kvaac
