// The player's format negotiation against devices that offer only some formats, and how an
// output that cannot be used is reported.
#include "AudioTestUtil.h"
#include "KvFrameSizeInfo.h"
#include "KvRepackInfoPtrList.h"
#include "KvTestSupport.h"
#include "PlaybackTestSupport.h"

#include <gtest/gtest.h>

using namespace kvplaytest;

TEST(PlayFormat, MonoAt22050PlaysOnAStereoOnly48000Device)
{
    const qint64 frames = 115;  // 115 x 576 / 22050 = 3.004 s
    const DocPtr doc = documentOf("mpeg2_mono_22k.mp3", 0, frames);
    PlaySession s({KvNullAudioDevice::pcmFormat(48000, 2)});
    s.start(doc, 0, -1);
    ASSERT_TRUE(s.run(10000000));
    EXPECT_TRUE(s.thread()->errorText().isEmpty()) << s.thread()->errorText().toStdString();

    const QAudioFormat f = s.device()->record()->lastFormat();
    EXPECT_EQ(f.sampleRate(), 48000);
    EXPECT_EQ(f.channelCount(), 2);
    const QByteArray played = s.played();
    const QVector<qint16> v = kvaudiotest::samples(played);
    for (int i = 0; i + 1 < v.size(); i += 2)
        ASSERT_EQ(v[i], v[i + 1]) << "frame " << i / 2;

    // Right speed: as long as the source; right pitch: the same rough frequency.
    const double seconds = frames * 576 / 22050.0;
    EXPECT_NEAR(pcmFrames(played, 2) / 48000.0, seconds, 0.01);
    const QByteArray source = decodeFrames(sourceFrames(doc), 22050, 1);
    kvtest::TempDir dir;
    ASSERT_TRUE(kvaudiotest::writeWav(dir.file("played.wav"), played, 48000, 2));
    ASSERT_TRUE(kvaudiotest::writeWav(dir.file("source.wav"), source, 22050, 1));
    const double fp = kvaudiotest::soxRoughFrequency(dir.file("played.wav"));
    const double fs = kvaudiotest::soxRoughFrequency(dir.file("source.wav"));
    EXPECT_NEAR(fp / fs, 1.0, 0.03) << fp << " vs " << fs;
    EXPECT_NEAR(kvaudiotest::dbRatio(kvaudiotest::rms(played, 2, 0), kvaudiotest::rms(source, 1, 0)), 0.0, 0.5);

    // Positions in source frames, ending at the range end.
    const QVector<Position> p = s.positions();
    ASSERT_GT(p.size(), 50);
    for (int i = 1; i < p.size(); ++i)
        ASSERT_GT(p[i].frame, p[i - 1].frame);
    EXPECT_EQ(p.last().frame, double(frames));
    for (const Position &x : p)
        if (x.frame < frames) {
            ASSERT_NEAR(x.frame, x.clockUs / (576 * 1e6 / 22050), 2.5);
        }
}

TEST(PlayFormat, DevicesThatCannotTakeTheSourceRefuseWithoutAMessageBox)
{
    const DocPtr stereo = documentOf("cbr128_joint.mp3", 0, 50);
    QAudioFormat eightBit = KvNullAudioDevice::pcmFormat(44100, 2);
    eightBit.setSampleSize(8);
    eightBit.setSampleType(QAudioFormat::UnSignedInt);
    struct Row {
        const char *name;
        QList<QAudioFormat> offered;
        const char *warning;  // empty: none expected
    };
    const Row rows[] = {
        {"fewer_channels", {KvNullAudioDevice::pcmFormat(44100, 1), KvNullAudioDevice::pcmFormat(48000, 1)},
         "Unable to open playback device with required format.\nChannels: requested=2/available=1"},
        {"no_pcm16", {eightBit}, ""},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ScopedMessages messages;
        kvtest::CapturedMessages warnings(QtWarningMsg);
        PlaySession s(r.offered);
        s.start(stereo, 0, -1);
        ASSERT_TRUE(s.run(5000000));
        EXPECT_EQ(s.thread()->errorText(), "Unable to open output audio device.");
        EXPECT_EQ(s.device()->record()->sinksStarted(), 0);
        EXPECT_TRUE(messages.texts().isEmpty());
        if (*r.warning) {
            EXPECT_TRUE(warnings.texts().contains(r.warning)) << warnings.texts().join("|").toStdString();
        }
    }
}

TEST(PlayFormat, AnOutputThatFailsToStartIsReportedOnce)
{
    ScopedMessages messages;
    KvNullAudioSink::Options failing;
    failing.failStart = true;
    PlaySession s({}, failing);
    s.start(documentOf("cbr128_joint.mp3", 0, 50), 0, -1);
    ASSERT_TRUE(s.run(5000000));
    EXPECT_EQ(s.thread()->errorText(), "Unable to open output audio device.");
    EXPECT_EQ(messages.texts(), QStringList{"Unable to open the audio output device."});
    EXPECT_TRUE(s.positions().isEmpty());
}
