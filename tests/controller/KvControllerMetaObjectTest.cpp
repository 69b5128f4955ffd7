// The controller's meta-object is an interface: the views, the main window,
// the dialogs, the conversion worker and the touch interface's sources reach
// it by signature strings. Its properties, signals, slots and invokables are
// checked here, signature by signature, against the lists those callers use.
#include "KvFakeUiServices.h"

#include <KvConnect.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>

#include <gtest/gtest.h>

#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>
#include <QSettings>

namespace {

struct PropertyRow {
    const char *name;
    const char *type;
    bool writable;
    const char *notify;
};

// In the order of the property system.
const PropertyRow kProperties[] = {
    {"model", "KvQmlModel*", true, "modelChanged(KvQmlModel*)"},
    {"scrollFrame", "double", true, "scrollFrameChanged(double)"},
    {"hZoom", "int", true, "hZoomChanged(int)"},
    {"selectionStart", "double", true, "selectionStartChanged(double)"},
    {"selectionEnd", "double", true, "selectionEndChanged(int)"},
    {"mouseDragSelecting", "MouseDragSelType", true, "mouseDragSelectingChanged(MouseDragSelType)"},
    {"ceiling", "double", true, "ceilingChanged(double)"},
    {"floor", "double", true, "floorChanged(double)"},
    {"hasDisplayGap", "bool", true, "hasDisplayGapChanged(bool)"},
    {"displayOffset", "int", true, "displayOffsetChanged(int)"},
    {"volumeIncDec", "int", true, "volumeIncDecChanged(int)"},
    {"volumeFade", "int", true, "volumeFadeChanged(int)"},
    {"useAutoTrackNum", "bool", true, "useAutoTrackNumChanged(bool)"},
    {"trackNameFormat", "QString", true, "trackNameFormatChanged(QString)"},
    {"lastOpenPath", "QString", true, "lastOpenPathChanged(QString)"},
    {"lastSavePath", "QString", true, "lastSavePathChanged(QString)"},
    {"lastOpenPathUrl", "QUrl", true, "lastOpenPathUrlChanged(QUrl)"},
    {"lastSavePathUrl", "QUrl", true, "lastSavePathUrlChanged(QUrl)"},
    {"lastOpenFilter", "QString", true, "lastOpenFilterChanged(QString)"},
    {"navigateBlockSecs", "double", true, "navigateBlockSecsChanged(double)"},
    {"navigatePageSecs", "double", true, "navigatePageSecsChanged(double)"},
    {"uiWindowColor", "QColor", true, "uiWindowColorChanged(QColor)"},
    {"uiTextColor", "QColor", true, "uiTextColorChanged(QColor)"},
    {"toastMessage", "QString", true, "toastMessageChanged(QString)"},
    {"loopAudio", "bool", true, "loopAudioChanged(bool)"},
    {"curTrack", "int", true, "curTrackChanged(int)"},
    {"curTrackTitle", "QString", true, "curTrackTitleChanged(QString)"},
    {"curTrackArtist", "QString", true, "curTrackArtistChanged(QString)"},
    {"curTrackAlbumArtist", "QString", true, "curTrackAlbumArtistChanged(QString)"},
    {"curTrackComposer", "QString", true, "curTrackComposerChanged(QString)"},
    {"curTrackAlbum", "QString", true, "curTrackAlbumChanged(QString)"},
    {"curTrackCopyright", "QString", true, "curTrackCopyrightChanged(QString)"},
    {"curTrackGenre", "QString", true, "curTrackGenreChanged(QString)"},
    {"curTrackComment", "QString", true, "curTrackCommentChanged(QString)"},
    {"curTrackArtworkData", "QString", true, "curTrackArtworkDataChanged(QString)"},
    {"curTrackTrack", "int", true, "curTrackTrackChanged(int)"},
    {"curTrackDisc", "int", true, "curTrackDiscChanged(int)"},
    {"curTrackYear", "int", true, "curTrackYearChanged(int)"},
    {"showIconText", "bool", true, "showIconTextChanged(bool)"},
    {"shareStatistics", "bool", true, "shareStatisticsChanged(bool)"},
    {"iconSizeAdjust", "int", true, "iconSizeAdjustChanged(bool)"},
    {"fontSizeAdjust", "int", true, "fontSizeAdjustChanged(bool)"},
    {"useExternalRecorder", "bool", true, "useExternalRecorderChanged(bool)"},
    {"promptOnExit", "bool", true, "promptOnExitChanged(bool)"},
    {"isDarkModeOption", "bool", true, "isDarkModeOptionChanged(bool)"},
    {"showHelp", "bool", true, "showHelpChanged(bool)"},
    {"activeHelpName", "QString", true, "activeHelpNameChanged(QString)"},
    {"navDrawerPaneName", "QString", true, "navDrawerPaneNameChanged(QString)"},
    {"recordingFormat", "int", true, "recordingFormatChanged(int)"},
    {"recordStereo", "bool", true, "recordStereoChanged(bool)"},
    {"recordingQuality", "int", true, "recordingQualityChanged(int)"},
    {"recordingFrequency", "int", true, "recordingFrequencyChanged(int)"},
    {"convertingFormat", "int", true, "convertingFormatChanged(int)"},
    {"convertStereo", "bool", true, "convertStereoChanged(bool)"},
    {"convertingQuality", "int", true, "convertingQualityChanged(int)"},
    {"convertingFrequency", "int", true, "convertingFrequencyChanged(int)"},
    {"convertProgressText", "QString", true, "convertProgressTextChanged(QString)"},
    {"alwaysImport", "bool", true, "alwaysImportChanged(bool)"},
    {"optionDelImageAfterImport", "bool", true, "optionDelImageAfterImportChanged(bool)"},
    {"isActionEditMode", "bool", true, "isActionEditModeChanged(bool)"},
    {"totalFrames", "double", false, "totalFramesChanged(double)"},
    {"hasSelection", "bool", false, "hasSelectionChanged(bool)"},
    {"hasFragments", "bool", false, "hasFragmentsChanged(bool)"},
    {"hasTracks", "bool", false, "hasTracksChanged(bool)"},
    {"isPlaying", "bool", false, "isPlayingChanged(bool)"},
    {"canPaste", "bool", false, "canPasteChanged(bool)"},
    {"canPasteTags", "bool", false, "canPasteTagsChanged(bool)"},
    {"canPasteArtworkTag", "bool", false, "canPasteArtworkTagChanged(bool)"},
    {"canSaveDirtyProject", "bool", false, "canSaveDirtyProjectChanged(bool)"},
    {"canSetTrackStart", "bool", false, "canSetTrackStartChanged(bool)"},
    {"canSetTrackEnd", "bool", false, "canSetTrackEndChanged(bool)"},
    {"canSplitTrack", "bool", false, "canSplitTrackChanged(bool)"},
    {"canDeleteTrack", "bool", false, "canDeleteTrackChanged(bool)"},
    {"canUndo", "bool", false, "canUndoChanged(bool)"},
    {"canRedo", "bool", false, "canRedoChanged(bool)"},
    {"isWaiting", "bool", false, "isWaitingChanged(bool)"},
    {"playState", "KvPlayState", false, "playStateChanged(int)"},
    {"screenPixelDensity", "double", false, "screenPixelDensityChanged(double)"},
    {"screenDevicePixelRatio", "double", false, "screenDevicePixelRatioChanged(double)"},
    {"maxHZoom", "int", false, "maxHZoomChanged(int)"},
    {"playPositionTime", "QString", false, "playPositionTimeChanged(QString)"},
    {"currentSelectionTime", "QString", false, "currentSelectionTimeChanged(QString)"},
    {"nextTrackPoint", "double", false, "nextTrackPointChanged(double)"},
    {"previousTrackPoint", "double", false, "previousTrackPointChanged(double)"},
    {"nextEditPoint", "double", false, "nextEditPointChanged(double)"},
    {"previousEditPoint", "double", false, "previousEditPointChanged(double)"},
    {"recentFiles", "QStringList", false, "recentFilesChanged(QStringList)"},
    {"statusMessage", "QString", false, "statusMessageChanged(QString)"},
    {"numTracks", "int", false, "numTracksChanged(int)"},
    {"audioType", "QString", false, "audioTypeChanged(QString)"},
    {"helpTitle", "QString", false, "helpTitleChanged(QString)"},
    {"helpText", "QString", false, "helpTextChanged(QString)"},
    {"playPosWidth", "int", false, "playPosWidthChanged(int)"},
    {"convertProgress", "int", false, "convertProgressChanged(int)"},
    {"versionText", "QString", false, "versionTextChanged(QString)"},
    {"currentPosFileName", "QString", false, "currentPosFileNameChanged(QString)"},
    {"appStorageRoot", "QUrl", false, "appStorageRootChanged(QUrl)"},
    {"delProjFileName", "QString", false, "delProjFileNameChanged(QString)"},
    {"msgBoxFixTitle", "QString", false, "msgBoxFixTitleChanged(QString)"},
    {"msgBoxFixText", "QString", false, "msgBoxFixTextChanged(QString)"},
    {"msgBoxFixButtons", "int", false, "msgBoxFixButtonsChanged(int)"},
    {"msgBoxFixVisible", "bool", false, "msgBoxFixVisibleChanged(bool)"},
    {"isDarkMode", "bool", false, "isDarkModeChanged(bool)"},
    {"dmDir", "QString", false, "dmDirChanged(QString)"},
    {"searchResults", "QVariant", false, "searchResultsChanged()"},
};

// In declaration order.
const char *const kSignals[] = {
    "modelChanged(KvQmlModel*)", "scrollFrameChanged(double)", "hZoomChanged(int)", "playPosWidthChanged(int)",
    "convertProgressChanged(int)", "selectionStartChanged(double)", "selectionEndChanged(int)",
    "mouseDragSelectingChanged(MouseDragSelType)", "ceilingChanged(double)", "floorChanged(double)",
    "hasDisplayGapChanged(bool)", "displayOffsetChanged(int)", "volumeIncDecChanged(int)", "volumeFadeChanged(int)",
    "useAutoTrackNumChanged(bool)", "trackNameFormatChanged(QString)", "lastOpenPathChanged(QString)",
    "lastSavePathChanged(QString)", "lastOpenPathUrlChanged(QUrl)", "lastSavePathUrlChanged(QUrl)",
    "lastOpenFilterChanged(QString)", "navigateBlockSecsChanged(double)", "navigatePageSecsChanged(double)",
    "uiWindowColorChanged(QColor)", "uiTextColorChanged(QColor)", "toastMessageChanged(QString)",
    "loopAudioChanged(bool)", "curTrackChanged(int)", "showIconTextChanged(bool)", "shareStatisticsChanged(bool)",
    "iconSizeAdjustChanged(bool)", "fontSizeAdjustChanged(bool)", "useExternalRecorderChanged(bool)",
    "promptOnExitChanged(bool)", "isDarkModeOptionChanged(bool)", "showHelpChanged(bool)",
    "recordingFormatChanged(int)", "recordStereoChanged(bool)", "recordingQualityChanged(int)",
    "recordingFrequencyChanged(int)", "convertingFormatChanged(int)", "convertStereoChanged(bool)",
    "convertingQualityChanged(int)", "convertingFrequencyChanged(int)", "alwaysImportChanged(bool)",
    "optionDelImageAfterImportChanged(bool)", "isActionEditModeChanged(bool)", "totalFramesChanged(double)",
    "hasSelectionChanged(bool)", "hasFragmentsChanged(bool)", "hasTracksChanged(bool)", "isPlayingChanged(bool)",
    "canPasteChanged(bool)", "canPasteTagsChanged(bool)", "canPasteArtworkTagChanged(bool)",
    "canSaveDirtyProjectChanged(bool)", "canSetTrackStartChanged(bool)", "canSetTrackEndChanged(bool)",
    "canSplitTrackChanged(bool)", "canDeleteTrackChanged(bool)", "canUndoChanged(bool)", "canRedoChanged(bool)",
    "isWaitingChanged(bool)", "playStateChanged(int)", "screenPixelDensityChanged(double)",
    "screenDevicePixelRatioChanged(double)", "maxHZoomChanged(int)", "playPositionTimeChanged(QString)",
    "currentSelectionTimeChanged(QString)", "nextTrackPointChanged(double)", "previousTrackPointChanged(double)",
    "nextEditPointChanged(double)", "previousEditPointChanged(double)", "recentFilesChanged(QStringList)",
    "statusMessageChanged(QString)", "audioTypeChanged(QString)", "helpTitleChanged(QString)",
    "helpTextChanged(QString)", "versionTextChanged(QString)", "currentPosFileNameChanged(QString)",
    "appStorageRootChanged(QUrl)", "searchResultsChanged()", "delProjFileNameChanged(QString)",
    "msgBoxFixTitleChanged(QString)", "msgBoxFixTextChanged(QString)", "msgBoxFixButtonsChanged(int)",
    "msgBoxFixVisibleChanged(bool)", "isDarkModeChanged(bool)", "dmDirChanged(QString)",
    "curTrackTitleChanged(QString)", "curTrackArtistChanged(QString)", "curTrackAlbumArtistChanged(QString)",
    "curTrackComposerChanged(QString)", "curTrackAlbumChanged(QString)", "curTrackCopyrightChanged(QString)",
    "curTrackGenreChanged(QString)", "curTrackCommentChanged(QString)", "curTrackArtworkDataChanged(QString)",
    "curTrackTrackChanged(int)", "curTrackDiscChanged(int)", "curTrackYearChanged(int)", "numTracksChanged(int)",
    "activeHelpNameChanged(QString)", "convertProgressTextChanged(QString)", "navDrawerPaneNameChanged(QString)",
    "selectionChanged()", "TrackInfoUpdated()", "calcViews()", "updateWidget()", "loadRecordedFileSig(QString,bool)",
    "playPositionChangedViewUpdate(double,short,short)", "qmlPickFile(QString,QUrl,QStringList,int)",
    "closeFilePicker()",
};

const char *const kSlots[] = {
    // Playback.
    "volumeChanged(double)", "pitchChanged(double)", "tempoChanged(double)",
    "PlayPositionChanged_triggered(double,short,short)", "play_thread_finished()",
    // Conversion.
    "decodeProgress(int)", "convertSaveFinished()", "convertFinished(bool)", "stateActionConvertWarnQ_Finished(int)",
    "stateActionCancelConvertQ_Finished(int)",
    // Export.
    "stateActionExportTrackLoop(int,KvTrackUI,QMessageBox::StandardButton)", "stateActionExportTrackLoop(int,KvTrackUI)",
    "stateActionExportTrackLoop(int)", "stateActionExportTracksCheckFailed()", "stateActionExportTracksAskSend()",
    "stateActionExportTracksFinal(QString)", "stateActionExportTracksNumUnassignW_Finished(int)",
    "stateActionExportTracksOverwriteW_Finished(int)", "stateActionExportTracksFailedWriteTagInfoW_Finished(int)",
    "stateActionExportTracksAskSendQ_Finished(int)", "stateActionExportFileFailedWriteTagInfoW_Finished(int)",
    "stateActionExportFileAskSendQ_Finished(int)",
    // Projects.
    "stateActionExit()", "stateActionClose()", "stateActionCloseSaveChangesQ_Finished(int)",
    "stateActionSaveProjectAsI_Finished()", "stateActionRevertProjectToSavedQ_Finished(int)",
    "stateActionExitSaveChangesQ_Finished(int)", "stateActionExitAskSureQ_Finished(int)",
    "appStateChanged(Qt::ApplicationState)",
    // Opening and appending.
    "stateActionOpenFilesDlg_Picked(QList<QUrl>)", "stateActionAppendFilesDlg_Picked(QList<QUrl>)",
    "stateActionOpenFileListFailedC_Finished(int)", "stateActionOpenFileListDelProjQ_Finished(int)",
    "stateActionLoadFiles()", "stateActionLoadFilesSaveChangesQ_Finished(int)", "stateActionLoadUrlsHelpW_Finished(int)",
    "stateActionOpenFilesDlg_ErrorsPicked(QString,QList<QUrl>)",
    "stateActionAppendFilesDlg_ErrorsPicked(QString,QList<QUrl>)", "stateActionOpenFilesDlg_ErrorsPickedQ(int)",
    "stateActionAppendFilesDlg_ErrorsPickedQ(int)", "stateActionNativeFileDialogFilesSent(bool,QStringList)",
    "load_thread_finished()", "loadRecordedFileImpl(QString,bool)", "handleFileUrlReceived(QUrl)",
    // Edits and clipboards.
    "ClipboardChanged(QClipboard::Mode)", "canUndoSlot(bool)", "canRedoSlot(bool)", "cleanChanged(bool)",
    "indexChanged(int)",
    // Scrolling.
    "checkTimerEvents()",
    // Appearance.
    "CheckIsDarkMode(QPalette)", "recalcScreenPixelDensity(double)", "recalcScreenPixelDensity()",
    "recalcScreenPixelDensity2(QScreen*)",
    // Hooks that do nothing.
    "DoOpenFilesAfter(QStringList)", "DoOpenFileAfter(QString)", "DoLoadProjAfter(QString)", "DoCloseProjAfter()",
    "DoExitProjAfter()", "DoSendFileAfter(QString)", "DoNothingAfter()", "stateActionDoNothing(int)",
    "stateActionOpenSaveChangesQ_Finished(int)", "stateActionAppendSaveChangesQ_Finished(int)",
    // Called by name by the insert-silence and normalize dialogs (moc writes qint64 as qlonglong).
    "stateActionInsertSilenceDlg_Finished(qlonglong)", "stateActionNormalizeDlg_Finished(int,QString)",
};

const char *const kInvokables[] = {
    // Selection, navigation, scroll and zoom.
    "resetSelection()", "extendSelection(double)", "adjustSelection(double)", "startNewSelection()",
    "endNewSelection(QString)", "rewindBeginning()", "fowardEnd()", "actionSetBegin()", "actionSetEnd()",
    "gotoSelStart()", "gotoSelEnd()", "navigateControlsUsed()", "actionScrubSetScrollPos(double,bool,bool)",
    "actionScrubSetScrollPos(double,bool)", "actionScrubSetScrollPos(double)", "setCeilingAndFloor(double,double)",
    "actionHorizontalZoomInOut(bool)", "verticalZoomInOut(bool)", "verticalShiftUpDown(bool)",
    "actionMoveFramesForTime(double,bool)", "actionMoveFramesForTime(double)", "actionSelectAll()",
    "actionNextTrack()", "actionPreviousTrack()", "actionNextEdit()", "actionPreviousEdit()", "actionScaleView()",
    "getdBTextString(int)",
    // Edits, tracks, tags and clipboards.
    "setTrackStart(double)", "setTrackEnd(double)", "splitTrack(double)", "deleteTrack(double)",
    "actionDeleteFrames()", "actionCutFrames()", "actionCopyFrames()", "actionPasteFrames()", "actionFadeInFrames()",
    "actionFadeOutFrames()", "actionVolumeIncFrames()", "actionVolumeDecFrames()", "actionCropFrames()",
    "actionSilenceFrames()", "actionRemoveSilenceFrames()", "actionUndo()", "actionRedo()", "actionNormalize()",
    "actionInsertSilence()", "saveCurTrackTagInfo()", "loadCurTrackTagInfo()", "copyAllTags()",
    "copyArtworkDataTag()", "pasteAllTags()", "pasteTitleTag()", "pasteArtistTag()", "pasteAlbumArtistTag()",
    "pasteComposerTag()", "pasteAlbumTag()", "pasteCopyrightTag()", "pasteGenreTag()", "pasteCommentTag()",
    "pasteArtworkDataTag()", "pasteTrackTag()", "pasteDiscTag()", "pasteYearTag()", "actionOpenImage()",
    "actionImportImage()",
    // Opening and appending.
    "loadFileUrl(QUrl)", "loadFileName(QString)", "loadFileUrls(QList<QUrl>)", "appendFileUrls(QList<QUrl>)",
    "actionOpen()", "actionAppend()", "actionImportBrowserOpen()", "actionImportBrowserAppend()",
    "actionImportITunesOpen()", "actionImportITunesAppend()", "actionLoadRecordedFiles()",
    "actionDeleteRecordedFiles()", "actionSearchAudioFiles(QString)", "actionFilePicked(QUrl)",
    // Projects and suspend.
    "closeProject(bool,bool)", "closeProject(bool)", "closeProject()", "loadProjectUrl(QUrl)", "saveProjectUrl(QUrl)",
    "initialise()", "initDelProjFilesModel(QAbstractItemModel*,QString)", "actionClose()", "actionExit()",
    "actionSaveOverExit()", "actionSaveProject()", "actionSaveProjectAs(bool)", "actionRevertProjectToSaved()",
    "actionSuspend()",
    // Export, playback, conversion and recording.
    "actionPlay(bool)", "startPlay()", "resumePlay()", "playSelection()", "actionPause()", "stop()",
    "pitchTempoControlsUsed()", "exportFileUrl(QUrl,bool,bool)", "exportFileUrl(QUrl,bool)", "exportTracksUrl(QUrl)",
    "convertFileOrTracksUrl(QUrl,bool,bool)", "actionExportAll()", "actionExportSelection()", "actionExportTracks()",
    "actionConvertAll()", "actionConvertSelection()", "actionConvertTracks()", "actionRecord()",
    "actionStartExternalRecord()", "actionStartInternalRecording()", "actionStopInternalRecording()",
    "actionCancelConvert(bool)",
    // Settings, appearance, help tour, utilities.
    "readSettings()", "writeSettings()", "resetUIWarnings()", "darkModeColor(QColor)", "actionTakeTour()",
    "actionCancelTour()", "defaultFilesDirectory()", "messageBoxWarningInfo(QString,bool)", "msgBoxFixFinished(int)",
    "msgBoxFixFinishedValue()",
    // Hooks that do nothing.
    "actionSendFile(QString,bool)", "actionSendFile(QString)", "deleteProjFiles(QAbstractItemModel*)",
    "actionDeleteImportedImages(int)",
    // Called by name by the conversion dialog and worker.
    "checkConvertWarning()", "getAudioSaveFileName(QWidget*,QString,QString,QString)",
    "getExistingDirectory(QWidget*,QString,QString,int)", "lastConvertPath()", "setLastConvertPath(QString)",
    "afterExportOrConvert(bool,bool)",
};

QSet<QByteArray> normalized(const char *const *begin, const char *const *end)
{
    QSet<QByteArray> set;
    for (const char *const *s = begin; s != end; ++s)
        set.insert(QMetaObject::normalizedSignature(*s));
    return set;
}

std::string listed(QList<QByteArray> list)
{
    std::sort(list.begin(), list.end());
    std::string text;
    for (const QByteArray &s : list)
        text += "\n  " + s.toStdString();
    return text;
}

TEST(ControllerMetaObject, PropertiesWithTypesAccessAndNotifySignals)
{
    const QMetaObject &mo = KvQmlController::staticMetaObject;
    const int count = mo.propertyCount() - mo.propertyOffset();
    ASSERT_EQ(count, int(std::size(kProperties)));
    ASSERT_EQ(count, 105);
    for (int i = 0; i < count; ++i) {
        const QMetaProperty p = mo.property(mo.propertyOffset() + i);
        const PropertyRow &row = kProperties[i];
        EXPECT_STREQ(p.name(), row.name) << "property " << i;
        EXPECT_STREQ(p.typeName(), row.type) << row.name;
        EXPECT_TRUE(p.isReadable()) << row.name;
        EXPECT_EQ(p.isWritable(), row.writable) << row.name;
        ASSERT_TRUE(p.hasNotifySignal()) << row.name;
        EXPECT_EQ(p.notifySignal().methodSignature(), QByteArray(row.notify)) << row.name;
    }
}

TEST(ControllerMetaObject, SignalsSlotsAndInvokablesAreExactlyTheListedOnes)
{
    const QMetaObject &mo = KvQmlController::staticMetaObject;
    QList<QByteArray> signalOrder;
    QSet<QByteArray> slotSet, invokables;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod m = mo.method(i);
        if (m.methodType() == QMetaMethod::Signal)
            signalOrder << m.methodSignature();
        else if (m.methodType() == QMetaMethod::Slot)
            slotSet.insert(m.methodSignature());
        else if (m.methodType() == QMetaMethod::Method)
            invokables.insert(m.methodSignature());
    }
    QList<QByteArray> expectedSignals;
    for (const char *s : kSignals)
        expectedSignals << QMetaObject::normalizedSignature(s);
    EXPECT_EQ(signalOrder, expectedSignals) << "declared:" << listed(signalOrder);

    const QSet<QByteArray> expectedSlots = normalized(std::begin(kSlots), std::end(kSlots));
    EXPECT_EQ(slotSet.size(), int(std::size(kSlots))) << "a slot listed twice or declared twice";
    EXPECT_TRUE((expectedSlots - slotSet).isEmpty()) << "missing slots:" << listed((expectedSlots - slotSet).values());
    EXPECT_TRUE((slotSet - expectedSlots).isEmpty()) << "unlisted slots:" << listed((slotSet - expectedSlots).values());

    const QSet<QByteArray> expectedInvokables = normalized(std::begin(kInvokables), std::end(kInvokables));
    EXPECT_EQ(invokables.size(), int(std::size(kInvokables)));
    EXPECT_TRUE((expectedInvokables - invokables).isEmpty())
        << "missing invokables:" << listed((expectedInvokables - invokables).values());
    EXPECT_TRUE((invokables - expectedInvokables).isEmpty())
        << "unlisted invokables:" << listed((invokables - expectedInvokables).values());
}

// Receives any signal: a string-based connect still checks the signal's signature.
class Receiver : public QObject {
    Q_OBJECT
public slots:
    void any() {}
    void levels(double, qint16, qint16) {}
};

TEST(ControllerMetaObject, TheDesktopsSignatureStringsConnect)
{
    kvtest::FakeUiServices ui;
    KvQmlController controller(nullptr, KvControllerSeams{&ui});
    Receiver receiver;
    const char *const used[] = {
        SIGNAL(playStateChanged(int)),        SIGNAL(isPlayingChanged(bool)),   SIGNAL(hZoomChanged(int)),
        SIGNAL(calcViews()),                  SIGNAL(TrackInfoUpdated()),       SIGNAL(hasSelectionChanged(bool)),
        SIGNAL(hasFragmentsChanged(bool)),    SIGNAL(updateWidget()),           SIGNAL(selectionChanged()),
        SIGNAL(recentFilesChanged(QStringList)), SIGNAL(canSaveDirtyProjectChanged(bool)),
        SIGNAL(canPasteChanged(bool)),        SIGNAL(scrollFrameChanged(double)),
    };
    for (const char *signal : used)
        EXPECT_TRUE(kvConnect(&controller, signal, &receiver, SLOT(any()))) << signal;
    EXPECT_TRUE(kvConnect(&controller, SIGNAL(playPositionChangedViewUpdate(double, qint16, qint16)), &receiver,
                          SLOT(levels(double, qint16, qint16))));
}

// Every member that other parts of the program call by name, called the way
// they call it: a missing or misspelt one fails the test (KvConnectCheck).
TEST(ControllerMetaObject, MembersCalledByNameAnswer)
{
    kvtest::FakeUiServices ui;
    KvQmlController controller(nullptr, KvControllerSeams{&ui});
    QSettings().remove("Settings/lastConvertPath");

    // The conversion worker.
    EXPECT_TRUE(kvInvoke(&controller, "stateActionCancelConvertQ_Finished", Q_ARG(int, KvUi::No)));
    EXPECT_TRUE(kvInvoke(&controller, "setLastConvertPath", Q_ARG(QString, "/music/out")));
    QString folder;
    EXPECT_TRUE(kvInvoke(&controller, "lastConvertPath", Q_RETURN_ARG(QString, folder)));
    EXPECT_EQ(folder, "/music/out");
    EXPECT_TRUE(kvInvoke(&controller, "afterExportOrConvert", Q_ARG(bool, false), Q_ARG(bool, true)));
    EXPECT_TRUE(QSettings().value("HelpUsage/ConvertDone").toBool());
    bool go = false;
    EXPECT_TRUE(kvInvoke(&controller, "checkConvertWarning", Q_RETURN_ARG(bool, go)));
    EXPECT_TRUE(go);

    ui.saveAnswers << "/music/out/take.mp3";
    QString name;
    EXPECT_TRUE(kvInvoke(&controller, "getAudioSaveFileName", Q_RETURN_ARG(QString, name),
                         Q_ARG(QWidget *, nullptr), Q_ARG(QString, "Save Converted Audio"),
                         Q_ARG(QString, "/music/out"), Q_ARG(QString, "mp3")));
    EXPECT_EQ(name, "/music/out/take.mp3");
    ui.folderAnswers << "/music/tracks";
    EXPECT_TRUE(kvInvoke(&controller, "getExistingDirectory", Q_RETURN_ARG(QString, name), Q_ARG(QWidget *, nullptr),
                         Q_ARG(QString, "Track Convert Directory"), Q_ARG(QString, "/music"),
                         Q_ARG(int, KvUi::ShowDirsOnly | KvUi::DontResolveSymlinks)));
    EXPECT_EQ(name, "/music/tracks");
    EXPECT_EQ(ui.captions, (QStringList{"Save Converted Audio", "Track Convert Directory"}));

    // The insert-silence and normalize dialogs, cancelled.
    EXPECT_TRUE(kvInvoke(&controller, "stateActionInsertSilenceDlg_Finished", Q_ARG(qint64, 0)));
    EXPECT_TRUE(kvInvoke(&controller, "stateActionNormalizeDlg_Finished", Q_ARG(int, 0), Q_ARG(QString, QString())));

    // The touch interface's track export with the answer type it passes.
    bool more = true;
    EXPECT_TRUE(kvInvoke(&controller, "stateActionExportTrackLoop", Q_RETURN_ARG(bool, more), Q_ARG(int, 1),
                         Q_ARG(KvTrackUI, TrackUiAsk)));
}

} // namespace

#include "KvControllerMetaObjectTest.moc"
