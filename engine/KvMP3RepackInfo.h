#pragma once
#include "KvMp3Records.h"
#include "KvRepackInfo.h"

#include <QByteArray>

#include <boost/shared_array.hpp>

class KvMP3FrameRepacker;
class KvMP3FrameSizeInfo;

// A fragment of an MP3 source. Its record table holds one KvMP3GainChangeInfo
// per frame, preceded by a margin of up to kMargin records for the source
// frames just before the fragment (the pre-roll that refills the main-data
// ring) and followed by one all-zero terminator:
//   record r describes source frame firstFrame() - gainRecordBase() + r,
//   records gainRecordBase() .. lastRecord()-1 are the fragment's frames.
// While idle the table may be packed into a compressed text; every reader
// goes through frameTable(), which unpacks it.
class KvMP3RepackInfo : public KvRepackInfo {
public:
    static constexpr qint64 kMargin = 10;

    // Frames first .. first+count-1 of an MP3 source; count -1 means to the
    // end. The range is clamped to the source.
    KvMP3RepackInfo(const boost::shared_ptr<KvFrameRepacker> &source, qint64 first, qint64 count);
    // count frames of silence in the given format, on a silent source of its own.
    KvMP3RepackInfo(const boost::shared_ptr<KvFrameSizeInfo> &format, qint64 count);
    // No source, no records; filled by copyFrom or shareFrom.
    KvMP3RepackInfo();
    ~KvMP3RepackInfo() override;

    qint64 sourceFrameCount() const override;
    qint64 gainRecordBase() const override { return m_gainRecordBase; }
    qint64 firstFrame() const override { return m_first; }
    qint64 frameCount() const override { return m_count; }
    QString sourcePath() const override;
    qint16 frameLevel(qint64 i) override;
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

    virtual boost::shared_ptr<KvMP3RepackInfo> makeCopy() const;
    // The source's frame records (frameCount + 1 of them), null when the
    // source is not a scanned MP3 frame index (silence).
    virtual KvMP3GainFrameInfo *sourceFrameTable() const;
    virtual KvMP3FrameSizeInfo *sourceSizeInfo() const;
    virtual KvMP3FrameRepacker *mp3Source() const;
    // The record table (lastRecord() + 1 records), unpacked first; null when
    // the fragment has none.
    virtual KvMP3GainChangeInfo *frameTable();
    // Deep copy of every field but the counters.
    virtual void copyFrom(const KvMP3RepackInfo &other);
    // As copyFrom, sharing the other's record table.
    virtual void shareFrom(const KvMP3RepackInfo &other);

    qint64 lastRecord() const { return m_lastRecord; }
    bool isPacked() const { return m_packed; }
    const QByteArray &packedText() const { return m_packedText; }
    // The table object itself, without unpacking (null while packed).
    boost::shared_array<KvMP3GainChangeInfo> recordArray() const { return m_records; }
    bool isSilent() const { return sourcePath().isEmpty(); }

    // The records a fresh fragment holds for source frames from .. from+n-1,
    // followed by a zero terminator: from the source table, or silent records.
    // Null when the source has neither.
    boost::shared_array<KvMP3GainChangeInfo> sourceRecords(qint64 from, qint64 n) const;
    // The record of a fresh silent frame of this fragment's format.
    KvMP3GainChangeInfo silentRecord() const;

private:
    // Record of local frame i, or null (no source, out of range, no table).
    KvMP3GainChangeInfo *record(qint64 i);
    void unpack();

    // The range first: list walks read it, and it shares a cache line with
    // the object's start.
    qint64 m_first = 0;
    qint64 m_count = 0;
    qint64 m_gainRecordBase = 0;
    qint64 m_lastRecord = 0;
    boost::shared_array<KvMP3GainChangeInfo> m_records;
    bool m_packed = false;
    QByteArray m_packedText;
    boost::shared_ptr<KvFrameRepacker> m_source;
};

typedef boost::shared_ptr<KvMP3RepackInfo> KvMP3RepackInfoPtr;
