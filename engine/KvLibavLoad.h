#pragma once
// The run-time binding of the AAC wrapper library (libvodozidoza.so): loads it
// once, resolves its nine entry points and answers every call as "not
// loaded" when any of that failed, so that AAC is simply off without it. The
// scan report entry point is optional: a library without it still loads.
#include "KvAacWrap.h"

#include <QLibrary>
#include <QStringList>

class KvLibavLoad : public QLibrary {
public:
    // Tries the default candidates (defaultCandidates()) in order.
    KvLibavLoad();
    // Tries exactly these names or paths in order: stops at the first that loads.
    explicit KvLibavLoad(const QStringList &candidates);
    ~KvLibavLoad() override;

    // Where the library is looked for: $KV_AACWRAP_LIBRARY alone when set;
    // else beside the program (its folder, ../lib, lib), then the bare name
    // (LD_LIBRARY_PATH, the linker cache, the system folders).
    static QStringList defaultCandidates();

    // The value init_aac_libav_library returned; 0 when loading stopped early.
    int loadedValue() const { return m_loaded; }

    // Call-throughs; without the library they return 0, nothing or -1.
    KvAacHandle findAacGainsOffsets2(const char *path, KvAACGainOffsetEntry **entries, KvAACInfo *info,
                                     qint64 *frameCount, KvAacCancelFn cancel);
    void freeAacGainsOffsets(KvAACGainOffsetEntry *entries);
    KvAacHandle initAacWriteNextFileFrames(KvAacHandle writer, KvAacHandle source, const char *outputPath,
                                           qint64 firstFrame, qint64 frameCount, qint32 memoryMode,
                                           const KvAACInfo *format);
    int aacWriteNextFrame(KvAacHandle writer, qint32 gainDelta, qint32 silenced, void *output, qint32 capacity,
                          qint32 *outputLength);
    int aacWriteFrame(KvAacHandle writer, const void *data, qint32 length, void *output, qint32 capacity,
                      qint32 *outputLength);
    int closeAacWrite(KvAacHandle writer);
    int closeAacHandle(KvAacHandle handle);
    // What the last scan on this thread could not index as ordinary frames; false
    // (report untouched) without the library or with one that does not tell.
    bool lastScanReport(KvAacScanReport *report);

    // The process-wide binding (g_libavLoad), created on the first call.
    static KvLibavLoad *instance();

private:
    void loadFrom(const QStringList &candidates);

    qint32 m_loaded = 0;
    KvAacInitLibraryFn m_init = nullptr;
    KvAacFindGainsOffsetsFn m_findGainsOffsets = nullptr;
    KvAacFindGainsOffsets2Fn m_findGainsOffsets2 = nullptr;
    KvAacFreeGainsOffsetsFn m_freeGainsOffsets = nullptr;
    KvAacInitWriteFn m_initWrite = nullptr;
    KvAacWriteNextFrameFn m_writeNextFrame = nullptr;
    KvAacWriteFrameFn m_writeFrame = nullptr;
    KvAacCloseWriteFn m_closeWrite = nullptr;
    KvAacCloseHandleFn m_closeHandle = nullptr;
    KvAacLastScanReportFn m_lastScanReport = nullptr;   // optional
};

// The one binding of the process; set by KvLibavLoad::instance() and never cleared.
extern KvLibavLoad *g_libavLoad;
