/* C interface of the AAC wrapper library (libvodozidoza.so): indexes AAC sources and writes
 * AAC output with per-frame gain and silence edits. Loaded at run time by bare name
 * (KV_AACWRAP_LIBRARY_NAME) through QLibrary; the engine only includes this header for the
 * types and the entry-point signatures. */
#ifndef KV_AAC_WRAP_H
#define KV_AAC_WRAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KV_AACWRAP_BUILD)
#define KV_AACWRAP_API __attribute__((visibility("default")))
#else
#define KV_AACWRAP_API
#endif

/* Bare name for QLibrary: resolves to libvodozidoza.so. */
#define KV_AACWRAP_LIBRARY_NAME "vodozidoza"

/* An opened source or a writer; 0 means none. Values are never reused within a process, so
 * a released handle is refused instead of touching freed memory. */
typedef uintptr_t KvAacHandle;

/* The AAC configuration block: 13 int32 values, by index. */
enum KvAACInfoField {
    KV_AAC_OBJECT_TYPE = 0,        /* 1 Main, 2 LC, 4 LTP; 5 when SBR is signalled explicitly */
    KV_AAC_SAMPLING_INDEX = 1,     /* 0..12, 15 when the rate is not a table rate */
    KV_AAC_SAMPLE_RATE = 2,        /* core rate, Hz */
    KV_AAC_CHANNEL_CONFIG = 3,     /* channel configuration of the stream, 0 = by element */
    KV_AAC_SBR = 4,                /* 1 SBR present, 0 not, -1 matches any */
    KV_AAC_EXT_OBJECT_TYPE = 5,    /* 5 with SBR, else 0 */
    KV_AAC_FRAME_LENGTH_FLAG = 6,  /* 1: 960-sample frames */
    KV_AAC_EXT_SAMPLE_RATE = 7,    /* SBR output rate, 0 = same as the core rate */
    KV_AAC_RESERVED_8 = 8,         /* always 0 */
    KV_AAC_CHANNELS = 9,
    KV_AAC_PS = 10,                /* 1 parametric stereo present, 0 not, -1 matches any */
    KV_AAC_SAMPLES_PER_FRAME = 11, /* core samples per frame: 1024 (960) */
    KV_AAC_CONTAINER = 12,         /* 1 MP4, 2 ADTS, 0 not from a file */
    KV_AAC_INFO_FIELDS = 13
};

typedef struct KvAACInfo {
    int32_t field[KV_AAC_INFO_FIELDS];
} KvAACInfo;

/* One per frame from the scan: the first channel's global_gain and the byte offset just past
 * the frame's raw data, counted over raw frames (container and ADTS headers excluded). */
#pragma pack(push, 1)
typedef struct KvAACGainOffsetEntry {
    uint8_t globalGain;
    int32_t offset;
} KvAACGainOffsetEntry;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(KvAACInfo) == 52, "KvAACInfo is 13 int32");
static_assert(sizeof(KvAACGainOffsetEntry) == 5, "KvAACGainOffsetEntry is packed");
#else
_Static_assert(sizeof(KvAACInfo) == 52, "KvAACInfo is 13 int32");
_Static_assert(sizeof(KvAACGainOffsetEntry) == 5, "KvAACGainOffsetEntry is packed");
#endif

/* Results. Scans report them through the frame count; writers as return values. */
enum KvAacResult {
    KV_AAC_END = 0,              /* aac_write_next_frame: nothing queued any more */
    KV_AAC_FRAME = 1,            /* one frame written (file) or handed back (memory) */
    KV_AAC_E_HANDLE = -1,        /* unknown, released or wrong kind of handle */
    KV_AAC_E_ARGUMENT = -2,      /* null or out-of-range argument, no output for this call */
    KV_AAC_E_BUFFER = -3,        /* output buffer too small: the frame is dropped */
    KV_AAC_E_SOURCE = -4,        /* source frame unreadable, or run not compatible */
    KV_AAC_E_WRITE = -5,         /* muxing or writing the output failed */
    KV_AAC_E_FORMAT = -6,        /* configuration or frame not expressible in the output */
    KV_AAC_E_OPEN = -7,          /* scan: the file cannot be opened or has no AAC stream */
    KV_AAC_E_UNSUPPORTED = -8,   /* scan: AAC variant this library does not edit */
    KV_AAC_E_CHANGED = -9,       /* the source file no longer holds the frame indexed there:
                                    another program wrote to it */
    KV_AAC_E_CANCELLED = -12     /* scan: the cancel callback asked to stop */
};

/* Returns non-zero when a scan is to stop. */
typedef int (*KvAacCancelFn)(void);

/* Keeps FFmpeg's log off the terminal (the scan report carries what matters); returns 1. */
KV_AACWRAP_API int32_t init_aac_libav_library(void);

/* find_aac_gains_offsets2 without a cancel callback. */
KV_AACWRAP_API KvAacHandle find_aac_gains_offsets(const char *path, KvAACGainOffsetEntry **entries,
                                                  KvAACInfo *info, int64_t *frameCount);

/* Indexes an MP4 (.m4a .m4b .m4r .mp4) or ADTS (.aac) file, chosen by content. On success
 * returns a source handle, *frameCount = frames, *entries = array for free_aac_gains_offsets
 * and *info filled. On failure returns 0, *frameCount = a KvAacResult (< 0), *entries = null. */
KV_AACWRAP_API KvAacHandle find_aac_gains_offsets2(const char *path,
                                                   KvAACGainOffsetEntry **entries,
                                                   KvAACInfo *info, int64_t *frameCount,
                                                   KvAacCancelFn cancel);

/* Frees a scan's entries; null is allowed. */
KV_AACWRAP_API void free_aac_gains_offsets(KvAACGainOffsetEntry *entries);

/* Queues frames [firstFrame, firstFrame + frameCount) of `source` (0: frameCount silent
 * frames) for a writer.
 *  - writer = 0 or a source handle: opens a new writer and returns its handle (0 on
 *    failure). Output: memoryMode != 0 -> frames handed back by aac_write_next_frame as ADTS;
 *    else a non-empty outputPath -> that file, MP4 for .m4a .m4b .m4r .mp4, ADTS for .aac;
 *    else no output (only aac_write_frame). The configuration is `format`, or the source's
 *    when format is null.
 *  - writer = a writer handle: appends the run and returns the writer; outputPath, memoryMode
 *    and format are not used. 0 when the writer is unknown or closed.
 * A run whose source is unknown or of another configuration is still queued, so that the
 * frame sequence stays in step, and its frames fail with KV_AAC_E_SOURCE. */
KV_AACWRAP_API KvAacHandle init_aac_write_next_file_frames(KvAacHandle writer, KvAacHandle source,
                                                           const char *outputPath,
                                                           int64_t firstFrame, int64_t frameCount,
                                                           int32_t memoryMode,
                                                           const KvAACInfo *format);

/* Writes the next queued frame with gainDelta global-gain steps (clamped per frame so the
 * frame stays valid) or as silence. File mode: output null, capacity 0, outputLength may be
 * null; returns KV_AAC_FRAME or < 0. Memory mode: the frame as ADTS in output, its size in
 * *outputLength; returns KV_AAC_FRAME, KV_AAC_END when nothing is queued, or < 0 (the frame
 * is consumed and *outputLength = 0). */
KV_AACWRAP_API int32_t aac_write_next_frame(KvAacHandle writer, int32_t gainDelta,
                                            int32_t silenced, void *output, int32_t capacity,
                                            int32_t *outputLength);

/* Wraps one raw frame with a 7-byte ADTS header of the writer's configuration into output;
 * *outputLength = bytes written (0 on failure). Returns KV_AAC_FRAME or < 0. */
KV_AACWRAP_API int32_t aac_write_frame(KvAacHandle writer, const void *data, int32_t length,
                                       void *output, int32_t capacity, int32_t *outputLength);

/* Finishes a writer's output (MP4 index written, file closed) and releases the writer.
 * Returns 0, or < 0 when finishing failed or the handle is not a writer. */
KV_AACWRAP_API int32_t close_aac_write(KvAacHandle writer);

/* Releases a source or a writer (a writer's output is finished first). A source stays
 * readable for writers that still use it. Returns 0, or < 0 (unknown handle, or finishing
 * a writer's output failed). */
KV_AACWRAP_API int32_t close_aac_handle(KvAacHandle handle);

/* What the last scan on the calling thread could not index as ordinary frames, and why a
 * file was refused. */
#define KV_AAC_SCAN_MESSAGE_SIZE 256
typedef struct KvAacScanReport {
    int64_t untouchedFrames; /* frames the syntax walker cannot follow: copied as they are,
                                never gain-adjusted */
    int64_t cutAtFrame;      /* the stream changes format here and the index ends; -1 if not */
    int64_t cutAtOffset;     /* file offset of that frame; -1 if not */
    char message[KV_AAC_SCAN_MESSAGE_SIZE]; /* FFmpeg's last complaint, empty when none */
} KvAacScanReport;

/* Fills *report for the last find_aac_gains_offsets2 call on this thread. Not one of the
 * nine required entry points: a library without it still loads. */
KV_AACWRAP_API void aac_last_scan_report(KvAacScanReport *report);

/* Entry-point types for run-time resolution. */
typedef int32_t (*KvAacInitLibraryFn)(void);
typedef KvAacHandle (*KvAacFindGainsOffsetsFn)(const char *, KvAACGainOffsetEntry **, KvAACInfo *,
                                               int64_t *);
typedef KvAacHandle (*KvAacFindGainsOffsets2Fn)(const char *, KvAACGainOffsetEntry **,
                                                KvAACInfo *, int64_t *, KvAacCancelFn);
typedef void (*KvAacFreeGainsOffsetsFn)(KvAACGainOffsetEntry *);
typedef KvAacHandle (*KvAacInitWriteFn)(KvAacHandle, KvAacHandle, const char *, int64_t, int64_t,
                                        int32_t, const KvAACInfo *);
typedef int32_t (*KvAacWriteNextFrameFn)(KvAacHandle, int32_t, int32_t, void *, int32_t,
                                         int32_t *);
typedef int32_t (*KvAacWriteFrameFn)(KvAacHandle, const void *, int32_t, void *, int32_t,
                                     int32_t *);
typedef int32_t (*KvAacCloseWriteFn)(KvAacHandle);
typedef int32_t (*KvAacCloseHandleFn)(KvAacHandle);
typedef void (*KvAacLastScanReportFn)(KvAacScanReport *);

#ifdef __cplusplus
}
#endif

#endif
