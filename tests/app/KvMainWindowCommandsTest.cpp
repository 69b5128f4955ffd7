// The main window's commands as the user reaches them: which actions may be
// used in each state, what the keys, a drop and closing the window do, and
// what the conversion commands hand to the conversion dialog.
#include <MainWindow.h>

#include "../controller/KvControllerTestSupport.h"
#include "../views/KvDialogTestSupport.h"
#include "../views/KvOpenedUrls.h"

#include <KvFakeUiServices.h>
#include <KvFileProperties.h>
#include <KvManual.h>
#include <KvMessageBox.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagProperty.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QUndoStack>

#include <functional>

namespace {

// A window that records what a drop opens and what a conversion would
// convert, instead of opening or converting.
class RecordingWindow : public MainWindow {
public:
    QStringList projects;
    QList<QStringList> fileLists;
    struct Conversion {
        QList<qint64> pieceFrames;
        bool tracks;
        bool selection;
        bool sharesDocument;
    };
    QList<Conversion> conversions;

    void openProject(const QString &path) override { projects << path; }
    void openFiles(const QStringList &paths) override { fileLists << paths; }
    // Qt hands a drop only to the target of a real drag; the test is the drag.
    using MainWindow::dragEnterEvent;
    using MainWindow::dropEvent;

protected:
    void runConvertDialog(const PieceList &pieces, bool tracks, bool selection) override
    {
        Conversion c{{}, tracks, selection, false};
        const KvQmlModel::FragmentListPtr cursor = documentModel()->fragmentList();
        for (const auto &piece : pieces) {
            c.pieceFrames << piece->totalFrames();
            c.sharesDocument = c.sharesDocument || (cursor && piece == cursor->list());
        }
        conversions << c;
    }
};

class MainWindowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { QSettings().clear(); }

    static QAction *action(const QWidget &window, const char *name)
    {
        return kvdlgtest::child<QAction>(&window, name);
    }
    // The Undo and Redo actions made from the undo stack, not the form's.
    static QAction *stackAction(const QWidget &window, const QString &text)
    {
        for (QAction *a : window.findChildren<QAction *>())
            if (a->text() == text && a->objectName().isEmpty())
                return a;
        return nullptr;
    }

    // A document of `frames` frames; the controller publishes it.
    static void setDocument(MainWindow &window, qint64 frames)
    {
        window.documentModel()->setFragmentList(kvSilentDocument(frames));
        window.appController()->refreshDocumentState();
    }
    // Tracks over [start, end) each; end KvTagProperty::EndMarker for an open end.
    static void setTracks(MainWindow &window, const QList<QPair<qint64, qint64>> &ranges)
    {
        KvQmlController *controller = window.appController();
        KvQmlModel::FilePropertiesPtr list(new KvFileProperties(controller));
        for (const auto &r : ranges)
            list->appendTrack(KvTagPropertyPtr(new KvTagProperty(r.first, r.second)));
        window.documentModel()->setTrackList(list);
        emit controller->TrackInfoUpdated();
        QMetaObject::invokeMethod(&window, "TrackInfoUpdated");
    }
    static void refresh(MainWindow &window) { QMetaObject::invokeMethod(&window, "ReEvaluateEnabledActions"); }

    kvtest::FakeUiServices ui;
    KvScopedUiServices scopedUi{&ui};
};

// ---- Help ----

TEST_F(MainWindowCommandsTest, ViewManualOpensThePdfBesideTheProgramOrSaysWhyNot)
{
    MainWindow window;
    const QString manual = QCoreApplication::applicationDirPath() + "/mp3Morvelta_Manual.pdf";
    ASSERT_EQ(kvManualPath(), manual);
    KvOpenedUrls opened;
    QStringList boxes;
    KvScopedMessageBoxAnswerer answerer([&](QMessageBox &box) {
        boxes << box.text();
        return int(QMessageBox::Ok);
    });

    ASSERT_TRUE(kvtest::writeFile(manual, "%PDF-1.4\n"));
    action(window, "actionView_Manual_PDF")->trigger();
    QFile::remove(manual);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(manual)});
    EXPECT_TRUE(boxes.isEmpty());

    action(window, "actionView_Manual_PDF")->trigger();
    EXPECT_EQ(opened.urls.size(), 1);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().contains(QDir::toNativeSeparators(manual))) << boxes.first().toStdString();
}

// ---- Enable rules ----

struct Situation {
    int playState;
    bool playing;
    qint64 selStart;
    qint64 selEnd;
    bool tracks;
    int zoom;

    bool selection() const { return selStart != -1 && selEnd != -1 && selStart != selEnd; }
    bool wholeDocument() const { return selStart == 0 && selEnd == documentFrames; }
    static constexpr qint64 documentFrames = 100;
};

struct EnableRule {
    const char *action;
    std::function<bool(const Situation &)> enabled;
};

const EnableRule enableRules[] = {
    {"actionCopy", [](const Situation &s) { return s.selection(); }},
    {"actionCut", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionFade_In", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionFade_Out", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionSilence", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionUndo_Silence", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionNormalize", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionDelete", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionVolume_Increase", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionVolume_Decrease", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionExport_Selection_As", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionConvert_Selection_As", [](const Situation &s) { return s.selection() && !s.playing; }},
    {"actionAdd_Track_Info", [](const Situation &s) { return !s.playing; }},
    {"actionInsert_Silence", [](const Situation &s) { return !s.playing; }},
    {"actionAppend_Files", [](const Situation &s) { return !s.playing; }},
    {"actionSave_Project_As", [](const Situation &s) { return !s.playing; }},
    {"actionExport_All_As", [](const Situation &s) { return !s.playing; }},
    {"actionEdit_File_Info", [](const Situation &s) { return !s.playing; }},
    {"actionConvert_All_As", [](const Situation &s) { return !s.playing; }},
    {"actionRecord", [](const Situation &s) { return !s.playing; }},
    {"actionOpen", [](const Situation &s) { return !s.playing; }},
    {"actionExport_Tracks", [](const Situation &s) { return s.tracks && !s.playing; }},
    {"actionConvert_Tracks", [](const Situation &s) { return s.tracks && !s.playing; }},
    // The clipboard holds no frames, so Paste is never enabled here.
    {"actionPaste", [](const Situation &) { return false; }},
    // An untitled document can always be saved, also while it plays.
    {"actionSave_Project", [](const Situation &) { return true; }},
    {"actionCrop", [](const Situation &s) { return !s.playing && s.selection() && !s.wholeDocument(); }},
    {"actionSelect_All", [](const Situation &s) { return !s.wholeDocument(); }},
    {"kbActionHorizontal_Zoom_In", [](const Situation &s) { return s.zoom < 16; }},
    {"kbActionHorizontal_Zoom_Out", [](const Situation &s) { return s.zoom > 1; }},
    {"actionScale_View", [](const Situation &) { return true; }},
    {"actionStop", [](const Situation &s) { return s.playState != 0; }},
    {"actionPause", [](const Situation &s) { return s.playState != 0; }},
    {"actionPlay", [](const Situation &s) { return s.playState != 2 && s.playState != 4; }},
    {"actionPlay_Selection", [](const Situation &s) { return s.selection() && s.playState != 1 && s.playState != 3; }},
    {"actionLoop", [](const Situation &) { return true; }},
    {"actionForward_To_End", [](const Situation &) { return true; }},
    // The position stays at the document start.
    {"actionRewind_To_Beginning", [](const Situation &) { return false; }},
    // Actions the rules leave alone.
    {"actionOptions", [](const Situation &) { return true; }},
    {"actionClose", [](const Situation &) { return true; }},
    {"actionExit", [](const Situation &) { return true; }},
    {"kbActionMove_Next_Frame", [](const Situation &) { return true; }},
};

TEST_F(MainWindowCommandsTest, EnableRulesOverPlayStateSelectionTracksAndZoom)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    setDocument(window, Situation::documentFrames);

    // Playing the selection and paused in it need a selection to play.
    const int playStates[] = {0, 1, 2, 3, 4};
    const QPair<qint64, qint64> selections[] = {{-1, -1}, {30, 30}, {10, 60}, {0, 100}};
    for (int state : playStates) {
        for (const auto &sel : selections) {
            for (bool tracks : {false, true}) {
                for (int zoom : {1, 8, 16}) {
                    if ((state == 2 || state == 4) && sel.first == sel.second)
                        continue;
                    const Situation s{state, state == 1 || state == 2, sel.first, sel.second, tracks, zoom};
                    SCOPED_TRACE(testing::Message() << "state " << state << ", selection " << sel.first << ".."
                                                    << sel.second << ", tracks " << tracks << ", zoom " << zoom);
                    controller->setPlayState(0);
                    controller->setSelectionStart(double(sel.first));
                    controller->setSelectionEnd(double(sel.second));
                    controller->refreshDocumentState();
                    setTracks(window, tracks ? QList<QPair<qint64, qint64>>{{20, 50}} : QList<QPair<qint64, qint64>>{});
                    controller->setHZoom(zoom);
                    // The full refresh stops a play paused in the selection:
                    // the state comes after it, announced like any other.
                    refresh(window);
                    controller->setPlayState(state);
                    ASSERT_EQ(controller->playState(), state);
                    for (const EnableRule &rule : enableRules)
                        EXPECT_EQ(action(window, rule.action)->isEnabled(), rule.enabled(s)) << rule.action;
                }
            }
        }
    }
}

TEST_F(MainWindowCommandsTest, WithoutADocumentOnlyFileCommandsRemain)
{
    MainWindow window;
    // As built too: start-up paints the window before its full refresh.
    for (const bool refreshed : {false, true}) {
        SCOPED_TRACE(refreshed ? "after the full refresh" : "as built");
        if (refreshed)
            refresh(window);
        for (const char *name : {"actionOpen", "actionRecord", "actionOptions", "actionExit", "actionClose"})
            EXPECT_TRUE(action(window, name)->isEnabled()) << name;
        for (const char *name :
             {"actionCut", "actionCopy", "actionPaste", "actionSave_Project", "actionSave_Project_As",
              "actionExport_All_As", "actionConvert_All_As", "actionConvert_Tracks", "actionSelect_All",
              "kbActionHorizontal_Zoom_In", "kbActionHorizontal_Zoom_Out", "actionScale_View", "actionPlay",
              "actionPause", "actionStop", "actionLoop", "actionNext_Track", "actionPrevious_Track",
              "actionAppend_Files", "actionInsert_Silence", "actionEdit_File_Info"})
            EXPECT_FALSE(action(window, name)->isEnabled()) << name;
    }
}

TEST_F(MainWindowCommandsTest, UndoAndRedoFollowTheStackOnlyWhileNotPlaying)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    setDocument(window, 100);
    QUndoStack *stack = window.documentModel()->undoStack();
    QAction *undo = stackAction(window, "&Undo");
    QAction *redo = stackAction(window, "&Redo");
    ASSERT_NE(undo, nullptr);
    ASSERT_NE(redo, nullptr);
    EXPECT_FALSE(undo->isEnabled());

    stack->push(new QUndoCommand("step"));
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    controller->setPlayState(1);
    EXPECT_FALSE(undo->isEnabled());
    controller->setPlayState(3);
    EXPECT_TRUE(undo->isEnabled());
    stack->undo();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(redo->isEnabled());
}

TEST_F(MainWindowCommandsTest, TransportAtTheEndAndTrackPoints)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    setDocument(window, 100);
    // The last track ends at the document end: that end is the next track point.
    setTracks(window, {{20, 50}, {50, KvTagProperty::EndMarker}});

    struct Row {
        qint64 position;
        bool play, forward, rewind, nextTrack, previousTrack;
        const char *trackText;
    };
    const Row rows[] = {
        {30, true, true, true, true, true, "Edit Track Information"},
        {0, true, true, false, true, false, "Add Track Information"},
        {60, true, true, true, true, true, "Edit Track Information"},
        {100, false, false, true, false, true, "Add Track Information"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.position);
        controller->setScrollFrame(double(row.position));
        ASSERT_EQ(qint64(controller->scrollFrame()), row.position);
        EXPECT_EQ(action(window, "actionPlay")->isEnabled(), row.play);
        EXPECT_EQ(action(window, "actionPlay_Pause")->isEnabled(), row.play);
        EXPECT_EQ(action(window, "actionForward_To_End")->isEnabled(), row.forward);
        EXPECT_EQ(action(window, "actionRewind_To_Beginning")->isEnabled(), row.rewind);
        EXPECT_EQ(action(window, "actionNext_Track")->isEnabled(), row.nextTrack);
        EXPECT_EQ(action(window, "actionPrevious_Track")->isEnabled(), row.previousTrack);
        EXPECT_EQ(action(window, "actionAdd_Track_Info")->text(), row.trackText);
    }
}

TEST_F(MainWindowCommandsTest, PauseShowsTheSelectionIconWhenTheSelectionPlays)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    setDocument(window, 100);
    controller->setSelectionStart(10);
    controller->setSelectionEnd(20);
    for (int state : {1, 2, 3, 4}) {
        controller->setPlayState(state);
        const QImage shown = action(window, "actionPause")->icon().pixmap(32).toImage();
        const QImage expected =
            QIcon(state == 2 || state == 4 ? ":/Resources/action_pause_sel.png" : ":/Resources/action_pause.png")
                .pixmap(32)
                .toImage();
        EXPECT_EQ(shown, expected) << state;
        EXPECT_EQ(action(window, "actionPause")->isChecked(), state == 3 || state == 4) << state;
        EXPECT_EQ(action(window, "actionPlay")->isChecked(), state == 1) << state;
        EXPECT_EQ(action(window, "actionPlay_Selection")->isChecked(), state == 2) << state;
    }
}

// ---- Keys ----

TEST_F(MainWindowCommandsTest, WindowKeysTriggerTheirActions)
{
    MainWindow window;
    setDocument(window, 100);
    refresh(window);

    struct Row {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool autoRepeat;
        const char *triggered; // empty: none of the watched actions
        bool accepted;
    };
    const Row rows[] = {
        {Qt::Key_Space, Qt::NoModifier, false, "actionPlay_Pause", true},
        // Held down, the space bar goes on like any other key.
        {Qt::Key_Space, Qt::NoModifier, true, "", false},
        {Qt::Key_Plus, Qt::NoModifier, false, "kbActionVertical_Shift_Up", true},
        {Qt::Key_Plus, Qt::KeypadModifier | Qt::ShiftModifier, false, "kbActionVertical_Shift_Up", true},
        {Qt::Key_Equal, Qt::NoModifier, false, "kbActionVertical_Shift_Up", true},
        {Qt::Key_Minus, Qt::NoModifier, false, "kbActionVertical_Shift_Down", true},
        {Qt::Key_Underscore, Qt::ShiftModifier, false, "kbActionVertical_Shift_Down", true},
        // Ctrl, Alt and Meta leave the key to the shortcuts.
        {Qt::Key_Plus, Qt::ControlModifier, false, "", false},
        {Qt::Key_Minus, Qt::AltModifier, false, "", false},
        {Qt::Key_Equal, Qt::MetaModifier, false, "", false},
        // The six media keys, and no other.
        {Qt::Key_MediaPlay, Qt::NoModifier, false, "actionPlay", true},
        {Qt::Key_MediaTogglePlayPause, Qt::NoModifier, false, "actionPlay_Pause", true},
        {Qt::Key_MediaNext, Qt::NoModifier, false, "", true},     // no tracks: disabled
        {Qt::Key_MediaPrevious, Qt::NoModifier, false, "", true}, // likewise
        {Qt::Key_MediaStop, Qt::NoModifier, false, "", true},     // stopped: disabled
        {Qt::Key_MediaPause, Qt::NoModifier, false, "", true},    // stopped: disabled
        {Qt::Key_VolumeUp, Qt::NoModifier, false, "", false},
        {Qt::Key_Back, Qt::NoModifier, false, "", false},
    };
    const char *watched[] = {"actionPlay_Pause", "actionPlay_Selection", "kbActionVertical_Shift_Up",
                             "kbActionVertical_Shift_Down", "actionPlay", "actionPause", "actionStop",
                             "actionNext_Track", "actionPrevious_Track"};
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << "key " << row.key << " modifiers " << int(row.modifiers));
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : watched)
            spies.emplace_back(new QSignalSpy(action(window, name), &QAction::triggered));
        QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers, QString(), row.autoRepeat);
        press.setAccepted(false);
        QCoreApplication::sendEvent(&window, &press);
        EXPECT_EQ(press.isAccepted(), row.accepted);
        for (size_t i = 0; i < spies.size(); ++i)
            EXPECT_EQ(spies[i]->count(), qstrcmp(watched[i], row.triggered) == 0 ? 1 : 0) << watched[i];
        // A key that started playback: the next rows begin stopped again.
        window.appController()->stop();
    }
}

TEST_F(MainWindowCommandsTest, SpaceAtTheEndPlaysTheSelectionOnlyWhenAskedTo)
{
    for (bool playSelUsingSpace : {false, true}) {
        SCOPED_TRACE(playSelUsingSpace);
        QSettings().setValue("Settings/playSelUsingSpace", playSelUsingSpace);
        MainWindow window;
        KvQmlController *controller = window.appController();
        setDocument(window, 100);
        controller->setSelectionStart(10);
        controller->setSelectionEnd(20);
        controller->setScrollFrame(100);
        refresh(window);
        ASSERT_FALSE(action(window, "actionPlay_Pause")->isEnabled());
        QSignalSpy selection(action(window, "actionPlay_Selection"), &QAction::triggered);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
        press.setAccepted(false);
        QCoreApplication::sendEvent(&window, &press);
        EXPECT_TRUE(press.isAccepted());
        EXPECT_EQ(selection.count(), playSelUsingSpace ? 1 : 0);
    }
}

// ---- Keyboard navigation and selection ----

TEST_F(MainWindowCommandsTest, NavigationAndSelectionKeysMoveByTheirDeltas)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    // Three pieces (edit points at 30 and 70) and tracks from 10 to 50 and
    // from 50 to the open end.
    KvQmlModel::FragmentListPtr cursor = kvSilentDocument(30);
    cursor->list()->appendList(kvSilentDocument(40)->list());
    cursor->list()->appendList(kvSilentDocument(30)->list());
    ASSERT_EQ(cursor->totalFrames(), 100);
    window.documentModel()->setFragmentList(cursor);
    controller->refreshDocumentState();
    setTracks(window, {{10, 50}, {50, KvTagProperty::EndMarker}});
    // Blocks of 10 frames and pages of 25 at 1152 samples a frame and 44.1 kHz.
    controller->setNavigateBlockSecs(10 * 1152.0 / 44100);
    controller->setNavigatePageSecs(25 * 1152.0 / 44100);

    const qint64 none = -1;
    struct Row {
        const char *action;
        qint64 from;
        qint64 selStart, selEnd; // before
        qint64 to;
        qint64 newStart, newEnd; // after
    };
    const Row rows[] = {
        {"kbActionMove_Next_Frame", 40, none, none, 41, none, none},
        {"kbActionMove_Previous_Frame", 40, none, none, 39, none, none},
        {"kbActionMove_Next_Frame_Block", 40, none, none, 50, none, none},
        {"kbActionMove_Previous_Frame_Block", 40, none, none, 30, none, none},
        {"kbActionMove_Next_Frame_Page", 40, none, none, 65, none, none},
        {"kbActionMove_Previous_Frame_Page", 40, none, none, 15, none, none},
        {"kbActionMove_Next_Edit_Point", 40, none, none, 70, none, none},
        {"kbActionMove_Previous_Edit_Point", 40, none, none, 30, none, none},
        {"kbActionMove_Selection_Start", 40, 20, 80, 20, 20, 80},
        {"kbActionMove_Selection_End", 40, 20, 80, 80, 20, 80},
        {"kbActionMove_Selection_Start", 40, none, none, 40, none, none},
        {"kbActionSelect_Next_Frame", 40, none, none, 41, 40, 41},
        {"kbActionSelect_Previous_Frame", 40, none, none, 39, 39, 40},
        {"kbActionSelect_Next_Frame_Block", 40, none, none, 50, 40, 50},
        {"kbActionSelect_Previous_Frame_Block", 40, none, none, 30, 30, 40},
        {"kbActionSelect_Next_Frame_Page", 40, none, none, 65, 40, 65},
        {"kbActionSelect_Previous_Frame_Page", 40, none, none, 15, 15, 40},
        {"kbActionSelect_Document_Start", 40, none, none, 0, 0, 40},
        {"kbActionSelect_Document_End", 40, none, none, 100, 40, 100},
        {"kbActionSelect_Document_End", 100, none, none, 100, 100, 100},
        {"kbActionSelect_Next_Edit_Point", 40, none, none, 70, 40, 70},
        {"kbActionSelect_Previous_Edit_Point", 40, none, none, 30, 30, 40},
        {"kbActionSelect_Next_Section", 40, none, none, 50, 40, 50},
        {"kbActionSelect_Prev_Section", 40, none, none, 10, 10, 40},
        // Inside the track with the open end, the next section is the document end.
        {"kbActionSelect_Next_Section", 60, none, none, 100, 60, 100},
        {"kbActionSet_Selection_Start", 40, 20, 80, 40, 40, 80},
        {"kbActionSet_Selection_End", 40, 20, 80, 40, 20, 40},
        {"actionSelect_All", 40, none, none, 40, 0, 100},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.action << " from " << row.from);
        controller->setSelectionStart(double(row.selStart));
        controller->setSelectionEnd(double(row.selEnd));
        controller->setScrollFrame(double(row.from));
        ASSERT_EQ(qint64(controller->scrollFrame()), row.from);
        action(window, row.action)->trigger();
        EXPECT_EQ(qint64(controller->scrollFrame()), row.to);
        EXPECT_EQ(qint64(controller->selectionStart()), row.newStart);
        EXPECT_EQ(qint64(controller->selectionEnd()), row.newEnd);
    }

    // While playing, the single-frame keys do nothing.
    controller->setSelectionStart(-1);
    controller->setSelectionEnd(-1);
    controller->setScrollFrame(40);
    controller->setPlayState(1);
    action(window, "kbActionMove_Next_Frame")->trigger();
    action(window, "kbActionMove_Previous_Frame")->trigger();
    EXPECT_EQ(qint64(controller->scrollFrame()), 40);
    controller->setPlayState(0);
}

TEST_F(MainWindowCommandsTest, HorizontalZoomKeysStepTheZoomAndStoreIt)
{
    MainWindow window;
    KvQmlController *controller = window.appController();
    setDocument(window, 100);
    controller->setHZoom(4);
    action(window, "kbActionHorizontal_Zoom_In")->trigger();
    EXPECT_EQ(controller->hZoom(), 5);
    EXPECT_EQ(QSettings().value("Settings/HZoom").toInt(), 5);
    action(window, "kbActionHorizontal_Zoom_Out")->trigger();
    action(window, "kbActionHorizontal_Zoom_Out")->trigger();
    EXPECT_EQ(controller->hZoom(), 3);
    EXPECT_EQ(QSettings().value("Settings/HZoom").toInt(), 3);
}

// ---- Drag and drop ----

QMimeData *uriList(const QList<QUrl> &urls)
{
    auto *data = new QMimeData;
    data->setUrls(urls);
    return data;
}

TEST_F(MainWindowCommandsTest, DropOpensTheFirstProjectAloneElseAllLocalFiles)
{
    const QUrl a = QUrl::fromLocalFile("/music/a.mp3");
    const QUrl b = QUrl::fromLocalFile("/music/b.mp3");
    const QUrl c = QUrl::fromLocalFile("/music/c.m4a");
    const QUrl project = QUrl::fromLocalFile("/music/set.KvlProj");
    const QUrl later = QUrl::fromLocalFile("/music/later.kvlproj");
    const QUrl remote("https://www.veltranix.example/d.mp3");
    struct Row {
        QList<QUrl> urls;
        QStringList projects;
        QList<QStringList> fileLists;
        bool accepted;
    };
    const Row rows[] = {
        {{a, b, c, project}, {"/music/set.KvlProj"}, {}, false},
        {{a, project, later}, {"/music/set.KvlProj"}, {}, false},
        {{a, b, c}, {}, {{"/music/a.mp3", "/music/b.mp3", "/music/c.m4a"}}, true},
        // A remote address has no local path to open: it is left out.
        {{remote, a}, {}, {{"/music/a.mp3"}}, true},
        {{remote}, {}, {}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.urls.size());
        RecordingWindow window;
        std::unique_ptr<QMimeData> data(uriList(row.urls));
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        drop.setAccepted(false);
        window.dropEvent(&drop);
        EXPECT_EQ(window.projects, row.projects);
        EXPECT_EQ(window.fileLists, row.fileLists);
        EXPECT_EQ(drop.isAccepted(), row.accepted);
    }
}

TEST_F(MainWindowCommandsTest, NoDropWhilePlayingButWhilePaused)
{
    RecordingWindow window;
    KvQmlController *controller = window.appController();
    setDocument(window, 100);
    std::unique_ptr<QMimeData> data(uriList({QUrl::fromLocalFile("/music/a.mp3")}));
    for (int state : {0, 1, 2, 3, 4}) {
        SCOPED_TRACE(state);
        controller->setPlayState(state);
        const bool playing = state == 1 || state == 2;
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        window.dragEnterEvent(&enter);
        EXPECT_EQ(enter.isAccepted(), !playing);

        window.fileLists.clear();
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        window.dropEvent(&drop);
        EXPECT_EQ(window.fileLists.size(), playing ? 0 : 1);
    }
}

// ---- Closing ----

TEST_F(MainWindowCommandsTest, ClosingWithUnsavedChangesKeepsTheWindowUnlessTheChangesMayGo)
{
    struct Row {
        const char *what;
        QList<int> answers;  // the save question, then anything it leads to
        bool closes;
    };
    const Row rows[] = {
        {"Cancel", {KvUi::Cancel}, false},
        // Yes to saving an untitled project asks for a name; no name, no close.
        {"Yes, then no name", {KvUi::Yes}, false},
        {"No", {KvUi::No}, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        QSettings().clear();
        ui.messages.clear();
        ui.answers = row.answers;
        ui.saveAnswers.clear();
        MainWindow window;
        setDocument(window, 100);
        window.documentModel()->undoStack()->push(new QUndoCommand("edit"));
        window.show();

        EXPECT_EQ(window.close(), row.closes);
        EXPECT_EQ(window.isVisible(), !row.closes);
        ASSERT_EQ(ui.messages.size(), 1) << "only the save question, never whether to exit";
        EXPECT_EQ(ui.messages.at(0).text, "Save changes to untitled project?");
        EXPECT_EQ(ui.messages.at(0).buttons, KvUi::Yes | KvUi::No | KvUi::Cancel);
        EXPECT_EQ(ui.messages.at(0).defaultButton, KvUi::Cancel);
        EXPECT_EQ(window.appController()->totalFrames(), 100.0) << "the document stays until the window goes";
        EXPECT_EQ(QSettings().contains("MainWindow/Settings/size"), row.closes)
            << "the window's settings are written only when it closes";
    }
}

// ---- Conversion ----

TEST_F(MainWindowCommandsTest, ConversionHandsOverTheWholeDocumentTheSelectionOrOnePiecePerTrack)
{
    RecordingWindow window;
    KvQmlController *controller = window.appController();

    // Without a document nothing is converted.
    QMetaObject::invokeMethod(&window, "on_actionConvert_All_As_triggered");
    QMetaObject::invokeMethod(&window, "on_actionConvert_Selection_As_triggered");
    QMetaObject::invokeMethod(&window, "on_actionConvert_Tracks_triggered");
    EXPECT_TRUE(window.conversions.isEmpty());

    setDocument(window, 100);
    QMetaObject::invokeMethod(&window, "on_actionConvert_All_As_triggered");
    ASSERT_EQ(window.conversions.size(), 1);
    EXPECT_EQ(window.conversions[0].pieceFrames, QList<qint64>{100});
    EXPECT_TRUE(window.conversions[0].sharesDocument);
    EXPECT_FALSE(window.conversions[0].tracks);
    EXPECT_FALSE(window.conversions[0].selection);

    // A caret is no selection.
    controller->setSelectionStart(40);
    controller->setSelectionEnd(40);
    QMetaObject::invokeMethod(&window, "on_actionConvert_Selection_As_triggered");
    EXPECT_EQ(window.conversions.size(), 1);
    controller->setSelectionEnd(75);
    QMetaObject::invokeMethod(&window, "on_actionConvert_Selection_As_triggered");
    ASSERT_EQ(window.conversions.size(), 2);
    EXPECT_EQ(window.conversions[1].pieceFrames, QList<qint64>{35});
    EXPECT_FALSE(window.conversions[1].sharesDocument);
    EXPECT_FALSE(window.conversions[1].tracks);
    EXPECT_TRUE(window.conversions[1].selection);

    // Without tracks Convert Tracks does nothing.
    QMetaObject::invokeMethod(&window, "on_actionConvert_Tracks_triggered");
    EXPECT_EQ(window.conversions.size(), 2);

    // The open end stops at the document's last frame; a track with nothing
    // in it gives no piece.
    setTracks(window, {{0, 30}, {30, 30}, {45, 60}, {80, KvTagProperty::EndMarker}});
    QMetaObject::invokeMethod(&window, "on_actionConvert_Tracks_triggered");
    ASSERT_EQ(window.conversions.size(), 3);
    EXPECT_EQ(window.conversions[2].pieceFrames, (QList<qint64>{30, 15, 20}));
    EXPECT_TRUE(window.conversions[2].tracks);
    EXPECT_FALSE(window.conversions[2].selection);
}

} // namespace
