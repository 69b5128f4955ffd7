#pragma once
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvFile;
class KvFrameSizeInfo;
class KvOpaqueAudioFileInfo;

// What a scan could not keep as ordinary frames, and why a file was refused.
struct KvScanReport {
    // Frames that cannot be edited as audio: MP3 frames kept broken (they
    // play as silence), AAC frames kept as they are (never gain-adjusted).
    qint64 damagedFrames = 0;
    // The stream changes format here: the frames kept end at this frame and
    // this file offset; -1 when the index runs to the end of the file.
    qint64 cutAtFrame = -1;
    qint64 cutAtOffset = -1;
    // The library's own words about a file it could not index, for the error text.
    QString libraryMessage;

    bool any() const { return damagedFrames > 0 || cutAtFrame >= 0; }
};

// The frame index of one source: frame count, the open file and the format.
// A silent source has the largest frame count, a file without a name and no
// per-frame table.
class KvFrameRepacker {
public:
    static constexpr qint64 kSilentFrameCount = Q_INT64_C(0x7FFFFFFFFFFFFFFF);

    virtual ~KvFrameRepacker();

    // The file holder's path; empty for a silent source or without a holder.
    virtual QString path() const;
    // The open file, or null without a holder.
    virtual KvFile *device() const;
    virtual qint64 frameCount() const { return m_frameCount; }
    // Opens the path and indexes every frame. Returns the frames indexed or a
    // negative code; may set errorText.
    virtual qint64 scanFrames(const QString &path, QString &errorText) = 0;
    virtual KvOpaqueAudioFileInfo *fileInfo() const { return m_fileInfo.get(); }
    virtual boost::shared_ptr<KvFrameSizeInfo> sizeInfo() const { return m_format; }
    // What the scan could not keep as ordinary frames.
    const KvScanReport &scanReport() const { return m_scanReport; }

protected:
    KvFrameRepacker();

    qint64 m_frameCount = 0;
    boost::shared_ptr<KvOpaqueAudioFileInfo> m_fileInfo;
    boost::shared_ptr<KvFrameSizeInfo> m_format;
    KvScanReport m_scanReport;
};
