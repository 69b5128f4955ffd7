// Playback control: the play states through play, play selection, pause,
// resume, stop, looping and the end of the document, with play threads that
// play nothing and end when the test says; then whole play requests through
// the real play thread on the null output, and one on an output that fails.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvAudioSink.h>
#include <KvFakeUiServices.h>
#include <KvNullAudioSink.h>
#include <KvPlayThread.h>
#include <KvPlayThreadFactory.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>

#include <atomic>
#include <cmath>
#include <memory>

using namespace kvtest;

namespace {

// A play thread that plays nothing: it runs until it is stopped, or until
// the test ends it as if it had reached the end of its range.
class IdleThread : public KvPlayThread
{
public:
    using KvPlayThread::KvPlayThread;
    std::atomic<bool> reachEnd{false};

protected:
    void run() override
    {
        while (!stopRequested() && !reachEnd.load())
            msleep(1);
    }
};

struct Request {
    qint64 start, count;
    double volume, pitch, tempo;
};

class IdleThreads : public KvPlayThreadFactory
{
public:
    QList<Request> requests;
    IdleThread *last = nullptr;
    KvPlayThread *create(const boost::shared_ptr<KvRepackInfoPtrList> &document, qint64 startFrame,
                         qint64 numFrames, double volume, double pitch, double tempo) override
    {
        requests << Request{startFrame, numFrames, volume, pitch, tempo};
        last = new IdleThread(document, startFrame, numFrames, volume, pitch, tempo);
        return last;
    }
};

class ControllerPlay : public ::testing::Test
{
public:
    void SetUp() override
    {
        QSettings().clear();
        controller.reset(new KvQmlController(nullptr, KvControllerSeams{&ui, nullptr, &threads}));
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
        model->setFragmentList(kvSilentDocument(1000));
        controller->refreshDocumentState();
    }
    void TearDown() override
    {
        controller.reset();
        model.reset();
    }
    void select(qint64 s, qint64 e)
    {
        controller->setSelectionStart(double(s));
        controller->setSelectionEnd(double(e));
    }
    // The running thread ends by itself; its queued end is then served.
    void endOfRange()
    {
        ASSERT_TRUE(threads.last);
        IdleThread *thread = threads.last;
        thread->reachEnd = true;
        thread->wait();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    int state() const { return controller->playState(); }
    double position() const { return controller->scrollFrame(); }

    FakeUiServices ui;
    IdleThreads threads;
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

TEST_F(ControllerPlay, PlayStatesFollowTheCommands)
{
    struct Step {
        const char *what;
        std::function<void(ControllerPlay &)> act;
        int state;
        double position;
        int requests;             // play threads made so far
        qint64 start, count;      // of the last request
    };
    const Step steps[] = {
        {"play from 100", [](ControllerPlay &t) { t.controller->setScrollFrame(100); t.controller->startPlay(); },
         1, 100, 1, 100, 900},
        {"a report moves the position", [](ControllerPlay &t) { t.controller->PlayPositionChanged_triggered(150.5, 7, 9); },
         1, 150, 1, 100, 900},
        {"pause", [](ControllerPlay &t) { t.controller->actionPause(); }, 3, 150, 1, 100, 900},
        {"a report after pause changes nothing", [](ControllerPlay &t) { t.controller->PlayPositionChanged_triggered(170, 0, 0); },
         3, 150, 1, 100, 900},
        {"resume goes on from the position", [](ControllerPlay &t) { t.controller->resumePlay(); }, 1, 150, 2, 150, 850},
        {"play again while playing stops, back to the start", [](ControllerPlay &t) { t.controller->startPlay(); },
         0, 150, 2, 150, 850},
        {"play the selection", [](ControllerPlay &t) { t.select(400, 500); t.controller->playSelection(); },
         2, 400, 3, 400, 100},
        {"pause in the selection", [](ControllerPlay &t) {
             t.controller->PlayPositionChanged_triggered(420, 0, 0);
             t.controller->actionPause();
         }, 4, 420, 3, 400, 100},
        {"resume inside the selection goes on from the position", [](ControllerPlay &t) { t.controller->resumePlay(); },
         2, 420, 4, 420, 80},
        {"pause, move outside the selection, resume: from its start", [](ControllerPlay &t) {
             t.controller->actionPause();
             t.controller->setScrollFrame(700);
             t.controller->resumePlay();
         }, 2, 400, 5, 400, 100},
        {"a report beyond the selection plays on to the end", [](ControllerPlay &t) {
             t.controller->PlayPositionChanged_triggered(501, 0, 0);
         }, 1, 501, 5, 400, 100},
        {"stop goes back to where playing began", [](ControllerPlay &t) { t.controller->stop(); }, 0, 400, 5, 400, 100},
        {"a report after stop changes nothing", [](ControllerPlay &t) { t.controller->PlayPositionChanged_triggered(600, 0, 0); },
         0, 400, 5, 400, 100},
        {"play selection without a selection stays stopped", [](ControllerPlay &t) {
             t.select(300, 300);
             t.controller->playSelection();
         }, 0, 400, 5, 400, 100},
        {"play at the end of the document asks for no frames", [](ControllerPlay &t) {
             t.controller->setScrollFrame(1000);
             t.controller->startPlay();
         }, 1, 1000, 6, 1000, 0},
        {"the end of the range stops, where it ended", [](ControllerPlay &t) { t.endOfRange(); }, 0, 1000, 6, 1000, 0},
        {"stop when stopped moves nothing", [](ControllerPlay &t) { t.controller->stop(); }, 0, 1000, 6, 1000, 0},
    };
    for (const Step &s : steps) {
        s.act(*this);
        EXPECT_EQ(state(), s.state) << s.what;
        EXPECT_EQ(controller->isPlaying(), s.state == 1 || s.state == 2) << s.what;
        EXPECT_EQ(position(), s.position) << s.what;
        ASSERT_EQ(threads.requests.size(), s.requests) << s.what;
        EXPECT_EQ(threads.requests.last().start, s.start) << s.what;
        EXPECT_EQ(threads.requests.last().count, s.count) << s.what;
    }
}

TEST_F(ControllerPlay, PositionReportsReachTheViewsWhilePlayingOnly)
{
    QSignalSpy views(controller.get(), SIGNAL(playPositionChangedViewUpdate(double, short, short)));
    controller->startPlay();
    controller->PlayPositionChanged_triggered(12.25, 300, -1);
    ASSERT_EQ(views.count(), 1);
    EXPECT_EQ(views.at(0).at(0).toDouble(), 12.25);
    EXPECT_EQ(views.at(0).at(1).value<short>(), 300);
    EXPECT_EQ(views.at(0).at(2).value<short>(), -1);
    EXPECT_EQ(controller->dbScrollFrame(), 12.25);
    controller->actionPause();
    controller->PlayPositionChanged_triggered(20, 0, 0);
    EXPECT_EQ(views.count(), 1);
    // A paused position is a whole frame.
    EXPECT_EQ(controller->dbScrollFrame(), 12.0);
}

TEST_F(ControllerPlay, LoopingRestartsWhatEndedByItself)
{
    struct Case {
        const char *what;
        bool loop;
        qint64 selStart, selEnd;
        bool selection;           // play the selection rather than the document
        std::function<void(ControllerPlay &)> between;  // after play began
        int state;
        qint64 start, count;      // of the new request, when one was made
    };
    const Case cases[] = {
        {"the end of the document starts again at 0", true, -1, -1, false, {}, 1, 0, 1000},
        {"the end of the selection replays it", true, 200, 300, true, {}, 2, 200, 100},
        {"a selection emptied while playing ends looping", true, 200, 300, true,
         [](ControllerPlay &t) { t.select(250, 250); }, 0, -1, -1},
        {"without looping the end stops", false, 200, 300, true, {}, 0, -1, -1},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        threads.requests.clear();
        controller->setLoopAudio(c.loop);
        controller->setScrollFrame(600);
        select(c.selStart, c.selEnd);
        if (c.selection)
            controller->playSelection();
        else
            controller->startPlay();
        ASSERT_EQ(threads.requests.size(), 1) << c.what;
        if (c.between)
            c.between(*this);
        endOfRange();
        EXPECT_EQ(state(), c.state) << c.what;
        EXPECT_EQ(threads.requests.size(), c.start == -1 ? 1 : 2) << c.what;
        if (c.start != -1 && threads.requests.size() == 2) {
            EXPECT_EQ(threads.requests.last().start, c.start) << c.what;
            EXPECT_EQ(threads.requests.last().count, c.count) << c.what;
        }
        controller->stop();
    }
}

TEST_F(ControllerPlay, TheEndOfAThreadAlreadyReplacedStopsNothing)
{
    controller->startPlay();
    controller->actionPause();
    // The first thread's queued end is still waiting when playing resumes.
    controller->resumePlay();
    // (The new thread may well take the old one's place in memory.)
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(state(), 1);
    EXPECT_TRUE(controller->isPlaying());
    controller->stop();
}

TEST_F(ControllerPlay, VolumePitchAndTempoSetWhileStoppedGoToTheNextRequest)
{
    controller->volumeChanged(0.5);
    controller->pitchChanged(-3.0);
    controller->tempoChanged(25.0);
    EXPECT_TRUE(threads.requests.isEmpty());
    controller->startPlay();
    ASSERT_EQ(threads.requests.size(), 1);
    EXPECT_EQ(threads.requests[0].volume, 0.5);
    EXPECT_EQ(threads.requests[0].pitch, -3.0);
    EXPECT_EQ(threads.requests[0].tempo, 25.0);
    controller->stop();

    controller->pitchTempoControlsUsed();
    EXPECT_TRUE(QSettings().value("HelpUsage/PitchTempo").toBool());
}

TEST_F(ControllerPlay, NothingPlaysWithoutADocumentOrWhileTheModelIsBusy)
{
    model->mutex().lock();
    EXPECT_FALSE(controller->actionPlay(false));
    model->mutex().unlock();
    model->setFragmentList(kvSilentDocument(0));
    EXPECT_FALSE(controller->actionPlay(false));
    model->setFragmentList(KvQmlModel::FragmentListPtr());
    controller->startPlay();
    EXPECT_EQ(state(), 0);
    EXPECT_TRUE(threads.requests.isEmpty());
}

// Real play threads over a real MP3 document.
class ControllerRealPlay : public ::testing::Test
{
public:
    void SetUp() override
    {
        QSettings().clear();
        ui.messages.clear();
        controller.reset(new KvQmlController(nullptr, KvControllerSeams{&ui}));
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
        QString error;
        const KvQmlModel::FragmentListPtr whole = kvDocumentOfFile(fixture("cbr128_joint.mp3"), &error);
        ASSERT_TRUE(whole) << error.toStdString();
        // A second and a half is enough.
        KvQmlModel::FragmentListPtr cursor = createFragmentListFor(whole->list());
        cursor->setList(whole->list()->copyRange(0, 60));
        model->setFragmentList(cursor);
        controller->refreshDocumentState();
    }
    void TearDown() override
    {
        controller.reset();
        model.reset();
    }

    void playUntilStopped(KvNullAudioClock &clock) { kvPlayUntilStopped(*controller, clock, 400, 5); }

    FakeUiServices ui;
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

TEST_F(ControllerRealPlay, PlaysThroughTheNullOutputToTheStoppedState)
{
    const auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
    const auto device = std::make_shared<KvNullAudioDevice>(clock);
    ScopedDevice scoped(device);
    QSignalSpy views(controller.get(), SIGNAL(playPositionChangedViewUpdate(double, short, short)));
    QSignalSpy states(controller.get(), SIGNAL(playStateChanged(int)));

    controller->startPlay();
    ASSERT_EQ(controller->playState(), 1);
    ASSERT_TRUE(clock->waitForSink());
    playUntilStopped(*clock);
    ASSERT_EQ(controller->playState(), 0);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.texts().join("; ").toStdString();

    ASSERT_GT(views.count(), 20);
    double last = -1.0;
    for (int i = 0; i < views.count(); ++i) {
        const double p = views.at(i).at(0).toDouble();
        ASSERT_GT(p, last) << "report " << i;
        last = p;
    }
    EXPECT_EQ(last, 60.0);
    EXPECT_EQ(controller->scrollFrame(), 60.0);
    EXPECT_EQ(states.first().at(0).toInt(), 1);
    EXPECT_EQ(states.last().at(0).toInt(), 0);
    // Every frame was played: 60 frames of 1152 stereo 16-bit samples.
    EXPECT_NEAR(double(device->record()->playedBytes()), 60.0 * 1152 * 4, 1152.0 * 4);
}

TEST_F(ControllerRealPlay, AnOutputThatCannotPlayIsReportedOnceAndNotRestartedWhenLooping)
{
    struct Case {
        const char *what;
        bool failStart;  // else the device offers no format the document can play in
        QString text;
    };
    QAudioFormat eightBit = KvNullAudioDevice::pcmFormat(44100, 2);
    eightBit.setSampleSize(8);
    const Case cases[] = {
        // The player shows this one itself.
        {"the output does not start", true, "Unable to open the audio output device."},
        {"no usable output", false, "Unable to open output audio device."},
    };
    for (const Case &c : cases) {
        TearDown();
        SetUp();
        const auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
        const auto device = std::make_shared<KvNullAudioDevice>(clock);
        KvNullAudioSink::Options options;
        options.failStart = c.failStart;
        device->setSinkOptions(options);
        if (!c.failStart)
            device->setOfferedFormats({eightBit});
        ScopedDevice scoped(device);
        controller->setLoopAudio(true);
        QSignalSpy states(controller.get(), SIGNAL(playStateChanged(int)));

        controller->startPlay();
        ASSERT_TRUE(waitFor([this] { return controller->playState() == 0; }, 10000)) << c.what;
        // Served on: a restart would show up as more play states and boxes.
        waitFor([] { return false; }, 300);
        EXPECT_EQ(controller->playState(), 0) << c.what;
        EXPECT_EQ(states.count(), 2) << c.what;
        ASSERT_EQ(ui.messages.size(), 1) << c.what << ": " << ui.texts().join("; ").toStdString();
        EXPECT_EQ(ui.messages.first().icon, KvUi::Critical) << c.what;
        EXPECT_EQ(ui.messages.first().text, c.text) << c.what;
        EXPECT_LE(device->record()->sinksStarted(), 1) << c.what;
    }
}

TEST_F(ControllerRealPlay, AnOutputThatLosesItsDeviceWhilePlayingStopsWithOneBox)
{
    const auto clock = std::make_shared<KvNullAudioClock>(KvNullAudioClock::Driven);
    const auto device = std::make_shared<KvNullAudioDevice>(clock);
    KvNullAudioSink::Options options;
    // Half a second in, as when the sound server goes away.
    options.loseDeviceAfterUs = 500000;
    device->setSinkOptions(options);
    ScopedDevice scoped(device);
    controller->setLoopAudio(true);
    QSignalSpy states(controller.get(), SIGNAL(playStateChanged(int)));

    controller->startPlay();
    ASSERT_TRUE(clock->waitForSink());
    playUntilStopped(*clock);
    ASSERT_EQ(controller->playState(), 0);
    // Served on: looping must not start it again.
    waitFor([] { return false; }, 300);
    EXPECT_EQ(controller->playState(), 0);
    EXPECT_EQ(states.count(), 2);
    EXPECT_EQ(device->record()->sinksStarted(), 1);
    ASSERT_EQ(ui.messages.size(), 1) << ui.texts().join("; ").toStdString();
    EXPECT_EQ(ui.messages.first().icon, KvUi::Critical);
    EXPECT_EQ(ui.messages.first().text, "Unable to open the audio output device.");
    // The position stays where the sound ended, not at the end of the range.
    const double heard = 0.5 * 44100 / 1152;
    EXPECT_GE(controller->scrollFrame(), std::floor(heard) - 5);
    EXPECT_LE(controller->scrollFrame(), std::ceil(heard) + 1);
}

} // namespace
