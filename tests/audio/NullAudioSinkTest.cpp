// The null output: plays what it pulls at the pace of a driven clock, like a pull-mode
// audio output, and negotiates formats as configured.
#include "AudioTestUtil.h"
#include "KvNullAudioSink.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using kvaudiotest::sine;

namespace {
const QAudioFormat kStereo44 = KvNullAudioDevice::pcmFormat(44100, 2);

// A sequential device that gives what was fed so far.
class FeedDevice : public QIODevice {
public:
    FeedDevice() { open(QIODevice::ReadOnly); }
    void feed(const QByteArray &data) { m_data += data; }
    bool isSequential() const override { return true; }
    int reads = 0;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        ++reads;
        const qint64 n = std::min<qint64>(maxSize, m_data.size());
        memcpy(data, m_data.constData(), size_t(n));
        m_data.remove(0, int(n));
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
};

// The sink lives on this thread: serve its timer until it has seen the clock's time.
void pump(const KvNullAudioClock &clock)
{
    QElapsedTimer t;
    t.start();
    while (!clock.caughtUp() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

qint64 frameUs(qint64 frames) { return frames * 1000000 / 44100; }
} // namespace

TEST(NullAudioSink, PlaysAtTheClockPaceThenFallsIdleAndResumes)
{
    auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
    KvNullAudioDevice device(clock);
    std::unique_ptr<KvAudioSink> sink(device.createSink(kStereo44));
    sink->setBufferSize(kStereo44.bytesForDuration(200000));
    sink->setNotifyInterval(26);
    QSignalSpy notifies(sink.get(), SIGNAL(notify()));
    QSignalSpy states(sink.get(), SIGNAL(stateChanged(QAudio::State)));

    const QByteArray pcm = sine(44100, 2, 1.0, {440, 660}, 0.5);
    FeedDevice source;
    source.feed(pcm.left(44100 * 4 / 2));  // 0.5 s
    sink->start(&source);
    ASSERT_EQ(sink->error(), QAudio::NoError);
    ASSERT_EQ(sink->state(), QAudio::ActiveState);

    // 0.3 s in steps of 50 ms: exactly that much audio played, a notify per 26 ms tick crossed.
    for (int i = 0; i < 6; ++i) {
        clock->advance(50000);
        pump(*clock);
    }
    EXPECT_EQ(sink->processedUSecs(), frameUs(13230));
    EXPECT_EQ(device.record()->playedBytes(), 13230 * 4);
    EXPECT_EQ(notifies.count(), 6);

    // The source runs dry at 0.5 s: the rest of the time passes in silence, the sink idles.
    clock->advance(400000);
    pump(*clock);
    EXPECT_EQ(sink->processedUSecs(), frameUs(22050));
    EXPECT_EQ(sink->state(), QAudio::IdleState);
    EXPECT_EQ(sink->error(), QAudio::UnderrunError);

    // New data wakes it up; idle time is not counted as played.
    source.feed(pcm.mid(44100 * 2));
    clock->advance(100000);
    pump(*clock);
    EXPECT_EQ(sink->state(), QAudio::ActiveState);
    EXPECT_EQ(sink->processedUSecs(), frameUs(22050 + 4410));

    clock->advance(2000000);
    pump(*clock);
    EXPECT_EQ(device.record()->playedPcm(), pcm);
    EXPECT_EQ(sink->state(), QAudio::IdleState);

    const int readsBefore = source.reads;
    sink->stop();
    EXPECT_EQ(sink->state(), QAudio::StoppedState);
    clock->advance(100000);
    pump(*clock);
    EXPECT_EQ(source.reads, readsBefore);
    const QList<QAudio::State> expected{QAudio::ActiveState, QAudio::IdleState, QAudio::ActiveState,
                                        QAudio::IdleState, QAudio::StoppedState};
    EXPECT_EQ(device.record()->states(), expected);
    EXPECT_EQ(states.count(), expected.size());
    EXPECT_EQ(clock->runningSinks(), 0);
}

TEST(NullAudioSink, StartFailsOnRequestAndOnAnUnreadableDevice)
{
    auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
    KvNullAudioDevice device(clock);
    FeedDevice source;

    KvNullAudioSink::Options failing;
    failing.failStart = true;
    device.setSinkOptions(failing);
    std::unique_ptr<KvAudioSink> a(device.createSink(kStereo44));
    a->start(&source);
    EXPECT_EQ(a->error(), QAudio::OpenError);
    EXPECT_EQ(a->state(), QAudio::StoppedState);

    device.setSinkOptions({});
    std::unique_ptr<KvAudioSink> b(device.createSink(kStereo44));
    QBuffer closed;
    b->start(&closed);
    EXPECT_EQ(b->error(), QAudio::OpenError);
    EXPECT_EQ(clock->runningSinks(), 0);
    EXPECT_EQ(device.record()->sinksStarted(), 0);
}

TEST(NullAudioDevice, OffersWhatItIsToldAndTheNearestOfThat)
{
    auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
    KvNullAudioDevice any(clock);
    EXPECT_TRUE(any.isFormatSupported(KvNullAudioDevice::pcmFormat(22050, 1)));
    EXPECT_TRUE(any.isFormatSupported(KvNullAudioDevice::pcmFormat(48000, 2)));
    EXPECT_FALSE(any.isFormatSupported(KvNullAudioDevice::pcmFormat(48000, 3)));
    QAudioFormat eightBit = KvNullAudioDevice::pcmFormat(44100, 2);
    eightBit.setSampleSize(8);
    eightBit.setSampleType(QAudioFormat::UnSignedInt);
    EXPECT_FALSE(any.isFormatSupported(eightBit));

    KvNullAudioDevice stereo48(clock);
    stereo48.setOfferedFormats({KvNullAudioDevice::pcmFormat(48000, 2), KvNullAudioDevice::pcmFormat(44100, 2)});
    EXPECT_FALSE(stereo48.isFormatSupported(KvNullAudioDevice::pcmFormat(22050, 1)));
    const QAudioFormat n1 = stereo48.nearestFormat(KvNullAudioDevice::pcmFormat(22050, 1));
    EXPECT_EQ(n1.channelCount(), 2);
    EXPECT_EQ(n1.sampleRate(), 44100);
    const QAudioFormat n2 = stereo48.nearestFormat(KvNullAudioDevice::pcmFormat(50000, 2));
    EXPECT_EQ(n2.sampleRate(), 48000);
}
