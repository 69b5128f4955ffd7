#pragma once
// Where the AAC encoder's raw frames go: the AAC wrapper library's writer, reached through
// three of its calls. The library's binding fills them at start-up; until then (and when
// the library is missing) every call answers as the binding does without the library:
// no writer (0), and -1 from the other two.
#include <QtGlobal>

#include <functional>

// The 13-value AAC configuration block the writer takes: the same layout as the library's
// KvAACInfo (object type, sampling index, rate, ..., channels at 9, samples per frame at 11).
struct KvAacStreamInfo {
    qint32 field[13];
};
static_assert(sizeof(KvAacStreamInfo) == 52, "13 int32 values");

// A library handle; 0 means none.
typedef quintptr KvAacWriterHandle;

struct KvAacFrameWriter {
    // init_aac_write_next_file_frames(writer, source, output path as UTF-8, first frame,
    // frame count, memory mode, format) -> a handle, 0 on failure. The encoder passes
    // writer 0, source 0, "", 0, 2147483647, 0 and its own block, and keeps the new handle.
    std::function<KvAacWriterHandle(KvAacWriterHandle writer, KvAacWriterHandle source,
                                    const char *outputPath, qint64 firstFrame,
                                    qint64 frameCount, qint32 memoryMode,
                                    const KvAacStreamInfo *format)>
        initWriteNextFileFrames;
    // aac_write_frame(writer, raw frame, frame length, output, output capacity,
    // &output length) -> < 0 on failure. Packages one raw frame into at most capacity bytes
    // of output and sets the output length to the bytes written (0 on failure).
    std::function<qint32(KvAacWriterHandle writer, const void *data, qint32 length, void *output,
                         qint32 capacity, qint32 *outputLength)>
        writeFrame;
    // close_aac_handle(handle): releases the writer; the result is not used.
    std::function<qint32(KvAacWriterHandle handle)> closeHandle;

    // The three calls with the library-missing answers in place of empty members.
    KvAacWriterHandle init(const KvAacStreamInfo &format) const;
    qint32 write(KvAacWriterHandle writer, const void *data, qint32 length, void *output,
                 qint32 capacity, qint32 *outputLength) const;
    void close(KvAacWriterHandle handle) const;
};

// The process-wide writer calls that encoders take when they open.
KvAacFrameWriter kvAacFrameWriter();
// Replaces them (the binding at start-up, tests); returns the previous set.
KvAacFrameWriter setKvAacFrameWriter(const KvAacFrameWriter &writer);
