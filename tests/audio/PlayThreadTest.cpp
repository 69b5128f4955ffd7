// Whole play requests on the null output with a driven clock: the play thread, the player
// and the generator together, as the controller drives them.
#include "AudioTestUtil.h"
#include "KvTestSupport.h"
#include "KvEngineFactories.h"
#include "KvRepackInfoPtrList.h"
#include "PlaybackTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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
        if (x.frame < kTenSeconds) {
            ASSERT_NEAR(x.frame, x.clockUs / kFrameUs, 2.0);
        }
    // Levels are the peaks decoded since the last report, -1 when nothing was decoded.
    int withLevels = 0;
    for (const Position &x : p) {
        ASSERT_GE(x.left, -1);
        ASSERT_GE(x.right, -1);
        withLevels += x.left > 1000 && x.right > 1000;
    }
    EXPECT_GT(withLevels, p.size() / 2);

    // The frames as they sit in the source, decoded in one go: the rebuilt stream, decoded
    // and played frame by frame, must sound exactly like them.
    const QVector<QByteArray> frames = sourceFrames(doc);
    const QByteArray expected = decodeFrames(frames, 44100, 2);
    const QByteArray played = s.played();
    ASSERT_EQ(played.size(), expected.size());
    EXPECT_TRUE(played == expected);
    EXPECT_EQ(s.device()->record()->lastFormat().sampleRate(), 44100);
    // The mpg123 program as the outside judge; its output stage rounds on its own.
    kvtest::TempDir dir;
    QByteArray all;
    for (const QByteArray &f : frames)
        all += f;
    kvtest::writeFile(dir.file("source.mp3"), all);
    const QVector<qint16> a = kvaudiotest::samples(played), b = kvaudiotest::samples(kvtest::decodeMpg123(dir.file("source.mp3")));
    ASSERT_EQ(a.size(), b.size());
    int worst = 0;
    for (int i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    EXPECT_LE(worst, 1);
}

TEST(PlayThread, TempoChangeWhilePlayingKeepsThePositionContinuous)
{
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

TEST(PlayThread, TheStartingTempoIsAPercentageChangeClampedAboveZero)
{
    const qint64 frames = 39;  // 1.02 s
    const DocPtr doc = documentOf("cbr128_joint.mp3", 0, frames);
    const double seconds = frames * kFrameUs / 1e6;
    // percent, expected playing time as a multiple of the document's
    const struct { double percent, factor; } rows[] = {
        {0, 1.0}, {-50, 2.0}, {100, 0.5}, {-100, 1.0 / KvAudioGenerator::kMinTempo}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.percent);
        PlaySession s;
        s.start(doc, 0, -1, 1.0, 0.0, r.percent);
        ASSERT_TRUE(s.run(60000000, 50000));
        const QVector<Position> p = s.positions();
        ASSERT_FALSE(p.isEmpty());
        EXPECT_EQ(p.last().frame, double(frames));
        EXPECT_NEAR(pcmFrames(s.played(), 2) / 44100.0, seconds * r.factor, seconds * r.factor * 0.03);
    }
}

TEST(PlayThread, ScrubJumpsWhileTheOutputKeepsRunning)
{
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

    // The jump is reported when the new range is heard: find frame 301 of the document in
    // what was played (frame 300 follows other audio, so the decoder makes it differently).
    const QVector<qint16> ref = kvaudiotest::samples(decodeFrames(sourceFrames(doc), 44100, 2));
    const QVector<qint16> played = kvaudiotest::samples(s.played());
    const int frameSamples = 1152 * 2;
    const qint16 *want = ref.constData() + 301 * frameSamples;
    int found = -1;
    for (int at = 0; at + frameSamples <= played.size() && found < 0; at += 2) {
        int i = 0;
        while (i < frameSamples && std::abs(int(played[at + i]) - int(want[i])) <= 1)
            ++i;
        if (i == frameSamples)
            found = at;
    }
    ASSERT_GE(found, 0) << "frame 301 was never played";
    const double heardUs = (found / 2) * 1e6 / 44100 - kFrameUs;  // frame 300 began one frame earlier
    const double heardFrame = 300 + (p[jump].clockUs - heardUs) / kFrameUs;
    EXPECT_NEAR(p[jump].frame, heardFrame, 1.5);
}

TEST(PlayThread, EditsOfTheLiveDocumentDoNotReachPlayback)
{
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

TEST(PlayThread, TheEnvironmentChoosesTheRealTimeNullOutput)
{
    qputenv("KV_AUDIO_OUTPUT", "null");
    EXPECT_TRUE(std::dynamic_pointer_cast<KvNullAudioDevice>(kvAudioOutputDevice()));
    const qint64 frames = 12;  // 0.31 s
    KvPlayThread thread(documentOf("cbr128_joint.mp3", 0, frames), 0, -1, 1.0, 0.0, 0.0);
    QVector<double> positions;
    QObject::connect(&thread, &KvPlayThread::PlayFrameQueued, [&](double f, qint16, qint16) { positions.append(f); });
    thread.start();
    QElapsedTimer wall;
    wall.start();
    while (!thread.isFinished() && wall.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(thread.wait(1000));
    QCoreApplication::processEvents();
    qunsetenv("KV_AUDIO_OUTPUT");
    EXPECT_TRUE(thread.errorText().isEmpty());
    ASSERT_FALSE(positions.isEmpty());
    EXPECT_EQ(positions.last(), double(frames));
    EXPECT_FALSE(std::dynamic_pointer_cast<KvNullAudioDevice>(kvAudioOutputDevice()));
}
