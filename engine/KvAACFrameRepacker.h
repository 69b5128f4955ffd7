#pragma once
#include "KvAacRecords.h"
#include "KvAacWrap.h"
#include "KvFrameRepacker.h"

#include <QCoreApplication>

#include <boost/shared_array.hpp>

class KvAACFrameSizeInfo;
class KvAacOpaqueAudioFileInfo;

// The frame index of one AAC source: one KvAACGainFrameInfo per frame from
// the wrapper library's scan, the library's source handle (in the file
// holder) and the format block. Nothing of the bitstream is parsed here.
class KvAACFrameRepacker : public KvFrameRepacker {
    Q_DECLARE_TR_FUNCTIONS(KvAACFrameRepacker)
public:
    // An ordinary source, to be scanned: no frames, no format, handle 0.
    KvAACFrameRepacker();
    // A silent source of the given format: the largest frame count, no table,
    // no file, handle 0.
    explicit KvAACFrameRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format);
    ~KvAACFrameRepacker() override;

    // Frames indexed, or 0 or less when the library (or its absence) found
    // none; 0 with errorText set when the indexed file cannot be opened.
    qint64 scanFrames(const QString &path, QString &errorText) override;

    // One record per frame; empty before a scan and for a silent source.
    boost::shared_array<KvAACGainFrameInfo> frameTable() const { return m_table; }
    KvAACFrameSizeInfo *aacSizeInfo() const;
    KvAacOpaqueAudioFileInfo *aacFileInfo() const;
    // The library's source handle; 0 for none.
    KvAacHandle handle() const;

private:
    boost::shared_array<KvAACGainFrameInfo> m_table;
};

// The scan's cancel callback: non-zero when the current thread was asked to stop.
extern "C" int aacScanCancelRequested(void);
