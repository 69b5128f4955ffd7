// Gains and silence of the edit commands, heard: the edited document's
// records drive the frame rebuilder, mpg123 decodes the frames, and the
// loudness of the edited range is compared with the unedited rebuild.
#include "KvEditTestSupport.h"
#include "KvFakeEditContext.h"
#include "Mp3RebuildDriver.h"

#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <gtest/gtest.h>

#include <QUndoStack>

#include <cmath>

using namespace kvtest;

namespace {

class EditDecode : public ::testing::Test
{
protected:
    void SetUp() override
    {
        source = loadMp3Source(fixture("cbr128_joint.mp3"));
        file = openEditSource("cbr128_joint.mp3");
        doc.reset(new KvMP3RepackInfoPtrList);
        doc->appendFragment(file->createRepackInfo(0, 300));
        plain = decode();
        frameBytes = pcmFrameBytes(*source->format());
    }

    // The document as the rebuilder's fragment, with the edits of its records.
    QByteArray decode()
    {
        std::vector<Mp3Fragment> frags;
        frags.push_back(sourceFragment(*source, 0, 300));
        const FrameModel m = modelOf(doc);
        EXPECT_EQ(m.size(), 300u);
        for (qint64 i = 0; i < 300; ++i) {
            KvMP3GainChangeInfo &e = frags[0].edit(i);
            e.gain[0] = e.gain[1] = int32_t(m[size_t(i)].gain);
            if (m[size_t(i)].silenced)
                e.flags |= KvMp3EditFlag::Silenced;
        }
        const RebuildResult r = rebuild(frags);
        EXPECT_EQ(r.failure, 0);
        TempDir dir;
        const QString path = dir.file("edited.mp3");
        EXPECT_TRUE(writeFile(path, r.bytes));
        return decodeMpg123(path);
    }

    // Loudness of frames [from, to) of a decode, relative to the plain one.
    double ratio(const QByteArray &pcm, qint64 from, qint64 to) const
    {
        const qint64 a = from * frameBytes / 2;
        const qint64 b = to * frameBytes / 2;
        return rms(pcm, a, b) / rms(plain, a, b);
    }

    std::unique_ptr<Mp3Source> source;
    boost::shared_ptr<KvMP3AudioFile> file;
    KvRepackInfoPtrListPtr doc;
    KvFakeEditContext ctx;
    QUndoStack stack;
    QByteArray plain;
    int frameBytes = 0;
};

TEST_F(EditDecode, FourStepsUpDoubleTheLevelOfTheRangeOnly)
{
    stack.push(new KvVolumeFade(doc, 0, 100, 4, 200, 4, &ctx));
    const QByteArray louder = decode();
    ASSERT_EQ(louder.size(), plain.size());
    // A frame of margin at each edge for the decoder's overlap.
    EXPECT_NEAR(ratio(louder, 102, 198), 2.0, 0.02);
    EXPECT_NEAR(ratio(louder, 10, 98), 1.0, 0.001);
    EXPECT_NEAR(ratio(louder, 202, 290), 1.0, 0.001);
    stack.undo();
    EXPECT_EQ(decode(), plain);
}

TEST_F(EditDecode, FadeInRisesStepByStep)
{
    stack.push(new KvVolumeFade(doc, 0, 100, -4, 200, 0, &ctx));
    const QByteArray faded = decode();
    // Runs of 20 frames at -4, -3, -2, -1 and 0 steps: 2^(g/4) in amplitude.
    for (int k = 0; k < 5; ++k) {
        const qint64 from = 100 + 20 * k + 2;
        const qint64 to = 100 + 20 * k + 18;
        EXPECT_NEAR(ratio(faded, from, to), std::pow(2.0, (k - 4) / 4.0), 0.01) << "run " << k;
    }
}

TEST_F(EditDecode, SilencedFramesDecodeAsSilence)
{
    stack.push(new KvVolumeSilence(doc->copyRange(100, 50), doc, 0, 100, &ctx, false));
    const QByteArray quiet = decode();
    EXPECT_LT(rms(quiet, 102 * frameBytes / 2, 148 * frameBytes / 2), 1.0);
    EXPECT_NEAR(ratio(quiet, 160, 290), 1.0, 0.001);
    stack.undo();
    EXPECT_EQ(decode(), plain);
}

} // namespace
