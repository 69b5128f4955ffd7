// Packed edit records: round trips of random tables, the packed text itself
// (inflated by zlib directly), and unpacking that needs nothing but the
// fragment's own source.
#include "KvDocumentTestSupport.h"
#include "KvFragmentListArchive.h"
#include "KvMP3FrameSizeInfo.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

#include <boost/archive/text_oarchive.hpp>

#include <zlib.h>

#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

using namespace kvtest;

namespace {

std::vector<KvMP3GainChangeInfo> tableOf(KvMP3RepackInfo &f)
{
    const KvMP3GainChangeInfo *t = f.frameTable();
    return t ? std::vector<KvMP3GainChangeInfo>(t, t + f.lastRecord() + 1) : std::vector<KvMP3GainChangeInfo>();
}

bool sameTables(const std::vector<KvMP3GainChangeInfo> &a, const std::vector<KvMP3GainChangeInfo> &b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(KvMP3GainChangeInfo)) == 0;
}

std::string inflate(const QByteArray &packed)
{
    std::vector<unsigned char> out(1 << 20);
    uLongf n = uLongf(out.size());
    EXPECT_EQ(uncompress(out.data(), &n, reinterpret_cast<const Bytef *>(packed.constData()), uLong(packed.size())),
              Z_OK);
    return std::string(reinterpret_cast<const char *>(out.data()), n);
}

class Packing : public ::testing::Test {
protected:
    void SetUp() override { file = openMp3("cbr128_joint.mp3"); }

    // Random runs of gains (any 32-bit value) and silenced flags.
    void edit(KvMP3RepackInfo &f, QRandomGenerator &rng)
    {
        KvMP3GainChangeInfo *t = f.frameTable() + f.gainRecordBase();
        for (qint64 i = 0; i < f.frameCount();) {
            const qint64 run = 1 + rng.bounded(12);
            const int32_t g = rng.bounded(4) == 0 ? int32_t(rng.generate()) : int32_t(rng.bounded(41)) - 20;
            const bool s = rng.bounded(3) == 0;
            for (qint64 end = std::min(f.frameCount(), i + run); i < end; ++i) {
                t[i].gain[0] = t[i].gain[1] = g;
                f.setFrameSilenced(i, s);
            }
        }
    }

    boost::shared_ptr<KvMP3AudioFile> file;
};

TEST_F(Packing, RandomTablesRoundTripExactly)
{
    QRandomGenerator rng(20240611);
    for (int n = 0; n < 60; ++n) {
        KvMP3RepackInfoPtr f;
        if (n % 5 == 4) {
            f = silenceLike(file, 1 + rng.bounded(300));
        } else {
            const qint64 first = n % 3 == 0 ? rng.bounded(12) : rng.bounded(int(file->frameCount() - 1));
            f = fragmentOf(file, first, 1 + rng.bounded(int(file->frameCount() - first)));
        }
        ASSERT_TRUE(f);
        edit(*f, rng);
        const std::vector<KvMP3GainChangeInfo> before = tableOf(*f);
        f->compressFrameTable();
        ASSERT_TRUE(f->isPacked()) << n;
        EXPECT_FALSE(f->recordArray());
        EXPECT_FALSE(f->packedText().isEmpty());
        EXPECT_TRUE(sameTables(tableOf(*f), before)) << "fragment " << n;
        EXPECT_FALSE(f->isPacked());
        EXPECT_TRUE(f->packedText().isEmpty());
    }
}

TEST_F(Packing, AnUneditedFragmentPacksToAFewDozenBytes)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 0, -1);
    f->compressFrameTable();
    EXPECT_LT(f->packedText().size(), 120);
    const QString path = file->repacker()->path();
    EXPECT_EQ(inflate(f->packedText()), "22 serialization::archive 17 1 0 1 " + std::to_string(path.toUtf8().size()) +
                                            " " + path.toStdString() + " 0 " + std::to_string(file->frameCount()) +
                                            " 0 0 0 " + std::to_string(file->frameCount() - 1) + "\n");
}

TEST_F(Packing, ThePackedTextIsAOneFragmentListOfRuns)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 100, 6);
    f->setFrameSilenced(1, true);
    f->setFrameGain(3, -4);
    f->setFrameGain(4, -4);
    f->compressFrameTable();
    const QString path = file->repacker()->path();
    EXPECT_EQ(inflate(f->packedText()), "22 serialization::archive 17 1 0 1 " + std::to_string(path.toUtf8().size()) +
                                            " " + path.toStdString() +
                                            " 100 6 0 0 0 0 1 0 0 0 0 0 0 0 0 -4 -4 1 0 0 0 0\n");
    const KvMP3RepackInfoPtr s = silenceLike(file, 4);
    s->compressFrameTable();
    // Silence has an empty path (length 0, no bytes) and stores its format:
    // MPEG-1, 44.1 kHz, joint stereo.
    EXPECT_EQ(inflate(s->packedText()), "22 serialization::archive 17 1 0 1 0  0 4 0 0 1 1 0 0 3\n");
}

TEST_F(Packing, TheListWriterFollowsTheArchiveLayout)
{
    const KvMP3RepackInfoPtr a = fragmentOf(file, 100, 3);
    a->setFrameSilenced(1, true);
    const KvRepackInfoPtrListPtr doc = documentOf({a, silenceLike(file, 4)});
    std::ostringstream os;
    os << kKvArchiveHeader << ' ';
    {
        boost::archive::text_oarchive ar(os, boost::archive::no_header);
        saveFragmentList(doc, ar);
    }
    const QString path = file->repacker()->path();
    EXPECT_EQ(os.str(), "22 serialization::archive 17 2 0 1 " + std::to_string(path.toUtf8().size()) + " " +
                            path.toStdString() + " 100 3 0 0 0 0 1 0 0 0 0 0 0 0 0  0 4 0 0 1 1 0 0 3\n");
}

TEST_F(Packing, TheListWriterLeavesOutFragmentsWithoutFrames)
{
    const KvRepackInfoPtrListPtr doc = documentOf({fragmentOf(file, 100, 0), fragmentOf(file, 7, 2)});
    std::ostringstream os;
    {
        boost::archive::text_oarchive ar(os, boost::archive::no_header);
        saveFragmentList(doc, ar);
    }
    const QString path = file->repacker()->path();
    EXPECT_EQ(os.str(), "1 0 1 " + std::to_string(path.toUtf8().size()) + " " + path.toStdString() + " 7 2 0 0 0 1\n");
    std::ostringstream empty;
    {
        boost::archive::text_oarchive ar(empty, boost::archive::no_header);
        saveFragmentList(documentOf({}), ar);
    }
    EXPECT_EQ(empty.str(), "0\n");
}

TEST_F(Packing, PackingTwicePacksOnceAndUnpackingIsQuietWhenNotPacked)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 10, 50);
    const KvMP3GainChangeInfo *table = f->frameTable();
    EXPECT_EQ(f->frameTable(), table);
    f->setFrameGain(7, 3);
    f->compressFrameTable();
    const QByteArray text = f->packedText();
    f->compressFrameTable();
    EXPECT_TRUE(f->isPacked());
    EXPECT_EQ(f->packedText(), text);
    EXPECT_EQ(f->frameGain(7), 3);
    EXPECT_FALSE(f->isPacked());
}

TEST_F(Packing, ClonesOfPackedFragmentsStayPacked)
{
    const KvMP3RepackInfoPtr f = fragmentOf(file, 10, 50);
    f->setFrameGain(7, 3);
    f->compressFrameTable();
    const KvMP3RepackInfoPtr c = boost::static_pointer_cast<KvMP3RepackInfo>(f->clone());
    EXPECT_TRUE(c->isPacked());
    EXPECT_EQ(c->frameGain(7), 3);
    EXPECT_FALSE(c->isPacked());
    EXPECT_TRUE(f->isPacked());
    EXPECT_EQ(f->frameGain(7), 3);
    // Levels read through a packed fragment as before.
    const KvMP3RepackInfoPtr g = fragmentOf(file, 10, 50);
    g->setFrameGain(2, -5);
    const qint16 level = g->frameLevel(2);
    g->compressFrameTable();
    EXPECT_EQ(g->frameLevel(2), level);
}

TEST_F(Packing, UnpackingNeedsNeitherTheFileNorTheCallingThread)
{
    TempDir dir;
    const QString copy = dir.file("moved away.mp3");
    ASSERT_TRUE(QFile::copy(fixture("cbr128_joint.mp3"), copy));
    boost::shared_ptr<KvMP3AudioFile> source(new KvMP3AudioFile);
    ASSERT_TRUE(source->open(copy).isEmpty());
    const KvRepackInfoPtrListPtr doc =
        documentOf({fragmentOf(source, 30, 40), silenceLike(source, 5), fragmentOf(source, 200, 10)});
    QRandomGenerator rng(7);
    std::vector<std::vector<KvMP3GainChangeInfo>> before;
    for (const KvRepackInfoPtr &f : *doc->list()) {
        edit(static_cast<KvMP3RepackInfo &>(*f), rng);
        before.push_back(tableOf(static_cast<KvMP3RepackInfo &>(*f)));
    }
    doc->compressAll();
    ASSERT_TRUE(QFile::remove(copy));
    std::vector<std::vector<KvMP3GainChangeInfo>> after;
    std::thread worker([&] {
        for (const KvRepackInfoPtr &f : *doc->list())
            after.push_back(tableOf(static_cast<KvMP3RepackInfo &>(*f)));
    });
    worker.join();
    ASSERT_EQ(after.size(), before.size());
    for (size_t k = 0; k < before.size(); ++k)
        EXPECT_TRUE(sameTables(after[k], before[k])) << "fragment " << k;
}

TEST_F(Packing, FragmentsWithoutRecordsAreNotPacked)
{
    KvMP3RepackInfo empty;
    empty.compressFrameTable();
    EXPECT_FALSE(empty.isPacked());
    EXPECT_FALSE(empty.frameTable());
}

} // namespace
