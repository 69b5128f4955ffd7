// Random edit lists over every fixture kind, with a fixed seed: every export
// passes the reservoir checker and decodes without complaint.
#include "KvEditList.h"
#include "KvTestSupport.h"
#include "Mp3ExportSupport.h"

#include "KvEngineFactories.h"
#include "KvFrameSizeInfo.h"
#include "KvMP3FrameListIterator.h"
#include "KvMP3RepackInfoPtrList.h"
#include "KvMp3Records.h"
#include "KvRepackInfoPtrList.h"

#include <gtest/gtest.h>

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

qint64 framesOf(const QString &path)
{
    KvEditListDocument d;
    QString error;
    if (!kvBuildEditList(QString("src %1 0 -1\n").arg(path), d, error))
        return 0;
    return d.document->totalFrames();
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
    qint64 repaired = 0, bounded = 0;
    for (int k = 0; k < kDocumentsPerKind; ++k) {
        const QString list = randomEditList(rng, kind, framesA, framesB);
        const QString out = dir.file(QString("doc%1.mp3").arg(k));
        KvEditListDocument d;
        QString error;
        ASSERT_TRUE(kvBuildEditList(list, d, error)) << error.toStdString() << "\n" << list.toStdString();
        const qint64 frames = d.document->totalFrames();
        const QString saveError = kvExportEditList(list, out);
        ASSERT_TRUE(saveError.isEmpty()) << saveError.toStdString() << "\n" << list.toStdString();
        // The walk itself finds a sound plan; the closing check finds nothing to mend.
        const KvMP3RepackInfoPtrList::PlanReport report = KvMP3RepackInfoPtrList::lastPlanReport();
        EXPECT_EQ(report.repaired, 0);
        EXPECT_FALSE(report.bounded);
        repaired += report.repaired;
        bounded += report.bounded ? 1 : 0;
        SCOPED_TRACE(list.toStdString());
        // Seams may join a long block to a short one; decoders window that
        // differently, so only lengths and complaints are compared here.
        const Judged j = judge(out, -1);
        EXPECT_EQ(qint64(j.report.frames.size()), frames + 1);
        if (HasFailure())
            return;
    }
    RecordProperty("repaired", int(repaired));
    RecordProperty("bounded", int(bounded));
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, Mp3RandomEdits,
    ::testing::Values(Kind{"cbr128_joint.mp3", "cbr128_stereo.mp3"}, Kind{"vbr_v2.mp3", "cbr128_joint.mp3"},
                      Kind{"vbr_v0_long.mp3", "vbr_v2.mp3"}, Kind{"cbr128_crc.mp3", nullptr},
                      Kind{"vbr_crc_48k.mp3", nullptr}, Kind{"cbr64_mono.mp3", nullptr},
                      Kind{"cbr160_dual.mp3", nullptr}, Kind{"cbr96_32k.mp3", nullptr},
                      Kind{"mpeg2_mono_22k.mp3", "mpeg2_vbr_quiet_22k.mp3"}, Kind{"mpeg2_vbr_16k.mp3", nullptr},
                      Kind{"mpeg25_mono_8k.mp3", nullptr}, Kind{"mpeg25_mono_11k.mp3", nullptr},
                      Kind{"mpeg25_stereo_11k.mp3", nullptr}),
    [](const ::testing::TestParamInfo<Kind> &info) {
        return QString(info.param.name).remove(".mp3").toStdString();
    });

// Plans carry over from one planning to the next, and fragments come back from
// the clipboard and the undo history with whatever their records held. Any
// starting plan must end in a sound stream.
TEST(Mp3ScrambledPlans, AnyStartingPlanEndsInASoundStream)
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
            const Judged j = judge(out, -1);
            EXPECT_EQ(qint64(j.report.frames.size()), d.document->totalFrames() + 1);
        }
    }
    RecordProperty("repaired", int(repaired));
    RecordProperty("bounded", int(bounded));
}

// Where the walk gives up at its bound, the closing forward pass alone still
// plans a sound stream.
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
            KvPrepareRepack(d.document);
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
