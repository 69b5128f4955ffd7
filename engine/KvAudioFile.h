#pragma once
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvFrameRepacker;
class KvFrameSizeInfo;

// An opened source file (or a generated run of silence) with its frame index.
class KvAudioFile {
public:
    virtual ~KvAudioFile();

    // Indexes the file; returns an error text, empty on success.
    virtual QString open(const QString &path) = 0;
    // Makes this a silent source of the given format (shared, not copied).
    virtual void attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format) = 0;

    virtual boost::shared_ptr<KvFrameRepacker> repacker() const { return m_repacker; }
    // 0 when there is no frame index.
    virtual qint64 frameCount() const;

protected:
    KvAudioFile();

    boost::shared_ptr<KvFrameRepacker> m_repacker;
};
