// The record thread with a fake capture device: takes, pausing, failures and the clock.
#include "KvFakeCapture.h"
#include "KvRecordTestSupport.h"

#include <KvRecordThread.h>
#include <KvTestSupport.h>

#include <QSignalSpy>

#include <cmath>

#include <gtest/gtest.h>

#include <memory>

using namespace kvrectest;

namespace {

FakeDeviceSpec fullDevice(const QString &name = "Fake Line In")
{
    FakeDeviceSpec s;
    s.name = name;
    return s;
}

struct Take {
    std::shared_ptr<FakeCaptureProvider> provider;
    std::unique_ptr<ScopedCaptureProvider> scope;
    std::unique_ptr<KvRecordThread> thread;
    FakeCaptureInput *input = nullptr;

    Take(const FakeDeviceSpec &spec, const QAudioFormat &format, const KvAudioLibPtr &encoder,
         int mode = 2, int bitrate = 128, int channelsOut = 0, int resampleRate = 0)
        : provider(std::make_shared<FakeCaptureProvider>(QList<FakeDeviceSpec>{spec})),
          scope(new ScopedCaptureProvider(provider))
    {
        thread.reset(new KvRecordThread(FakeCaptureProvider::describe(spec), format, encoder, mode,
                                        bitrate, -1, 1.0, channelsOut ? channelsOut : format.channelCount(),
                                        resampleRate ? resampleRate : format.sampleRate()));
    }
    bool start()
    {
        thread->start(QThread::HighPriority);
        input = provider->waitForStartedInput();
        return input != nullptr;
    }
    void stopAndWait()
    {
        thread->setSuspendAudio(true);
        thread->StopAudioRecording();
        thread->exit(0);
        thread->wait();
    }
};

qint64 frameBytes(const QAudioFormat &f) { return qint64(f.channelCount()) * f.sampleSize() / 8; }

} // namespace

TEST(RecordThread, ThreeSecondStereoTakeSavedAsMp3DecodesToThreeSeconds)
{
    ScopedEncoders encoders(ScopedEncoders::BuiltIn);
    const QList<KvAudioLibPtr> list = createEncoders(KvAudioFrameReaderPtr(), true, QString());
    ASSERT_FALSE(list.isEmpty());
    ASSERT_EQ(list.first()->fileExtension(), "mp3");

    const QAudioFormat format = kvPcmFormat(44100, 2, 16);
    Take take(fullDevice(), format, list.first(), 2, 128000, 2, 44100);
    ASSERT_TRUE(take.start());
    EXPECT_EQ(take.input->bufferSize(), 2 * 2 * 20480);
    EXPECT_EQ(take.input->notifyInterval(), 100);

    take.input->feedSeconds(3.0);
    take.input->goIdle();
    const qint64 want = 3 * 44100 * frameBytes(format);
    ASSERT_TRUE(waitFor([&] { return take.thread->recordedSize() == want; }));
    take.stopAndWait();

    EXPECT_TRUE(take.thread->errorText().isEmpty()) << take.thread->errorText().toStdString();
    const KvTempFilePtr file = take.thread->recording();
    ASSERT_TRUE(file);
    kvtest::TempDir dir;
    const QString out = dir.file("take.mp3");
    ASSERT_EQ(AudioInfo::saveToFile(file, out, false, 44100, 2), QString());

    // mpg123 as the judge: 3 s within two MP3 frames (encoder delay and padding included).
    const QByteArray pcm = kvtest::decodeMpg123(out);
    const qint64 frames = pcm.size() / 4;
    EXPECT_NEAR(double(frames), 3.0 * 44100, 2 * 1152.0) << frames;
}

TEST(RecordThread, PausedSpansAreLeftOutAndTheClockStops)
{
    ScopedEncoders encoders(ScopedEncoders::LameOnly);
    const QAudioFormat format = kvPcmFormat(48000, 1, 16);
    auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
    Take take(fullDevice(), format, encoder, 1, -1, 1, 48000);
    QSignalSpy clock(take.thread.get(), SIGNAL(processedAudio(qint64, qint16, qint16)));
    ASSERT_TRUE(take.start());

    take.input->feedSeconds(1.0);
    ASSERT_TRUE(waitFor([&] { return take.thread->recordedSize() == 48000 * 2; }));
    ASSERT_TRUE(waitFor([&] { return !clock.isEmpty() && clock.last().at(0).toLongLong() == 1000000; }));
    EXPECT_GT(clock.last().at(1).value<qint16>(), 16000);  // half scale sine

    take.thread->setSuspendAudio(true);
    take.input->feedSeconds(2.0);
    ASSERT_TRUE(waitFor([&] { return take.input->bytesConsumed() == take.input->bytesFed(); }));
    clock.clear();
    take.thread->notified();
    ASSERT_FALSE(clock.isEmpty());
    EXPECT_EQ(clock.last().at(0).toLongLong(), 1000000) << "the clock ran on while paused";
    EXPECT_EQ(clock.last().at(1).value<qint16>(), 0) << "paused capture shows no level";
    EXPECT_EQ(clock.last().at(2).value<qint16>(), 0);
    EXPECT_EQ(take.input->state(), QAudio::ActiveState) << "pausing must not stop the input";

    take.thread->setSuspendAudio(false);
    take.input->feedSeconds(0.5);
    ASSERT_TRUE(waitFor([&] { return take.thread->recordedSize() == 72000 * 2; }));
    take.stopAndWait();

    // The stream holds the first second and the half second after resuming, nothing between:
    // the sine runs on through the pause, so the samples after the seam are those of 3.0 s.
    const KvTempFilePtr file = take.thread->recording();
    ASSERT_TRUE(file && file->open());
    const QByteArray pcm = file->readAll();
    file->close();
    ASSERT_EQ(pcm.size(), 72000 * 2);
    const auto *s = reinterpret_cast<const qint16 *>(pcm.constData());
    const double t = 3.0 + 1.0 / 48000;
    EXPECT_NEAR(s[48001], 0.5 * 32767 * std::sin(2 * M_PI * 440 * t), 2.0);
}

TEST(RecordThread, StereoCaptureReportsOneLevelForBothChannels)
{
    const QAudioFormat format = kvPcmFormat(44100, 2, 24);
    auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
    Take take(fullDevice(), format, encoder);
    QSignalSpy clock(take.thread.get(), SIGNAL(processedAudio(qint64, qint16, qint16)));
    ASSERT_TRUE(take.start());
    take.input->feedSeconds(0.2);
    ASSERT_TRUE(waitFor([&] { return clock.size() >= 2; }));
    const qint16 left = clock.last().at(1).value<qint16>();
    EXPECT_EQ(left, clock.last().at(2).value<qint16>());
    EXPECT_NEAR(left, 16383, 3);  // 24-bit half scale reads as half of 32767
    take.stopAndWait();
}

TEST(RecordThread, FailedEncoderOpenCreatesNoInputAndReportsTheSinkError)
{
    ListEncoder::failOpenWith = "libmp3lame.so.0 was not found";
    auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
    Take take(fullDevice(), kvPcmFormat(44100, 2, 16), encoder);
    take.thread->start();
    ASSERT_TRUE(take.thread->wait(10000));
    EXPECT_EQ(take.provider->inputsCreated(), 0);
    EXPECT_EQ(take.thread->errorText(),
              "Unable to initialize audio encoder - Error:\nlibmp3lame.so.0 was not found");
    EXPECT_EQ(take.thread->recordedSize(), 0);
    ListEncoder::failOpenWith.clear();
}

TEST(RecordThread, DeviceThatDoesNotStartEndsTheTakeWithTheDeviceError)
{
    for (bool nullDevice : {true, false}) {
        FakeDeviceSpec spec = fullDevice();
        spec.failStart = nullDevice;
        spec.errorAtStart = !nullDevice;
        auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
        Take take(spec, kvPcmFormat(44100, 2, 16), encoder);
        take.thread->start();
        ASSERT_TRUE(take.thread->wait(10000));
        EXPECT_EQ(take.thread->errorText(), "Error was encountered while opening the recording device.");
    }
}

namespace {
// A sink that fails between its creation and the start of capture.
class EarlyFailThread : public KvRecordThread {
public:
    using KvRecordThread::KvRecordThread;
    bool startInput() override
    {
        AudioInfo *s = sink();
        s->openWrite();
        s->write("\1\2\3\4", 4);
        return KvRecordThread::startInput();
    }
};
} // namespace

TEST(RecordThread, SinkFailureAtStartIsReportedNotTakenForAFinishedTake)
{
    auto provider = std::make_shared<FakeCaptureProvider>(QList<FakeDeviceSpec>{fullDevice()});
    ScopedCaptureProvider scope(provider);
    auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
    EarlyFailThread thread(FakeCaptureProvider::describe(fullDevice()), kvPcmFormat(44100, 2, 16),
                           encoder, 2, 128, -1, 1.0, 2, 44100);
    ListEncoder::failEncode = true;
    thread.start();
    ASSERT_TRUE(thread.wait(10000));
    ListEncoder::failEncode = false;
    EXPECT_EQ(thread.errorText(), "Error: Unable to use audio encoder! result=-1, len=4");
}

TEST(RecordThread, EncoderFailureDuringTheTakeStopsTheInputAndEndsTheLoop)
{
    auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
    Take take(fullDevice(), kvPcmFormat(44100, 1, 16), encoder);
    QSignalSpy states(take.thread.get(), SIGNAL(signalStateChanged(QAudio::State)));
    ASSERT_TRUE(take.start());
    ListEncoder::failEncode = true;
    take.input->feedSeconds(0.1);
    ASSERT_TRUE(waitFor([&] { return take.thread->isFinished(); }));
    ListEncoder::failEncode = false;
    EXPECT_TRUE(take.thread->errorText().startsWith("Error: Unable to use audio encoder! result=-1"));
    ASSERT_TRUE(waitFor([&] {
        return !states.isEmpty() && states.last().at(0).value<QAudio::State>() == QAudio::StoppedState;
    }));
}

TEST(RecordThread, StoppingEndsTheLoopTwiceHarmlesslyAndTheTakeOutlivesTheThread)
{
    auto encoder = KvAudioLibPtr(new ListEncoder(ListEncoder::Lame));
    Take take(fullDevice(), kvPcmFormat(44100, 2, 16), encoder);
    QSignalSpy states(take.thread.get(), SIGNAL(signalStateChanged(QAudio::State)));
    ASSERT_TRUE(take.start());
    take.input->feedSeconds(0.5);
    ASSERT_TRUE(waitFor([&] { return take.thread->recordedSize() == 44100 * 2; }));
    take.input->goIdle();
    ASSERT_TRUE(waitFor([&] {
        return !states.isEmpty() && states.last().at(0).value<QAudio::State>() == QAudio::IdleState;
    }));
    take.thread->StopAudioRecording();
    ASSERT_TRUE(waitFor([&] { return take.thread->isFinished(); })) << "stopping the input ends the loop";
    take.thread->StopAudioRecording();
    take.thread->setSuspendAudio(false);
    EXPECT_EQ(take.thread->recordedSize(), 44100 * 2);
    const KvTempFilePtr file = take.thread->recording();
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 44100 * 2);
    QList<QAudio::State> seen;
    for (const QList<QVariant> &s : states)
        seen << s.at(0).value<QAudio::State>();
    EXPECT_EQ(seen, (QList<QAudio::State>{QAudio::ActiveState, QAudio::IdleState, QAudio::StoppedState}));
}
