#pragma once
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvFile;
class KvFrameSizeInfo;
class KvOpaqueAudioFileInfo;

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

protected:
    KvFrameRepacker();

    qint64 m_frameCount = 0;
    boost::shared_ptr<KvOpaqueAudioFileInfo> m_fileInfo;
    boost::shared_ptr<KvFrameSizeInfo> m_format;
};
