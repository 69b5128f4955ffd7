// Random edit lists over every fixture kind, with a fixed seed: every export
// passes the reservoir checker and decodes without complaint, keeps every
// frame away from seams and silenced frames as it is in its source (but for
// the global_gain of frames with a gain edit, and the channel mode of stereo
// frames joined to joint-stereo ones), keeps every frame's payload,
// and costs few bytes beyond the frames it keeps.
#include "KvEditList.h"
#include "KvTestSupport.h"
#include "Mp3ExportSupport.h"

#include "KvEngineFactories.h"
#include "KvFrameSizeInfo.h"
#include "KvMP3AudioListFileIO.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3RepackInfo.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvMp3Records.h"
#include "KvRepackInfoPtrList.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace kvtest;

namespace {

constexpr int kDocumentsPerKind = 24;

struct Kind {
    const char *name;
    const char *partner;   // a second source of the same format, or null
};

void PrintTo(const Kind &k, std::ostream *os)
{
    *os << k.name;
}

// A document of one to five ranges (of one or two sources) and runs of
// silence, then gains, mutes and deletes in random order.
QString randomEditList(std::mt19937 &rng, const Kind &kind, qint64 framesA, qint64 framesB)
{
    const auto in = [&](qint64 lo, qint64 hi) { return std::uniform_int_distribution<qint64>(lo, hi)(rng); };
    QString list;
    qint64 total = 0;
    const int pieces = int(in(1, 5));
    for (int p = 0; p < pieces; ++p) {
        const qint64 pick = in(0, 9);
        if (pick == 0 && total > 0) {
            const qint64 n = in(1, 40);
            list += QString("silence %1\n").arg(n);
            total += n;
            continue;
        }
        const bool other = kind.partner && pick >= 7;
        const qint64 frames = other ? framesB : framesA;
        const qint64 first = in(0, frames - 2);
        const qint64 count = in(2, std::min<qint64>(frames - first, 250));
        list += QString("src %1 %2 %3\n").arg(fixture(other ? kind.partner : kind.name)).arg(first).arg(count);
        total += count;
    }
    const int edits = int(in(0, 4));
    for (int e = 0; e < edits && total > 1; ++e) {
        const qint64 from = in(0, total - 1);
        const qint64 count = in(1, std::min<qint64>(total - from, 120));
        switch (in(0, 2)) {
        case 0:
            list += QString("gain %1 %2 %3\n").arg(from).arg(count).arg(in(-16, 16));
            break;
        case 1:
            list += QString("mute %1 %2\n").arg(from).arg(count);
            break;
        default:
            // FFmpeg cannot open a file of one frame after the tag frame.
            if (count < total - 1) {
                list += QString("delete %1 %2\n").arg(from).arg(count);
                total -= count;
            }
            break;
        }
    }
    return list;
}

// What a document frame is: the source frame it comes from (empty for
// silence), its edits, and whether it begins a fragment.
struct DocFrame {
    QByteArray bytes;
    Mp3FrameFacts facts;
    bool broken = false;
    bool gain = false;
    bool silenced = false;
    bool seam = false;
};

std::vector<DocFrame> documentFrames(const KvRepackInfoPtrListPtr &doc)
{
    std::map<QString, std::pair<QByteArray, std::map<qint64, Mp3FrameFacts>>> files;
    std::vector<DocFrame> frames;
    for (const KvRepackInfoPtr &f : *doc->list()) {
        KvMP3RepackInfo *mp3 = dynamic_cast<KvMP3RepackInfo *>(f.get());
        if (!mp3 || mp3->frameCount() == 0)
            continue;
        const KvMP3GainFrameInfo *table = mp3->sourceFrameTable();
        auto &file = files[mp3->sourcePath()];
        if (table && file.first.isEmpty()) {
            file.first = readFile(mp3->sourcePath());
            for (const Mp3FrameFacts &facts : checkMp3Stream(file.first).frames)
                file.second[facts.offset] = facts;
        }
        for (qint64 i = 0; i < mp3->frameCount(); ++i) {
            DocFrame d;
            d.seam = i == 0;
            d.gain = mp3->frameGain(i) != 0;
            d.silenced = mp3->isFrameSilenced(i);
            if (table) {
                const KvMP3GainFrameInfo &rec = table[mp3->firstFrame() + i];
                d.facts = file.second[qint64(rec.offset)];
                d.bytes = file.first.mid(int(rec.offset), d.facts.length);
                d.broken = (rec.flags & KvMp3FrameFlag::Broken) != 0;
            }
            frames.push_back(d);
        }
    }
    return frames;
}

// The frame with its CRC word zeroed, and its global_gain fields or its
// channel mode.
QByteArray without(QByteArray frame, const Mp3FrameFacts &f, bool gains, bool mode)
{
    for (int bit : gains ? f.globalGainBits : std::vector<int>()) {
        for (int b = bit; b < bit + 8; ++b)
            frame[b / 8] = char(frame[b / 8] & ~(0x80 >> (b % 8)));
    }
    if (mode)
        frame[3] = char(frame[3] & 0x3F);
    if (f.crc)
        frame[4] = frame[5] = 0;
    return frame;
}

// Checks the export of the document against its frames; returns the
// farthest a changed frame lay from a seam or silenced frame.
qint64 expectKeptFrames(const std::vector<DocFrame> &doc, const Judged &j)
{
    const size_t n = doc.size();
    if (j.report.frames.size() != n + 1)
        return 0;
    // Seams and silence change the frames around them: the main-data areas
    // reach up to the reservoir's limit back, and the plan moves up to 8
    // frames on either side.
    const int limit = j.report.frames[1].version == 0 ? 511 : 255;
    int smallest = 1 << 20;
    for (size_t k = 1; k <= n; ++k)
        smallest = std::min(smallest, std::max(1, j.report.frames[k].capacity));
    const qint64 reach = 9 + (limit + smallest - 1) / smallest;
    std::vector<qint64> special;
    for (size_t k = 0; k < n; ++k) {
        if (doc[k].seam || doc[k].silenced || doc[k].bytes.isEmpty())
            special.push_back(qint64(k));
    }
    // The end is a seam too: the last frame's area no longer holds the start
    // of the source's next payload.
    special.push_back(qint64(n));

    qint64 farthest = 0;
    qint64 kept = 0, seams = 0;
    for (size_t k = 0; k < n; ++k) {
        const Mp3FrameFacts &out = j.report.frames[k + 1];
        const QByteArray bytes = j.file.mid(int(out.offset), out.length);
        const DocFrame &d = doc[k];
        kept += d.bytes.isEmpty() ? out.length : d.facts.length;
        seams += d.seam ? 1 : 0;
        if (!d.bytes.isEmpty() && !d.silenced && !d.broken) {
            EXPECT_EQ(out.payloadBits, d.facts.payloadBits) << "frame " << k << " lost its payload";
        }
        if (d.bytes.isEmpty())
            continue;
        // Stereo frames are written as joint stereo where other frames of the
        // document are (a frame decodes the same either way).
        const bool joint = d.facts.mode == 0 && out.mode == 1 && (uint8_t(bytes[3]) & 0x30) == 0;
        const bool same = bytes == d.bytes || ((d.gain || joint) && without(bytes, out, d.gain, joint) ==
                                                                        without(d.bytes, d.facts, d.gain, joint));
        const auto at = std::lower_bound(special.begin(), special.end(), qint64(k));
        qint64 distance = 1 << 30;
        if (at != special.end())
            distance = *at - qint64(k);
        if (at != special.begin())
            distance = std::min(distance, qint64(k) - *std::prev(at));
        if (!same) {
            farthest = std::max(farthest, distance);
            EXPECT_LE(distance, reach) << "frame " << k << " changed far from any seam";
        }
    }
    const qint64 bound = kept + kept / 100 + 2048 * seams + j.report.frames[0].length;
    EXPECT_LE(j.file.size(), bound) << "kept frames hold " << kept << " bytes";
    return farthest;
}

} // namespace

class Mp3RandomEdits : public ::testing::TestWithParam<Kind> {};

TEST_P(Mp3RandomEdits, ExportsPassTheCheckerAndDecodeCleanly)
{
    const Kind kind = GetParam();
    const qint64 framesA = framesOf(fixture(kind.name));
    const qint64 framesB = kind.partner ? framesOf(fixture(kind.partner)) : 0;
    ASSERT_GT(framesA, 0);
    std::mt19937 rng(20240611u + uint32_t(qHash(QString(kind.name))));
    TempDir dir;
    qint64 repaired = 0, farthest = 0;
    for (int k = 0; k < kDocumentsPerKind; ++k) {
        const QString list = randomEditList(rng, kind, framesA, framesB);
        const QString out = dir.file(QString("doc%1.mp3").arg(k));
        KvEditListDocument d;
        QString error;
        ASSERT_TRUE(kvBuildEditList(list, d, error)) << error.toStdString() << "\n" << list.toStdString();
        const qint64 frames = d.document->totalFrames();
        const QString saveError = kvExportEditList(list, out);
        ASSERT_TRUE(saveError.isEmpty()) << saveError.toStdString() << "\n" << list.toStdString();
        // The plan is sound as made and serves every frame.
        const KvMP3RepackInfoPtrList::PlanReport report = KvMP3RepackInfoPtrList::lastPlanReport();
        EXPECT_EQ(report.repaired, 0);
        EXPECT_EQ(report.dropped, 0);
        repaired += report.repaired;
        SCOPED_TRACE(list.toStdString());
        // Seams may join a long block to a short one; decoders window that
        // differently, so only lengths and complaints are compared here.
        const Judged j = judge(out, -1);
        EXPECT_EQ(qint64(j.report.frames.size()), frames + 1);
        farthest = std::max(farthest, expectKeptFrames(documentFrames(d.document), j));

        // The export with one of the engine's shortcuts switched off.
        const auto exportWithout = [&](const char *name, void (*setShortcut)(bool)) {
            const QString path = dir.file(QString("%1%2.mp3").arg(name).arg(k));
            setShortcut(false);
            const QString error = kvExportEditList(list, path);
            setShortcut(true);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            return readFile(path);
        };
        // Runs copied whole from their source give what rebuilding every frame gives.
        EXPECT_TRUE(exportWithout("rebuilt", KvMP3AudioListFileIO::setWholeFrameCopy) == j.file)
            << "copied runs differ from rebuilt frames";
        // Planning only around seams gives what planning every frame gives.
        EXPECT_TRUE(exportWithout("planned", KvMP3RepackInfoPtrList::setPlanAroundSeamsOnly) == j.file)
            << "planning every frame differs";
        if (HasFailure())
            return;
    }
    RecordProperty("repaired", int(repaired));
    RecordProperty("farthest", int(farthest));
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, Mp3RandomEdits,
    ::testing::Values(Kind{"cbr128_joint.mp3", "cbr128_stereo.mp3"}, Kind{"vbr_v2.mp3", "cbr128_joint.mp3"},
                      Kind{"vbr_v0_long.mp3", "vbr_v2.mp3"}, Kind{"cbr128_crc.mp3", nullptr},
                      Kind{"vbr_crc_48k.mp3", nullptr}, Kind{"cbr64_mono.mp3", nullptr},
                      Kind{"cbr160_dual.mp3", nullptr}, Kind{"cbr96_32k.mp3", nullptr},
                      Kind{"mpeg2_mono_22k.mp3", "mpeg2_vbr_quiet_22k.mp3"}, Kind{"mpeg2_vbr_16k.mp3", nullptr},
                      Kind{"mpeg25_mono_8k.mp3", nullptr}, Kind{"mpeg25_mono_8k16.mp3", nullptr},
                      Kind{"mpeg25_mono_11k.mp3", nullptr}, Kind{"abr160.mp3", "vbr_v2.mp3"},
                      Kind{"cbr128_nores.mp3", "cbr128_joint.mp3"},
                      Kind{"mpeg25_stereo_11k.mp3", nullptr}),
    [](const ::testing::TestParamInfo<Kind> &info) {
        return QString(info.param.name).remove(".mp3").toStdString();
    });

// Fragments come back from the clipboard, the undo history and playback's
// chunk planning with whatever their records held. Whatever a record holds,
// a save writes the same sound stream.
TEST(Mp3ScrambledPlans, AnyStartingPlanSavesTheSameSoundStream)
{
    const Kind kinds[] = {{"vbr_v2.mp3", nullptr}, {"mpeg2_vbr_quiet_22k.mp3", nullptr},
                          {"mpeg25_stereo_11k.mp3", nullptr}, {"cbr128_crc.mp3", nullptr}};
    TempDir dir;
    int k = 0;
    qint64 repaired = 0, bounded = 0;
    for (const Kind &kind : kinds) {
        const qint64 frames = framesOf(fixture(kind.name));
        std::mt19937 rng(7u + uint32_t(k));
        for (int round = 0; round < 4; ++round) {
            const QString list = randomEditList(rng, kind, frames, 0);
            SCOPED_TRACE(list.toStdString());
            const QString clean = dir.file(QString("clean%1.mp3").arg(k));
            ASSERT_EQ(kvExportEditList(list, clean), QString());
            KvEditListDocument d;
            QString error;
            ASSERT_TRUE(kvBuildEditList(list, d, error)) << error.toStdString();
            const int limit = d.document->firstSourceInfo()->versionCode() == 0 ? 511 : 255;
            KvMP3FrameListIterator it(d.document, false);
            while (it.next()) {
                KvMP3GainChangeInfo &e = *it.context().editRecord;
                e.mainDataBegin = int16_t(std::uniform_int_distribution<int>(0, limit)(rng));
                e.setBitrateIndex(std::uniform_int_distribution<int>(1, 14)(rng));
                if (std::uniform_int_distribution<int>(0, 9)(rng) == 0)
                    e.flags |= KvMp3EditFlag::Dropped;
            }
            KvPrepareRepack(d.document);
            const KvMP3RepackInfoPtrList::PlanReport report = KvMP3RepackInfoPtrList::lastPlanReport();
            repaired += report.repaired;
            bounded += report.bounded ? 1 : 0;
            const QString out = dir.file(QString("scrambled%1.mp3").arg(++k));
            error = saveDocumentFile(d.document, out);
            ASSERT_TRUE(error.isEmpty()) << error.toStdString();
            EXPECT_EQ(report.repaired, 0);
            EXPECT_TRUE(readFile(out) == readFile(clean)) << "the records' old plan changed the save";
            const Judged j = judge(out, -1);
            EXPECT_EQ(qint64(j.report.frames.size()), d.document->totalFrames() + 1);
        }
    }
    RecordProperty("repaired", int(repaired));
    RecordProperty("bounded", int(bounded));
}

// Where playback's start-at-max walk gives up at its bound, the closing
// forward pass alone still plans a sound stream.
TEST(Mp3ScrambledPlans, WalkCutShortStillEndsInASoundStream)
{
    const Kind kinds[] = {{"vbr_v0_long.mp3", nullptr}, {"mpeg2_vbr_16k.mp3", nullptr}, {"cbr96_32k.mp3", nullptr}};
    TempDir dir;
    int k = 0;
    for (const Kind &kind : kinds) {
        const qint64 frames = framesOf(fixture(kind.name));
        std::mt19937 rng(99u + uint32_t(k));
        for (const qint64 limit : {0, 5, 60}) {
            const QString list = randomEditList(rng, kind, frames, 0);
            SCOPED_TRACE(list.toStdString());
            KvEditListDocument d;
            QString error;
            ASSERT_TRUE(kvBuildEditList(list, d, error)) << error.toStdString();
            KvMP3RepackInfoPtrList::setPlanWalkLimit(limit);
            KvPrepareRepackFlagged(d.document, true);
            KvMP3RepackInfoPtrList::setPlanWalkLimit(-1);
            const KvMP3RepackInfoPtrList::PlanReport report = KvMP3RepackInfoPtrList::lastPlanReport();
            EXPECT_TRUE(report.bounded || d.document->totalFrames() * 16 + 1024 <= limit);
            const QString out = dir.file(QString("short%1.mp3").arg(++k));
            error = saveDocumentFile(d.document, out);
            ASSERT_TRUE(error.isEmpty()) << error.toStdString();
            const Judged j = judge(out, -1);
            EXPECT_EQ(qint64(j.report.frames.size()), d.document->totalFrames() + 1);
        }
    }
}
