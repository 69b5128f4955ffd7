// The controller's volume, silence and selection edits on a real MP3
// document: what each action pushes (text, repeat count), chained fades,
// silence with nothing to change, normalize and inserted silence with their
// dialogs run through the UI services, and the rule that a selection change
// keeps a clean stack clean and never discards edits waiting to be redone.
#include "KvQmlController.h"

#include <KvAudioFragmentList.h>
#include <KvEditTestSupport.h>
#include <KvFakeUiServices.h>
#include <KvFileProperties.h>
#include <KvFrameSizeInfo.h>
#include <KvInsertSilence.h>
#include <KvMP3AudioFragmentList.h>
#include <KvQmlModel.h>
#include <KvSelectionChange.h>
#include <KvUndoDelete.h>
#include <KvVolumeFade.h>
#include <KvVolumeSilence.h>

#include <gtest/gtest.h>

#include <QSettings>
#include <QUndoStack>

#include <functional>
#include <memory>

using namespace kvtest;

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

// Runs the insert-silence and normalize dialogs as the real ones do: they
// call back into the controller before they close.
class DialogUi : public FakeUiServices
{
public:
    std::function<void(KvQmlController &)> insertSilence;
    std::function<void(KvQmlController &)> normalize;
    boost::shared_ptr<KvFrameSizeInfo> format;
    ListPtr frames;

    int runInsertSilence(QObject *controller, const boost::shared_ptr<KvFrameSizeInfo> &f, QWidget *parent) override
    {
        format = f;
        const int result = FakeUiServices::runInsertSilence(controller, f, parent);
        if (insertSilence)
            insertSilence(*qobject_cast<KvQmlController *>(controller));
        return result;
    }
    int runNormalize(QObject *controller, const ListPtr &f, QWidget *parent) override
    {
        frames = f;
        const int result = FakeUiServices::runNormalize(controller, f, parent);
        if (normalize)
            normalize(*qobject_cast<KvQmlController *>(controller));
        return result;
    }
};

class ControllerEdits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        controller.reset(new KvQmlController(nullptr, KvControllerSeams{&ui}));
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
        doc = sources.document();   // 430 frames
        KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
        cursor->setList(doc);
        model->setFragmentList(cursor);
        controller->refreshDocumentState();
    }
    void TearDown() override
    {
        // The commands refer to the controller: they go first.
        model.reset();
        controller.reset();
    }

    void select(qint64 s, qint64 e)
    {
        controller->setSelectionStart(double(s));
        controller->setSelectionEnd(double(e));
    }
    QUndoStack *stack() const { return model->undoStack(); }
    qint64 gain(qint64 frame) const { return modelOf(doc)[size_t(frame)].gain; }
    bool editDone() const { return QSettings().value("HelpUsage/EditDone", false).toBool(); }
    const KvVolumeFade *fadeAt(int i) const { return dynamic_cast<const KvVolumeFade *>(stack()->command(i)); }
    bool unlocked() const
    {
        if (!model->mutex().tryLock())
            return false;
        model->mutex().unlock();
        return true;
    }

    EditSources sources;
    KvRepackInfoPtrListPtr doc;
    DialogUi ui;
    // Declared after the sources: destroyed before them.
    std::unique_ptr<KvQmlController> controller;
    std::unique_ptr<KvQmlModel> model;
};

TEST_F(ControllerEdits, FadeActionsPushTheirTextsAndVolumes)
{
    struct Case {
        void (KvQmlController::*action)();
        const char *text;
        int a, b;
    };
    controller->setVolumeFade(6);
    controller->setVolumeIncDec(3);
    const Case cases[] = {
        {&KvQmlController::actionFadeInFrames, "Fade in", -6, 0},
        {&KvQmlController::actionFadeOutFrames, "Fade out", 0, -6},
        {&KvQmlController::actionVolumeIncFrames, "Increase volume", 3, 3},
        {&KvQmlController::actionVolumeDecFrames, "Decrease volume", -3, -3},
    };
    int i = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        // A new range each time, so that nothing chains.
        select(10 * i, 10 * i + 100);
        controller->setScrollFrame(7);
        (controller.get()->*c.action)();
        ASSERT_EQ(stack()->count(), i + 1);
        const KvVolumeFade *f = fadeAt(i);
        ASSERT_TRUE(f);
        EXPECT_EQ(f->text(), c.text);
        EXPECT_EQ(f->startVolume(), c.a);
        EXPECT_EQ(f->endVolume(), c.b);
        EXPECT_EQ(f->repeatCount(), 1);
        EXPECT_EQ(f->fadeStart(), 10 * i);
        EXPECT_EQ(f->fadeEnd(), 10 * i + 100);
        EXPECT_EQ(f->scrollAfter(), 7);
        EXPECT_TRUE(unlocked());
        ++i;
    }
    EXPECT_TRUE(editDone());
}

TEST_F(ControllerEdits, RepeatedFadeInChainsAndUndoLeavesTheFirst)
{
    select(0, 100);
    controller->actionFadeInFrames();
    const DocumentShot once = shotOf(doc);
    EXPECT_EQ(gain(0), -4);
    controller->actionFadeInFrames();
    ASSERT_EQ(stack()->count(), 2);
    ASSERT_TRUE(fadeAt(1));
    EXPECT_EQ(fadeAt(1)->repeatCount(), 2);
    EXPECT_EQ(fadeAt(1)->text(), "Fade in");
    EXPECT_EQ(gain(0), -8);
    EXPECT_EQ(gain(99), 0);
    controller->actionFadeInFrames();
    EXPECT_EQ(fadeAt(2)->repeatCount(), 3);
    EXPECT_EQ(gain(0), -12);
    stack()->undo();
    stack()->undo();
    EXPECT_EQ(shotOf(doc), once);

    // Fade out on the same frames is another fade: no chain.
    controller->actionFadeOutFrames();
    EXPECT_EQ(fadeAt(1)->repeatCount(), 1);
    // Nor after the selection moved.
    select(0, 101);
    controller->actionFadeOutFrames();
    EXPECT_EQ(fadeAt(2)->repeatCount(), 1);
}

TEST_F(ControllerEdits, ChainOnlyFollowsTheFadeJustDone)
{
    select(0, 100);
    controller->actionFadeInFrames();
    // The fade is undone: the one below the index is none.
    stack()->undo();
    controller->actionFadeInFrames();
    EXPECT_EQ(stack()->count(), 1);
    EXPECT_EQ(fadeAt(0)->repeatCount(), 1);

    // A command that is no fade passes unchanged.
    auto *plain = new QUndoCommand("x");
    EXPECT_EQ(controller->chainVolumeFade(plain), plain);
    delete plain;
    EXPECT_EQ(controller->chainVolumeFade(nullptr), nullptr);
}

TEST_F(ControllerEdits, VolumeStepsNeverChain)
{
    select(50, 150);
    controller->actionVolumeIncFrames();
    controller->actionVolumeIncFrames();
    ASSERT_EQ(stack()->count(), 2);
    EXPECT_EQ(fadeAt(0)->repeatCount(), 1);
    EXPECT_EQ(fadeAt(1)->repeatCount(), 1);
    EXPECT_EQ(gain(50), 8);
    EXPECT_EQ(gain(149), 8);
    EXPECT_EQ(gain(150), 0);
}

TEST_F(ControllerEdits, NoUsableSelectionBuildsNothingButCountsAsEditing)
{
    for (auto sel : std::vector<std::pair<qint64, qint64>>{{-1, -1}, {5, -1}, {-1, 5}, {10, 10}, {20, 10}}) {
        select(sel.first, sel.second);
        EXPECT_EQ(controller->VolumeFadeSelection(-4, 0, 1), nullptr);
        EXPECT_EQ(controller->VolumeSilenceSelection(false), nullptr);
        QSettings().remove("HelpUsage/EditDone");
        controller->actionFadeInFrames();
        controller->actionSilenceFrames();
        EXPECT_EQ(stack()->count(), 0);
        EXPECT_TRUE(editDone());
    }
    // No frames at all.
    select(0, 10);
    model->fragmentList()->setList(KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList));
    EXPECT_EQ(controller->VolumeFadeSelection(-4, 0, 1), nullptr);
    EXPECT_EQ(controller->insertSilence(10), nullptr);
}

TEST_F(ControllerEdits, SilenceActionsPushOnlyWhatChangesFrames)
{
    select(100, 200);
    controller->actionSilenceFrames();
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->command(0)->text(), "Silence");
    controller->actionSilenceFrames();
    EXPECT_EQ(stack()->count(), 1);
    controller->actionRemoveSilenceFrames();
    ASSERT_EQ(stack()->count(), 2);
    EXPECT_EQ(stack()->command(1)->text(), "Remove silencing");
    controller->actionRemoveSilenceFrames();
    EXPECT_EQ(stack()->count(), 2);
    // The silence fragment alone never changes.
    select(270, 290);
    controller->actionSilenceFrames();
    EXPECT_EQ(stack()->count(), 2);
    EXPECT_TRUE(unlocked());
}

TEST_F(ControllerEdits, NormalizeCompletionPushesItsText)
{
    select(20, 60);
    QSettings().remove("HelpUsage/EditDone");
    controller->stateActionNormalizeDlg_Finished(0, QString());
    EXPECT_EQ(stack()->count(), 0);
    EXPECT_TRUE(editDone());
    controller->stateActionNormalizeDlg_Finished(5, "7.5");
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->command(0)->text(), "Normalize (7.5dB)");
    EXPECT_EQ(gain(20), 5);
    EXPECT_EQ(gain(59), 5);
    EXPECT_EQ(gain(60), 0);
    // Not chained with a fade over the same range either.
    controller->stateActionNormalizeDlg_Finished(5, "7.5");
    EXPECT_EQ(fadeAt(1)->repeatCount(), 1);
}

TEST_F(ControllerEdits, InsertedSilenceGoesToTheViewPositionAndMovesTracks)
{
    model->trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 50)));
    model->trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(50, E)));
    select(100, 200);
    controller->setScrollFrame(50);
    QSettings().remove("HelpUsage/EditDone");
    controller->stateActionInsertSilenceDlg_Finished(0);
    EXPECT_EQ(stack()->count(), 0);
    EXPECT_TRUE(editDone());
    controller->stateActionInsertSilenceDlg_Finished(12);
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->command(0)->text(), "Insert Silence");
    EXPECT_EQ(doc->totalFrames(), 442);
    EXPECT_EQ(controller->totalFrames(), 442.0);
    const FrameModel m = modelOf(doc);
    for (qint64 i = 50; i < 62; ++i)
        EXPECT_FALSE(m[size_t(i)].audible) << i;
    EXPECT_TRUE(m[62].audible);
    // The track that starts there grows at its front.
    const auto &tracks = model->trackList()->tracks();
    EXPECT_EQ(tracks.front()->end(), 50);
    EXPECT_EQ(tracks.back()->start(), 50);
    EXPECT_EQ(controller->selectionStart(), 62.0);
    EXPECT_EQ(controller->selectionEnd(), 62.0);
    stack()->undo();
    EXPECT_EQ(doc->totalFrames(), 430);
    EXPECT_EQ(controller->totalFrames(), 430.0);
}

TEST_F(ControllerEdits, InsertSilenceRunsItsDialogUnderTheLock)
{
    select(100, 200);
    controller->setScrollFrame(40);
    bool lockedInside = false;
    ui.insertSilence = [&](KvQmlController &c) {
        lockedInside = !unlocked();
        // A command that arrives while the dialog is up is refused.
        c.actionDeleteFrames();
        EXPECT_EQ(stack()->count(), 0);
        c.stateActionInsertSilenceDlg_Finished(25);
    };
    QSettings().remove("HelpUsage/EditDone");
    controller->actionInsertSilence();
    EXPECT_EQ(ui.dialogs, QStringList{"insertSilence"});
    EXPECT_TRUE(lockedInside);
    EXPECT_TRUE(unlocked());
    ASSERT_TRUE(ui.format);
    EXPECT_EQ(ui.format->sampleRate(), 44100);
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->command(0)->text(), "Insert Silence");
    EXPECT_EQ(doc->totalFrames(), 455);
    // At the view position, with the selected frames left in place.
    const FrameModel m = modelOf(doc);
    EXPECT_TRUE(m[39].audible);
    EXPECT_FALSE(m[40].audible);
    EXPECT_FALSE(m[64].audible);
    EXPECT_TRUE(m[65].audible);
    EXPECT_TRUE(editDone());

    // Cancelled: nothing, yet counted as editing.
    ui.insertSilence = [](KvQmlController &c) { c.stateActionInsertSilenceDlg_Finished(0); };
    QSettings().remove("HelpUsage/EditDone");
    controller->actionInsertSilence();
    EXPECT_EQ(stack()->count(), 1);
    EXPECT_TRUE(editDone());

    // No frames: no dialog.
    model->fragmentList()->setList(KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList));
    controller->actionInsertSilence();
    EXPECT_EQ(ui.dialogs.size(), 2);
}

TEST_F(ControllerEdits, NormalizeRunsItsDialogOverACopyOfTheSelection)
{
    const DocumentShot before = shotOf(doc);
    ui.normalize = [&](KvQmlController &c) {
        EXPECT_FALSE(unlocked());
        c.stateActionNormalizeDlg_Finished(3, "4.5");
    };
    // Without a usable selection the dialog is not shown.
    for (auto sel : std::vector<std::pair<qint64, qint64>>{{-1, -1}, {10, 10}, {20, 10}}) {
        select(sel.first, sel.second);
        controller->actionNormalize();
    }
    EXPECT_TRUE(ui.dialogs.isEmpty());

    select(140, 180);
    controller->actionNormalize();
    EXPECT_EQ(ui.dialogs, QStringList{"normalize"});
    ASSERT_TRUE(ui.frames);
    EXPECT_EQ(ui.frames->totalFrames(), 40);
    EXPECT_NE(ui.frames, doc);
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->command(0)->text(), "Normalize (4.5dB)");
    EXPECT_EQ(gain(139), 0);
    EXPECT_EQ(gain(140), 3);
    EXPECT_EQ(gain(179), 3);
    EXPECT_EQ(gain(180), 0);
    EXPECT_TRUE(unlocked());
    stack()->undo();
    EXPECT_EQ(shotOf(doc), before);

    // Cancelled or no change: nothing pushed.
    ui.normalize = [](KvQmlController &c) { c.stateActionNormalizeDlg_Finished(0, QString()); };
    controller->actionNormalize();
    EXPECT_EQ(stack()->index(), 0);
    EXPECT_EQ(stack()->count(), 1);
}

// With the real controller, which clamps the view to the document.
TEST_F(ControllerEdits, DeleteWithTracksRestoresTheViewOnUndo)
{
    model->trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(0, 150)));
    model->trackList()->appendTrack(KvTagPropertyPtr(new KvTagProperty(150, E)));
    controller->setScrollFrame(420);
    stack()->push(new KvUndoDelete(model->trackList().get(), doc->copyRange(100, 100), doc, 100, controller.get()));
    EXPECT_EQ(controller->scrollFrame(), 320.0);
    EXPECT_EQ(controller->totalFrames(), 330.0);
    EXPECT_EQ(model->trackList()->tracks().front()->end(), 100);
    stack()->undo();
    EXPECT_EQ(controller->scrollFrame(), 420.0);
    EXPECT_EQ(controller->selectionStart(), 100.0);
    EXPECT_EQ(controller->selectionEnd(), 200.0);
    EXPECT_EQ(model->trackList()->tracks().front()->end(), 150);
}

TEST_F(ControllerEdits, EditPointsFollowDeleteUndoAndRedoBesideAnUnmovedPosition)
{
    // The first fragment runs [0, 150); the position lies before the cut, so
    // no edit moves it.
    controller->setScrollFrame(100);
    ASSERT_EQ(controller->nextEditPoint(), 150.0);
    select(120, 130);
    controller->actionDeleteFrames();
    ASSERT_EQ(controller->scrollFrame(), 100.0);
    struct Step {
        const char *what;
        std::function<void()> run;
        double next;
    };
    const Step steps[] = {
        {"after the delete", [] {}, 120.0},
        {"after its undo", [this] { controller->actionUndo(); }, 150.0},
        {"after its redo", [this] { controller->actionRedo(); }, 120.0},
    };
    for (const Step &step : steps) {
        step.run();
        EXPECT_EQ(controller->scrollFrame(), 100.0) << step.what;
        EXPECT_EQ(controller->previousEditPoint(), 0.0) << step.what;
        EXPECT_EQ(controller->nextEditPoint(), step.next) << step.what;
    }
}

TEST_F(ControllerEdits, SelectionChangeOnACleanStackLeavesItClean)
{
    select(10, 20);
    controller->setScrollFrame(15);
    controller->pushSelectionChange(0, -1, -1, "Select all");
    ASSERT_EQ(stack()->count(), 1);
    EXPECT_TRUE(stack()->isClean());
    EXPECT_EQ(stack()->command(0)->text(), "Select all");
    select(30, 40);
    controller->pushSelectionChange(15, 10, 20, "Keyboard selection");
    EXPECT_EQ(stack()->count(), 2);
    EXPECT_TRUE(stack()->isClean());
    stack()->undo();
    EXPECT_EQ(controller->selectionStart(), 10.0);
    EXPECT_EQ(controller->selectionEnd(), 20.0);
    EXPECT_EQ(controller->scrollFrame(), 15.0);
}

TEST_F(ControllerEdits, SelectionChangeNeverDiscardsEditsWaitingToBeRedone)
{
    select(0, 100);
    controller->actionFadeInFrames();
    stack()->undo();
    select(200, 300);
    controller->pushSelectionChange(0, 0, 100, "Selection");
    // Applied, not recorded.
    EXPECT_EQ(stack()->count(), 1);
    EXPECT_EQ(stack()->index(), 0);
    EXPECT_EQ(controller->selectionStart(), 200.0);
    stack()->redo();
    EXPECT_EQ(gain(0), -4);
    EXPECT_EQ(controller->selectionStart(), 0.0);
}

TEST_F(ControllerEdits, SelectionChangesWaitingToBeRedoneMayBeReplaced)
{
    select(0, 100);
    controller->actionFadeInFrames();
    select(5, 6);
    controller->pushSelectionChange(0, 0, 100, "a");
    select(7, 8);
    controller->pushSelectionChange(0, 5, 6, "b");
    ASSERT_EQ(stack()->count(), 3);
    stack()->undo();
    stack()->undo();
    select(9, 10);
    controller->pushSelectionChange(0, 0, 100, "c");
    ASSERT_EQ(stack()->count(), 2);
    EXPECT_EQ(stack()->command(1)->text(), "c");
    EXPECT_TRUE(dynamic_cast<const KvVolumeFade *>(stack()->command(0)));
}

TEST_F(ControllerEdits, PositionOnlyChangesMergeOnADirtyStack)
{
    select(0, 100);
    controller->actionVolumeIncFrames();
    select(1, 2);
    controller->setScrollFrame(3);
    controller->pushSelectionChange(0, 0, 100, "a");
    controller->setScrollFrame(9);
    controller->pushSelectionChange(3, 1, 2, "b");
    EXPECT_EQ(stack()->count(), 2);
    stack()->undo();
    EXPECT_EQ(controller->selectionStart(), 0.0);
    EXPECT_EQ(controller->selectionEnd(), 100.0);
    EXPECT_EQ(controller->scrollFrame(), 0.0);
}

TEST_F(ControllerEdits, NothingIsRecordedWithoutFrames)
{
    model->fragmentList()->setList(KvRepackInfoPtrListPtr(new KvMP3RepackInfoPtrList));
    select(1, 2);
    controller->pushSelectionChange(0, -1, -1, "a");
    EXPECT_EQ(stack()->count(), 0);
    model->setFragmentList(KvQmlModel::FragmentListPtr());
    controller->pushSelectionChange(0, -1, -1, "a");
    EXPECT_EQ(stack()->count(), 0);
}

TEST_F(ControllerEdits, VolumeStepsAreSettings)
{
    EXPECT_EQ(controller->volumeIncDec(), 4);
    EXPECT_EQ(controller->volumeFade(), 4);
    controller->setVolumeIncDec(2);
    controller->setVolumeFade(8);
    controller->writeSettings();
    EXPECT_EQ(QSettings().value("Settings/VolumeIncDec").toInt(), 2);
    EXPECT_EQ(QSettings().value("Settings/VolumeFade").toInt(), 8);
    KvQmlController other;
    EXPECT_EQ(other.volumeIncDec(), 2);
    EXPECT_EQ(other.volumeFade(), 8);
}

} // namespace
