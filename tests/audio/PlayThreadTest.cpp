// Whole play requests on the null output with a driven clock: the play thread, the player
// and the generator together, as the controller drives them.
#include "AudioTestUtil.h"
#include "KvEngineFactories.h"
#include "KvRepackInfoPtrList.h"
#include "PlaybackTestSupport.h"

#include <gtest/gtest.h>

using namespace kvplaytest;

namespace {
constexpr qint64 kTenSeconds = 383;  // 383 x 1152 / 44100 = 10.005 s
constexpr double kFrameUs = 1152 * 1000000.0 / 44100;

void expectStrictlyIncreasing(const QVector<Position> &p)
{
    for (int i = 1; i < p.size(); ++i)
        ASSERT_GT(p[i].frame, p[i - 1].frame) << "position " << i;
}
} // namespace

TEST(PlayThread, TenSecondsPlayToTheEndAsTheDecodedFrames)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, kTenSeconds);
    PlaySession s;
    s.start(doc, 0, -1, 1.0, 0.0, 0.0);
    ASSERT_TRUE(s.run(15000000));
    EXPECT_TRUE(s.thread()->errorText().isEmpty()) << s.thread()->errorText().toStdString();

    const QVector<Position> p = s.positions();
    ASSERT_GT(p.size(), 300);
    expectStrictlyIncreasing(p);
    EXPECT_LT(p.first().frame, 3.0);
    EXPECT_EQ(p.last().frame, double(kTenSeconds));
    // Positions follow the played time (one frame per 26.12 ms).
    for (const Position &x : p)
        if (x.frame < kTenSeconds)
            ASSERT_NEAR(x.frame, x.clockUs / kFrameUs, 2.0);
    // Levels are the peaks decoded since the last report, -1 when nothing was decoded.
    int withLevels = 0;
    for (const Position &x : p) {
        ASSERT_GE(x.left, -1);
        ASSERT_GE(x.right, -1);
        withLevels += x.left > 1000 && x.right > 1000;
    }
    EXPECT_GT(withLevels, p.size() / 2);

    const QByteArray expected = decodeFrames(sourceFrames(doc), 44100, 2);
    const QByteArray played = s.played();
    ASSERT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
    EXPECT_EQ(s.device()->record()->lastFormat().sampleRate(), 44100);
}

TEST(PlayThread, TempoChangeWhilePlayingKeepsThePositionContinuous)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, kTenSeconds);
    PlaySession s;
    s.start(doc, 0, -1, 1.0, 0.0, 0.0);
    qint64 changedAt = -1;
    ASSERT_TRUE(s.run(15000000, 20000, [&](qint64 now) {
        if (changedAt < 0 && now >= 3000000) {
            s.thread()->TempoChanged(50.0);  // percent: 1.5 times the speed
            changedAt = now;
        }
    }));
    const QVector<Position> p = s.positions();
    expectStrictlyIncreasing(p);
    EXPECT_EQ(p.last().frame, double(kTenSeconds));
    double largestStep = 0;
    for (int i = 1; i < p.size(); ++i)
        largestStep = std::max(largestStep, p[i].frame - p[i - 1].frame);
    EXPECT_LT(largestStep, 3.0);
    // About 3 s at normal speed, the remaining 7 s of audio in 7 / 1.5 s.
    const qint64 endUs = p.last().clockUs;
    EXPECT_NEAR(endUs / 1e6, 3.0 + (10.005 - 3.0) / 1.5, 0.4);
    // Before the change, time and position agree; well after it, 1.5 frames a frame's time.
    for (int i = 1; i < p.size(); ++i) {
        if (p[i - 1].clockUs > changedAt + 1000000 && p[i].frame < kTenSeconds - 5) {
            const double rate = (p[i].frame - p[i - 1].frame) / ((p[i].clockUs - p[i - 1].clockUs) / kFrameUs);
            EXPECT_NEAR(rate, 1.5, 0.2) << "at " << p[i].frame;
        }
    }
}

TEST(PlayThread, ScrubJumpsWhileTheOutputKeepsRunning)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, kTenSeconds);
    PlaySession s;
    s.start(doc, 0, -1, 1.0, 0.0, 0.0);
    bool scrubbed = false;
    ASSERT_TRUE(s.run(15000000, 20000, [&](qint64 now) {
        if (!scrubbed && now >= 2000000) {
            s.thread()->ScrubPlayAudio(300, -1);
            scrubbed = true;
        }
    }));
    const QVector<Position> p = s.positions();
    expectStrictlyIncreasing(p);
    int jump = -1;
    for (int i = 1; i < p.size(); ++i)
        if (p[i].frame >= 300 && p[i - 1].frame < 300)
            jump = i;
    ASSERT_GT(jump, 0);
    EXPECT_LT(p[jump - 1].frame, 100);
    EXPECT_LE(p[jump].frame, 302.0);
    EXPECT_EQ(p.last().frame, double(kTenSeconds));
    EXPECT_EQ(s.device()->record()->sinksStarted(), 1);  // the same output throughout
    EXPECT_EQ(streams.opened(), 2);
}

TEST(PlayThread, EditsOfTheLiveDocumentDoNotReachPlayback)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, kTenSeconds);
    const QByteArray expected = decodeFrames(sourceFrames(doc), 44100, 2);
    PlaySession s;
    s.start(doc, 0, -1, 1.0, 0.0, 0.0);
    int step = 0;
    ASSERT_TRUE(s.run(15000000, 20000, [&](qint64) {
        // Cut, paste and undo-like edits on the GUI thread while it plays.
        if (++step % 25 == 0) {
            const auto clip = doc->copyRange(10, 100);
            doc->deleteRange(0, 150);
            doc->insertList(20, clip);
            doc->compressAll();
        }
    }));
    EXPECT_EQ(s.positions().last().frame, double(kTenSeconds));
    EXPECT_TRUE(s.played() == expected);
}

TEST(PlayThread, StopEndsPlaybackAndAStopBeforeTheStartPlaysNothing)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, kTenSeconds);
    {
        PlaySession s;
        s.start(doc, 0, -1);
        bool stopped = false;
        ASSERT_TRUE(s.run(15000000, 20000, [&](qint64 now) {
            if (!stopped && now >= 1000000) {
                s.thread()->StopPlay();
                stopped = true;
            }
        }));
        EXPECT_LT(s.positions().last().clockUs, 1500000);
        EXPECT_LT(s.positions().last().frame, 60);
        EXPECT_EQ(s.clock()->runningSinks(), 0);
    }
    {
        PlaySession s;
        KvPlayThread thread(doc, 0, -1, 1.0, 0.0, 0.0);
        thread.StopPlay();
        thread.start();
        ASSERT_TRUE(thread.wait(10000));
        EXPECT_EQ(s.device()->record()->sinksStarted(), 0);
    }
}

TEST(PlayThread, EveryFailureAndEveryEndFinishesTheThread)
{
    ScopedFrameStreams streams;
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, 50);
    struct Row {
        const char *name;
        bool reportsIdle;
        DocPtr doc;
        qint64 start;
        const char *text;  // empty: a normal end
        bool outputStarts;
    };
    const Row rows[] = {
        // Past the end nothing opens; an output that never idles must not keep it alive.
        {"past_end", true, doc, 500, "cannot open 'fragment list' input file", true},
        {"past_end_never_idle", false, doc, 500, "cannot open 'fragment list' input file", true},
        {"empty_document", true, createRepackInfoPtrList(doc), 0, "nothing to play", false},
        {"end_never_idle", false, doc, 0, "", true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        KvNullAudioSink::Options options;
        options.reportsIdle = r.reportsIdle;
        PlaySession s({}, options);
        s.start(r.doc, r.start, -1);
        ASSERT_TRUE(s.run(120000000));
        const QString error = s.thread()->errorText();
        if (*r.text)
            EXPECT_TRUE(error.contains(r.text)) << error.toStdString();
        else
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        EXPECT_EQ(s.device()->record()->sinksStarted(), r.outputStarts ? 1 : 0);
        for (const Position &x : s.positions())
            EXPECT_NE(x.frame, -1.0);
    }
}
