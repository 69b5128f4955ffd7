#include "KvLibavLoad.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

#include <mutex>

KvLibavLoad *g_libavLoad = nullptr;

namespace {

std::mutex &instanceMutex()
{
    static std::mutex m;
    return m;
}

template <typename Fn>
bool resolveInto(QLibrary &lib, const char *name, Fn &out)
{
    out = reinterpret_cast<Fn>(lib.resolve(name));
    return out != nullptr;
}

} // namespace

KvLibavLoad::KvLibavLoad() : QLibrary(nullptr)
{
    loadFrom(defaultCandidates());
}

KvLibavLoad::KvLibavLoad(const QStringList &candidates) : QLibrary(nullptr)
{
    loadFrom(candidates);
}

// The library stays mapped: handles and writers may outlive this object.
KvLibavLoad::~KvLibavLoad() = default;

QStringList KvLibavLoad::defaultCandidates()
{
    const QByteArray forced = qgetenv("KV_AACWRAP_LIBRARY");
    if (!forced.isEmpty())
        return QStringList{QFile::decodeName(forced)};
    const QString name = QStringLiteral(KV_AACWRAP_LIBRARY_NAME);
    QStringList candidates;
    if (QCoreApplication::instance()) {
        const QDir dir(QCoreApplication::applicationDirPath());
        candidates << dir.filePath(name) << QDir::cleanPath(dir.filePath(QStringLiteral("../lib/") + name))
                   << dir.filePath(QStringLiteral("lib/") + name);
    }
    candidates << name;
    return candidates;
}

void KvLibavLoad::loadFrom(const QStringList &candidates)
{
    m_loaded = 0;
    bool loaded = false;
    for (const QString &candidate : candidates) {
        setFileName(candidate);
        if (load()) {
            loaded = true;
            break;
        }
    }
    if (!loaded) {
        qWarning().noquote() << "error loading AAC library: " << fileName() << "(" << errorString() << ")";
        return;
    }
    // Stops at the first name missing, quietly: AAC stays off.
    if (!resolveInto(*this, "init_aac_libav_library", m_init) ||
        !resolveInto(*this, "find_aac_gains_offsets", m_findGainsOffsets) ||
        !resolveInto(*this, "find_aac_gains_offsets2", m_findGainsOffsets2) ||
        !resolveInto(*this, "free_aac_gains_offsets", m_freeGainsOffsets) ||
        !resolveInto(*this, "init_aac_write_next_file_frames", m_initWrite) ||
        !resolveInto(*this, "aac_write_next_frame", m_writeNextFrame) ||
        !resolveInto(*this, "aac_write_frame", m_writeFrame) ||
        !resolveInto(*this, "close_aac_write", m_closeWrite) ||
        !resolveInto(*this, "close_aac_handle", m_closeHandle))
        return;
    resolveInto(*this, "aac_last_scan_report", m_lastScanReport);
    m_loaded = m_init();
}

KvAacHandle KvLibavLoad::findAacGainsOffsets2(const char *path, KvAACGainOffsetEntry **entries, KvAACInfo *info,
                                              qint64 *frameCount, KvAacCancelFn cancel)
{
    if (!m_loaded || !m_findGainsOffsets2)
        return 0;
    int64_t count = frameCount ? *frameCount : 0;
    const KvAacHandle h = m_findGainsOffsets2(path, entries, info, frameCount ? &count : nullptr, cancel);
    if (frameCount)
        *frameCount = count;
    return h;
}

void KvLibavLoad::freeAacGainsOffsets(KvAACGainOffsetEntry *entries)
{
    if (m_loaded && m_freeGainsOffsets)
        m_freeGainsOffsets(entries);
}

KvAacHandle KvLibavLoad::initAacWriteNextFileFrames(KvAacHandle writer, KvAacHandle source, const char *outputPath,
                                                    qint64 firstFrame, qint64 frameCount, qint32 memoryMode,
                                                    const KvAACInfo *format)
{
    if (!m_loaded || !m_initWrite)
        return 0;
    return m_initWrite(writer, source, outputPath, firstFrame, frameCount, memoryMode, format);
}

int KvLibavLoad::aacWriteNextFrame(KvAacHandle writer, qint32 gainDelta, qint32 silenced, void *output,
                                   qint32 capacity, qint32 *outputLength)
{
    if (!m_loaded || !m_writeNextFrame)
        return -1;
    return m_writeNextFrame(writer, gainDelta, silenced, output, capacity, outputLength);
}

int KvLibavLoad::aacWriteFrame(KvAacHandle writer, const void *data, qint32 length, void *output, qint32 capacity,
                               qint32 *outputLength)
{
    if (!m_loaded || !m_writeFrame)
        return -1;
    return m_writeFrame(writer, data, length, output, capacity, outputLength);
}

int KvLibavLoad::closeAacWrite(KvAacHandle writer)
{
    if (!m_loaded || !m_closeWrite)
        return -1;
    return m_closeWrite(writer);
}

int KvLibavLoad::closeAacHandle(KvAacHandle handle)
{
    if (!m_loaded || !m_closeHandle)
        return -1;
    return m_closeHandle(handle);
}

bool KvLibavLoad::lastScanReport(KvAacScanReport *report)
{
    if (!m_loaded || !m_lastScanReport || !report)
        return false;
    m_lastScanReport(report);
    return true;
}

KvLibavLoad *KvLibavLoad::instance()
{
    const std::lock_guard<std::mutex> lock(instanceMutex());
    if (!g_libavLoad)
        g_libavLoad = new KvLibavLoad;
    return g_libavLoad;
}
