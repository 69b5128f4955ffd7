#pragma once
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

class KvFrameRepacker;
class KvFrameSizeInfo;
class KvRepackInfo;

// An opened source file (or a generated run of silence) with its frame index.
class KvAudioFile {
public:
    virtual ~KvAudioFile();

    // Indexes the file; returns an error text, empty on success.
    virtual QString open(const QString &path) = 0;
    // Makes this a silent source of the given format (shared, not copied).
    virtual void attachRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format) = 0;
    // A new silent fragment of n frames in this file's format (on a silent
    // source of its own); empty without a frame index.
    virtual boost::shared_ptr<KvRepackInfo> createRepackInfoFrom(qint64 n) = 0;
    // A new fragment over frames first .. first+count-1 of this file; count -1
    // means to the end. Empty without a frame index or when the range does not
    // lie inside the file.
    virtual boost::shared_ptr<KvRepackInfo> createRepackInfo(qint64 first, qint64 count) = 0;

    virtual boost::shared_ptr<KvFrameRepacker> repacker() const { return m_repacker; }
    // 0 when there is no frame index.
    virtual qint64 frameCount() const;

    // After a successful open: one sentence for the user about what the open
    // could not keep as ordinary audio (damaged frames silenced, AAC frames
    // kept unread, a change of format that ended the document), empty when
    // the file was read whole. The open flow shows it once, before editing.
    QString damageReport() const;

protected:
    KvAudioFile();

    // Scans path with a new repacker; the scan's error text, else notRecognized
    // when no frame was found, else empty.
    QString scanWith(KvFrameRepacker *repacker, const QString &path, const QString &notRecognized);
    // Whether frames first .. first+count-1 lie inside the file; count -1 is
    // turned into "to the end" (a silent source needs an explicit count).
    bool takeRange(qint64 first, qint64 &count) const;

    boost::shared_ptr<KvFrameRepacker> m_repacker;
};
