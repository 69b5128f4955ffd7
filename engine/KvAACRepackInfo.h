#pragma once
#include "KvAacRecords.h"
#include "KvRepackInfo.h"

#include <QByteArray>

#include <boost/shared_array.hpp>

class KvAACFrameRepacker;
class KvAACFrameSizeInfo;
struct KvAACGainFrameInfo;

// A fragment of an AAC source: one KvAACGainChangeInfo (gain delta, silenced)
// per frame, record 0 for the fragment's first frame. AAC frames carry no
// bit reservoir, so there is no margin and no terminator. Silence is a
// fragment on a silent source (no table, no file) of a given format, whose
// frames start silenced; like MP3 silence it always starts at frame 0.
// While idle the records may be packed; every reader goes through frameTable().
class KvAACRepackInfo : public KvRepackInfo {
public:
    // Frames first .. first+count-1 of an AAC source; count -1 means to the
    // end. The range is clamped to the source.
    KvAACRepackInfo(const boost::shared_ptr<KvFrameRepacker> &source, qint64 first, qint64 count);
    // count frames of silence in the given format, on a silent source of its own.
    KvAACRepackInfo(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 count);
    // No source, no records; filled by copyFrom or shareFrom.
    KvAACRepackInfo();
    ~KvAACRepackInfo() override;

    qint64 sourceFrameCount() const override;
    qint64 gainRecordBase() const override { return 0; }
    qint64 firstFrame() const override { return m_first; }
    qint64 frameCount() const override { return m_count; }
    QString sourcePath() const override;
    // -3 for silence, -1 for a silenced frame, else the source gain plus the
    // edit's gain (16-bit arithmetic); 0 without a frame or records.
    qint16 frameLevel(qint64 i) override;
    // The low 16 bits of the gain delta, signed.
    int frameGain(qint64 i) override;
    void setFrameGain(qint64 i, qint16 gain) override;
    bool isFrameSilenced(qint64 i) override;
    void setFrameSilenced(qint64 i, bool silenced) override;
    void compressFrameTable() override;
    boost::shared_ptr<KvFrameSizeInfo> sizeInfo() const override;
    boost::shared_ptr<KvFrameRepacker> source() const override { return m_source; }
    using KvRepackInfo::setRange;
    void setRange(qint64 first, qint64 count, const boost::shared_ptr<KvRepackInfo> &following) override;
    boost::shared_ptr<KvRepackInfo> clone() const override;
    boost::shared_ptr<KvRepackInfo> cloneRange(qint64 first, qint64 count) const override;

    virtual boost::shared_ptr<KvAACRepackInfo> createCopy() const;
    // The source's format as AAC facts (null when not AAC).
    virtual KvAACFrameSizeInfo *aacSizeInfo() const;
    virtual KvAACFrameRepacker *aacRepacker() const;
    // The records (frameCount() of them), unpacked first; null when there are none.
    virtual KvAACGainChangeInfo *frameTable();
    // Deep copy of every field but the counters (a packed fragment stays packed).
    virtual void copyFrom(const KvAACRepackInfo &other);
    // As copyFrom, sharing the other's records.
    virtual void shareFrom(const KvAACRepackInfo &other);

    // The source's per-frame table; null for silence.
    const KvAACGainFrameInfo *sourceFrameTable() const;
    bool isSilent() const { return sourcePath().isEmpty(); }
    bool isPacked() const { return m_packed; }
    const QByteArray &packedText() const { return m_packedText; }
    boost::shared_array<KvAACGainChangeInfo> recordArray() const { return m_records; }
    // n fresh records: unedited frames, or silenced ones for silence. Null
    // without a source.
    boost::shared_array<KvAACGainChangeInfo> freshRecords(qint64 n) const;

private:
    KvAACGainChangeInfo *record(qint64 i);
    void unpack();

    boost::shared_array<KvAACGainChangeInfo> m_records;
    bool m_packed = false;
    QByteArray m_packedText;
    boost::shared_ptr<KvFrameRepacker> m_source;
    qint64 m_first = 0;
    qint64 m_count = 0;
};

typedef boost::shared_ptr<KvAACRepackInfo> KvAACRepackInfoPtr;
