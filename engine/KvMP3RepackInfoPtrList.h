#pragma once
#include "KvMp3Syntax.h"
#include "KvRepackInfoPtrList.h"

#include <QCoreApplication>

class QIODevice;
class KvAudioFragmentList;

// The MP3 document. The reservoir planner, the Xing/Info statistics and the
// saver belong to this class too.
class KvMP3RepackInfoPtrList : public KvRepackInfoPtrList {
    Q_DECLARE_TR_FUNCTIONS(KvMP3RepackInfoPtrList)
public:
    static constexpr int kKind = 3;

    KvMP3RepackInfoPtrList();
    ~KvMP3RepackInfoPtrList() override;

    // Needs a KvMP3RepackInfo with that path; count -1 means to the end of the source.
    KvRepackInfoPtr createFragmentForSource(const QString &path, qint64 first, qint64 count) override;
    // MP3 facts only; an empty document takes any. Otherwise channel count,
    // samples per frame, sample rate and format key must equal the first
    // fragment's.
    bool isCompatible(const boost::shared_ptr<KvFrameSizeInfo> &format) override;

    int kind() const { return m_kind; }

    // Lays the bit reservoir anew over the document: decides each frame's
    // output bitrate index and main_data_begin (edit records) so that every
    // payload fits into the output stream in order; frames that cannot be
    // served even at the highest bitrate are silenced and dropped. Without
    // startAtMax (a save) each frame keeps its source bitrate and
    // main_data_begin wherever they fit and the plan departs from them only
    // around seams; the plan depends on nothing an earlier planning left in
    // the records. With startAtMax (playback chunks) every frame starts at the
    // highest bitrate and the result is the first frame from 100 on where the
    // output can start with an empty reservoir (0 when none); without it the
    // result is 0. Not an MP3 document: nothing, 0.
    static int planReservoir(const KvRepackInfoPtrListPtr &document, bool startAtMax);

    // What the last planning did beyond the plain walk (for tests and tools).
    struct PlanReport {
        qint64 iterations = 0;     // frames visited by the walk; without startAtMax the
                                   // frames planned around seams (the others keep their source layout)
        bool bounded = false;      // the walk hit its iteration bound
        qint64 repaired = 0;       // frames the closing check had to correct
        qint64 dropped = 0;        // frames silenced and dropped
    };
    static PlanReport lastPlanReport();
    // Caps the start-at-max walk at that many frame visits on this thread
    // (-1: the normal bound of 16 visits a frame); what the walk leaves undone
    // the closing forward pass plans. For tests of that pass.
    static void setPlanWalkLimit(qint64 visits);
    // Without startAtMax only the frames around seams are planned, the others
    // keep their source layout. Off, every frame of the document is planned
    // (the same plan, for tests to compare); on this thread.
    static void setPlanAroundSeamsOnly(bool on);

    // Xing/Info statistics of the planned document; fills the fields below.
    static void computeXingData(const KvRepackInfoPtrListPtr &document);
    // Computes the statistics and writes the Xing/Info frame. False when the
    // device took fewer bytes.
    static bool writeXingFrame(const KvRepackInfoPtrListPtr &document, QIODevice *device);
    // Writes the planned document to path: the Xing/Info frame, then every
    // rebuilt frame. Written to a temporary file beside the target and renamed
    // over it only when everything was written. Returns an error text, empty
    // on success.
    static QString saveMp3File(const KvRepackInfoPtrListPtr &document, const QString &path);

    // Statistics (valid after computeXingData).
    bool variableBitrate() const { return m_vbr != 0; }
    const uint8_t *seekTable() const { return m_toc; }
    quint64 frameTotal() const { return m_frameTotal; }      // Xing frame included
    quint64 byteTotal() const { return m_byteTotal; }        // Xing frame included
    int xingFrameLength() const { return m_xingLength; }
    const KvMp3FrameHeader &xingHeader() const { return m_xingHeader; }
    bool jointStereoPresent() const { return m_jointStereo != 0; }

private:
    void enterSeekPoint(quint64 index, quint64 position);

    int32_t m_kind = kKind;
    uint8_t m_vbr = 0;
    uint8_t m_toc[100] = {};
    KvMp3FrameHeader m_xingHeader{};
    quint64 m_frameTotal = 0;
    quint64 m_byteTotal = 0;
    int32_t m_xingLength = 0;
    uint8_t m_jointStereo = 0;
    int m_tocCursor = 0;
};

// The one-line technical description of the cursor's MP3 document ("MPEG 1/
// Layer 3 - 128 kbps - 44100 Hz - Joint Stereo - 0:03:25.47"); empty without
// a document or for an empty one.
QString KvMP3FileInfoText(const boost::shared_ptr<KvAudioFragmentList> &cursor);
