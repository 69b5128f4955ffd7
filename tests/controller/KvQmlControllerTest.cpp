#include "KvControllerTestSupport.h"
#include "KvQmlController.h"

#include <KvFileProperties.h>
#include <KvTrackInfoUndo.h>

#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <QUndoStack>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr qint64 E = KvTagProperty::EndMarker;

class Controller : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
    }

    // A controller joined to a model whose document has `frames` frames.
    void open(qint64 frames)
    {
        controller.reset(new KvQmlController);
        model.reset(new KvQmlModel);
        controller->setModel(model.get());
        model->setFragmentList(kvSilentDocument(frames));
        controller->refreshDocumentState();
        controller->refreshAfterUndo();
    }

    std::vector<std::pair<qint64, qint64>> tracks() const
    {
        std::vector<std::pair<qint64, qint64>> out;
        for (const auto &t : model->trackList()->tracks())
            out.emplace_back(t->start(), t->end());
        return out;
    }

    std::unique_ptr<KvQmlModel> model;
    std::unique_ptr<KvQmlController> controller;
};

TEST_F(Controller, StartsEmpty)
{
    KvQmlController c;
    EXPECT_EQ(KvQmlController::instance(), &c);
    EXPECT_EQ(c.scrollFrame(), 0.0);
    EXPECT_EQ(c.selectionStart(), -1.0);
    EXPECT_EQ(c.selectionEnd(), -1.0);
    EXPECT_FALSE(c.hasSelection());
    EXPECT_FALSE(c.hasFragments());
    EXPECT_EQ(c.totalFrames(), 0.0);
    EXPECT_EQ(c.numTracks(), -1);
    EXPECT_EQ(c.trackNameFormat(), "%0N %T");
    EXPECT_TRUE(c.useAutoTrackNum());
    EXPECT_FALSE(c.model());
}

TEST_F(Controller, SetModelEmptiesTheDocumentOnce)
{
    KvQmlController c;
    KvQmlModel m;
    m.undoStack()->push(new QUndoCommand("old"));
    m.setProjectFile("/tmp/x.kvlproj");
    QSignalSpy changed(&c, &KvQmlController::modelChanged);
    c.setModel(&m);
    c.setModel(&m);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<KvQmlModel *>(), &m);
    EXPECT_EQ(KvQmlController::currentModel(), &m);
    EXPECT_EQ(m.undoStack()->count(), 0);
    EXPECT_TRUE(m.undoStack()->isClean());
    EXPECT_EQ(m.projectFile(), "");
    ASSERT_TRUE(m.trackList());
    EXPECT_FALSE(m.trackList()->hasTracks());
    EXPECT_EQ(m.trackList()->owner(), &c);
    ASSERT_TRUE(m.fileTagProperty());
    EXPECT_EQ(m.fileTagProperty()->start(), -1);
    EXPECT_EQ(m.fileTagProperty()->end(), -1);
    EXPECT_FALSE(m.fragmentList());
}

TEST_F(Controller, FirstRefreshAnnouncesTheSelectionOnly)
{
    KvQmlController c;
    QSignalSpy selection(&c, &KvQmlController::selectionChanged);
    QSignalSpy has(&c, &KvQmlController::hasSelectionChanged);
    c.refreshDocumentState();
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(has.count(), 0);
    c.refreshDocumentState();
    EXPECT_EQ(selection.count(), 1);
}

TEST_F(Controller, SelectionSetters)
{
    open(1000);
    Recorder r(controller.get());
    controller->setSelectionStart(100.9);
    EXPECT_EQ(controller->selectionStart(), 100.0);
    EXPECT_EQ(r.take(), QStringList({"selectionStartChanged(100)", "selectionChanged"}));
    controller->setSelectionEnd(200.2);
    EXPECT_EQ(r.take(), QStringList({"selectionEndChanged(200)", "currentSelectionTimeChanged(02.61)",
                                     "selectionChanged", "hasSelectionChanged(true)"}));
    EXPECT_TRUE(controller->hasSelection());
    controller->setSelectionEnd(200.7); // the same whole frame
    EXPECT_EQ(r.take(), QStringList());
    // Equal edges are no selection; reversed edges are one. The views clamp,
    // the setters store what they get.
    controller->setSelectionEnd(100);
    EXPECT_FALSE(controller->hasSelection());
    controller->setSelectionEnd(50);
    EXPECT_TRUE(controller->hasSelection());
    controller->setSelectionEnd(5000);
    EXPECT_EQ(controller->selectionEnd(), 5000.0);
    r.take();
    controller->setSelectionStart(std::nan(""));
    EXPECT_EQ(controller->selectionStart(), -1.0);
    EXPECT_FALSE(controller->hasSelection());
}

TEST_F(Controller, ScrollFrameIsClampedAndTruncated)
{
    open(1000);
    QSignalSpy spy(controller.get(), &KvQmlController::scrollFrameChanged);
    struct Case {
        double in, out;
        bool signal;
    } cases[] = {
        {12.7, 12, true}, {12.2, 12, false}, {1500, 1000, true}, {1000, 1000, false},
        {-5, 0, true},    {999.99, 999, true}, {1e300, 1000, true}, {std::nan(""), 0, true},
    };
    for (const auto &c : cases) {
        spy.clear();
        controller->setScrollFrame(c.in);
        EXPECT_EQ(controller->scrollFrame(), c.out) << c.in;
        EXPECT_EQ(controller->dbScrollFrame(), c.out) << c.in;
        EXPECT_EQ(spy.count(), c.signal ? 1 : 0) << c.in;
    }

    // Without a document every position is 0.
    KvQmlController bare;
    bare.setScrollFrame(50);
    EXPECT_EQ(bare.scrollFrame(), 0.0);
}

TEST_F(Controller, TrackCommandsPushAndPublish)
{
    open(1000);
    EXPECT_EQ(controller->numTracks(), 0);
    EXPECT_TRUE(controller->canSetTrackStart());
    EXPECT_FALSE(controller->canSetTrackEnd()) << "position 0, no track";
    EXPECT_TRUE(controller->canSplitTrack());
    EXPECT_FALSE(controller->canDeleteTrack());
    EXPECT_FALSE(controller->hasTracks());

    QStringList order;
    QObject::connect(controller.get(), &KvQmlController::numTracksChanged,
                     [&](int n) { order << QString("numTracks %1").arg(n); });
    QObject::connect(controller.get(), &KvQmlController::TrackInfoUpdated,
                     [&] { order << "TrackInfoUpdated"; });
    QSignalSpy repaint(controller.get(), &KvQmlController::updateWidget);

    controller->setScrollFrame(300);
    controller->splitTrack(400);
    EXPECT_EQ(tracks(), (std::vector<std::pair<qint64, qint64>>{{0, 400}, {400, E}}));
    EXPECT_EQ(model->undoStack()->count(), 1);
    EXPECT_EQ(model->undoStack()->text(0), "Split track");
    EXPECT_EQ(order, QStringList({"numTracks 2", "TrackInfoUpdated"}));
    EXPECT_EQ(repaint.count(), 1);
    EXPECT_EQ(controller->numTracks(), 2);
    EXPECT_EQ(controller->scrollFrame(), 300.0);

    // Capabilities follow the position.
    controller->setScrollFrame(400);
    EXPECT_TRUE(controller->hasTracks());
    EXPECT_FALSE(controller->canSetTrackStart());
    EXPECT_FALSE(controller->canSetTrackEnd());
    EXPECT_FALSE(controller->canSplitTrack());
    EXPECT_TRUE(controller->canDeleteTrack());
    EXPECT_EQ(controller->nextTrackPoint(), 1000.0) << "the open end shows as the document end";
    EXPECT_EQ(controller->previousTrackPoint(), 0.0);

    // Just behind the last frame counts as the open end.
    controller->setScrollFrame(1000);
    EXPECT_FALSE(controller->canSetTrackEnd()) << "the last track already runs to the end";
    EXPECT_EQ(controller->nextTrackPoint(), -1.0);

    controller->deleteTrack(500);
    EXPECT_EQ(tracks(), (std::vector<std::pair<qint64, qint64>>{{0, 400}}));
    EXPECT_EQ(controller->scrollFrame(), 1000.0);
    controller->refreshAfterUndo();
    EXPECT_TRUE(controller->canSetTrackEnd()) << "a track end can be set at the document end";

    // Undo goes back through the stack and restores the position it recorded.
    controller->setScrollFrame(10);
    model->undoStack()->undo();
    EXPECT_EQ(tracks(), (std::vector<std::pair<qint64, qint64>>{{0, 400}, {400, E}}));
    EXPECT_EQ(controller->scrollFrame(), 1000.0);
    model->undoStack()->undo();
    EXPECT_TRUE(tracks().empty());
    EXPECT_EQ(controller->numTracks(), 0);
    EXPECT_EQ(controller->scrollFrame(), 300.0);
}

TEST_F(Controller, DeletingTheOnlyTrack)
{
    open(1000);
    controller->setTrackStart(0);
    ASSERT_EQ(tracks(), (std::vector<std::pair<qint64, qint64>>{{0, E}}));
    EXPECT_EQ(model->undoStack()->text(0), "Set track start");
    controller->refreshAfterUndo();
    EXPECT_TRUE(controller->hasTracks());
    QSignalSpy has(controller.get(), &KvQmlController::hasTracksChanged);
    controller->deleteTrack(0);
    controller->refreshAfterUndo();
    EXPECT_TRUE(tracks().empty());
    EXPECT_FALSE(controller->hasTracks());
    EXPECT_EQ(controller->numTracks(), 0);
    ASSERT_EQ(has.count(), 1);
    EXPECT_FALSE(has.at(0).at(0).toBool());
}

TEST_F(Controller, ImpossibleTrackActionPushesNothingButCountsAsEditing)
{
    open(1000);
    controller->setTrackEnd(0);
    controller->deleteTrack(10);
    EXPECT_EQ(model->undoStack()->count(), 0);
    EXPECT_TRUE(QSettings().value("HelpUsage/EditDone", false).toBool());
}

// The Shift key held while a track command arrives (menu, shortcut or
// click) picks the track list's second variant; QGuiApplication reports the
// modifiers of the last key event it processed.
struct HeldShift {
    HeldShift() { QTest::keyPress(&window, Qt::Key_Shift, Qt::ShiftModifier); }
    ~HeldShift() { QTest::keyRelease(&window, Qt::Key_Shift, Qt::NoModifier); }
    QWindow window;
};

TEST_F(Controller, ShiftPicksTheSecondVariantOfTrackCommands)
{
    using Tracks = std::vector<std::pair<qint64, qint64>>;
    struct Case {
        const char *name;
        void (KvQmlController::*command)(double);
        double position;
        Tracks plain;
        Tracks shifted;
    };
    const Case cases[] = {
        {"delete", &KvQmlController::deleteTrack, 500, {{0, 400}}, {{0, E}}},
        {"end", &KvQmlController::setTrackEnd, 600, {{0, 400}, {400, 600}}, {{0, 400}, {400, 600}, {600, E}}},
        {"start", &KvQmlController::setTrackStart, 200, {{200, 400}, {400, E}}, {{0, 200}, {200, 400}, {400, E}}},
    };
    for (const Case &c : cases) {
        for (const bool shift : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (shift ? " with Shift" : ""));
            open(1000);
            controller->splitTrack(400);
            ASSERT_EQ(tracks(), (Tracks{{0, 400}, {400, E}}));
            {
                std::unique_ptr<HeldShift> held(shift ? new HeldShift : nullptr);
                ASSERT_EQ(QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier), shift);
                (controller.get()->*c.command)(c.position);
            }
            EXPECT_EQ(QGuiApplication::keyboardModifiers(), Qt::NoModifier);
            EXPECT_EQ(tracks(), shift ? c.shifted : c.plain);
            EXPECT_EQ(model->undoStack()->count(), 2);
        }
    }
}

TEST_F(Controller, EmptyDocumentHasNoTrackCapabilities)
{
    open(0);
    controller->setTrackStart(0);
    controller->refreshAfterUndo();
    EXPECT_TRUE(model->trackList()->hasTracks());
    EXPECT_TRUE(controller->hasTracks());
    EXPECT_FALSE(controller->canSetTrackStart());
    EXPECT_FALSE(controller->canSetTrackEnd());
    EXPECT_FALSE(controller->canSplitTrack());
    EXPECT_FALSE(controller->canDeleteTrack());
    EXPECT_EQ(controller->numTracks(), -1);
}

TEST_F(Controller, OpeningAndClosingPublishTheDocument)
{
    KvQmlController c;
    KvQmlModel m;
    c.setModel(&m);
    c.refreshDocumentState();
    Recorder r(&c);
    m.setFragmentList(kvSilentDocument(1000));
    c.refreshDocumentState();
    // The count, then the track state, time texts and boundaries it enables
    // and whether an untitled document can be saved; then the fragments flag
    // and the format.
    EXPECT_EQ(r.take(), QStringList({"totalFramesChanged(1000)", "canSetTrackStartChanged(true)",
                                     "canSplitTrackChanged(true)", "playPositionTimeChanged(0:00:00.00)",
                                     "currentSelectionTimeChanged(00.00)", "nextEditPointChanged(1000)",
                                     "canSaveDirtyProjectChanged(true)", "hasFragmentsChanged(true)",
                                     "audioTypeChanged(mp3)"}));

    c.setSelectionStart(10);
    c.setSelectionEnd(20);
    c.setScrollFrame(500);
    r.take();
    QStringList order;
    QObject::connect(&c, &KvQmlController::selectionStartChanged, [&](double v) { order << QString("start %1").arg(v); });
    QObject::connect(&c, &KvQmlController::selectionEndChanged, [&](int v) { order << QString("end %1").arg(v); });
    QObject::connect(&c, &KvQmlController::hasFragmentsChanged, [&](bool v) { order << (v ? "fragments true" : "fragments false"); });
    QObject::connect(&c, &KvQmlController::calcViews, [&] { order << "calcViews"; });
    m.setProjectFile("/tmp/p.kvlproj");
    m.undoStack()->push(new QUndoCommand("edit"));
    c.closeProject(false, false);
    EXPECT_EQ(order, QStringList({"start -1", "fragments false", "end -1", "calcViews"}));
    EXPECT_EQ(c.scrollFrame(), 0.0);
    EXPECT_EQ(c.totalFrames(), 0.0);
    EXPECT_EQ(m.projectFile(), "");
    EXPECT_EQ(m.undoStack()->count(), 1) << "the stack is kept when not asked to clear it";
    c.closeProject(true, false);
    EXPECT_EQ(m.undoStack()->count(), 0);
}

TEST_F(Controller, CloseProjectCanClearTheRecoveryRecord)
{
    QSettings().setValue("Settings/suspendedProjectPath", "/tmp/susp.kvlproj");
    QSettings().setValue("Settings/suspendedProjectHasChanges", true);
    QSettings().setValue("Settings/lastOpenProjectPath", "/tmp/last.kvlproj");
    open(10);
    EXPECT_EQ(QSettings().value("Settings/lastOpenProjectPath").toString(), "/tmp/last.kvlproj");
    controller->closeProject(true, true);
    EXPECT_EQ(QSettings().value("Settings/suspendedProjectPath").toString(), "");
    EXPECT_FALSE(QSettings().value("Settings/suspendedProjectHasChanges").toBool());
    EXPECT_EQ(QSettings().value("Settings/lastOpenProjectPath").toString(), "");
}

TEST_F(Controller, TrackNameOptionsAreSettings)
{
    {
        KvQmlController c;
        QSignalSpy repaint(&c, &KvQmlController::updateWidget);
        QSignalSpy pattern(&c, &KvQmlController::trackNameFormatChanged);
        c.setTrackNameFormat("%0N %T");
        c.setUseAutoTrackNum(true);
        EXPECT_EQ(repaint.count(), 0);
        c.setTrackNameFormat("%A - %T");
        c.setUseAutoTrackNum(false);
        EXPECT_EQ(pattern.count(), 1);
        EXPECT_EQ(repaint.count(), 2);
    }
    EXPECT_EQ(QSettings().value("Settings/TrackNameFormat").toString(), "%A - %T");
    KvQmlController again;
    EXPECT_EQ(again.trackNameFormat(), "%A - %T");
    EXPECT_FALSE(again.useAutoTrackNum());
}

TEST_F(Controller, RefreshAfterUndoAsksForViewsOnce)
{
    open(100);
    QSignalSpy views(controller.get(), &KvQmlController::calcViews);
    controller->refreshAfterUndo();
    EXPECT_EQ(views.count(), 1);
    // The status line describes the document.
    EXPECT_TRUE(controller->updateStatusMessage().contains("44100")) << controller->statusMessage().toStdString();
}

} // namespace
