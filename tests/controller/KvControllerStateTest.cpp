// The controller's document state, selection, navigation, scrolling, zoom,
// level scale and time texts: the signals the views redraw on, in their
// order, and the positions and selections the commands leave behind.
#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvClock.h>
#include <KvEditTestSupport.h>
#include <KvFakeUiServices.h>
#include <KvFileProperties.h>
#include <KvMP3AudioFragmentList.h>
#include <KvMP3RepackInfoPtrList.h>
#include <KvSelectionChange.h>
#include <KvTagProperty.h>
#include <KvUndoDelete.h>

#include <gtest/gtest.h>

#include <QSettings>
#include <QUndoStack>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

// A clock the test moves by hand.
class StepClock : public KvClock
{
public:
    qint64 ms = 1000;
    qint64 elapsedMs() const override { return ms; }
    QDateTime now() const override { return QDateTime(QDate(2026, 1, 1), QTime(12, 0)).addMSecs(ms); }
};

// A silent MP3 document (44.1 kHz, 1152 samples a frame) in fragments of
// the given lengths, kept apart.
KvQmlModel::FragmentListPtr silentFragments(const std::vector<qint64> &lengths)
{
    KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
    const boost::shared_ptr<KvFrameSizeInfo> format(new KvMP3FrameSizeInfo(0, 0, 0));
    for (const qint64 n : lengths)
        cursor->list()->appendFragment(KvRepackInfoPtr(new KvMP3RepackInfo(format, n)));
    return cursor;
}

class ControllerState : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        controller.reset(new KvQmlController(nullptr, KvControllerSeams{&ui, &clock}));
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
    }
    void TearDown() override
    {
        // The undo commands refer to the controller: they go first.
        model.reset();
        controller.reset();
    }

    void open(const KvQmlModel::FragmentListPtr &cursor)
    {
        model->setFragmentList(cursor);
        controller->refreshDocumentState();
        controller->refreshAfterUndo();
    }
    void open(qint64 frames) { open(kvSilentDocument(frames)); }

    void select(qint64 start, qint64 end)
    {
        controller->setSelectionStart(double(start));
        controller->setSelectionEnd(double(end));
    }
    std::pair<qint64, qint64> selection() const
    {
        return {qint64(controller->selectionStart()), qint64(controller->selectionEnd())};
    }
    QUndoStack *stack() const { return model->undoStack(); }

    kvtest::FakeUiServices ui;
    StepClock clock;
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

// ---- Document state ----

TEST_F(ControllerState, OpenAndCloseAnnounceInOrder)
{
    controller->refreshDocumentState();
    Recorder r(controller.get());
    model->setFragmentList(kvSilentDocument(1000));
    controller->refreshDocumentState();
    // The count, then what it enables: track capabilities, time texts,
    // boundaries, saving; then the fragments flag; then the format.
    EXPECT_EQ(r.take(), QStringList({"totalFramesChanged(1000)", "canSetTrackStartChanged(true)",
                                     "canSplitTrackChanged(true)", "playPositionTimeChanged(0:00:00.00)",
                                     "currentSelectionTimeChanged(00.00)", "nextEditPointChanged(1000)",
                                     "canSaveDirtyProjectChanged(true)", "hasFragmentsChanged(true)",
                                     "audioTypeChanged(mp3)"}));

    controller->setScrollFrame(500);
    r.take();
    controller->closeProject(true, false);
    const QStringList log = r.take();
    // The position goes back to 0 of an empty document, with what it
    // refreshes; then the count, nothing left to save and the fragments
    // flag; then the views recompute.
    const QStringList expected = {"canSetTrackStartChanged(false)", "canSplitTrackChanged(false)",
                                  "playPositionTimeChanged()", "currentSelectionTimeChanged()",
                                  "previousEditPointChanged(-1)", "nextEditPointChanged(-1)",
                                  "scrollFrameChanged(0)", "totalFramesChanged(0)",
                                  "canSaveDirtyProjectChanged(false)", "hasFragmentsChanged(false)"};
    QStringList said;
    for (const QString &s : log)
        if (expected.contains(s) || s == "calcViews")
            said << s;
    EXPECT_EQ(said, expected + QStringList{"calcViews"}) << log.join(", ").toStdString();
    EXPECT_EQ(controller->audioType(), "mp3") << "the format word stays without a document";
}

TEST_F(ControllerState, StatusAndFileNameFollowTheDocument)
{
    kvtest::EditSources sources;
    KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
    cursor->setList(sources.document());  // a 0+150, b 100+120, silence 20, a 300+100, b 0+40
    open(cursor);
    EXPECT_FALSE(controller->statusMessage().isEmpty());
    EXPECT_EQ(controller->currentPosFileName(), "cbr128_joint.mp3");

    QSignalSpy name(controller.get(), &KvQmlController::currentPosFileNameChanged);
    controller->setScrollFrame(149);
    EXPECT_EQ(name.count(), 0) << "inside one fragment nothing is looked up again";
    controller->setScrollFrame(150);
    ASSERT_EQ(name.count(), 1);
    EXPECT_EQ(name.at(0).at(0).toString(), "cbr128_stereo.mp3");
    controller->setScrollFrame(275);
    EXPECT_EQ(controller->currentPosFileName(), "") << "silence has no file";
    controller->setScrollFrame(430);
    EXPECT_EQ(controller->currentPosFileName(), "cbr128_stereo.mp3") << "the end shows the last frame's file";

    // After an edit the name is looked up afresh.
    controller->setScrollFrame(0);
    model->setFragmentList(silentFragments({10}));
    controller->refreshAfterUndo();
    EXPECT_EQ(controller->currentPosFileName(), "");
    model->setFragmentList(KvQmlModel::FragmentListPtr());
    controller->refreshAfterUndo();
    EXPECT_EQ(controller->statusMessage(), "");
}

TEST_F(ControllerState, PlayStateAnnouncesPlayingOnlyWhenItFlips)
{
    open(100);
    ASSERT_TRUE(controller->canSaveDirtyProject()) << "an untitled document can be saved";
    Recorder r(controller.get());
    // Saving is closed while playing; it is announced before the play state,
    // so that the window's rules see both when the play state arrives.
    controller->setPlayState(1);
    EXPECT_EQ(r.take(), QStringList({"canSaveDirtyProjectChanged(false)", "playStateChanged(1)",
                                     "isPlayingChanged(true)"}));
    controller->setPlayState(2);
    EXPECT_EQ(r.take(), QStringList({"playStateChanged(2)"}));
    controller->setPlayState(2);
    EXPECT_EQ(r.take(), QStringList());
    controller->setPlayState(3);
    EXPECT_EQ(r.take(), QStringList({"canSaveDirtyProjectChanged(true)", "playStateChanged(3)",
                                     "isPlayingChanged(false)"}));
    EXPECT_FALSE(controller->isPlaying());

    // While playing the position keeps its fraction and publishes whole
    // frames; pausing puts it on the whole frame before announcing.
    controller->setPlayState(1);
    r.take();
    controller->updateScrollFrame(10.75);
    EXPECT_EQ(controller->dbScrollFrame(), 10.75);
    EXPECT_EQ(controller->scrollFrame(), 10.0);
    const QStringList moved = r.take();
    EXPECT_EQ(moved.last(), "scrollFrameChanged(10)");
    controller->setPlayState(3);
    EXPECT_EQ(controller->dbScrollFrame(), 10.0);
    const QStringList paused = r.take();
    ASSERT_GE(paused.size(), 4);
    EXPECT_EQ(paused.mid(paused.size() - 4),
              QStringList({"scrollFrameChanged(10)", "canSaveDirtyProjectChanged(true)", "playStateChanged(3)",
                           "isPlayingChanged(false)"}));
    controller->updateScrollFrame(20.75);
    EXPECT_EQ(controller->dbScrollFrame(), 20.0) << "idle positions are whole frames";

    // Stopping from play opens saving again, announced before the state.
    controller->setPlayState(1);
    r.take();
    controller->stop();
    const QStringList stopped = r.take();
    ASSERT_GE(stopped.size(), 3);
    EXPECT_EQ(stopped.mid(stopped.size() - 3), QStringList({"canSaveDirtyProjectChanged(true)", "playStateChanged(0)",
                                                            "isPlayingChanged(false)"}));
}

TEST_F(ControllerState, LeavingThePlayedSelectionPlaysOn)
{
    open(100);
    controller->setPlayState(2);
    Recorder r(controller.get());
    controller->moveScrollFrame(50);
    const QStringList log = r.take();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), "playStateChanged(1)") << "before the position is applied";
    EXPECT_FALSE(log.contains("isPlayingChanged(false)"));
    EXPECT_EQ(controller->playState(), 1);
    EXPECT_TRUE(controller->isPlaying());
}

TEST_F(ControllerState, LockedCommandsWaitForNoHeldLock)
{
    open(1000);
    controller->setScrollFrame(100);
    select(10, 20);
    // A command arriving while another holds the model's lock (a modal
    // dialog of an edit) is refused, not left waiting on its own thread.
    model->mutex().lock();
    controller->actionSelectAll();
    controller->actionSetBegin();
    controller->actionMoveFramesForTime(5.0);
    controller->actionNextEdit();
    controller->actionScrubSetScrollPos(500);
    controller->actionHorizontalZoomInOut(true);
    model->mutex().unlock();
    EXPECT_EQ(selection(), std::make_pair(qint64(10), qint64(20)));
    EXPECT_EQ(controller->scrollFrame(), 100.0);
    EXPECT_EQ(stack()->count(), 0);

    controller->actionScrubSetScrollPos(500);
    EXPECT_EQ(controller->scrollFrame(), 500.0);
    EXPECT_TRUE(model->mutex().tryLock()) << "released again";
    model->mutex().unlock();
}

// ---- Selection ----

TEST_F(ControllerState, ExtendSelectionByDragMode)
{
    open(1000);
    struct Case {
        int mode;
        qint64 start, end;
        std::vector<double> frames;
        qint64 newStart, newEnd;
    };
    const Case cases[] = {
        {0, 10, 20, {-1}, -1, -1},
        {0, -1, -1, {30}, 30, 30},
        {0, 10, 20, {5}, 5, 20},
        {0, 10, 20, {25}, 10, 25},
        {0, 10, 20, {15}, 10, 20},
        {0, 10, 20, {15.9}, 10, 20},
        {4, 10, 20, {5}, 5, 20},
        {4, 10, 20, {25}, 25, 25},
        // On past the end the selection stays empty; turning back, the start follows.
        {4, 10, 20, {25, 30, 27}, 27, 30},
        {5, 10, 20, {25}, 10, 25},
        {5, 10, 20, {5}, 5, 5},
        {5, 10, 20, {5, 2, 4}, 2, 4},
        {3, 10, 20, {5, 25, 15}, 5, 25},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " from " << c.start << ".." << c.end);
        controller->resetSelection();
        select(c.start, c.end);
        controller->setMouseDragSelecting(c.mode);
        QSignalSpy starts(controller.get(), &KvQmlController::selectionStartChanged);
        QSignalSpy ends(controller.get(), &KvQmlController::selectionEndChanged);
        for (const double f : c.frames)
            controller->extendSelection(f);
        EXPECT_EQ(selection(), std::make_pair(c.newStart, c.newEnd));
        EXPECT_EQ(starts.count() + ends.count(), 0) << "a drag announces the selection only";
    }
    EXPECT_EQ(stack()->count(), 0);
}

TEST_F(ControllerState, ExtendToNoFrameClearsTheSelection)
{
    open(1000);
    select(10, 20);
    Recorder r(controller.get());
    controller->extendSelection(-1);
    EXPECT_EQ(r.take(), QStringList({"currentSelectionTimeChanged(00.00)", "selectionChanged",
                                     "hasSelectionChanged(false)"}));
}

TEST_F(ControllerState, AdjustSelectionFromThePosition)
{
    open(1000);
    struct Case {
        qint64 start, end, position;
        double delta;
        qint64 newStart, newEnd;
    };
    const Case cases[] = {
        // No selection: a range from the position.
        {-1, -1, 100, 10, 100, 110},
        {-1, -1, 100, -10, 90, 100},
        {-1, -1, 995, 10, 995, 1000},
        {-1, -1, 3, -10, 0, 3},
        // An empty selection at the position grows on the side of the delta.
        {50, 50, 50, 5, 50, 55},
        {50, 50, 50, -5, 45, 50},
        // At the start: the start moves, or the range flips past the end.
        {100, 110, 100, 5, 105, 110},
        {100, 110, 100, 10, 110, 110},
        {100, 110, 100, 20, 110, 120},
        {100, 110, 100, -5, 95, 110},
        // At the end: the end moves, or the range flips before the start.
        {100, 110, 110, -5, 100, 105},
        {100, 110, 110, -20, 90, 100},
        {100, 110, 110, 5, 100, 115},
        // Outside: a new range from the position.
        {100, 110, 50, 10, 50, 60},
        {100, 110, 50, -10, 40, 50},
        {100, 110, 200, 10, 200, 210},
        // Inside: the edge nearer the target moves; a tie goes by the delta's sign.
        {100, 110, 102, 1, 103, 110},
        {100, 110, 108, -1, 100, 107},
        {100, 110, 104, 1, 100, 105},
        {100, 110, 105, 0, 105, 110},
        {100, 110, 106, -1, 105, 110},
        // The delta is truncated like a frame.
        {-1, -1, 100, 10.9, 100, 110},
        {-1, -1, 100, -10.9, 90, 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.start << ".." << c.end << " at " << c.position << " by "
                                          << c.delta);
        controller->resetSelection();
        select(c.start, c.end);
        controller->setScrollFrame(double(c.position));
        controller->adjustSelection(c.delta);
        EXPECT_EQ(selection(), std::make_pair(c.newStart, c.newEnd));
        EXPECT_EQ(controller->scrollFrame(), double(c.position)) << "adjusting does not move the position";
    }
    EXPECT_EQ(stack()->count(), 0);
}

TEST_F(ControllerState, KeyboardSelectionMovesThePositionAndIsOneUndoEntry)
{
    open(1000);
    controller->setScrollFrame(100);
    controller->keyboardSelect(10);
    EXPECT_EQ(selection(), std::make_pair(qint64(100), qint64(110)));
    EXPECT_EQ(controller->scrollFrame(), 110.0);
    controller->keyboardSelect(-20);
    EXPECT_EQ(selection(), std::make_pair(qint64(90), qint64(100)));
    EXPECT_EQ(controller->scrollFrame(), 90.0);
    ASSERT_EQ(stack()->count(), 2);
    EXPECT_EQ(stack()->text(0), "Keyboard selection");
    EXPECT_TRUE(stack()->isClean());

    stack()->undo();
    EXPECT_EQ(selection(), std::make_pair(qint64(100), qint64(110)));
    EXPECT_EQ(controller->scrollFrame(), 110.0);
    stack()->undo();
    EXPECT_EQ(selection(), std::make_pair(qint64(-1), qint64(-1)));
    EXPECT_EQ(controller->scrollFrame(), 100.0);

    // At the last frame the step stops at the end.
    controller->setScrollFrame(999);
    controller->resetSelection();
    controller->keyboardSelect(5);
    EXPECT_EQ(selection(), std::make_pair(qint64(999), qint64(1000)));
    EXPECT_EQ(controller->scrollFrame(), 1000.0);
}

TEST_F(ControllerState, SelectionEdgesAtThePosition)
{
    open(1000);
    struct Case {
        qint64 start, end, position;
        bool isStart;
        qint64 newStart, newEnd;
        const char *text;
    };
    const Case cases[] = {
        {-1, -1, 300, true, 300, 300, "Selection start"},
        {-1, -1, 300, false, 300, 300, "Selection end"},
        {100, 200, 150, true, 150, 200, "Selection start"},
        {100, 200, 250, true, 250, 250, "Selection start"},
        {100, 200, 150, false, 100, 150, "Selection end"},
        // The end before the start: an empty selection at the position.
        {100, 200, 50, false, 50, 50, "Selection end"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.start << ".." << c.end << " at " << c.position);
        controller->resetSelection();
        select(c.start, c.end);
        controller->setScrollFrame(double(c.position));
        stack()->clear();
        if (c.isStart)
            controller->actionSetBegin();
        else
            controller->actionSetEnd();
        EXPECT_EQ(selection(), std::make_pair(c.newStart, c.newEnd));
        ASSERT_EQ(stack()->count(), 1);
        EXPECT_EQ(stack()->text(0), c.text);
        stack()->undo();
        EXPECT_EQ(selection(), std::make_pair(c.start, c.end));
    }
}

TEST_F(ControllerState, SelectAllKeepsTheStackClean)
{
    // Without a document nothing happens.
    controller->actionSelectAll();
    EXPECT_EQ(selection(), std::make_pair(qint64(-1), qint64(-1)));
    EXPECT_EQ(stack()->count(), 0);

    open(1000);
    ASSERT_TRUE(stack()->isClean());
    Recorder r(controller.get());
    controller->actionSelectAll();
    EXPECT_EQ(selection(), std::make_pair(qint64(0), qint64(1000)));
    EXPECT_TRUE(stack()->isClean());
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->text(0), "Select all");
    const QStringList log = r.take();
    EXPECT_EQ(log.mid(0, 2), QStringList({"selectionStartChanged(0)", "selectionChanged"}));
    EXPECT_TRUE(log.contains("selectionEndChanged(1000)"));
    EXPECT_TRUE(log.contains("hasSelectionChanged(true)"));
    EXPECT_TRUE(log.contains("currentSelectionTimeChanged(26.12)"));

    // A dirty stack stays dirty.
    controller->resetSelection();
    stack()->push(new QUndoCommand("edit"));
    ASSERT_FALSE(stack()->isClean());
    controller->actionSelectAll();
    EXPECT_FALSE(stack()->isClean());
    EXPECT_EQ(stack()->text(stack()->count() - 1), "Select all");
}

TEST_F(ControllerState, MouseSelectionBecomesOneUndoEntry)
{
    open(1000);
    // A release without a press adds nothing.
    controller->endNewSelection("Mouse selection");
    EXPECT_EQ(stack()->count(), 0);

    controller->startNewSelection();
    controller->extendSelection(100);
    controller->extendSelection(200);
    EXPECT_EQ(stack()->count(), 0) << "nothing is pushed while dragging";
    controller->endNewSelection("Mouse selection");
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->text(0), "Mouse selection");
    controller->endNewSelection("Mouse selection");
    EXPECT_EQ(stack()->count(), 1);

    // Position-only changes with the same selection merge; a new selection does not.
    controller->startNewSelection();
    controller->setScrollFrame(50);
    controller->endNewSelection("Move");
    controller->startNewSelection();
    controller->setScrollFrame(60);
    controller->endNewSelection("Move");
    EXPECT_EQ(stack()->count(), 1);
    controller->startNewSelection();
    controller->extendSelection(300);
    controller->endNewSelection("Mouse selection");
    EXPECT_EQ(stack()->count(), 2);
}

TEST_F(ControllerState, SelectionKeepsEditsWaitingToBeRedone)
{
    open(1000);
    select(100, 200);
    const KvRepackInfoPtrListPtr doc = model->fragmentList()->list();
    stack()->push(new KvUndoDelete(model->trackList().get(), doc->copyRange(100, 100), doc, 100, controller.get()));
    ASSERT_EQ(controller->totalFrames(), 900.0);
    stack()->undo();
    ASSERT_TRUE(stack()->canRedo());

    controller->startNewSelection();
    controller->extendSelection(-1);
    controller->extendSelection(10);
    controller->extendSelection(20);
    controller->endNewSelection("Mouse selection");
    EXPECT_EQ(selection(), std::make_pair(qint64(10), qint64(20))) << "applied";
    EXPECT_EQ(stack()->count(), 1) << "but not on the stack";
    stack()->redo();
    EXPECT_EQ(controller->totalFrames(), 900.0);
}

// ---- Navigation ----

TEST_F(ControllerState, FrameAtTimeRoundsHalfAwayFromZero)
{
    EXPECT_EQ(controller->frameAtTime(1.0), 0) << "no document";
    open(1000);
    struct Case {
        double secs;
        qint64 frames;
    };
    // 44100 / 1152 = 38.28 frames a second.
    const Case cases[] = {
        {0.0, 0},      {0.5, 19},   {-0.5, -19},  {5.0, 191},  {-5.0, -191}, {0.0261, 1},
        {-0.0261, -1}, {0.013, 0},  {-0.013, 0},  {1e300, std::numeric_limits<qint64>::max()},
        {std::nan(""), 0}, {std::numeric_limits<double>::infinity(), 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(controller->frameAtTime(c.secs), c.frames) << c.secs;
}

TEST_F(ControllerState, TimeStepsConvertTheRunningTotal)
{
    open(100000);
    controller->setScrollFrame(1000);
    for (int i = 0; i < 10; ++i)
        controller->actionMoveFramesForTime(0.5);
    EXPECT_EQ(controller->scrollFrame(), 1191.0) << "10 x 0.5 s, not 10 x 19 frames";
    for (int i = 0; i < 10; ++i)
        controller->actionMoveFramesForTime(-0.5);
    EXPECT_EQ(controller->scrollFrame(), 1000.0) << "back by the same frames";

    // A move by anything else starts a new chain from there.
    controller->setScrollFrame(5000);
    for (int i = 0; i < 10; ++i)
        controller->actionMoveFramesForTime(0.5);
    EXPECT_EQ(controller->scrollFrame(), 5191.0);
    EXPECT_EQ(stack()->count(), 0);

    // Selecting steps grow the selection with the position, one entry each.
    controller->setScrollFrame(2000);
    controller->actionMoveFramesForTime(5.0, true);
    controller->actionMoveFramesForTime(5.0, true);
    EXPECT_EQ(selection(), std::make_pair(qint64(2000), qint64(2383)));
    EXPECT_EQ(controller->scrollFrame(), 2383.0);
    ASSERT_EQ(stack()->count(), 2);
    EXPECT_EQ(stack()->text(1), "Keyboard selection");

    // A step that is no time moves nothing.
    controller->actionMoveFramesForTime(std::nan(""));
    controller->actionMoveFramesForTime(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(controller->scrollFrame(), 2383.0);
}

TEST_F(ControllerState, StepSizesMustBeFinitePositiveTimes)
{
    const double bad[] = {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()};
    for (const double secs : bad) {
        controller->setNavigateBlockSecs(secs);
        controller->setNavigatePageSecs(secs);
    }
    EXPECT_EQ(controller->navigateBlockSecs(), 0.5);
    EXPECT_EQ(controller->navigatePageSecs(), 5.0);
    controller->setNavigateBlockSecs(0.25);
    EXPECT_EQ(controller->navigateBlockSecs(), 0.25);

    // Nor does a broken setting replace them.
    controller.reset();
    QSettings().setValue("Settings/navigateBlockSecs", "fast");
    QSettings().setValue("Settings/navigatePageSecs", -3);
    KvQmlController again(nullptr, KvControllerSeams{&ui, &clock});
    EXPECT_EQ(again.navigateBlockSecs(), 0.5);
    EXPECT_EQ(again.navigatePageSecs(), 5.0);
}

TEST_F(ControllerState, StepsStayInsideTheDocument)
{
    open(100);
    controller->setScrollFrame(100);
    controller->stepFrames(1);
    EXPECT_EQ(controller->scrollFrame(), 100.0);
    controller->stepFrames(-101);
    EXPECT_EQ(controller->scrollFrame(), 0.0);
    controller->fowardEnd();
    EXPECT_EQ(controller->scrollFrame(), 100.0);
    controller->rewindBeginning();
    EXPECT_EQ(controller->scrollFrame(), 0.0);

    // Going to a selection edge needs one.
    controller->setScrollFrame(50);
    controller->gotoSelStart();
    controller->gotoSelEnd();
    EXPECT_EQ(controller->scrollFrame(), 50.0);
    select(10, 20);
    controller->gotoSelStart();
    EXPECT_EQ(controller->scrollFrame(), 10.0);
    controller->gotoSelEnd();
    EXPECT_EQ(controller->scrollFrame(), 20.0);
}

TEST_F(ControllerState, EditPointsAndQuickSecondPreviousPress)
{
    open(silentFragments({100, 100, 100, 100}));
    controller->setScrollFrame(250);
    EXPECT_EQ(controller->previousEditPoint(), 200.0);
    EXPECT_EQ(controller->nextEditPoint(), 300.0);
    controller->setScrollFrame(200);
    EXPECT_EQ(controller->previousEditPoint(), 100.0) << "on a boundary: the fragment before";
    EXPECT_EQ(controller->nextEditPoint(), 300.0);
    controller->setScrollFrame(400);
    EXPECT_EQ(controller->nextEditPoint(), -1.0);

    controller->setScrollFrame(250);
    controller->actionNextEdit();
    EXPECT_EQ(controller->scrollFrame(), 300.0);

    struct Case {
        qint64 secondPressAfterMs;
        double landsAt;
    };
    // As playback would, the position is carried back past the boundary
    // between the presses: only a quick second press skips on.
    const Case cases[] = {{100, 100.0}, {499, 100.0}, {500, 200.0}, {3000, 200.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.secondPressAfterMs);
        controller->actionNextEdit();  // forgets earlier presses
        controller->setScrollFrame(250);
        controller->actionPreviousEdit();
        EXPECT_EQ(controller->scrollFrame(), 200.0);
        clock.ms += c.secondPressAfterMs;
        controller->setScrollFrame(250);
        controller->actionPreviousEdit();
        EXPECT_EQ(controller->scrollFrame(), c.landsAt);
    }

    // Quick presses walk on from boundary to boundary.
    clock.ms += 1000;
    controller->setScrollFrame(350);
    controller->actionPreviousEdit();
    clock.ms += 200;
    controller->actionPreviousEdit();
    clock.ms += 200;
    controller->actionPreviousEdit();
    EXPECT_EQ(controller->scrollFrame(), 100.0);
    EXPECT_TRUE(QSettings().value("HelpUsage/Navigate").isNull()) << "only the navigate controls set it";
    controller->navigateControlsUsed();
    EXPECT_TRUE(QSettings().value("HelpUsage/Navigate").toBool());
}

TEST_F(ControllerState, TrackJumps)
{
    open(1000);
    controller->splitTrack(400);  // tracks 0..400, 400..open end
    stack()->clear();
    controller->setScrollFrame(100);
    EXPECT_EQ(controller->nextTrackPoint(), 400.0);
    controller->actionNextTrack();
    EXPECT_EQ(controller->scrollFrame(), 400.0);
    controller->actionNextTrack();
    EXPECT_EQ(controller->scrollFrame(), 1000.0) << "an open end is the document's end";
    controller->actionNextTrack();
    EXPECT_EQ(controller->scrollFrame(), 1000.0) << "at the end there is nowhere to go";

    controller->actionPreviousTrack();
    EXPECT_EQ(controller->scrollFrame(), 400.0);
    clock.ms += 100;
    controller->setScrollFrame(450);
    controller->actionPreviousTrack();
    EXPECT_EQ(controller->scrollFrame(), 0.0) << "a quick second press skips on";
    EXPECT_EQ(stack()->count(), 0);
}

TEST_F(ControllerState, NothingMovesWithoutADocument)
{
    controller->stepFrames(10);
    controller->actionMoveFramesForTime(5.0);
    controller->actionNextEdit();
    controller->actionPreviousEdit();
    controller->actionNextTrack();
    controller->actionPreviousTrack();
    controller->fowardEnd();
    EXPECT_EQ(controller->scrollFrame(), 0.0);
    EXPECT_EQ(controller->nextEditPoint(), -1.0);
    EXPECT_EQ(controller->previousEditPoint(), -1.0);
    EXPECT_EQ(controller->nextTrackPoint(), -1.0);
    EXPECT_EQ(controller->previousTrackPoint(), -1.0);
    EXPECT_FALSE(controller->scrubPlayTo(10));
}

// ---- Scroll, zoom and level scale ----

TEST_F(ControllerState, FlingFromInjectedDragSamples)
{
    open(1000);
    controller->setHZoom(4);
    ASSERT_EQ(controller->pixelsPerFrame(), 4.0);
    const auto drag = [&](std::vector<std::pair<double, qint64>> samples) {
        controller->scrollToFrame(samples.front().first, false, true);
        const qint64 start = clock.ms;
        for (size_t i = 1; i < samples.size(); ++i) {
            clock.ms = start + samples[i].second;
            controller->scrollToFrame(samples[i].first, true, i + 1 == samples.size());
        }
    };

    // Three samples of 0.25 frames/ms: half of it carries on, 5 % less each tick.
    drag({{0, 0}, {5, 20}, {10, 40}, {15, 60}});
    EXPECT_EQ(controller->dbScrollFrame(), 15.0);
    controller->checkTimerEvents();
    EXPECT_EQ(controller->dbScrollFrame(), 15.0 + 0.125 * 50);
    EXPECT_EQ(controller->scrollFrame(), 21.0);
    controller->checkTimerEvents();
    EXPECT_DOUBLE_EQ(controller->dbScrollFrame(), 21.25 + 0.125 * 0.95 * 50);
    // Below a quarter pixel a millisecond the last tick lands on the next whole frame.
    for (int i = 0; i < 100; ++i)
        controller->checkTimerEvents();
    EXPECT_EQ(controller->dbScrollFrame(), 80.0);

    // At one pixel a frame the same drag only snaps to a whole frame.
    controller->setHZoom(1);
    controller->setScrollFrame(0);
    drag({{0, 0}, {5, 20}, {10, 40}, {15, 60}});
    controller->checkTimerEvents();
    controller->checkTimerEvents();
    EXPECT_EQ(controller->dbScrollFrame(), 15.0);

    struct Case {
        const char *name;
        std::vector<std::pair<double, qint64>> samples;
        double afterOneTick;
    };
    const Case cases[] = {
        // Only the last run counts: back at 0.5 frames/ms, flung at half of it.
        {"reversal", {{500, 0}, {510, 20}, {520, 40}, {510, 60}, {500, 80}}, 500 - 0.25 * 50},
        {"small moves", {{500, 0}, {502, 20}, {504, 40}, {506, 60}}, 506},
        {"pause after the first sample", {{500, 0}, {510, 100}, {520, 120}}, 520},
        {"pause before the release", {{500, 0}, {510, 20}, {520, 40}, {530, 140}}, 530},
    };
    controller->setHZoom(4);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        controller->setScrollFrame(c.samples.front().first);
        drag(c.samples);
        controller->checkTimerEvents();
        EXPECT_EQ(controller->dbScrollFrame(), c.afterOneTick);
    }

    // A plain jump, or playback starting, stops a running fling.
    for (const bool byPlay : {false, true}) {
        controller->setScrollFrame(500);
        drag({{500, 0}, {510, 20}, {520, 40}, {530, 60}});
        if (byPlay)
            controller->setPlayState(1);
        else
            controller->scrollToFrame(600, false, false);
        const double at = controller->dbScrollFrame();
        controller->checkTimerEvents();
        EXPECT_EQ(controller->dbScrollFrame(), at) << (byPlay ? "play" : "jump");
        controller->setPlayState(0);
    }

    // A fling stops at the document's ends.
    controller->setScrollFrame(980);
    drag({{980, 0}, {985, 20}, {990, 40}, {995, 60}});
    for (int i = 0; i < 5; ++i)
        controller->checkTimerEvents();
    EXPECT_EQ(controller->dbScrollFrame(), 1000.0);
    controller->checkTimerEvents();
    EXPECT_EQ(controller->dbScrollFrame(), 1000.0);
}

TEST_F(ControllerState, HorizontalZoomSteps)
{
    controller->setHZoom(15);
    QSignalSpy repaint(controller.get(), &KvQmlController::updateWidget);
    controller->actionHorizontalZoomInOut(true);
    controller->actionHorizontalZoomInOut(true);
    EXPECT_EQ(controller->hZoom(), 16);
    EXPECT_EQ(repaint.count(), 2) << "repainted also when nothing changed";
    controller->setHZoom(1);
    controller->actionHorizontalZoomInOut(false);
    EXPECT_EQ(controller->hZoom(), 1);
}

TEST_F(ControllerState, LevelScaleLimits)
{
    struct Case {
        double ceiling, floor;
        double newCeiling, newFloor;
    };
    const Case cases[] = {
        {300, 10, 255, 205}, {2, 1, 5, 1},     {150, 110, 150, 110}, {100, 100, 104, 100},
        {255, 254, 255, 251}, {0, 0, 4, 0},    {200, 100, 200, 150}, {120, 130, 134, 130},
        {-20, -40, 4, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.ceiling << "/" << c.floor);
        controller->setCeilingAndFloor(c.ceiling, c.floor);
        EXPECT_EQ(controller->ceiling(), c.newCeiling);
        EXPECT_EQ(controller->floor(), c.newFloor);
    }
    controller->setCeilingAndFloor(std::nan(""), 10);
    EXPECT_EQ(controller->ceiling(), 4.0) << "no number leaves the scale as it is";
}

TEST_F(ControllerState, VerticalZoomAndShift)
{
    struct Case {
        const char *name;
        double ceiling, floor;
        void (KvQmlController::*op)(bool);
        bool arg;
        double newCeiling, newFloor;
    };
    const Case cases[] = {
        {"zoom in", 140, 100, &KvQmlController::verticalZoomInOut, true, 139, 101},
        {"zoom out", 140, 100, &KvQmlController::verticalZoomInOut, false, 141, 99},
        {"shift up by 2 %", 150, 100, &KvQmlController::verticalShiftUpDown, true, 149, 99},
        {"shift down by 2 %", 150, 100, &KvQmlController::verticalShiftUpDown, false, 151, 101},
        {"shift of a narrow scale by 1", 104, 100, &KvQmlController::verticalShiftUpDown, true, 103, 99},
        {"shift down at the top", 255, 205, &KvQmlController::verticalShiftUpDown, false, 255, 206},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        controller->setCeilingAndFloor(c.ceiling, c.floor);
        QSignalSpy repaint(controller.get(), &KvQmlController::updateWidget);
        (controller.get()->*c.op)(c.arg);
        EXPECT_DOUBLE_EQ(controller->ceiling(), c.newCeiling);
        EXPECT_DOUBLE_EQ(controller->floor(), c.newFloor);
        EXPECT_EQ(repaint.count(), 1);
    }
}

// A silent fragment whose frames show the given display levels.
class LevelFragment : public KvMP3RepackInfo
{
public:
    explicit LevelFragment(const std::vector<qint16> &levels)
        : KvMP3RepackInfo(boost::shared_ptr<KvFrameSizeInfo>(new KvMP3FrameSizeInfo(0, 0, 0)), qint64(levels.size())),
          m_levels(levels)
    {
    }
    qint16 frameLevel(qint64 i) override { return m_levels[size_t(i)]; }

private:
    std::vector<qint16> m_levels;
};

// Levels from (count, level) runs.
std::vector<qint16> levelRuns(const std::vector<std::pair<int, int>> &runs)
{
    std::vector<qint16> out;
    for (const auto &r : runs)
        out.insert(out.end(), size_t(r.first), qint16(r.second));
    return out;
}

TEST_F(ControllerState, AutoScaleFromTheLevelHistogram)
{
    // 991 frames spread evenly over the levels 100..119, 50 or 49 each.
    std::vector<qint16> body;
    for (int i = 0; i < 991; ++i)
        body.push_back(qint16(100 + i % 20));
    const auto with = [&](std::vector<std::pair<int, int>> before, std::vector<std::pair<int, int>> after) {
        std::vector<qint16> v = levelRuns(before);
        v.insert(v.end(), body.begin(), body.end());
        const std::vector<qint16> tail = levelRuns(after);
        v.insert(v.end(), tail.begin(), tail.end());
        return std::vector<std::vector<qint16>>{v};
    };
    std::vector<std::vector<qint16>> spread(3);
    for (auto &f : spread)
        for (int i = 0; i < 100; ++i)
            f.push_back(qint16(100 + i % 30));

    struct Case {
        const char *name;
        std::vector<std::vector<qint16>> fragments;
        double ceiling, floor;
    };
    const Case cases[] = {
        // 1000 frames: the floor is the lowest level with more than 5 frames at
        // or below it, the ceiling the lowest with more than 995.
        {"four loud frames left out", with({{5, 10}}, {{4, 250}}), 119, 100},
        {"the fifth loud frame counts", with({{4, 10}}, {{5, 250}}), 250, 200},
        {"the sixth quiet frame counts", with({{6, 10}}, {{3, 250}}), 119, 69},
        // Frames without a level are left out; levels above 255 count as 255.
        {"without levels", {levelRuns({{500, -1}, {500, 120}})}, 124, 120},
        {"above the scale", {levelRuns({{1000, 300}})}, 255, 251},
        // Three fragments, 300 frames: at least 15 frames below the floor and
        // 15 above the ceiling, where half a percent would leave out 1 and 2.
        {"a few frames per fragment", spread, 128, 101},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
        for (const auto &levels : c.fragments)
            cursor->list()->list()->push_back(KvRepackInfoPtr(new LevelFragment(levels)));
        open(cursor);
        controller->setCeilingAndFloor(200, 150);
        QSignalSpy repaint(controller.get(), &KvQmlController::updateWidget);
        controller->autoScaleView();
        EXPECT_EQ(controller->ceiling(), c.ceiling);
        EXPECT_EQ(controller->floor(), c.floor);
        EXPECT_EQ(repaint.count(), 0) << "the caller repaints";
    }

    // Scaling again counts afresh.
    controller->autoScaleView();
    EXPECT_EQ(controller->ceiling(), 128.0);
    EXPECT_EQ(controller->floor(), 101.0);

    // Nothing to count from leaves the scale as it is.
    for (const qint64 frames : {qint64(-1), qint64(0)}) {
        model->setFragmentList(frames < 0 ? KvQmlModel::FragmentListPtr() : kvSilentDocument(0));
        controller->setCeilingAndFloor(180, 140);
        controller->autoScaleView();
        EXPECT_EQ(controller->ceiling(), 180.0) << frames;
        EXPECT_EQ(controller->floor(), 140.0) << frames;
    }

    // The scale-view action also refreshes the views.
    open(silentFragments({10}));
    QSignalSpy views(controller.get(), &KvQmlController::calcViews);
    controller->actionScaleView();
    EXPECT_EQ(views.count(), 1);
}

// ---- Time and level texts ----

TEST_F(ControllerState, TimeTexts)
{
    EXPECT_EQ(controller->playPositionTime(), "");
    open(3000);
    EXPECT_EQ(controller->playPositionTime(), "0:00:00.00");
    EXPECT_EQ(controller->currentSelectionTime(), "00.00");
    controller->setScrollFrame(1000);
    EXPECT_EQ(controller->playPositionTime(), "0:00:26.12");
    struct Case {
        qint64 start, end;
        const char *text;
    };
    const Case cases[] = {
        {0, 1000, "26.12"}, {500, 1500, "26.12"}, {100, 100, "00.00"}, {200, 100, "00.00"},
        {-1, 100, "00.00"}, {100, -1, "00.00"},   {0, 5000, "01:18.37"},  {0, 2297, "01:00.00"},
    };
    for (const Case &c : cases) {
        controller->resetSelection();
        select(c.start, c.end);
        EXPECT_EQ(controller->currentSelectionTime(), c.text) << c.start << ".." << c.end;
    }
    // Closing empties both.
    QSignalSpy position(controller.get(), &KvQmlController::playPositionTimeChanged);
    controller->closeProject();
    EXPECT_EQ(controller->playPositionTime(), "");
    EXPECT_EQ(controller->currentSelectionTime(), "");
    EXPECT_EQ(position.count(), 1);
}

TEST_F(ControllerState, DecibelTexts)
{
    struct Case {
        int steps;
        const char *text;
    };
    const Case cases[] = {{0, "0.0 dB"}, {1, "1.5 dB"}, {4, "6.0 dB"}, {-2, "-3.0 dB"}, {-1, "-1.5 dB"}, {40, "60.2 dB"}};
    for (const Case &c : cases)
        EXPECT_EQ(controller->getdBTextString(c.steps), c.text) << c.steps;
}

} // namespace
