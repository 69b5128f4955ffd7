#pragma once
#include <QString>
#include <QtGlobal>

#include <boost/shared_ptr.hpp>

#include <array>
#include <memory>

class KvFrameRepacker;
class KvFrameSizeInfo;

// A fragment: a run of consecutive frames of one source with one edit record
// per frame, and a 256-bin histogram of frame levels that its users fill.
// Frame indexes i are local: 0 is the fragment's first frame. A fragment
// whose source has an empty path is silence. Always held through shared
// pointers; several lists may share one fragment, so code that must not
// disturb other holders works on a clone().
class KvRepackInfo {
public:
    static constexpr int kCounterCount = 256;

    virtual ~KvRepackInfo();

    virtual qint64 sourceFrameCount() const = 0;
    // Index of the fragment's first frame in its record table.
    virtual qint64 gainRecordBase() const = 0;
    // Source frame number of the fragment's first frame.
    virtual qint64 firstFrame() const = 0;
    virtual qint64 frameCount() const = 0;
    // Empty for silence.
    virtual QString sourcePath() const = 0;
    // Display level of frame i; negative codes mark frames without a level.
    virtual qint16 frameLevel(qint64 i) = 0;
    virtual int frameGain(qint64 i) = 0;
    virtual void setFrameGain(qint64 i, qint16 gain) = 0;
    virtual bool isFrameSilenced(qint64 i) = 0;
    virtual void setFrameSilenced(qint64 i, bool silenced) = 0;
    // Packs the record table; the next access unpacks it.
    virtual void compressFrameTable() = 0;
    virtual boost::shared_ptr<KvFrameSizeInfo> sizeInfo() const = 0;
    virtual boost::shared_ptr<KvFrameRepacker> source() const = 0;
    // Re-cuts the fragment to source frames first .. first+count-1. When the
    // new range ends after the current one, `following` must be the fragment
    // that continues this one; its records fill the new part.
    virtual void setRange(qint64 first, qint64 count, const boost::shared_ptr<KvRepackInfo> &following) = 0;
    void setRange(qint64 first, qint64 count) { setRange(first, count, boost::shared_ptr<KvRepackInfo>()); }
    // A deep copy with zero counters.
    virtual boost::shared_ptr<KvRepackInfo> clone() const = 0;

    virtual void clearCounters();
    virtual qint64 counter(int bin) const;
    virtual int counterCount() const { return kCounterCount; }
    // Bins outside 0..255 are ignored.
    virtual void incrementCounter(int bin);

    // A new fragment over source frames first .. first+count-1 of this one
    // (inside its range), as clone() followed by setRange(first, count), but
    // copying only the records it keeps.
    virtual boost::shared_ptr<KvRepackInfo> cloneRange(qint64 first, qint64 count) const;

protected:
    KvRepackInfo();
    KvRepackInfo(const KvRepackInfo &) = delete;
    KvRepackInfo &operator=(const KvRepackInfo &) = delete;

private:
    // Allocated on the first count: most fragments never have one, and lists
    // of thousands of fragments are walked often.
    std::unique_ptr<std::array<qint64, kCounterCount>> m_counters;
};

typedef boost::shared_ptr<KvRepackInfo> KvRepackInfoPtr;
