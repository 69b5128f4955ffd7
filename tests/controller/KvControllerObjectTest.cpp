// The controller object itself: the write accessors' rules, construction and
// the wiring it does, the persisted options, appearance, the help tour and the
// small utilities.
#include "KvControllerTestSupport.h"
#include "KvFakeUiServices.h"

#include <FileInfo.h>
#include <KvAacFrameWriter.h>
#include <KvArchiveUi.h>
#include <KvAudioMessages.h>
#include <KvQmlController.h>
#include <KvTestSupport.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaProperty>
#include <QSettings>

#include <cmath>
#include <limits>

namespace {

// Every test starts from empty settings in the test program's private folder.
class ControllerObject : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().clear();
        KvQmlController::resetProcessState();
    }
    void TearDown() override { KvQmlController::resetProcessState(); }

    kvtest::FakeUiServices ui;
};

TEST_F(ControllerObject, WritingTheCurrentValueOfAnyPropertyAnnouncesNothing)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    c.setLastOpenPath("/tmp/kv-folder");
    c.setLastSavePath("/tmp/kv-saved");
    Recorder log(&c);
    const QMetaObject *mo = c.metaObject();
    for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (!p.isWritable())
            continue;
        EXPECT_TRUE(p.write(&c, p.read(&c))) << p.name();
        EXPECT_EQ(log.take(), QStringList()) << p.name();
    }
}

// Applied in order to one controller: each write, what it reads back as, and
// every signal it sends (with its first argument).
TEST_F(ControllerObject, SettersClampAndAnnounceAsListed)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    Recorder log(&c);
    struct Case {
        const char *property;
        QVariant value;
        QVariant reads;
        QStringList signalLog;
    };
    const Case cases[] = {
        {"displayOffset", -5, 0, {"displayOffsetChanged(0)", "updateWidget"}},
        {"displayOffset", 250, 100, {"displayOffsetChanged(100)", "updateWidget"}},
        {"hasDisplayGap", false, false, {"hasDisplayGapChanged(false)", "updateWidget"}},
        {"useAutoTrackNum", false, false, {"useAutoTrackNumChanged(false)", "updateWidget"}},
        {"trackNameFormat", "%T", "%T", {"trackNameFormatChanged(%T)", "updateWidget"}},
        {"fontSizeAdjust", 3, 3, {"fontSizeAdjustChanged(true)", "calcViews"}},
        {"fontSizeAdjust", -2, -2, {"fontSizeAdjustChanged(true)", "calcViews"}},
        {"fontSizeAdjust", 0, 0, {"fontSizeAdjustChanged(false)", "calcViews"}},
        {"iconSizeAdjust", 2, 2, {"iconSizeAdjustChanged(true)", "calcViews"}},
        {"lastSavePath", "/tmp/kv-x", "/tmp/kv-x",
         {"lastSavePathChanged(/tmp/kv-x)", "lastSavePathUrlChanged(file:///tmp/kv-x)"}},
        {"lastSavePath", "", "", {"lastSavePathChanged()", "lastSavePathUrlChanged()"}},
        // The URL setter sets the path (both signals) and sends its URL once more.
        {"lastOpenPathUrl", QUrl("file:///tmp/kv-y"), QUrl("file:///tmp/kv-y"),
         {"lastOpenPathChanged(/tmp/kv-y)", "lastOpenPathUrlChanged(file:///tmp/kv-y)",
          "lastOpenPathUrlChanged(file:///tmp/kv-y)"}},
        {"ceiling", 150.5, 150.5, {"ceilingChanged(150.5)"}},
        {"mouseDragSelecting", 5, 5, {"mouseDragSelectingChanged(5)"}},
        {"curTrackGenre", "Rock", "Rock", {"curTrackGenreChanged(Rock)"}},
        {"alwaysImport", false, false, {"alwaysImportChanged(false)"}},
        {"isActionEditMode", true, true, {"isActionEditModeChanged(true)"}},
        {"navDrawerPaneName", "search", "search", {"navDrawerPaneNameChanged(search)"}},
    };
    for (const Case &k : cases) {
        ASSERT_TRUE(c.setProperty(k.property, k.value)) << k.property;
        EXPECT_EQ(c.property(k.property), k.reads) << k.property;
        EXPECT_EQ(log.take(), k.signalLog) << k.property << " = " << k.value.toString().toStdString();
    }
}

TEST_F(ControllerObject, ZoomIsClampedAndSizesThePlayPositionMarker)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    EXPECT_EQ(c.maxHZoom(), 16);
    // The marker is (zoom + 2) / 3 pixels wide, within 3 and 5 dp.
    const auto width = [](int zoom) {
        return std::min(std::max((zoom + 2) / 3, KvQmlController::scaledDp(3.0)), KvQmlController::scaledDp(5.0));
    };
    const std::pair<int, int> cases[] = {{0, 1}, {1, 1}, {10, 10}, {16, 16}, {100, 16}, {-3, 1}};
    for (const auto &k : cases) {
        c.setHZoom(k.first);
        EXPECT_EQ(c.hZoom(), k.second) << k.first;
        EXPECT_EQ(c.playPosWidth(), width(k.second)) << k.first;
    }
    if (KvQmlController::scaledDp(3.0) == 3 && KvQmlController::scaledDp(5.0) == 5) {
        for (const auto &k : {std::make_pair(1, 3), std::make_pair(10, 4), std::make_pair(16, 5)}) {
            c.setHZoom(k.first);
            EXPECT_EQ(c.playPosWidth(), k.second);
        }
    }
}

TEST_F(ControllerObject, ANewControllerStartsInTheLastEditMode)
{
    {
        KvQmlController first(nullptr, KvControllerSeams{&ui});
        EXPECT_FALSE(first.isActionEditMode());
        first.setIsActionEditMode(true);
    }
    KvQmlController second(nullptr, KvControllerSeams{&ui});
    EXPECT_TRUE(second.isActionEditMode());
}

TEST_F(ControllerObject, StartsWithoutADocumentAndWithItsVersionLine)
{
    const QString version = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion("2.7.1");
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    QCoreApplication::setApplicationVersion(version);
    EXPECT_FALSE(c.hasFragments());
    EXPECT_EQ(c.totalFrames(), 0.0);
    EXPECT_FALSE(c.hasSelection());
    EXPECT_EQ(c.versionText(), QString("2.7.1 (Qt: %1) [x86_64]").arg(qVersion()));
    EXPECT_EQ(KvQmlController::instance(), &c);
    EXPECT_GT(c.screenPixelDensity(), 0.0);
}

// What construction wires up for the layers below: the AAC writer calls, the
// archive reader's questions and the audio services' failures, all through
// the controller's UI services.
TEST_F(ControllerObject, ConstructionWiresTheLayersBelowToTheUser)
{
    const KvAacFrameWriter writerBefore = setKvAacFrameWriter(KvAacFrameWriter());
    const KvArchiveUi archiveBefore = setKvArchiveUi(KvArchiveUi());
    const KvCriticalMessageHandler handlerBefore = setKvCriticalMessageHandler(KvCriticalMessageHandler());
    {
        KvQmlController c(nullptr, KvControllerSeams{&ui});
        EXPECT_TRUE(kvAacFrameWriter().writeFrame && kvAacFrameWriter().initWriteNextFileFrames);
        ASSERT_TRUE(kvArchiveUi().warning && kvArchiveUi().findInUndoStack);

        ui.answers << KvUi::YesToAll;
        EXPECT_EQ(kvArchiveUi().warning(nullptr, "title", "where?", KvUi::Yes | KvUi::No, KvUi::No), KvUi::YesToAll);
        kvCriticalMessage("The audio device failed.");
        ASSERT_EQ(ui.messages.size(), 2);
        EXPECT_EQ(ui.messages.at(0).icon, KvUi::Warning);
        EXPECT_EQ(ui.messages.at(1).icon, KvUi::Critical);
        EXPECT_EQ(ui.messages.at(1).title, QCoreApplication::applicationName());
        EXPECT_EQ(ui.messages.at(1).text, "The audio device failed.");
        EXPECT_EQ(ui.messages.at(1).buttons, KvUi::Ok);
    }
    setKvAacFrameWriter(writerBefore);
    setKvArchiveUi(archiveBefore);
    setKvCriticalMessageHandler(handlerBefore);
}

TEST_F(ControllerObject, AModelDeletedFirstIsForgotten)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    QSignalSpy changed(&c, SIGNAL(modelChanged(KvQmlModel*)));
    {
        KvQmlModel first;
        c.setModel(&first);
        c.setModel(&first);
        EXPECT_EQ(changed.size(), 1);
        EXPECT_EQ(KvQmlController::currentModel(), &first);
    }
    EXPECT_EQ(c.model(), nullptr);
    EXPECT_EQ(KvQmlController::currentModel(), nullptr);
    KvQmlModel second;
    c.setModel(&second);
    EXPECT_EQ(changed.size(), 2);
}

// ---- Settings ----

// Each option with the value written and read back, and the key's stored value.
TEST_F(ControllerObject, SettingsWrittenAreReadBackByTheNextController)
{
    EXPECT_TRUE(QSettings().fileName().startsWith(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"))));
    struct Option {
        const char *property;
        const char *key;
        QVariant value;
    };
    const Option options[] = {
        {"alwaysImport", "Settings/AlwaysImport", false},
        {"optionDelImageAfterImport", "Settings/DelImageAfterImport", false},
        {"lastOpenPath", "Settings/lastOpenPath", "/tmp/kv-open"},
        {"lastSavePath", "Settings/lastSavePath", "/tmp/kv-save"},
        {"lastOpenFilter", "Settings/lastOpenFilter", "MP3 (*.mp3)"},
        {"navigateBlockSecs", "Settings/navigateBlockSecs", 0.25},
        {"navigatePageSecs", "Settings/navigatePageSecs", 12.5},
        {"useAutoTrackNum", "Settings/AutoTrackNum", false},
        {"trackNameFormat", "Settings/TrackNameFormat", "%A - %T"},
        {"hZoom", "Settings/HZoom", 9},
        {"displayOffset", "Settings/DisplayOffset", 30},
        {"volumeIncDec", "Settings/VolumeIncDec", 2},
        {"volumeFade", "Settings/VolumeFade", 7},
        {"loopAudio", "Settings/LoopAudio", true},
        {"showIconText", "Settings/ShowIconText", false},
        {"iconSizeAdjust", "Settings/IconSizeAdjust", -3},
        {"fontSizeAdjust", "Settings/FontSizeAdjust", 4},
        {"useExternalRecorder", "Settings/UseExternalRecorder", true},
        {"promptOnExit", "Settings/PromptOnExit", false},
        {"isDarkModeOption", "Settings/IsDarkModeOption", true},
        {"recordingFormat", "Settings/RecordingFormat", 0},
        {"recordStereo", "Settings/RecordStereo", true},
        {"recordingQuality", "Settings/RecordingQuality", 4},
        {"recordingFrequency", "Settings/RecordingFrequency", 2},
        {"convertingFormat", "Settings/ConvertingFormat", 0},
        {"convertStereo", "Settings/ConvertStereo", false},
        {"convertingQuality", "Settings/ConvertingQuality", 1},
        {"convertingFrequency", "Settings/ConvertingFrequency", 2},
    };
    {
        KvQmlController c(nullptr, KvControllerSeams{&ui});
        for (const Option &o : options)
            ASSERT_TRUE(c.setProperty(o.property, o.value)) << o.property;
        c.setLastConvertPath("/tmp/kv-converted");
        c.setCeiling(150.0);
        c.setFloor(50.0);
        c.writeSettings();
    }
    QSettings stored;
    for (const Option &o : options)
        EXPECT_EQ(stored.value(o.key).toString(), o.value.toString()) << o.key;
    EXPECT_EQ(stored.value("Settings/lastConvertPath").toString(), "/tmp/kv-converted");
    EXPECT_EQ(stored.value("Settings/lastExportPath").toString(), "");
    EXPECT_EQ(stored.value("Settings/Ceiling").toDouble(), 150.0);
    EXPECT_EQ(stored.value("Settings/Floor").toDouble(), 50.0);
    EXPECT_TRUE(stored.contains("Settings/recentFileList"));

    KvQmlController next(nullptr, KvControllerSeams{&ui});
    for (const Option &o : options)
        EXPECT_EQ(next.property(o.property).toString(), o.value.toString()) << o.property;
    EXPECT_EQ(next.lastConvertPath(), "/tmp/kv-converted");
    // The level scale is written but each start begins with the construction scale.
    EXPECT_EQ(next.ceiling(), 200.0);
    EXPECT_EQ(next.floor(), 100.0);
}

TEST_F(ControllerObject, FirstStartTakesTheConstructionValuesButZoom)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    EXPECT_EQ(c.hZoom(), 4);
    EXPECT_EQ(c.lastOpenPath(), KvQmlController::defaultFilesPath());
    EXPECT_EQ(c.lastSavePath(), "");
    EXPECT_EQ(c.displayOffset(), 50);
    EXPECT_EQ(c.volumeIncDec(), 4);
    EXPECT_EQ(c.navigateBlockSecs(), 0.5);
    EXPECT_EQ(c.navigatePageSecs(), 5.0);
    EXPECT_EQ(c.trackNameFormat(), "%0N %T");
    EXPECT_EQ(c.convertingQuality(), 3);
    EXPECT_TRUE(c.convertStereo());
    EXPECT_FALSE(c.recordStereo());
    EXPECT_TRUE(c.alwaysImport());
    EXPECT_TRUE(c.promptOnExit());
    EXPECT_EQ(c.curTrack(), -1);
    EXPECT_EQ(c.curTrackGenre(), "-");
    EXPECT_EQ(c.navDrawerPaneName(), "edit");
    EXPECT_EQ(c.convertProgress(), -1);
    EXPECT_TRUE(c.recentFiles().isEmpty());
}

TEST_F(ControllerObject, StoredValuesAreClampedLikeWrites)
{
    struct Case {
        const char *key;
        QVariant stored;
        const char *property;
        QVariant reads;
    };
    const Case cases[] = {
        {"Settings/HZoom", 40, "hZoom", 16},
        {"Settings/HZoom", "many", "hZoom", 1},
        {"Settings/DisplayOffset", -3, "displayOffset", 0},
        {"Settings/DisplayOffset", 101, "displayOffset", 100},
        {"Settings/VolumeFade", "x", "volumeFade", 0},
    };
    for (const Case &k : cases) {
        QSettings().setValue(k.key, k.stored);
        KvQmlController c(nullptr, KvControllerSeams{&ui});
        EXPECT_EQ(c.property(k.property), k.reads) << k.key << " = " << k.stored.toString().toStdString();
        QSettings().clear();
    }
}

TEST_F(ControllerObject, ReadingTheSettingsAgainAnnouncesNothing)
{
    QSettings().setValue("Settings/recentFileList", QStringList{"/music/a.kvlproj", "/music/b.mp3"});
    QSettings().setValue("Settings/FontSizeAdjust", 2);
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    EXPECT_EQ(c.recentFiles(), (QStringList{"/music/a.kvlproj", "/music/b.mp3"}));
    Recorder log(&c);
    c.readSettings();
    EXPECT_EQ(log.take(), QStringList());

    // The same files in another order are another list.
    QSettings().setValue("Settings/recentFileList", QStringList{"/music/b.mp3", "/music/a.kvlproj"});
    c.readSettings();
    const QStringList seen = log.take();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen.first().startsWith("recentFilesChanged"));
    EXPECT_EQ(c.recentFiles(), (QStringList{"/music/b.mp3", "/music/a.kvlproj"}));
}

TEST_F(ControllerObject, ResettingTheWarningsShowsEveryNoticeAgain)
{
    QSettings s;
    s.setValue("Warnings/ShowConvertWarnDlg", false);
    s.setValue("Warnings/ShowSaveProjWarnDlg", false);
    s.setValue("HelpUsage/FileOpen", true);
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    c.resetUIWarnings();
    EXPECT_FALSE(s.contains("Warnings/ShowConvertWarnDlg"));
    EXPECT_TRUE(s.value("Warnings/ShowSaveProjWarnDlg", true).toBool());
    EXPECT_TRUE(s.value("HelpUsage/FileOpen").toBool());
}

// ---- Appearance ----

QPalette paletteOf(QColor window, QColor text)
{
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    return p;
}

TEST_F(ControllerObject, DarkModeComesFromThePaletteAndTheOption)
{
    const QColor lightWindow(240, 240, 240), darkWindow(20, 20, 20), darkText(220, 220, 220);
    struct Case {
        bool option;
        QPalette palette;
        QColor window, text;
        bool dark;
    };
    const Case cases[] = {
        {false, paletteOf(lightWindow, Qt::black), lightWindow, Qt::black, false},
        {true, paletteOf(lightWindow, Qt::black), Qt::black, lightWindow, true},
        {false, paletteOf(darkWindow, darkText), darkWindow, darkText, true},
        {true, paletteOf(darkWindow, darkText), darkWindow, darkText, true},
    };
    for (const Case &k : cases) {
        ui.useFakePalette = true;
        ui.fakePalette = paletteOf(lightWindow, Qt::black);
        KvQmlController c(nullptr, KvControllerSeams{&ui});
        c.setIsDarkModeOption(k.option);
        ui.fakePalette = k.palette;
        c.CheckIsDarkMode(k.palette);
        EXPECT_EQ(c.uiWindowColor(), k.window) << k.option;
        EXPECT_EQ(c.uiTextColor(), k.text) << k.option;
        EXPECT_EQ(c.isDarkMode(), k.dark) << k.option;
        EXPECT_EQ(c.dmDir(), k.dark ? "+dm/" : "");
    }
}

TEST_F(ControllerObject, TurningDarkAnnouncesColoursModeFolderAndViews)
{
    ui.useFakePalette = true;
    ui.fakePalette = paletteOf(QColor(240, 240, 240), Qt::black);
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    Recorder log(&c);
    ui.fakePalette = paletteOf(QColor(20, 20, 20), QColor(220, 220, 220));
    c.CheckIsDarkMode(ui.fakePalette);
    const QStringList seen = log.take();
    ASSERT_GE(seen.size(), 5);
    EXPECT_EQ(seen.mid(0, 4), (QStringList{"uiWindowColorChanged(#141414)", "uiTextColorChanged(#dcdcdc)",
                                           "isDarkModeChanged(true)", "dmDirChanged(+dm/)"}));
    EXPECT_EQ(seen.count("calcViews"), 1);
    c.CheckIsDarkMode(ui.fakePalette);
    EXPECT_EQ(log.take(), QStringList());

    // Mirrored lightness, opaque.
    EXPECT_EQ(QColor(c.darkModeColor(Qt::white).rgb()), QColor(Qt::black));
    EXPECT_EQ(QColor(c.darkModeColor(Qt::black).rgb()), QColor(Qt::white));
    EXPECT_NEAR(c.darkModeColor(QColor::fromHslF(0.0, 0.0, 0.5)).lightnessF(), 0.5, 0.01);
    EXPECT_EQ(c.darkModeColor(QColor(255, 0, 0, 100)).alpha(), 255);
}

TEST_F(ControllerObject, ScreenDensityFromDotsAndSize)
{
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double dpi;
        QSizeF mm;
        double density;
    };
    const Case cases[] = {
        {96, {500, 300}, 144},  // large: 1.5 times the dots
        {96, {300, 500}, 144},
        {96, {80, 50}, 72},     // small: 0.75 times
        {96, {0, 0}, 96},       // unknown size: the dots
        {96, {inf, 300}, 96},
        {0, {500, 300}, 160},   // unknown dots
        {inf, {500, 300}, 160},
        {100, {175, 100}, 75 * std::sqrt(2.5)},
    };
    for (const Case &k : cases)
        EXPECT_NEAR(KvQmlController::calcScreenPixelDensity(k.dpi, k.mm), k.density, 1e-9) << k.dpi;
}

TEST_F(ControllerObject, ScaledSizesFollowTheAdjustments)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    const double density = KvQmlController::calcScreenPixelDensity();
    struct Case {
        int adjust;
        double factor;
    };
    for (const Case &k : {Case{0, 1.0}, Case{5, 1.1}, Case{-5, 0.95}, Case{2, 1.04}}) {
        c.setIconSizeAdjust(k.adjust);
        c.setFontSizeAdjust(k.adjust);
        EXPECT_EQ(KvQmlController::scaledDp(24), int(density * k.factor / 160 * 24)) << k.adjust;
        EXPECT_EQ(KvQmlController::scaledPct(50), int(density * k.factor / 100 * 50)) << k.adjust;
        if (density == 160.0) {
            EXPECT_EQ(KvQmlController::scaledDp(24), k.adjust == 5 ? 26 : k.adjust == -5 ? 22 : int(24 * k.factor));
        }
    }
    EXPECT_TRUE(c.uiStyleSheet().contains(QString("QLabel {font-size: %1px; border: 0px; }")
                                              .arg(KvQmlController::scaledDp(24))));
}

// ---- Help tour ----

TEST_F(ControllerObject, TheTourShowsItsPagesInOrderWhenDue)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    c.recordHelpUsage();
    EXPECT_EQ(c.activeHelpName(), "help_welcome");
    EXPECT_TRUE(c.showHelp());
    EXPECT_EQ(c.helpTitle(), "Welcome to mp3Morvelta");
    EXPECT_EQ(c.helpText(), "To help you get started using\nour app we recommend that you\nfollow this short guide.");
    c.recordHelpUsage();  // shown already: nothing changes
    EXPECT_EQ(c.activeHelpName(), "help_welcome");

    c.setShowHelp(false);
    EXPECT_TRUE(QSettings().value("HelpUsage/HelpId-help_welcome").toBool());
    c.recordHelpUsage();
    EXPECT_EQ(c.activeHelpName(), "help_top_logo_record");
    c.setShowHelp(false);

    // The search page waits for the record pane.
    c.recordHelpUsage();
    EXPECT_FALSE(c.showHelp());
    c.setNavDrawerPaneName("record");
    EXPECT_TRUE(QSettings().value("HelpUsage/RecordPane").toBool());
    c.recordHelpUsage();  // not in the edit pane: nothing
    EXPECT_FALSE(c.showHelp());
    c.setNavDrawerPaneName("edit");
    c.recordHelpUsage();
    EXPECT_EQ(c.activeHelpName(), "help_top_logo_search");
    EXPECT_EQ(c.helpTitle(), "You can search for\naudio on your device");
}

TEST_F(ControllerObject, CancelledTourStaysQuietUntilTakenAgain)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    QSettings().setValue("HelpUsage/FileOpen", true);
    c.actionCancelTour();
    EXPECT_TRUE(QSettings().value("HelpUsage/HelpCancelled").toBool());
    EXPECT_EQ(c.activeHelpName(), "");
    EXPECT_TRUE(c.showHelp());
    c.setShowHelp(false);  // closing with no page writes no page flag
    EXPECT_EQ(QSettings().allKeys().filter("HelpId-"), QStringList());
    c.recordHelpUsage();
    EXPECT_EQ(c.activeHelpName(), "");

    c.actionTakeTour();
    EXPECT_FALSE(QSettings().contains("HelpUsage/HelpCancelled"));
    EXPECT_FALSE(QSettings().contains("HelpUsage/FileOpen"));
    EXPECT_FALSE(c.showHelp());
    c.recordHelpUsage();
    EXPECT_EQ(c.activeHelpName(), "help_welcome");
}

TEST_F(ControllerObject, EachPageWaitsForItsUsageFlag)
{
    KvQmlModel model;
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    c.setModel(&model);
    model.setFragmentList(kvSilentDocument(100));
    c.refreshDocumentState();
    struct Case {
        const char *id;
        const char *flag;  // null: due at once
        bool needsSelection;
    };
    const Case cases[] = {
        {"help_welcome", nullptr, false},
        {"help_top_logo_record", nullptr, false},
        {"help_top_logo_search", "RecordPane", false},
        {"help_popup_menu_open", "SearchPane", false},
        {"help_edit_timers", "FileOpen", false},
        {"help_sel_start_end", "FileOpen", false},
        {"help_icon_menu", "FileOpen", true},
        {"help_popup_menu_tempo_ctrl", "EditDone", false},
        {"help_popup_menu_navigate_ctrl", "PitchTempo", false},
        {"help_popup_menu_export", "Navigate", false},
        {"help_popup_menu_convert", "ExportDone", false},
    };
    for (const Case &k : cases) {
        QSettings().remove("HelpUsage");
        c.setSelectionStart(-1);
        EXPECT_EQ(c.UpdateHelpUsage(k.id), !k.flag) << k.id;
        if (!k.flag)
            continue;
        QSettings().setValue(QString("HelpUsage/") + k.flag, true);
        EXPECT_EQ(c.UpdateHelpUsage(k.id), !k.needsSelection) << k.id;
        c.setSelectionStart(10);
        c.setSelectionEnd(20);
        EXPECT_TRUE(c.UpdateHelpUsage(k.id)) << k.id;
    }
    EXPECT_FALSE(c.UpdateHelpUsage("help_unknown"));
}

// ---- Utilities ----

TEST_F(ControllerObject, WarningInfoQuestionAnswers)
{
    KvQmlController c(nullptr, KvControllerSeams{&ui});
    struct Case {
        bool okCancel;
        int answer;
        bool result;
    };
    const Case cases[] = {{false, KvUi::Yes, true}, {false, KvUi::No, false}, {false, KvUi::NoButton, false},
                          {true, KvUi::Ok, true},   {true, KvUi::Cancel, false}};
    for (const Case &k : cases) {
        ui.messages.clear();
        ui.answers << k.answer;
        EXPECT_EQ(c.messageBoxWarningInfo("Sure?", k.okCancel), k.result) << k.answer;
        ASSERT_EQ(ui.messages.size(), 1);
        const kvtest::AskedMessage &m = ui.messages.first();
        EXPECT_EQ(m.icon, k.okCancel ? KvUi::Warning : KvUi::Information);
        EXPECT_EQ(m.buttons, k.okCancel ? KvUi::Ok | KvUi::Cancel : KvUi::Yes | KvUi::No);
        EXPECT_EQ(m.defaultButton, k.okCancel ? KvUi::Ok : KvUi::Yes);
        EXPECT_EQ(m.title, QCoreApplication::applicationName());
        EXPECT_EQ(m.text, "Sure?");
    }
    EXPECT_EQ(c.msgBoxFixFinishedValue(), -1);
    c.msgBoxFixFinished(KvUi::Ok);
    EXPECT_EQ(c.msgBoxFixFinishedValue(), KvUi::Ok);
    EXPECT_TRUE(c.searchResults().value<QList<QObject *>>().isEmpty());
}

TEST(FileInfo, FactsOfAFileAndItsFolder)
{
    kvtest::TempDir dir;
    FileInfo info;
    EXPECT_EQ(info.filePath(), "");
    EXPECT_EQ(info.fileUrl(), QUrl());
    EXPECT_EQ(info.parentDir(), QUrl());
    EXPECT_FALSE(info.exists() || info.isDir() || info.parentDirExists());
    EXPECT_FALSE(info.makeDir("sub"));

    Recorder log(&info);
    info.setFilePath(dir.file("missing/take.mp3"));
    EXPECT_EQ(log.take(), (QStringList{"filePathChanged", "fileUrlChanged", "existsChanged", "isDirChanged",
                                       "parentDirChanged", "filenameChanged", "parentDirExistsChanged"}));
    EXPECT_FALSE(info.exists());
    EXPECT_FALSE(info.parentDirExists());
    EXPECT_EQ(info.filename(), "take.mp3");
    EXPECT_EQ(info.parentDir(), QUrl::fromLocalFile(dir.file("missing")));
    EXPECT_EQ(info.fileUrl(), QUrl(dir.file("missing/take.mp3")));

    info.setFileUrl(QUrl::fromLocalFile(dir.path()));
    EXPECT_TRUE(info.exists() && info.isDir() && info.parentDirExists());
    EXPECT_TRUE(info.makeDir("sub"));
    EXPECT_TRUE(QFileInfo(dir.file("sub")).isDir());
}

} // namespace
