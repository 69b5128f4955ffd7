// The main window's form as a user meets it: every action with its text, tool
// tip, keys and icon; the menus and tool bars in their order; the title and
// the window settings kept between sessions.
#include <MainWindow.h>

#include <KvQmlModel.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QToolBar>

#include <memory>

namespace {

struct ActionRow {
    const char *name;
    const char *text;
    const char *toolTip; // empty: Qt's default, the text without its mnemonic
    QStringList keys;    // native key texts
    QKeySequence::StandardKey standardKey;
    const char *icon;    // empty: none
};

const QKeySequence::StandardKey none = QKeySequence::UnknownKey;

const ActionRow actionTable[] = {
    {"actionOpen", "&Open...", "Open an existing audio file or project", {"Ctrl+O"}, none, ":/Resources/action_open.png"},
    {"actionExit", "&Exit", "Exit the application", {"Ctrl+Q"}, none, ":/Resources/action_exit.png"},
    {"actionExport_All_As", "Ex&port All As...", "Export the entire project to a new audio file", {}, none, ":/Resources/action_save_mp3.png"},
    {"actionPlay", "&Play", "Play the audio file edits", {"Ctrl+P"}, none, ":/Resources/action_play.png"},
    {"actionStop", "S&top", "Stop playing the audio file edits", {"Ctrl+T"}, none, ":/Resources/action_stop.png"},
    {"actionDelete", "&Delete", "Delete the selected audio frames", {"Del", "Backspace"}, none, ":/Resources/action_delete.png"},
    {"actionCut", "Cu&t", "Cut the selected audio frames", {"Ctrl+X"}, none, ":/Resources/action_cut.png"},
    {"actionCopy", "&Copy", "Copy the selected audio frames", {"Ctrl+C"}, none, ":/Resources/action_copy.png"},
    {"actionPaste", "&Paste", "Paste the selected audio frames", {"Ctrl+V"}, none, ":/Resources/action_paste.png"},
    {"actionPlay_Selection", "P&lay Selection", "Play the selected audio file edits", {"Ctrl+L"}, none, ":/Resources/action_play_sel.png"},
    {"actionOptions", "&Options...", "Change the applications options", {}, none, ":/Resources/action_options.png"},
    {"actionUndo", "&Undo", "Undo the last edit operation", {}, none, ":/Resources/action_undo.png"},
    {"actionRedo", "&Redo", "Redo the last edit operation", {}, none, ":/Resources/action_redo.png"},
    {"actionFade_In", "Fade &In", "Fade in the volume for the selected frames", {"Ctrl+,"}, none, ":/Resources/action_fade_in.png"},
    {"actionFade_Out", "Fade &Out", "Fade out the volume for the selected frames", {"Ctrl+."}, none, ":/Resources/action_fade_out.png"},
    {"actionVolume_Increase", "&Volume Increase", "Increase the volume of the selected frames", {"Ctrl+Up"}, none, ":/Resources/action_vol_inc.png"},
    {"actionVolume_Decrease", "Volume &Decrease", "Decrease the volume of the selected frames", {"Ctrl+Down"}, none, ":/Resources/action_vol_dec.png"},
    {"actionSelect_All", "Select &All", "Select all frames", {"Ctrl+A"}, none, ":/Resources/action_sel_all.png"},
    {"actionExport_Selection_As", "Export S&election As...", "Export the selected frames as a new audio file", {"Ctrl+E"}, none, ":/Resources/action_save_sel.png"},
    {"actionRewind_To_Beginning", "&Rewind To Beginning", "Rewind the audio file to the beginning", {"Ctrl+Home"}, none, ":/Resources/action_beginning.png"},
    {"actionForward_To_End", "Forward To &End", "Forward the audio file to the end", {"Ctrl+End"}, none, ":/Resources/action_end.png"},
    {"actionPause", "P&ause", "Pause playing the audio file edits", {"Ctrl+U"}, none, ":/Resources/action_pause.png"},
    {"actionPlay_Pause", "Play Pause", "", {}, none, ""},
    {"actionNext_Track", "Next Track", "", {}, none, ":/Resources/action_next_track.png"},
    {"actionPrevious_Track", "Previous Track", "", {}, none, ":/Resources/action_previous_track.png"},
    {"actionSilence", "&Silence", "Silence the selected frames", {"Ctrl+I"}, none, ":/Resources/action_vol_silence.png"},
    {"actionUndo_Silence", "&Remove Silencing", "Remove silencing from the selected frames", {"Ctrl+Shift+I"}, none, ":/Resources/action_vol_silence_off.png"},
    {"actionNormalize", "&Normalize", "Normalize the volume of the selected frames", {"Ctrl+M"}, none, ":/Resources/action_normalize.png"},
    {"actionAdd_Track_Info", "Add Track Information...", "Add Track Information...", {"Ctrl+K"}, none, ":/Resources/id3_tagedit.png"},
    {"actionExport_Tracks", "Export &Tracks...", "Export the marked tracks as separate audio files", {"Ctrl+Shift+T"}, none, ":/Resources/action_save_tracks.png"},
    {"actionEdit_File_Info", "Edit File Information...", "", {"Ctrl+D"}, none, ":/Resources/id3_tagedit.png"},
    {"actionRecord", "&Record...", "", {"Ctrl+R"}, none, ":/Resources/action_recording_new.png"},
    {"actionSave_Project", "&Save Project...", "", {"Ctrl+S"}, none, ":/Resources/action_save.png"},
    {"actionSave_Project_As", "Save Project &As...", "Save Project As...", {"F12"}, none, ":/Resources/action_save_as.png"},
    {"actionCrop", "Cro&p", "Crop to the selected audio frames", {"Ctrl+Shift+R"}, none, ":/Resources/action_crop.png"},
    {"actionNew_Application_Window", "New Application Window", "", {"Ctrl+Shift+N"}, none, ":/Resources/mp3Morvelta_New.png"},
    {"actionAppend_Files", "Append Files...", "", {"Ctrl+Shift+O"}, none, ":/Resources/action_append.png"},
    {"actionInsert_Silence", "Insert Silence...", "Insert Silent Frames", {"Ctrl+N"}, none, ":/Resources/action_ins_silence.png"},
    {"action_About", "&About mp3Morvelta...", "", {}, none, ""},
    {"actionView_Manual_PDF", "View Manual (PDF)...", "", {}, none, ":/Resources/action_help.png"},
    {"actionOldTxtPaste", "OldTxtPaste", "", {}, none, ""},
    {"kbActionMove_Previous_Edit_Point", "Move Previous Edit Point", "Move Previous Edit Point", {"Home"}, none, ""},
    {"kbActionMove_Next_Edit_Point", "Move Next Edit Point", "", {"End"}, none, ""},
    {"kbActionMove_Next_Frame", "Move Next Frame", "", {}, QKeySequence::MoveToNextChar, ""},
    {"kbActionMove_Previous_Frame", "Move Previous Frame", "", {}, QKeySequence::MoveToPreviousChar, ""},
    {"kbActionMove_Next_Frame_Block", "Move Next Frame Block", "", {}, QKeySequence::MoveToNextWord, ""},
    {"kbActionMove_Previous_Frame_Block", "Move Previous Frame Block", "", {}, QKeySequence::MoveToPreviousWord, ""},
    {"kbActionMove_Next_Frame_Page", "Move Next Frame Page", "", {"Ctrl+PgDown"}, none, ""},
    {"kbActionMove_Previous_Frame_Page", "Move Previous Frame Page", "", {"Ctrl+PgUp"}, none, ""},
    {"kbActionMove_Next_Section", "Move Next Track", "Move Next Track", {"PgDown"}, none, ""},
    {"kbActionMove_Previous_Section", "Move Previous Track", "Move Previous Track", {"PgUp"}, none, ""},
    {"kbActionMove_Selection_Start", "Move Selection Start", "", {"Up"}, none, ""},
    {"kbActionMove_Selection_End", "Move Selection End", "", {"Down"}, none, ""},
    {"kbActionSelect_Document_Start", "Select Document Start", "", {}, QKeySequence::SelectStartOfDocument, ""},
    {"kbActionSelect_Document_End", "Select Document End", "", {}, QKeySequence::SelectEndOfDocument, ""},
    {"kbActionSelect_Next_Edit_Point", "Select Next Edit Point", "", {}, QKeySequence::SelectEndOfLine, ""},
    {"kbActionSelect_Previous_Edit_Point", "Select Previous Edit Point", "", {}, QKeySequence::SelectStartOfLine, ""},
    {"kbActionSelect_Next_Frame", "Select Next Frame", "", {}, QKeySequence::SelectNextChar, ""},
    {"kbActionSelect_Previous_Frame", "Select Previous Frame", "", {}, QKeySequence::SelectPreviousChar, ""},
    {"kbActionSelect_Next_Frame_Block", "Select Next Frame Block", "", {}, QKeySequence::SelectNextWord, ""},
    {"kbActionSelect_Previous_Frame_Block", "Select Previous Frame Block", "", {}, QKeySequence::SelectPreviousWord, ""},
    {"kbActionSelect_Next_Frame_Page", "Select Next Frame Page", "", {"Ctrl+Shift+PgDown"}, none, ""},
    {"kbActionSelect_Previous_Frame_Page", "Select Previous Frame Page", "", {"Ctrl+Shift+PgUp"}, none, ""},
    {"kbActionSelect_Next_Section", "Select Next Track", "Select Next Track", {}, QKeySequence::SelectNextPage, ""},
    {"kbActionSelect_Prev_Section", "Select Previous Track", "Select Previous Track", {}, QKeySequence::SelectPreviousPage, ""},
    {"kbActionSet_Selection_Start", "Set Selection Start", "", {}, QKeySequence::SelectPreviousLine, ""},
    {"kbActionSet_Selection_End", "Set Selection End", "", {}, QKeySequence::SelectNextLine, ""},
    {"kbActionVertical_Shift_Up", "Vertical Shift Up", "", {}, none, ""},
    {"kbActionVertical_Shift_Down", "Vertical Shift Down", "", {}, none, ""},
    {"kbActionVertical_Zoom_In", "Vertical Zoom In", "", {"Alt+Shift++"}, none, ""},
    {"kbActionVertical_Zoom_Out", "Vertical Zoom Out", "", {"Alt+Shift+-"}, none, ""},
    {"kbActionHorizontal_Zoom_In", "&Zoom In", "", {"Alt++", "Alt+="}, none, ":/Resources/action_zoom_in.png"},
    {"kbActionHorizontal_Zoom_Out", "Zoom Ou&t", "", {"Alt+-"}, none, ":/Resources/action_zoom_out.png"},
    {"actionRate", "Rate", "Rate this App (please tell others what you think)", {}, none, ":/Resources/action_rate.png"},
    {"actionClose", "Close", "Close the current file or project", {"Ctrl+W"}, none, ":/Resources/action_close.png"},
    {"actionLoop", "Loop", "Loop audio playback", {"Ctrl+Shift+L"}, none, ":/Qml/Images/arrow_loop2.svg"},
    {"actionScale_View", "Scale View", "Scale the audio view to fit frames", {}, none, ""},
    {"actionConvert_All_As", "Convert All As...", "", {}, none, ":/Resources/action_convert_mp3@2x.png"},
    {"actionConvert_Selection_As", "Convert Selection As...", "", {}, none, ":/Resources/action_convert_sel.png"},
    {"actionConvert_Tracks", "Convert Tracks...", "Convert Tracks", {}, none, ":/Resources/action_convert_tracks.png"},
    {"actionContact_Support", "Contact Support...", "", {}, none, ""},
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
    void TearDown() override { QSettings().clear(); }

    static QAction *action(const QWidget &window, const char *name)
    {
        return window.findChild<QAction *>(QString::fromLatin1(name));
    }
    // Object names, "|" for a separator, the title for a submenu.
    static QStringList entries(const QList<QAction *> &actions)
    {
        QStringList names;
        for (const QAction *a : actions)
            names << (a->isSeparator() ? QStringLiteral("|") : a->menu() ? a->menu()->objectName() : a->objectName());
        return names;
    }
};

TEST_F(MainWindowTest, EveryActionHasItsTextToolTipKeysAndIcon)
{
    MainWindow window;
    for (const ActionRow &row : actionTable) {
        SCOPED_TRACE(row.name);
        const QAction *a = action(window, row.name);
        ASSERT_NE(a, nullptr);
        QString text = QString::fromUtf8(row.text);
        if (a == action(window, "actionOptions"))
            text = QStringLiteral("Options"); // the window names it after the options dialog
        EXPECT_EQ(a->text(), text);

        QString tip = QString::fromUtf8(row.toolTip);
        if (tip.isEmpty()) {
            QAction plain;
            plain.setText(text);
            tip = plain.toolTip();
        }
        EXPECT_EQ(a->toolTip(), tip);

        QList<QKeySequence> keys;
        if (row.standardKey != none)
            keys = QKeySequence::keyBindings(row.standardKey);
        for (const QString &k : row.keys)
            keys << QKeySequence(k, QKeySequence::NativeText);
        EXPECT_EQ(a->shortcuts(), keys);

        if (*row.icon) {
            EXPECT_FALSE(a->icon().isNull());
            EXPECT_FALSE(a->icon().pixmap(QSize(32, 32)).isNull()) << "no picture at " << row.icon;
        } else {
            EXPECT_TRUE(a->icon().isNull());
        }
    }
    const QAction *record = action(window, "actionRecord");
    EXPECT_FALSE(record->icon().pixmap(QSize(32, 32), QIcon::Normal, QIcon::On).isNull());
    EXPECT_FALSE(record->isCheckable());
    EXPECT_TRUE(action(window, "actionLoop")->isCheckable());
    EXPECT_EQ(action(window, "actionUndo")->iconText(), "Undo");
    EXPECT_EQ(action(window, "actionVolume_Increase")->iconText(), "Vol Increase");
    EXPECT_EQ(action(window, "actionRewind_To_Beginning")->iconText(), "Rewind");
}

TEST_F(MainWindowTest, MenusAndToolBarsHoldTheirActionsInOrder)
{
    MainWindow window;
    QStringList titles;
    for (const QAction *a : window.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Effects", "&Audio", "&Tools", "&Help"}));

    const auto menu = [&](const char *name) { return window.findChild<QMenu *>(QString::fromLatin1(name)); };
    // The File menu ends with a separator and ten hidden recent-file entries.
    QStringList file = entries(menu("menuFile")->actions());
    ASSERT_EQ(file.size(), 18 + 11);
    EXPECT_EQ(file.mid(0, 18),
              QStringList({"actionOpen", "actionAppend_Files", "actionClose", "|", "actionSave_Project",
                           "actionSave_Project_As", "|", "actionExport_All_As", "actionExport_Selection_As",
                           "actionExport_Tracks", "|", "actionConvert_All_As", "actionConvert_Selection_As",
                           "actionConvert_Tracks", "|", "actionNew_Application_Window", "|", "actionExit"}));
    EXPECT_EQ(file.at(18), "|");
    for (const QAction *recent : menu("menuFile")->actions().mid(19))
        EXPECT_FALSE(recent->isVisible());

    // Redo above Undo: both come from the undo stack, not the form.
    const QList<QAction *> edit = menu("menuEdit")->actions();
    ASSERT_GE(edit.size(), 2);
    EXPECT_EQ(edit.at(0)->text(), "&Redo");
    EXPECT_EQ(edit.at(1)->text(), "&Undo");
    EXPECT_NE(edit.at(1), action(window, "actionUndo"));
    EXPECT_EQ(entries(edit.mid(2)),
              QStringList({"|", "actionCut", "actionCopy", "actionPaste", "actionDelete", "actionCrop", "|",
                           "actionSelect_All", "|", "actionEdit_File_Info", "actionAdd_Track_Info"}));

    EXPECT_EQ(entries(menu("menuEffects")->actions()),
              QStringList({"actionNormalize", "actionFade_In", "actionFade_Out", "actionVolume_Increase",
                           "actionVolume_Decrease", "actionSilence", "actionUndo_Silence", "|",
                           "actionInsert_Silence"}));
    EXPECT_EQ(entries(menu("menuAudio")->actions()),
              QStringList({"actionPlay", "actionPlay_Selection", "actionPause", "actionRewind_To_Beginning",
                           "actionPrevious_Track", "actionStop", "actionNext_Track", "actionForward_To_End", "|",
                           "actionLoop", "|", "actionRecord"}));
    EXPECT_EQ(entries(menu("menuTools")->actions()),
              QStringList({"kbActionHorizontal_Zoom_In", "kbActionHorizontal_Zoom_Out", "actionScale_View", "|",
                           "actionOptions", "actionRate"}));
    EXPECT_EQ(entries(menu("menu_Help")->actions()),
              QStringList({"action_About", "menu_Keyboard_Shortcuts", "actionView_Manual_PDF",
                           "actionContact_Support"}));
    const QStringList shortcuts = entries(menu("menu_Keyboard_Shortcuts")->actions());
    ASSERT_EQ(shortcuts.size(), 30);
    EXPECT_EQ(shortcuts.first(), "kbActionMove_Previous_Edit_Point");
    EXPECT_EQ(shortcuts.last(), "kbActionVertical_Zoom_Out");
    EXPECT_FALSE(shortcuts.contains("kbActionHorizontal_Zoom_In"));

    const auto bar = [&](const char *name) { return window.findChild<QToolBar *>(QString::fromLatin1(name)); };
    struct BarRow {
        const char *name;
        const char *title;
        QStringList items;
    };
    const BarRow bars[] = {
        {"mediaToolBar", "Audio Toolbar",
         {"actionPlay", "actionPlay_Selection", "actionPause", "|", "actionRewind_To_Beginning",
          "actionPrevious_Track", "actionStop", "actionNext_Track", "actionForward_To_End", "|", "actionLoop", "|",
          "actionRecord"}},
        {"editToolBar", "Edit Toolbar",
         {"actionCut", "actionCopy", "actionPaste", "actionDelete", "actionCrop", "|", "", "", "|",
          "actionSelect_All"}},
        {"mainToolBar", "Main Toolbar",
         {"actionOpen", "actionAppend_Files", "actionSave_Project", "actionSave_Project_As", "|",
          "actionExport_All_As", "actionExport_Selection_As", "actionExport_Tracks", "actionConvert_All_As",
          "actionConvert_Selection_As", "actionConvert_Tracks"}},
        {"effectsToolBar", "Effects Toolbar",
         {"actionNormalize", "actionFade_In", "actionFade_Out", "actionVolume_Increase", "actionVolume_Decrease",
          "actionSilence", "actionUndo_Silence", "|", "actionInsert_Silence"}},
        {"optionsToolBar", "Options Toolbar",
         {"kbActionHorizontal_Zoom_In", "kbActionHorizontal_Zoom_Out", "|", "actionOptions", "|", "actionRate",
          "actionView_Manual_PDF"}},
    };
    for (const BarRow &row : bars) {
        SCOPED_TRACE(row.name);
        QToolBar *b = bar(row.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->windowTitle(), row.title);
        EXPECT_EQ(window.toolBarArea(b), Qt::TopToolBarArea);
        EXPECT_EQ(entries(b->actions()), row.items);
    }
    // The stack's Undo and Redo follow Crop and a separator.
    const QList<QAction *> editBar = bar("editToolBar")->actions();
    EXPECT_EQ(editBar.at(6), edit.at(1));
    EXPECT_EQ(editBar.at(7), edit.at(0));
    EXPECT_EQ(editBar.at(6)->iconText(), "Undo");
    // Media and edit share the first row, main has the second, effects and options the third.
    EXPECT_FALSE(window.toolBarBreak(bar("editToolBar")));
    EXPECT_TRUE(window.toolBarBreak(bar("mainToolBar")));
    EXPECT_TRUE(window.toolBarBreak(bar("effectsToolBar")));
    EXPECT_FALSE(window.toolBarBreak(bar("optionsToolBar")));
}

TEST_F(MainWindowTest, KeyboardActionsBelongToTheWindowNewestFirst)
{
    MainWindow window;
    const QStringList own = entries(window.actions());
    ASSERT_EQ(own.size(), 32);
    EXPECT_EQ(own.first(), "kbActionHorizontal_Zoom_Out");
    EXPECT_EQ(own.at(1), "kbActionHorizontal_Zoom_In");
    EXPECT_EQ(own.last(), "kbActionMove_Previous_Edit_Point");
    // Up and Down move to the selection edges, Shift+Up and Shift+Down set them.
    EXPECT_TRUE(action(window, "kbActionMove_Selection_Start")->shortcuts().contains(QKeySequence(Qt::Key_Up)));
    EXPECT_TRUE(action(window, "kbActionSet_Selection_Start")
                    ->shortcuts()
                    .contains(QKeySequence(Qt::SHIFT + Qt::Key_Up)));
    // Alt+= zooms in like Alt++; nothing zooms out on Alt+_.
    EXPECT_TRUE(action(window, "kbActionHorizontal_Zoom_In")->shortcuts().contains(QKeySequence(Qt::ALT + Qt::Key_Equal)));
    for (const QAction *a : window.findChildren<QAction *>())
        EXPECT_FALSE(a->shortcuts().contains(QKeySequence(Qt::ALT + Qt::Key_Underscore))) << a->objectName().toStdString();
}

TEST_F(MainWindowTest, TitleNamesTheProjectFile)
{
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), "mp3Morvelta - Untitled Project");
    EXPECT_EQ(action(window, "action_About")->text(), "&About mp3Morvelta...");
    KvQmlModel *model = window.findChild<KvQmlModel *>();
    ASSERT_NE(model, nullptr);
    model->setProjectFile("/music/x/My.kvlproj");
    EXPECT_EQ(window.windowTitle(), "mp3Morvelta - My.kvlproj");
    model->setProjectFile(QString());
    EXPECT_EQ(window.windowTitle(), "mp3Morvelta - Untitled Project");
}

TEST_F(MainWindowTest, FirstStartTakesTheDefaultSizeWithinTheScreen)
{
    MainWindow window;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QSize expected(1364, 736);
    if (expected.width() > screen.width())
        expected.setWidth(screen.width() - 100);
    if (expected.height() > screen.height())
        expected.setHeight(screen.height() - 100);
    EXPECT_EQ(window.size(), expected.expandedTo(window.minimumSize()));
}

TEST_F(MainWindowTest, WindowSettingsComeBackAtTheNextStart)
{
    {
        MainWindow window;
        window.resize(900, 450);
        QToolBar *main = window.findChild<QToolBar *>("mainToolBar");
        main->setIconSize(QSize(16, 16)); // small, as the options dialog sets it
        main->setToolButtonStyle(Qt::ToolButtonIconOnly);
        window.writeSettings();
    }
    QSettings settings;
    EXPECT_EQ(settings.value("MainWindow/Settings/size").toSize(), QSize(900, 450));
    EXPECT_FALSE(settings.value("Settings/LargeMainToolbar").toBool());
    EXPECT_FALSE(settings.value("Settings/TextMainToolbar").toBool());
    EXPECT_TRUE(settings.value("Settings/LargeMediaToolbar").toBool());
    EXPECT_TRUE(settings.contains("Settings/ShowEffectsToolbar"));

    MainWindow again;
    EXPECT_EQ(again.size(), QSize(900, 450));
    const QToolBar *main = again.findChild<QToolBar *>("mainToolBar");
    EXPECT_EQ(main->iconSize(), QSize(20, 20));
    EXPECT_EQ(main->toolButtonStyle(), Qt::ToolButtonIconOnly);
    const QToolBar *media = again.findChild<QToolBar *>("mediaToolBar");
    EXPECT_EQ(media->iconSize(), QSize(32, 32));
    EXPECT_EQ(media->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

} // namespace
