#pragma once
#include "KvFrameRepacker.h"
#include "KvMp3Records.h"

#include <QCoreApplication>

#include <boost/shared_array.hpp>

#include <functional>
#include <vector>

class KvMP3FrameSizeInfo;
class KvMp3RepackHandle;
struct KvMp3InputBuffer;
class KvBitWriter;
struct KvMp3FrameContext;
class KvMp3ScanWalk;

// The frame index of one MP3 source: one KvMP3GainFrameInfo per frame,
// followed by an all-zero record, and the source's format facts.
class KvMP3FrameRepacker : public KvFrameRepacker {
    Q_DECLARE_TR_FUNCTIONS(KvMP3FrameRepacker)
public:
    // The scan reads each frame into a buffer of this size.
    static constexpr qint64 kReadBufferSize = 131072;

    // An ordinary source, to be scanned.
    KvMP3FrameRepacker();
    // A silent source of the given format: no file, no table, the largest frame count.
    explicit KvMP3FrameRepacker(const boost::shared_ptr<KvFrameSizeInfo> &format);
    ~KvMP3FrameRepacker() override;

    // Results: frames kept (> 0), or -1 (already scanned, or the file cannot
    // be opened: errorText is set), -3 (no usable frame index), -5 (the first
    // frame cannot be read), -6 (the first frame cannot be parsed, or more
    // than half the frames are damage: false frames in other data), -12 (the
    // thread was asked to stop). Damaged frames are kept as broken frames; a
    // change of format, a truncated frame or a read error ends the frames
    // kept. damage() tells what was kept broken and where the walk was cut.
    qint64 scanFrames(const QString &path, QString &errorText) override;

    // The scan parses each frame as libmpg123 reads it, and reads the frames
    // again at the offsets of libmpg123's index only when the two disagree.
    // Off, it always takes the second way (tests compare the two).
    static void setOnePassScan(bool on);

    // The records (frameCount() + 1 of them after a scan), shared with every
    // fragment that reads them; empty before a scan and for a silent source.
    boost::shared_array<KvMP3GainFrameInfo> frameTable() const { return m_table; }
    // The format facts when they are MP3 facts, else null.
    KvMP3FrameSizeInfo *mp3SizeInfo() const;
    qint64 firstFrameOffset() const { return m_firstFrameOffset; }

    // Sees each frame as libmpg123 reads it: its offset, its 4-byte header and
    // its body. Returning false ends the walk there.
    using Mpg123FrameVisitor = std::function<bool(qint64 offset, uint32_t header, const uint8_t *body,
                                                  size_t bodyBytes)>;

    // The start of a frame as the scan needs it: where it lies, its header,
    // and the first body bytes (CRC word and the largest side information).
    struct Mpg123FrameStart {
        static constexpr int kBodyStart = 2 + 32;
        qint64 offset;
        uint32_t header;
        uint32_t bodyBytes;
        uint8_t body[kBodyStart];
    };
    using Mpg123FrameConsumer = std::function<bool(const Mpg123FrameStart &)>;

    // Walks the frames with libmpg123 on a thread of its own and hands their
    // starts to consume on the calling thread, in file order; consume returns
    // false to stop the walk. offsets gets libmpg123's index (which may run
    // past the frame consume stopped at). False as buildMpg123FrameIndex.
    static bool readMpg123FrameStarts(const QString &path, std::vector<qint64> &offsets,
                                      const Mpg123FrameConsumer &consume);

    // Frame offsets in file order from libmpg123's seek index, one per frame,
    // as far as the walk went. False when the file cannot be indexed or the
    // index is not per frame.
    static bool buildMpg123FrameIndex(const QString &path, std::vector<qint64> &offsets,
                                      const Mpg123FrameVisitor &visit = Mpg123FrameVisitor());

    // Parses the frame at in.data + in.used with the handle's repack state.
    // With a writer it rebuilds: pre-roll frames (ctx.preRoll) only refill the
    // main-data ring; every other frame waits in an output slot and its payload
    // goes into the FIFO; then the oldest waiting frame is written as far as
    // the FIFO allows. Returns 0 (an output frame was completed into the
    // writer), -11 (completed, and payload for the next one is waiting: call
    // KvMp3RepackHandle::emitPending before parsing more), -8 (no frame completed yet),
    // or a parse failure (-3, -6, -10). ctx needs the source record (inside its
    // table, which ends with a zero record), the edit record and the next edit
    // record; their layout is recomputed as each frame is written.
    static int parseFrameAt(KvMp3RepackHandle &handle, KvMp3InputBuffer &in, KvBitWriter *writer,
                            KvMp3FrameContext &ctx, KvMP3FrameSizeInfo *format);

private:
    // Parses the frames at the given offsets, read from the open file.
    qint64 scanAtOffsets(const std::vector<qint64> &offsets);
    // Ends a walk: takes its table, or refuses a file that is mostly damage.
    qint64 keep(KvMp3ScanWalk &walk);

    qint64 m_firstFrameOffset = 0;
    boost::shared_array<KvMP3GainFrameInfo> m_table;
};
