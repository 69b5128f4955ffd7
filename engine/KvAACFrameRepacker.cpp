#include "KvAACFrameRepacker.h"

#include <algorithm>

#include "KvAACFrameSizeInfo.h"
#include "KvAacOpaqueAudioFileInfo.h"
#include "KvFile.h"
#include "KvLibavLoad.h"

#include <QThread>

#include <cstring>

extern "C" int aacScanCancelRequested(void)
{
    QThread *thread = QThread::currentThread();
    return thread && thread->isInterruptionRequested() ? 1 : 0;
}

KvAacOpaqueAudioFileInfo::~KvAacOpaqueAudioFileInfo()
{
    if (m_opaqueAacFramesHandle) {
        KvLibavLoad::instance()->closeAacHandle(m_opaqueAacFramesHandle);
        m_opaqueAacFramesHandle = 0;
    }
}

KvAACFrameRepacker::KvAACFrameRepacker()
{
    m_fileInfo.reset(new KvAacOpaqueAudioFileInfo);
}

KvAACFrameRepacker::KvAACFrameRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format)
{
    m_frameCount = kSilentFrameCount;
    m_format = format;
    m_fileInfo.reset(new KvAacOpaqueAudioFileInfo);
}

KvAACFrameRepacker::~KvAACFrameRepacker() = default;

KvAACFrameSizeInfo *KvAACFrameRepacker::aacSizeInfo() const
{
    return dynamic_cast<KvAACFrameSizeInfo *>(m_format.get());
}

KvAacOpaqueAudioFileInfo *KvAACFrameRepacker::aacFileInfo() const
{
    return dynamic_cast<KvAacOpaqueAudioFileInfo *>(m_fileInfo.get());
}

KvAacHandle KvAACFrameRepacker::handle() const
{
    const KvAacOpaqueAudioFileInfo *holder = aacFileInfo();
    return holder ? holder->handle() : 0;
}

qint64 KvAACFrameRepacker::scanFrames(const QString &path, QString &errorText)
{
    const QString normalized = normalizeLongPath(path);
    m_table.reset();
    KvAACGainOffsetEntry *entries = nullptr;
    qint64 count = 0;
    KvAACInfo info{};
    KvLibavLoad *lib = KvLibavLoad::instance();
    const KvAacHandle h =
        lib->findAacGainsOffsets2(normalized.toUtf8().constData(), &entries, &info, &count, aacScanCancelRequested);

    if (count > 0 && entries) {
        m_format.reset(new KvAACFrameSizeInfo(info));
        m_table.reset(new KvAACGainFrameInfo[size_t(count)]);
        KvAACGainFrameInfo *table = m_table.get();
        int32_t previous = 0;
        for (qint64 i = 0; i < count; ++i) {
            const KvAACGainOffsetEntry &e = entries[i];
            int32_t offset = 0;
            std::memcpy(&offset, &e.offset, sizeof offset);
            table[i].gain = e.globalGain;
            // Cumulative offsets: the difference is the frame's size; lengths
            // of 64 KiB and more wrap.
            table[i].length = uint16_t(uint32_t(offset) - uint32_t(previous));
            previous = offset;
        }
    } else if (count > 0) {
        // Frames announced without their entries: nothing usable.
        count = 0;
    }
    lib->freeAacGainsOffsets(entries);
    m_frameCount = count;

    m_scanReport = KvScanReport();
    KvAacScanReport report{};
    if (lib->lastScanReport(&report)) {
        report.message[sizeof report.message - 1] = 0;
        if (count > 0) {
            m_scanReport.damagedFrames = std::max<int64_t>(0, report.untouchedFrames);
            m_scanReport.cutAtFrame = report.cutAtFrame;
            m_scanReport.cutAtOffset = report.cutAtOffset;
        } else {
            m_scanReport.libraryMessage = QString::fromUtf8(report.message);
        }
    }

    // The new holder takes the handle; the old one releases its own.
    boost::shared_ptr<KvAacOpaqueAudioFileInfo> holder(new KvAacOpaqueAudioFileInfo(h));
    m_fileInfo = holder;
    KvFile &file = holder->file();
    file.setFileName(normalized);
    if (!file.openShared(QIODevice::ReadOnly)) {
        errorText = tr("Failed to open AAC audio file: %1").arg(file.errorString());
        return 0;
    }
    return count;
}
