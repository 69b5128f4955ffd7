// The pop-up guide tour: the guide table, where a bubble goes and how its tip
// stays on the control, the order of the tour, and how the user stops it.
#include <KvGuideDialog.h>
#include <MainWindow.h>

#include <KvQmlController.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QRegion>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>

namespace {

struct GuideRow {
    const char *id;
    int guideType;
    const char *title;
    const char *text;
    const char *moreText;
};

// Every guide as the user reads it, placeholders filled. The fade and volume
// guides quote the default gain step in decibels where %1 stands.
const GuideRow guideRows[] = {
    {"welcome", 1, "Welcome to 'mp3Morvelta'",
     "<p>Thank you for using <b>'mp3Morvelta'</b>.  If you need help at any stage you can view the "
     "online manual in PDF format using the indicated button.</p>"
     "<p>You will also be guided by these popup guides along the way which will show you how to "
     "quickly use the various commands available.</p>"
     "<p>We hope you enjoy using this app, have fun!</p>",
     ""},
    {"options", 0, "Options",
     "<p>In the <b>Options</b> dialog you will see the various settings available. You can also turn "
     "on or off these popup guides there if you wish.</p>"
     "<p>You can also stop these popup guides at any time by pressing the square stop button below or "
     "continue with the next help by pressing the triangular next button below.</p>",
     ""},
    {"open", 0, "Open Audio File or Project",
     "<p>Click on the <b>Open</b> toolbar button (as indicated) to open an audio file of your "
     "choice.</p>"
     "<p>You can also open a saved audio project containing a list of previous edits. <a "
     "href='#more'><span style='text-decoration: underline; color:#0000ff;'>More...</span></a></p>",
     "<p>The open file browser will be displayed and you can select audio projects or audio files of "
     "type MP3 and AAC*. Supported file extensions are <b>.mp3</b> for MP3 audio files, <b>.aac</b> "
     "for AAC ADTS audio files, <b>.m4a</b> for AAC MPEG-4 Audio Files, <b>.m4b</b> for AAC MPEG-4 "
     "Audio Books, <b>.m4r</b> for AAC MPEG-4 Ringtones and <b>.mp4</b> for extracting AAC audio from "
     "an MPEG-4 movie file.</p>"
     "<p><b>*</b>AAC profiles other than LC are not currently supported. AAC audio files that are "
     "protected using Digital rights management (DRM) or other means are also not supported.</p>"},
    {"play_pause", 0, "Play and Pause",
     "<p>You can start to play the loaded audio by using the <b>Play</b> command.</p>"
     "<p>This will start playing from the current play position (the vertical red arrow).</p>"
     "<p>You can also use the 'space bar' on the keyboard to toggle playing and pausing audio.</p>",
     ""},
    {"play_sel", 0, "Play the Current Selection",
     "<p>You can play just the currently selected audio by pressing the <b>Play Selection</b> "
     "button.</p>"
     "<p>However, You must first stop any currently playing audio to enable the 'Play Selection' "
     "command and also have some audio selected.  <a href='#more'><span style='text-decoration: "
     "underline; color:#0000ff;'>More tips:...</span></a></p>",
     "<p>You can also default to playing the current selection when the 'space bar' key is pressed "
     "using the 'Play selection using space bar' option in the <b>Options</b> dialog under the "
     "'Appearance/UI' tab.</p>"},
    {"playback_vol", 0, "Playback Volume",
     "<p>You can adjust the playback volume using the volume slider as indicated.</p>"
     "<p>(this does not affect the volume of the exported audio files).</p>",
     ""},
    {"playback_pitch", 0, "Playback Pitch",
     "<p>You can adjust the playback pitch in semitones by using the pitch slider as indicated.</p>"
     "<p>(this does not affect the pitch of the exported audio files but the pitch can be changed "
     "when using the 'Convert ...' feature).</p>",
     ""},
    {"playback_tempo", 0, "Playback Tempo",
     "<p>You can speed up or slow down the playback tempo by adjusting the tempo slider as "
     "indicated.</p>"
     "<p>(this does not affect the tempo of the exported audio files but the tempo can be changed "
     "when using the 'Convert ...' feature).</p>",
     ""},
    {"record", 0, "Recording Audio",
     "<p>You can record your own audio from a microphone or audio interface using the <b>Record</b> "
     "button as shown.</p>"
     "<p>Audio is recorded directly to either AAC or MP3 format files.</p>",
     ""},
    {"audio_display", 0, "Audio Display",
     "<p>Once you have opened an audio file you will see the audio volume displayed as vertical bars "
     "over time.</p>",
     ""},
    {"current_play_pos", 0, "Current Play Position",
     "<p>The Current Play Position (as shown by the red vertical arrow) shows where the audio will "
     "start playing when the <b>Play</b> command is used.</p>"
     "<p>It is also used in conjunction with the selection buttons and track buttons to mark the "
     "position of selected audio and the start and end of tracks.</p>",
     ""},
    {"audio_time_ruler", 0, "Scrolling Audio",
     "<p>You can scroll the audio display left and right, relative to the current play position by "
     "clicking with the left mouse button and dragging the time ruler as indicated.</p>"
     "<p>When playing audio dragging the time ruler will 'scrub' the audio (i.e. continually play the "
     "audio for new positions).",
     ""},
    {"audio_map_ruler", 0, "Audio Map View",
     "<p>The audio map view (as indicated) will show the entire audio project as a zoomed out view "
     "including the selected audio.</p>"
     "<p>You can click anywhere on the this map view to jump to the same time position in the main "
     "audio display.</p>"
     "<p>When playing audio dragging the mouse over the map view will 'scrub' the audio (i.e. "
     "continually play the audio for new positions).",
     ""},
    {"sel_start", 0, "Selection Start",
     "<p>To edit your audio file you will first need to select a range of audio that you want to edit "
     "which can be done using the <b>Selection start</b> and <b>Selection end</b> buttons.</p>"
     "<p>After scrolling the audio display to the desired start position you can simply press "
     "<b>Selection start</b> to mark the start of the selection and then scroll to where you want to "
     "end the selection.</p>",
     ""},
    {"sel_end", 0, "Selection End",
     "<p>When you have scrolled to the desired end point for the selection you can then press the "
     "<b>Selection end</b> button to mark the end of the selection.</p>"
     "<p>You can adjust the start or end positions of the currently selected audio by scrolling the "
     "audio display and pressing <b>Selection start</b> to move the selection start position or "
     "<b>Selection end</b> to move the selection end position.</p>",
     ""},
    {"mouse_sel", 0, "Selecting Audio Using the Mouse",
     "<p>As an alternative to using the 'Selection start' and 'Selection end' buttons to select audio "
     "you can also simply click and drag over the audio display with the left mouse button.</p>"
     "<p>You can also use the left mouse button to click and drag the start and end points of the "
     "current selection.</p>"
     "<p>Tip: Pressing the <b>'Control-key'</b> and clicking on the audio display will expand the "
     "selection to that point.</p>",
     ""},
    {"delete", 0, "Deleting Audio",
     "<p>With the <b>Delete</b> command you can trim selected audio from the start or end of a "
     "project or delete selected audio from anywhere within a project.</p>",
     ""},
    {"crop", 0, "Trimming Audio",
     "<p>You can trim an audio file or project by selecting the part of the audio you wish to keep "
     "and then and selecting the <b>Crop</b> command as indicated.</p>"
     "<p>This will delete all of the displayed audio in the project that is outside of the currently "
     "selected audio.</p>",
     ""},
    {"cut_copy_paste", 0, "Cut Copy and Paste",
     "<p>The familiar <b>Cut</b>, <b>Copy</b> and <b>Paste</b> commands can be used to copy or move "
     "audio form one part of your editing project to another.</p>"
     "<p>They can even be used to copy audio sections between separate instances of 'mp3Morvelta' so "
     "long as the file type, sample rate and number of channels are the same.</p>",
     ""},
    {"undo_redo", 0, "Undo and Redo",
     "<p>If you make a mistake while editing audio don't worry you can use the unlimited <b>Undo</b> "
     "and <b>Redo</b> commands to reverse or replay your previous edits.</p>",
     ""},
    {"zoom_in_out", 0, "Zoom In and Zoom Out",
     "<p>You can zoom in and out horizontally using the <b>Zoom In</b> and <b>Zoom Out</b> buttons to "
     "view the audio in more detail.</p>"
     "<p>This will also make it easier to scroll the 'current play position' to a more accurate "
     "location.</p>",
     ""},
    {"save_project", 0, "Saving Projects",
     "<p>You can conveniently save your work at any time into an audio editing project (with a file "
     "extension .kvlproj) using the <b>Save Project</b> button.</p>"
     "<p>You can also save your work to a new project file using the <b>Save Project As</b> "
     "command.</p>"
     "<p>This does not however save audio in a format that can be read by other applications or "
     "devices as it is only a list of all the edits you have made.</p>"
     "<p>To save your audio edits back to the original MP3 or AAC format without any loss in quality "
     "you can use one of the 'Export' commands.</p>",
     ""},
    {"export_all", 0, "Exporting Audio",
     "<p>When you have finished your audio editing session you will then need to export your edits to "
     "a new MP3 or AAC format file.</p>"
     "<p><b>Please Note:</b> Exporting audio to the same format (MP3 or AAC) as the original file "
     "format allows audio to be saved with 100% of the original file format's quality.  However, if "
     "you want to save audio to a new format or new format settings you can use the 'Convert Audio "
     "...' commands instead.</p>"
     "<p>The <b>Export All As</b> command will export all the audio edits in the current project and "
     "the <b>Export Selection As</b> command will export only the currently selected edits. The "
     "<b>Export Tracks</b> command will export each track to its own file.</p>"
     "<p>If you want to edit the tag information that is saved with the file then you can use the "
     "'Edit | Edit File Information' menu command.</p>",
     ""},
    {"convert_all", 0, "NEW FEATURE! - Converting Audio",
     "<p>As an alternative to exporting audio without changing the format (or losing quality) you can "
     "now change the encoded format or encoder settings and convert your edits to a new format of "
     "audio file (MP3, AAC or WAV). Converting audio in this way also allows changes in pitch and "
     "tempo to be saved to a new audio file.</p>"
     "<p><b>Please Note:</b> If you use the 'Convert Audio ...' options rather than 'Export Audio "
     "...' options (with the exception of WAV files) then some audio quality loss will be involved "
     "since re-compressing audio will always lose some quality.</p>"
     "<p>The <b>Convert All As</b> command will convert all the audio edits in the current project "
     "and the <b>Convert Selection As</b> command will convert only the currently selected edits. The "
     "<b>Convert Tracks</b> command will convert each track to its own file.</p>"
     "<p>If you want to edit the tag information that is saved with the file then you can use the "
     "'Edit | Edit File Information' menu command.</p>",
     ""},
    {"normalize", 0, "Normalizing Audio",
     "<p>The <b>Normalize</b> command allows you to automatically check and adjust the volume level "
     "of any selected audio.</p>"
     "<p>Once invoked the Normalize command will analyze the selected audio to find out how loud the "
     "peaks are in the audio.</p>"
     "<p>It will then suggest a new volume level based on the peak decibel value that you require.</p>",
     ""},
    {"fade_in_out", 0, "Fading Audio",
     "<p>The <b>Fade In</b> and <b>Fade Out</b> commands allows you to gradually increase or decrease "
     "audio over a selected range.</p>"
     "<p>By default each click on the toolbar button will fade in or out by %1dB. The amount that "
     "each click will change the fade volume by can be adjusted in the <b>Options</b> dialog.</p>",
     ""},
    {"vol_inc_dec", 0, "Increasing and Decreasing Volume",
     "<p>The <b>Vol Increase</b> and <b>Vol Decrease</b> commands allows you to increase or decrease "
     "the volume of the selected audio.</p>"
     "<p>By default each click on the toolbar button will increase or decrease the volume by %1dB. "
     "The amount that each click will change the volume level by can be adjusted in the "
     "<b>Options</b> dialog.</p>",
     ""},
    {"silence", 0, "Making Audio Completely Silent",
     "<p>The <b>Silence</b> command allows you to completely silence the selected audio.</p>"
     "<p>You will see any silenced audio marked in a light blue color.</p>"
     "<p>You can also use the <b>Remove Silencing</b> command to remove the silencing effect from any "
     "audio that is currently silenced by selecting the area where you want to remove the silencing "
     "effect and using the <b>Remove Silencing</b> command.",
     ""},
    {"ins_silence", 0, "Inserting Silence",
     "<p>The <b>Insert Silence</b> command allows you to insert a new section of completely silent "
     "audio anywhere in the project.</p>"
     "<p>When you use this command you will be prompted to give the number of seconds of silence to "
     "be inserted as a decimal value.</p>",
     ""},
    {"track_start_end", 0, "Creating Tracks",
     "<p>Creating tracks enables you to split an audio project into separate tracks which can be "
     "tagged and exported to separate files later.</p>"
     "<p>There are four buttons that allow you to set the start and end points of a track or split "
     "and even delete tracks.</p>"
     "<p>All these track editing buttons operate on the current play position (the red vertical "
     "arrow) and can be used to create or move a track start or end position.</p>"
     "<p>When you have created one or more tracks you can edit the tag information for each track "
     "using the 'Edit | Edit Track Information' menu command.  <a href='#more'><span "
     "style='text-decoration: underline; color:#0000ff;'>More tips:...</span></a></p>",
     "<p>You can also edit track information by double clicking on the track marker in the audio "
     "display.  In addition single clicking on a track marker will select all the audio for that "
     "track allowing other effects such as 'Normalize' to be performed more easily.</p>"},
    {"track_split", 0, "Splitting Tracks",
     "<p>The <b>Track split</b> button can be used to split an existing track at the current play "
     "position or to create two new tracks split at that position.</p>",
     ""},
    {"del_track", 0, "Deleting Tracks",
     "<p>The <b>Delete track</b> button can be used to delete a track that is under the current play "
     "position.</p>",
     ""},
    {"next_prev_track", 0, "Navigating Tracks",
     "<p>When editing track positions the <b>Next</b> and <b>Previous</b> buttons can be used to "
     "navigate to the next and previous tracks in a project.</p>",
     ""},
    {"export_tracks", 0, "Exporting Tracks",
     "<p>When you have finished editing your audio and if you have created any tracks you will also "
     "be able to export your tracks as individual MP3 or AAC files.</p>"
     "<p><b>Please Note:</b> Exporting audio to the same format (MP3 or AAC) as the original file "
     "format allows audio to be saved with 100% of the original file format's quality.  However, if "
     "you want to save audio to a new format or new format settings or save changes to pitch or tempo "
     "you can use the 'Convert Audio ...' commands instead.</p>"
     "<p>The <b>Export Tracks</b> command will save each track as an individual file which can also "
     "contain individual tagging information.</p>"
     "<p>If you want to edit the tag information that is exported with each track then you can use "
     "the 'Edit | Edit Track Information' menu command.</p>",
     ""},
    {"rate", 0, "Please Rate Us",
     "<p>One more thing, please use the <b>Rate</b> button to browse to a page where you can rate our "
     "'mp3Morvelta' app and let other users know what you think.</p>"
     "<p>Thanks for using our app!",
     ""},
};

class GuideTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        qDeleteAll(KvGuideDialog::guideList);
        KvGuideDialog::guideList.clear();
    }
    void TearDown() override { QSettings().clear(); }

    // Runs the guide timer's slot as many times as the timer would tick.
    static void tick(MainWindow &window, int times)
    {
        for (int i = 0; i < times; ++i)
            ASSERT_TRUE(QMetaObject::invokeMethod(&window, "ShowNextGuideDialog"));
    }
    static KvGuideDialog *shownBubble(const MainWindow &window)
    {
        KvGuideDialog *shown = nullptr;
        for (KvGuideDialog *bubble : window.findChildren<KvGuideDialog *>()) {
            if (bubble->isVisible()) {
                EXPECT_EQ(shown, nullptr) << "two bubbles at once";
                shown = bubble;
            }
        }
        return shown;
    }
    // Wide enough for every tool bar button to show.
    static void showWide(MainWindow &window)
    {
        // The test counts the ticks itself.
        window.findChild<QTimer *>("guideTimer")->stop();
        window.resize(1500, 800);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
    }
    static void click(QWidget *widget, const QRect &rect) { QTest::mouseClick(widget, Qt::LeftButton, {}, rect.center()); }
};

TEST_F(GuideTest, TableHoldsEveryGuideOnceAfterRebuilds)
{
    // Before the first build nothing is known.
    EXPECT_TRUE(KvGuideDialog::nextUnshownGuideId().isEmpty());
    {
        KvGuideDialog unknown(QStringLiteral("welcome"), nullptr);
        EXPECT_FALSE(unknown.guideFound);
        EXPECT_EQ(unknown.guideType(), 1);
        EXPECT_TRUE(unknown.findChild<QLabel *>("labelGuideTitle")->text().contains("Unknown id"));
    }

    KvGuideDialog::initGuides();
    KvGuideDialog::initGuides();
    ASSERT_EQ(KvGuideDialog::guideList.size(), int(std::size(guideRows)));
    QSet<QString> ids;

    // The guides quote the gain step that the fade and volume commands really
    // use until the user changes it.
    MainWindow window;
    const auto db = [](int steps) { return QString::number(qRound(20.0 * std::log10(std::pow(2.0, steps / 4.0)))); };
    const QString fadeDb = db(window.appController()->volumeFade());
    const QString volumeDb = db(window.appController()->volumeIncDec());
    EXPECT_EQ(fadeDb, "6");

    for (int i = 0; i < KvGuideDialog::guideList.size(); ++i) {
        const KvGuideEntry *entry = KvGuideDialog::guideList.at(i);
        const GuideRow &row = guideRows[i];
        SCOPED_TRACE(row.id);
        EXPECT_FALSE(ids.contains(entry->id));
        ids.insert(entry->id);
        EXPECT_EQ(entry->id, QLatin1String(row.id));
        EXPECT_EQ(entry->guideType, row.guideType);
        EXPECT_EQ(entry->title, QString::fromUtf8(row.title));
        QString text = QString::fromUtf8(row.text);
        if (entry->id == "fade_in_out")
            text = text.arg(fadeDb);
        else if (entry->id == "vol_inc_dec")
            text = text.arg(volumeDb);
        EXPECT_EQ(entry->text, text);
        EXPECT_EQ(entry->moreText, QString::fromUtf8(row.moreText));
    }
}

TEST_F(GuideTest, NextUnshownGuideFollowsTheTableAndTheResetOfWarnings)
{
    KvGuideDialog::initGuides();
    EXPECT_EQ(KvGuideDialog::nextUnshownGuideId(), "welcome");
    QSettings settings;
    settings.setValue("Warnings/GuideDialogShown-welcome", true);
    settings.setValue("Warnings/GuideDialogShown-open", true);
    EXPECT_EQ(KvGuideDialog::nextUnshownGuideId(), "options");
    for (const KvGuideEntry *entry : qAsConst(KvGuideDialog::guideList))
        settings.setValue("Warnings/GuideDialogShown-" + entry->id, true);
    EXPECT_TRUE(KvGuideDialog::nextUnshownGuideId().isEmpty());
    settings.remove("Warnings");
    EXPECT_EQ(KvGuideDialog::nextUnshownGuideId(), "welcome");
}

TEST_F(GuideTest, BubbleGoesWhereTheWindowHasMoreRoom)
{
    KvGuideDialog::initGuides();
    const QRect window(0, 0, 1000, 800);
    struct Case {
        const char *what;
        QRect anchor;
        bool left;  // the bubble lies left of the anchor, its tip on its right edge
        bool above; // the bubble lies above, its tip on its bottom edge
    };
    const Case cases[] = {
        {"bottom right", QRect(900, 700, 40, 30), true, true},
        {"top right", QRect(900, 10, 40, 30), true, false},
        {"bottom left", QRect(10, 700, 40, 30), false, true},
        {"top left", QRect(10, 10, 40, 30), false, false},
        // 385 above and below, 480 left and right: below and to the right.
        {"middle, ties", QRect(480, 385, 40, 30), false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        KvGuideDialog bubble(QStringLiteral("options"), nullptr);
        bubble.showGuide(c.anchor, window);
        const int w = bubble.width();
        const int h = bubble.height();
        const int x = c.left ? c.anchor.left() + 5 - w : c.anchor.right() - 5;
        const int y = c.above ? c.anchor.top() + 5 - h : c.anchor.bottom() - 5;
        EXPECT_EQ(bubble.pos(), QPoint(x, y));
        EXPECT_EQ(bubble.tip(), QPoint(c.left ? w : 0, c.above ? h : 0));
        // The tip lies on the anchor, overlapping it a little.
        EXPECT_TRUE(c.anchor.contains(bubble.pos() + bubble.tip()));

        // The pointer is part of the visible shape: just inside the tip, on the
        // way to the middle of the bubble.
        const QPoint tip = bubble.tip();
        const QPoint inward = tip + (QPoint(w / 2, h / 2) - tip) * 0.05;
        EXPECT_TRUE(bubble.mask().contains(inward)) << inward.x() << "," << inward.y();
        // The other corners are cut away.
        for (const QPoint corner : {QPoint(1, 1), QPoint(w - 2, 1), QPoint(1, h - 2), QPoint(w - 2, h - 2)}) {
            if ((corner - tip).manhattanLength() > 10) {
                EXPECT_FALSE(bubble.mask().contains(corner)) << corner.x() << "," << corner.y();
            }
        }
    }

    // A point is touched exactly, without the overlap.
    KvGuideDialog bubble(QStringLiteral("options"), nullptr);
    const QRect point(QPoint(300, 600), QSize(0, 0));
    bubble.showGuide(point, window);
    EXPECT_EQ(bubble.pos(), QPoint(point.right(), point.top() - bubble.height()));
    EXPECT_EQ(bubble.tip(), QPoint(0, bubble.height()));
}

TEST_F(GuideTest, MoreTextGrowsTheBubbleAwayFromItsTip)
{
    KvGuideDialog::initGuides();
    const QRect window(0, 0, 1600, 1200);
    struct Case {
        const char *id;
        QRect anchor;
        bool grows;
    };
    const Case cases[] = {
        {"open", QRect(1500, 1100, 40, 30), true},        // tip at the bottom-right corner
        {"open", QRect(1500, 10, 40, 30), true},          // top-right
        {"play_sel", QRect(10, 10, 40, 30), true},        // top-left: grows right and down in place
        {"options", QRect(10, 1100, 40, 30), false},      // nothing more to show
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        KvGuideDialog bubble(QString::fromLatin1(c.id), nullptr);
        bubble.showGuide(c.anchor, window);
        const QPoint tipOnScreen = bubble.pos() + bubble.tip();
        const QSize before = bubble.size();
        QLabel *text = bubble.findChild<QLabel *>("labelGuideText");
        ASSERT_TRUE(QMetaObject::invokeMethod(text, "linkActivated", Q_ARG(QString, "#more")));
        EXPECT_EQ(bubble.isExpanded(), c.grows);
        EXPECT_EQ(bubble.size() != before, c.grows);
        EXPECT_EQ(bubble.pos() + bubble.tip(), tipOnScreen);
        if (c.grows) {
            const KvGuideEntry *entry = nullptr;
            for (const KvGuideEntry *e : qAsConst(KvGuideDialog::guideList))
                if (e->id == c.id)
                    entry = e;
            ASSERT_TRUE(entry);
            EXPECT_TRUE(text->text().contains(entry->moreText));
        }
        // A second click changes nothing.
        const QRect expanded = bubble.geometry();
        ASSERT_TRUE(QMetaObject::invokeMethod(text, "linkActivated", Q_ARG(QString, "#more")));
        EXPECT_EQ(bubble.geometry(), expanded);
        EXPECT_EQ(bubble.pos() + bubble.tip(), tipOnScreen);
    }
}

TEST_F(GuideTest, ButtonsCloseOnlyWhenReleasedOverThem)
{
    KvGuideDialog::initGuides();
    KvGuideDialog step(QStringLiteral("options"), nullptr);
    step.showGuide(QRect(10, 10, 40, 30), QRect(0, 0, 1000, 800));
    step.show();
    QSignalSpy closing(&step, SIGNAL(guideClosing(QString, bool)));
    const QPoint stop = step.stopButtonRect().center();
    const QPoint outside = step.rect().center();

    // Pressed, moved away, released away: nothing.
    QTest::mousePress(&step, Qt::LeftButton, {}, stop);
    QMouseEvent away(QEvent::MouseMove, outside, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&step, &away);
    QTest::mouseRelease(&step, Qt::LeftButton, {}, outside);
    EXPECT_EQ(closing.count(), 0);
    EXPECT_TRUE(step.isVisible());

    // Pressed, away, back again, released over it: the tour stops.
    QTest::mousePress(&step, Qt::LeftButton, {}, stop);
    QApplication::sendEvent(&step, &away);
    QMouseEvent back(QEvent::MouseMove, stop, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(&step, &back);
    QTest::mouseRelease(&step, Qt::LeftButton, {}, stop);
    ASSERT_EQ(closing.count(), 1);
    EXPECT_EQ(closing.at(0).at(0).toString(), "options");
    EXPECT_TRUE(closing.at(0).at(1).toBool());
    EXPECT_FALSE(step.isVisible());

    // The next button goes on with the tour.
    KvGuideDialog next(QStringLiteral("open"), nullptr);
    next.showGuide(QRect(10, 10, 40, 30), QRect(0, 0, 1000, 800));
    next.show();
    QSignalSpy nextClosing(&next, SIGNAL(guideClosing(QString, bool)));
    click(&next, next.nextButtonRect());
    ASSERT_EQ(nextClosing.count(), 1);
    EXPECT_FALSE(nextClosing.at(0).at(1).toBool());

    // A notice is only dismissed; where a next button would be, a press drags.
    KvGuideDialog notice(QStringLiteral("welcome"), nullptr);
    notice.showGuide(QRect(10, 10, 40, 30), QRect(0, 0, 1000, 800));
    notice.show();
    QSignalSpy noticeClosing(&notice, SIGNAL(guideClosing(QString, bool)));
    EXPECT_TRUE(notice.nextButtonRect().isNull());
    const QPoint whereNext(notice.width() / 2 + 20, notice.height() - 62);
    click(&notice, QRect(whereNext, QSize(1, 1)));
    EXPECT_EQ(noticeClosing.count(), 0);
    click(&notice, notice.stopButtonRect());
    ASSERT_EQ(noticeClosing.count(), 1);
    EXPECT_FALSE(noticeClosing.at(0).at(1).toBool());
}

TEST_F(GuideTest, WithoutAudioTheTourShowsTheFirstGuidesAndWaitsAtPlay)
{
    MainWindow window;
    showWide(window);
    window.showWindowProcessed();

    // The first attempt comes on the sixth tick, 3 seconds after the start.
    tick(window, 5);
    EXPECT_EQ(shownBubble(window), nullptr);
    for (const char *id : {"welcome", "options", "open"}) {
        SCOPED_TRACE(id);
        tick(window, 6);
        KvGuideDialog *bubble = shownBubble(window);
        ASSERT_NE(bubble, nullptr);
        EXPECT_EQ(bubble->guideId, id);

        // The tip touches the tool bar button of the guide's action.
        const char *actionName = QLatin1String(id) == "welcome" ? "actionView_Manual_PDF"
                                 : QLatin1String(id) == "options" ? "actionOptions"
                                                                  : "actionOpen";
        const QAction *action = window.findChild<QAction *>(actionName);
        ASSERT_TRUE(action);
        const QWidget *button = nullptr;
        for (const QWidget *w : action->associatedWidgets())
            if (w->isVisible() && w != &window && !qobject_cast<const QMenu *>(w))
                button = w;
        ASSERT_TRUE(button);
        const QRect target(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_TRUE(target.contains(bubble->pos() + bubble->tip()));

        // Nothing new while a bubble is up.
        tick(window, 6);
        EXPECT_EQ(shownBubble(window), bubble);
        click(bubble, bubble->guideType() == 0 ? bubble->nextButtonRect() : bubble->stopButtonRect());
        EXPECT_TRUE(QSettings().value(QStringLiteral("Warnings/GuideDialogShown-%1").arg(id)).toBool());
    }
    // "play_pause" needs audio; "record", a later guide, waits behind it.
    tick(window, 18);
    EXPECT_EQ(shownBubble(window), nullptr);
    EXPECT_EQ(KvGuideDialog::nextUnshownGuideId(), "play_pause");
}

TEST_F(GuideTest, ABubbleGivesWayToAModalBoxAndComesBackAfterIt)
{
    MainWindow window;
    showWide(window);
    window.showWindowProcessed();
    tick(window, 6);
    KvGuideDialog *bubble = shownBubble(window);
    ASSERT_NE(bubble, nullptr);
    ASSERT_EQ(bubble->guideId, "welcome");

    for (const bool messageBox : {true, false}) {
        SCOPED_TRACE(messageBox ? "a message box" : "a dialog");
        std::unique_ptr<QDialog> modal(messageBox ? new QMessageBox(QMessageBox::Question, "mp3Morvelta",
                                                                    "Save changes to untitled project?",
                                                                    QMessageBox::Yes | QMessageBox::No, &window)
                                                  : new QDialog(&window));
        modal->setWindowModality(Qt::ApplicationModal);
        modal->show();
        EXPECT_EQ(shownBubble(window), nullptr) << "the bubble stands over the box";
        // Attempts meanwhile show nothing either.
        tick(window, 12);
        EXPECT_EQ(shownBubble(window), nullptr);
        modal->hide();
        QCoreApplication::processEvents();
        EXPECT_EQ(shownBubble(window), bubble) << "the same bubble comes back";
    }
    EXPECT_FALSE(QSettings().value("Warnings/GuideDialogShown-welcome").toBool()) << "giving way is no closing";

    // The window closes while the box (its save question) is open: the
    // bubble must not come back on its own, where it would keep the program
    // from ending.
    QMessageBox question(QMessageBox::Question, "mp3Morvelta", "Save changes to untitled project?",
                         QMessageBox::Yes | QMessageBox::No, &window);
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    ASSERT_EQ(shownBubble(window), nullptr);
    window.hide();
    question.hide();
    QCoreApplication::processEvents();
    tick(window, 12);
    EXPECT_FALSE(bubble->isVisible());
    EXPECT_EQ(shownBubble(window), nullptr);
}

TEST_F(GuideTest, ModalDialogHoldsTheTourAndTheStopButtonEndsIt)
{
    MainWindow window;
    showWide(window);
    window.showWindowProcessed();
    QSettings().setValue("Warnings/GuideDialogShown-welcome", true);

    {
        QDialog modal(&window);
        modal.setModal(true);
        modal.show();
        ASSERT_EQ(QApplication::activeModalWidget(), &modal);
        tick(window, 12);
        EXPECT_EQ(shownBubble(window), nullptr);
    }
    tick(window, 6);
    KvGuideDialog *bubble = shownBubble(window);
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->guideId, "options");
    click(bubble, bubble->stopButtonRect());

    EXPECT_FALSE(QSettings().value("Settings/showPopupGuides", true).toBool());
    EXPECT_TRUE(QSettings().value("Warnings/GuideDialogShown-options").toBool());
    tick(window, 24);
    EXPECT_EQ(shownBubble(window), nullptr);
    EXPECT_EQ(KvGuideDialog::nextUnshownGuideId(), "open");
}

} // namespace
