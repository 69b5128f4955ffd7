#pragma once
#include <KvEditContext.h>
#include <KvPaintMetrics.h>
#include <KvTagEditContext.h>
#include <KvTrackUI.h>
#include <KvUiServices.h>

#include <QClipboard>
#include <QColor>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <boost/shared_ptr.hpp>

#include <functional>

class KvAudioFragmentList;
class KvAudioItem;
class KvClock;
class KvConvertWorker;
class KvInsertSilence;
class KvPlayThread;
class KvPlayThreadFactory;
class KvQmlModel;
class KvAudioFile;
class KvRepackInfo;
class KvRepackInfoPtrList;
class KvTagInfo;
class KvTagProperty;
class KvUndoCrop;
class KvUndoCut;
class KvUndoDelete;
class KvUndoPaste;
class KvVolumeFade;
class KvVolumeSilence;
class QAbstractItemModel;
class QMutex;
class QPalette;
class QScreen;
class QSettings;
class QThread;
class QUndoCommand;
class QUndoStack;
class QWidget;
class audio_lib;

namespace boost {
namespace archive {
class text_iarchive;
class text_oarchive;
} // namespace archive
} // namespace boost

// The play state at the property interface: 0 stopped, 1 playing to the end,
// 2 playing the selection, 3 paused, 4 paused inside the selection.
typedef int KvPlayState;
// The frame views' mouse-drag selection mode; 0 = no drag. The views own the
// other values (4: the start edge follows the pointer, 5: the end edge).
typedef int MouseDragSelType;

// What the controller reaches the desktop and the clock through; null members
// take the real ones (the UI services: the process-wide ones, see
// KvUiServices.h). Not owned: each must outlive the controller.
struct KvControllerSeams {
    KvUiServices *ui = nullptr;
    KvClock *clock = nullptr;
    KvPlayThreadFactory *playThreads = nullptr;
    // How long a file is indexed before the progress window shows, in ms.
    int openProgressDelayMs = 400;
};

// The application controller: the editing and view state that is not part of
// the document (scroll position, zoom, selection, level scale, play state,
// options, the current track's tags), published through properties and change
// signals that the views, the main window and the touch interface's sources
// bind to by signature strings. The one instance is created by the main window,
// which then hands it the model. It links no widget code: questions, file
// choosers and dialogs go through its UI services.
//
// The members are grouped by area; each area's bodies live in their own file
// (named in the group comments).
class KvQmlController : public QObject,
                        public KvEditContext,
                        public KvTagEditContext,
                        public KvPaintMetrics
{
    Q_OBJECT
    Q_PROPERTY(KvQmlModel *model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(double scrollFrame READ scrollFrame WRITE setScrollFrame NOTIFY scrollFrameChanged)
    Q_PROPERTY(int hZoom READ hZoom WRITE setHZoom NOTIFY hZoomChanged)
    Q_PROPERTY(double selectionStart READ selectionStart WRITE setSelectionStart NOTIFY selectionStartChanged)
    Q_PROPERTY(double selectionEnd READ selectionEnd WRITE setSelectionEnd NOTIFY selectionEndChanged)
    Q_PROPERTY(MouseDragSelType mouseDragSelecting READ mouseDragSelecting WRITE setMouseDragSelecting NOTIFY mouseDragSelectingChanged)
    Q_PROPERTY(double ceiling READ ceiling WRITE setCeiling NOTIFY ceilingChanged)
    Q_PROPERTY(double floor READ floor WRITE setFloor NOTIFY floorChanged)
    Q_PROPERTY(bool hasDisplayGap READ hasDisplayGap WRITE setHasDisplayGap NOTIFY hasDisplayGapChanged)
    Q_PROPERTY(int displayOffset READ displayOffset WRITE setDisplayOffset NOTIFY displayOffsetChanged)
    Q_PROPERTY(int volumeIncDec READ volumeIncDec WRITE setVolumeIncDec NOTIFY volumeIncDecChanged)
    Q_PROPERTY(int volumeFade READ volumeFade WRITE setVolumeFade NOTIFY volumeFadeChanged)
    Q_PROPERTY(bool useAutoTrackNum READ useAutoTrackNum WRITE setUseAutoTrackNum NOTIFY useAutoTrackNumChanged)
    Q_PROPERTY(QString trackNameFormat READ trackNameFormat WRITE setTrackNameFormat NOTIFY trackNameFormatChanged)
    Q_PROPERTY(QString lastOpenPath READ lastOpenPath WRITE setLastOpenPath NOTIFY lastOpenPathChanged)
    Q_PROPERTY(QString lastSavePath READ lastSavePath WRITE setLastSavePath NOTIFY lastSavePathChanged)
    Q_PROPERTY(QUrl lastOpenPathUrl READ lastOpenPathUrl WRITE setLastOpenPathUrl NOTIFY lastOpenPathUrlChanged)
    Q_PROPERTY(QUrl lastSavePathUrl READ lastSavePathUrl WRITE setLastSavePathUrl NOTIFY lastSavePathUrlChanged)
    Q_PROPERTY(QString lastOpenFilter READ lastOpenFilter WRITE setLastOpenFilter NOTIFY lastOpenFilterChanged)
    Q_PROPERTY(double navigateBlockSecs READ navigateBlockSecs WRITE setNavigateBlockSecs NOTIFY navigateBlockSecsChanged)
    Q_PROPERTY(double navigatePageSecs READ navigatePageSecs WRITE setNavigatePageSecs NOTIFY navigatePageSecsChanged)
    Q_PROPERTY(QColor uiWindowColor READ uiWindowColor WRITE setUiWindowColor NOTIFY uiWindowColorChanged)
    Q_PROPERTY(QColor uiTextColor READ uiTextColor WRITE setUiTextColor NOTIFY uiTextColorChanged)
    Q_PROPERTY(QString toastMessage READ toastMessage WRITE setToastMessage NOTIFY toastMessageChanged)
    Q_PROPERTY(bool loopAudio READ loopAudio WRITE setLoopAudio NOTIFY loopAudioChanged)
    Q_PROPERTY(int curTrack READ curTrack WRITE setCurTrack NOTIFY curTrackChanged)
    Q_PROPERTY(QString curTrackTitle READ curTrackTitle WRITE setCurTrackTitle NOTIFY curTrackTitleChanged)
    Q_PROPERTY(QString curTrackArtist READ curTrackArtist WRITE setCurTrackArtist NOTIFY curTrackArtistChanged)
    Q_PROPERTY(QString curTrackAlbumArtist READ curTrackAlbumArtist WRITE setCurTrackAlbumArtist NOTIFY curTrackAlbumArtistChanged)
    Q_PROPERTY(QString curTrackComposer READ curTrackComposer WRITE setCurTrackComposer NOTIFY curTrackComposerChanged)
    Q_PROPERTY(QString curTrackAlbum READ curTrackAlbum WRITE setCurTrackAlbum NOTIFY curTrackAlbumChanged)
    Q_PROPERTY(QString curTrackCopyright READ curTrackCopyright WRITE setCurTrackCopyright NOTIFY curTrackCopyrightChanged)
    Q_PROPERTY(QString curTrackGenre READ curTrackGenre WRITE setCurTrackGenre NOTIFY curTrackGenreChanged)
    Q_PROPERTY(QString curTrackComment READ curTrackComment WRITE setCurTrackComment NOTIFY curTrackCommentChanged)
    Q_PROPERTY(QString curTrackArtworkData READ curTrackArtworkData WRITE setCurTrackArtworkData NOTIFY curTrackArtworkDataChanged)
    Q_PROPERTY(int curTrackTrack READ curTrackTrack WRITE setCurTrackTrack NOTIFY curTrackTrackChanged)
    Q_PROPERTY(int curTrackDisc READ curTrackDisc WRITE setCurTrackDisc NOTIFY curTrackDiscChanged)
    Q_PROPERTY(int curTrackYear READ curTrackYear WRITE setCurTrackYear NOTIFY curTrackYearChanged)
    Q_PROPERTY(bool showIconText READ showIconText WRITE setShowIconText NOTIFY showIconTextChanged)
    Q_PROPERTY(bool shareStatistics READ shareStatistics WRITE setShareStatistics NOTIFY shareStatisticsChanged)
    Q_PROPERTY(int iconSizeAdjust READ iconSizeAdjust WRITE setIconSizeAdjust NOTIFY iconSizeAdjustChanged)
    Q_PROPERTY(int fontSizeAdjust READ fontSizeAdjust WRITE setFontSizeAdjust NOTIFY fontSizeAdjustChanged)
    Q_PROPERTY(bool useExternalRecorder READ useExternalRecorder WRITE setUseExternalRecorder NOTIFY useExternalRecorderChanged)
    Q_PROPERTY(bool promptOnExit READ promptOnExit WRITE setPromptOnExit NOTIFY promptOnExitChanged)
    Q_PROPERTY(bool isDarkModeOption READ isDarkModeOption WRITE setIsDarkModeOption NOTIFY isDarkModeOptionChanged)
    Q_PROPERTY(bool showHelp READ showHelp WRITE setShowHelp NOTIFY showHelpChanged)
    Q_PROPERTY(QString activeHelpName READ activeHelpName WRITE setActiveHelpName NOTIFY activeHelpNameChanged)
    Q_PROPERTY(QString navDrawerPaneName READ navDrawerPaneName WRITE setNavDrawerPaneName NOTIFY navDrawerPaneNameChanged)
    Q_PROPERTY(int recordingFormat READ recordingFormat WRITE setRecordingFormat NOTIFY recordingFormatChanged)
    Q_PROPERTY(bool recordStereo READ recordStereo WRITE setRecordStereo NOTIFY recordStereoChanged)
    Q_PROPERTY(int recordingQuality READ recordingQuality WRITE setRecordingQuality NOTIFY recordingQualityChanged)
    Q_PROPERTY(int recordingFrequency READ recordingFrequency WRITE setRecordingFrequency NOTIFY recordingFrequencyChanged)
    Q_PROPERTY(int convertingFormat READ convertingFormat WRITE setConvertingFormat NOTIFY convertingFormatChanged)
    Q_PROPERTY(bool convertStereo READ convertStereo WRITE setConvertStereo NOTIFY convertStereoChanged)
    Q_PROPERTY(int convertingQuality READ convertingQuality WRITE setConvertingQuality NOTIFY convertingQualityChanged)
    Q_PROPERTY(int convertingFrequency READ convertingFrequency WRITE setConvertingFrequency NOTIFY convertingFrequencyChanged)
    Q_PROPERTY(QString convertProgressText READ convertProgressText WRITE setConvertProgressText NOTIFY convertProgressTextChanged)
    Q_PROPERTY(bool alwaysImport READ alwaysImport WRITE setAlwaysImport NOTIFY alwaysImportChanged)
    Q_PROPERTY(bool optionDelImageAfterImport READ optionDelImageAfterImport WRITE setOptionDelImageAfterImport NOTIFY optionDelImageAfterImportChanged)
    Q_PROPERTY(bool isActionEditMode READ isActionEditMode WRITE setIsActionEditMode NOTIFY isActionEditModeChanged)
    Q_PROPERTY(double totalFrames READ totalFrames NOTIFY totalFramesChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY hasSelectionChanged)
    Q_PROPERTY(bool hasFragments READ hasFragments NOTIFY hasFragmentsChanged)
    Q_PROPERTY(bool hasTracks READ hasTracks NOTIFY hasTracksChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool canPaste READ canPaste NOTIFY canPasteChanged)
    Q_PROPERTY(bool canPasteTags READ canPasteTags NOTIFY canPasteTagsChanged)
    Q_PROPERTY(bool canPasteArtworkTag READ canPasteArtworkTag NOTIFY canPasteArtworkTagChanged)
    Q_PROPERTY(bool canSaveDirtyProject READ canSaveDirtyProject NOTIFY canSaveDirtyProjectChanged)
    Q_PROPERTY(bool canSetTrackStart READ canSetTrackStart NOTIFY canSetTrackStartChanged)
    Q_PROPERTY(bool canSetTrackEnd READ canSetTrackEnd NOTIFY canSetTrackEndChanged)
    Q_PROPERTY(bool canSplitTrack READ canSplitTrack NOTIFY canSplitTrackChanged)
    Q_PROPERTY(bool canDeleteTrack READ canDeleteTrack NOTIFY canDeleteTrackChanged)
    Q_PROPERTY(bool canUndo READ canUndo NOTIFY canUndoChanged)
    Q_PROPERTY(bool canRedo READ canRedo NOTIFY canRedoChanged)
    Q_PROPERTY(bool isWaiting READ isWaiting NOTIFY isWaitingChanged)
    Q_PROPERTY(KvPlayState playState READ playState NOTIFY playStateChanged)
    Q_PROPERTY(double screenPixelDensity READ screenPixelDensity NOTIFY screenPixelDensityChanged)
    Q_PROPERTY(double screenDevicePixelRatio READ screenDevicePixelRatio NOTIFY screenDevicePixelRatioChanged)
    Q_PROPERTY(int maxHZoom READ maxHZoom NOTIFY maxHZoomChanged)
    Q_PROPERTY(QString playPositionTime READ playPositionTime NOTIFY playPositionTimeChanged)
    Q_PROPERTY(QString currentSelectionTime READ currentSelectionTime NOTIFY currentSelectionTimeChanged)
    Q_PROPERTY(double nextTrackPoint READ nextTrackPoint NOTIFY nextTrackPointChanged)
    Q_PROPERTY(double previousTrackPoint READ previousTrackPoint NOTIFY previousTrackPointChanged)
    Q_PROPERTY(double nextEditPoint READ nextEditPoint NOTIFY nextEditPointChanged)
    Q_PROPERTY(double previousEditPoint READ previousEditPoint NOTIFY previousEditPointChanged)
    Q_PROPERTY(QStringList recentFiles READ recentFiles NOTIFY recentFilesChanged)
    Q_PROPERTY(QString statusMessage READ statusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(int numTracks READ numTracks NOTIFY numTracksChanged)
    Q_PROPERTY(QString audioType READ audioType NOTIFY audioTypeChanged)
    Q_PROPERTY(QString helpTitle READ helpTitle NOTIFY helpTitleChanged)
    Q_PROPERTY(QString helpText READ helpText NOTIFY helpTextChanged)
    Q_PROPERTY(int playPosWidth READ playPosWidth NOTIFY playPosWidthChanged)
    Q_PROPERTY(int convertProgress READ convertProgress NOTIFY convertProgressChanged)
    Q_PROPERTY(QString versionText READ versionText NOTIFY versionTextChanged)
    Q_PROPERTY(QString currentPosFileName READ currentPosFileName NOTIFY currentPosFileNameChanged)
    Q_PROPERTY(QUrl appStorageRoot READ appStorageRoot NOTIFY appStorageRootChanged)
    Q_PROPERTY(QString delProjFileName READ delProjFileName NOTIFY delProjFileNameChanged)
    Q_PROPERTY(QString msgBoxFixTitle READ msgBoxFixTitle NOTIFY msgBoxFixTitleChanged)
    Q_PROPERTY(QString msgBoxFixText READ msgBoxFixText NOTIFY msgBoxFixTextChanged)
    Q_PROPERTY(int msgBoxFixButtons READ msgBoxFixButtons NOTIFY msgBoxFixButtonsChanged)
    Q_PROPERTY(bool msgBoxFixVisible READ msgBoxFixVisible NOTIFY msgBoxFixVisibleChanged)
    Q_PROPERTY(bool isDarkMode READ isDarkMode NOTIFY isDarkModeChanged)
    Q_PROPERTY(QString dmDir READ dmDir NOTIFY dmDirChanged)
    Q_PROPERTY(QVariant searchResults READ searchResults NOTIFY searchResultsChanged)

public:
    // ---- Lifecycle and seams (KvQmlController.cpp) ----
    explicit KvQmlController(QObject *parent = nullptr, const KvControllerSeams &seams = KvControllerSeams());
    ~KvQmlController() override;

    KvUiServices &uiServices() const;
    // The UI services of the registered controller, else the process-wide ones.
    static KvUiServices &registeredUi();
    KvClock &clock() const;
    KvPlayThreadFactory &playThreadFactory() const;

    // The program's one controller and its current model (null before).
    static KvQmlController *instance();
    static KvQmlModel *currentModel();

    KvQmlModel *model() const { return m_model; }
    void setModel(KvQmlModel *model);
    // The parent of every prompt: the constructor's parent when it is a widget (opaque).
    QWidget *messageBoxParent() const { return m_messageBoxParent; }

    // ---- Plain properties (KvQmlControllerProperties.cpp) ----
    // A write stores and announces only a changed value; the exceptions are
    // noted at their setters.
    int hZoom() const { return m_hZoom; }
    // Clamped to 1..maxHZoom; recomputes playPosWidth.
    void setHZoom(int zoom);
    int maxHZoom() const { return 16; }
    int playPosWidth() const { return m_playPosWidth; }
    MouseDragSelType mouseDragSelecting() const { return m_mouseDragSelecting; }
    void setMouseDragSelecting(MouseDragSelType mode);
    double ceiling() const { return m_ceiling; }
    void setCeiling(double value);
    double floor() const { return m_floor; }
    void setFloor(double value);
    bool hasDisplayGap() const { return m_hasDisplayGap; }
    // Also emits updateWidget().
    void setHasDisplayGap(bool on);
    int displayOffset() const { return m_displayOffset; }
    // Clamped to 0..100; also emits updateWidget().
    void setDisplayOffset(int percent);
    bool useAutoTrackNum() const { return m_useAutoTrackNum; }
    // Also emits updateWidget().
    void setUseAutoTrackNum(bool on);
    QString trackNameFormat() const { return m_trackNameFormat; }
    // Also emits updateWidget().
    void setTrackNameFormat(const QString &pattern);
    QString lastOpenPath() const { return m_lastOpenPath; }
    // Also announces lastOpenPathUrl.
    void setLastOpenPath(const QString &folder);
    QString lastSavePath() const { return m_lastSavePath; }
    // Also announces lastSavePathUrl.
    void setLastSavePath(const QString &folder);
    // Empty for an empty path, else the path's local-file URL.
    QUrl lastOpenPathUrl() const;
    QUrl lastSavePathUrl() const;
    // Sets the path; on a change the URL signal comes twice (the second with url).
    void setLastOpenPathUrl(const QUrl &url);
    void setLastSavePathUrl(const QUrl &url);
    QString lastOpenFilter() const { return m_lastOpenFilter; }
    void setLastOpenFilter(const QString &filter);
    double navigateBlockSecs() const { return m_navigateBlockSecs; }
    void setNavigateBlockSecs(double secs);
    double navigatePageSecs() const { return m_navigatePageSecs; }
    void setNavigatePageSecs(double secs);
    QColor uiWindowColor() const { return m_uiWindowColor; }
    void setUiWindowColor(const QColor &color);
    QColor uiTextColor() const { return m_uiTextColor; }
    void setUiTextColor(const QColor &color);
    QString toastMessage() const { return m_toastMessage; }
    void setToastMessage(const QString &text);
    bool loopAudio() const { return m_loopAudio; }
    void setLoopAudio(bool on);
    int curTrack() const { return m_curTrack; }
    // 0 the whole file, n the n-th track, -1 none; loads the curTrack* tags.
    void setCurTrack(int track);
    QString curTrackTitle() const { return m_curTrackTitle; }
    void setCurTrackTitle(const QString &text);
    QString curTrackArtist() const { return m_curTrackArtist; }
    void setCurTrackArtist(const QString &text);
    QString curTrackAlbumArtist() const { return m_curTrackAlbumArtist; }
    void setCurTrackAlbumArtist(const QString &text);
    QString curTrackComposer() const { return m_curTrackComposer; }
    void setCurTrackComposer(const QString &text);
    QString curTrackAlbum() const { return m_curTrackAlbum; }
    void setCurTrackAlbum(const QString &text);
    QString curTrackCopyright() const { return m_curTrackCopyright; }
    void setCurTrackCopyright(const QString &text);
    QString curTrackGenre() const { return m_curTrackGenre; }
    void setCurTrackGenre(const QString &text);
    QString curTrackComment() const { return m_curTrackComment; }
    void setCurTrackComment(const QString &text);
    // The current track's artwork as artwork text (URL-safe Base64, no "=").
    QString curTrackArtworkData() const override { return m_curTrackArtworkData; }
    void setCurTrackArtworkData(const QString &text) override;
    int curTrackTrack() const { return m_curTrackTrack; }
    void setCurTrackTrack(int value);
    int curTrackDisc() const { return m_curTrackDisc; }
    void setCurTrackDisc(int value);
    int curTrackYear() const { return m_curTrackYear; }
    void setCurTrackYear(int value);
    bool showIconText() const { return m_showIconText; }
    void setShowIconText(bool on);
    bool shareStatistics() const { return m_shareStatistics; }
    void setShareStatistics(bool on);
    int iconSizeAdjust() const { return m_iconSizeAdjust; }
    // The signal carries whether the value is non-zero; then calcViews().
    void setIconSizeAdjust(int steps);
    int fontSizeAdjust() const { return m_fontSizeAdjust; }
    void setFontSizeAdjust(int steps);
    bool useExternalRecorder() const { return m_useExternalRecorder; }
    void setUseExternalRecorder(bool on);
    bool promptOnExit() const { return m_promptOnExit; }
    void setPromptOnExit(bool on);
    bool isDarkModeOption() const { return m_isDarkModeOption; }
    void setIsDarkModeOption(bool on);
    int recordingFormat() const { return m_recordingFormat; }
    void setRecordingFormat(int value);
    bool recordStereo() const { return m_recordStereo; }
    void setRecordStereo(bool on);
    int recordingQuality() const { return m_recordingQuality; }
    void setRecordingQuality(int value);
    int recordingFrequency() const { return m_recordingFrequency; }
    void setRecordingFrequency(int value);
    int convertingFormat() const { return m_convertingFormat; }
    void setConvertingFormat(int value);
    bool convertStereo() const { return m_convertStereo; }
    void setConvertStereo(bool on);
    int convertingQuality() const { return m_convertingQuality; }
    void setConvertingQuality(int value);
    int convertingFrequency() const { return m_convertingFrequency; }
    void setConvertingFrequency(int value);
    QString convertProgressText() const { return m_convertProgressText; }
    void setConvertProgressText(const QString &text);
    bool alwaysImport() const { return m_alwaysImport; }
    // The first call announces even an unchanged value.
    void setAlwaysImport(bool on);
    bool optionDelImageAfterImport() const { return m_optionDelImageAfterImport; }
    void setOptionDelImageAfterImport(bool on);
    bool isActionEditMode() const { return m_isActionEditMode; }
    // Also the process-wide edit-mode flag that a new controller starts with.
    void setIsActionEditMode(bool on);
    bool isWaiting() const { return m_isWaiting; }
    KvPlayState playState() const { return m_playState; }
    bool isPlaying() const { return m_playState == 1 || m_playState == 2; }
    QString versionText() const { return m_versionText; }
    QUrl appStorageRoot() const { return m_appStorageRoot; }
    QString delProjFileName() const { return m_delProjFileName; }
    QString msgBoxFixTitle() const { return m_msgBoxFixTitle; }
    QString msgBoxFixText() const { return m_msgBoxFixText; }
    int msgBoxFixButtons() const { return m_msgBoxFixButtons; }
    bool msgBoxFixVisible() const { return m_msgBoxFixVisible; }
    // The process-wide edit-mode flag; resetProcessState forgets it (between tests).
    static bool processEditMode();
    static void resetProcessState();

    // ---- Settings (KvQmlControllerSettings.cpp) ----
    Q_INVOKABLE void readSettings();
    Q_INVOKABLE void writeSettings();
    Q_INVOKABLE void resetUIWarnings();

    // ---- Appearance, dark mode and screen metrics (KvQmlControllerAppearance.cpp) ----
    bool isDarkMode() const { return m_isDarkMode; }
    QString dmDir() const;
    double screenPixelDensity() const { return m_screenPixelDensity; }
    double screenDevicePixelRatio() const { return m_screenDevicePixelRatio; }
    void loadPaletteColors(QColor &windowColor, QColor &textColor) const;
    // The colour to draw for value in the current mode (lightness mirrored when dark).
    Q_INVOKABLE QColor darkModeColor(QColor value) const;
    // The same through the registered controller; value unchanged when there is none.
    static QColor registeredDarkModeColor(const QColor &value);
    static bool registeredIsDarkMode();
    int checkPainterPixelRatio(QPainter *painter) override;
    static double devicePixelRatioFor(KvQmlController *controller);
    double devicePixelRatio() override { return devicePixelRatioFor(this); }
    // The primary screen's density in pixels per inch, as sizes are scaled with.
    static double calcScreenPixelDensity();
    // The same for a screen of that density (the larger of its physical and
    // logical dots per inch) and physical size.
    static double calcScreenPixelDensity(double dpi, const QSizeF &physicalSizeMm);
    // Pixels for a size in density-independent units (scaledDp) or in percent of
    // the reference (scaledPct), with the registered controller's size adjustments.
    static int scaledDp(double dp);
    static int scaledPct(double pct);
    // The style sheet of the touch interface's widgets.
    QString uiStyleSheet() const;

    // ---- Help tour and usage flags (KvQmlControllerHelp.cpp) ----
    bool showHelp() const { return m_showHelp; }
    void setShowHelp(bool show);
    QString activeHelpName() const { return m_activeHelpName; }
    void setActiveHelpName(const QString &name);
    QString navDrawerPaneName() const { return m_navDrawerPaneName; }
    void setNavDrawerPaneName(const QString &name);
    QString helpTitle() const { return m_helpTitle; }
    QString helpText() const { return m_helpText; }
    Q_INVOKABLE void actionTakeTour();
    Q_INVOKABLE void actionCancelTour();
    // Sets the help-tour usage flag "HelpUsage/<name>" to true.
    static void setHelpUsage(const char *name);
    // Appends a page to the tour.
    void addHelpPage(const QString &id, const QString &title, const QString &text);
    // Whether the page may be shown now.
    bool UpdateHelpUsage(const QString &id);
    // The periodic check that shows the next page of the tour when it is due.
    void recordHelpUsage();

    // ---- Utilities (KvQmlControllerUtil.cpp) ----
    // Where the user's audio files are expected: Music, else Documents, else empty.
    static QString defaultFilesPath();
    Q_INVOKABLE QString defaultFilesDirectory() const;
    Q_INVOKABLE bool messageBoxWarningInfo(QString message, bool isWarningOkCancel);
    Q_INVOKABLE void msgBoxFixFinished(int value);
    Q_INVOKABLE int msgBoxFixFinishedValue();
    QVariant searchResults() const;

    // ---- Document state, selection, navigation, scroll, zoom and time texts ----
    // (KvQmlControllerState.cpp, KvQmlControllerSelection.cpp, KvQmlControllerNavigation.cpp)
    // The position truncated to a whole frame; dbScrollFrame as stored.
    double scrollFrame() const override;
    void setScrollFrame(double frame) override;
    double dbScrollFrame() const { return m_scrollFrame; }
    double selectionStart() const override { return double(m_selectionStart); }
    double selectionEnd() const override { return double(m_selectionEnd); }
    void setSelectionStart(double frame) override;
    void setSelectionEnd(double frame) override;
    double totalFrames() const;
    bool hasSelection() const;
    bool hasFragments() const;
    QString statusMessage() const { return m_statusMessage; }
    QString audioType() const { return m_audioType; }
    QString currentPosFileName() const { return m_currentPosFileName; }
    QString playPositionTime() const { return m_playPositionTime; }
    QString currentSelectionTime() const { return m_currentSelectionTime; }
    double nextEditPoint() const { return m_nextEditPoint; }
    double previousEditPoint() const { return m_previousEditPoint; }
    double nextTrackPoint() const { return m_nextTrackPoint; }
    double previousTrackPoint() const { return m_previousTrackPoint; }

    void refreshDocumentState();
    void refreshAfterUndo() override;
    void updateCurrentPosFileName();
    QString updateStatusMessage();
    void setPlayState(int state);
    // Empties the drag history of the scroll timing and stops a fling.
    void resetTimerHistory();
    // Republishes the position and selection time texts when they changed.
    void updateTimeTexts();

    Q_INVOKABLE void resetSelection();
    Q_INVOKABLE void extendSelection(double dbSelectedFrame);
    Q_INVOKABLE void adjustSelection(double dbFramesDelta);
    Q_INVOKABLE void startNewSelection();
    Q_INVOKABLE void endNewSelection(QString undoString);
    Q_INVOKABLE void actionSelectAll();
    Q_INVOKABLE void actionSetBegin();
    Q_INVOKABLE void actionSetEnd();
    // Selection changes become undo entries that keep a clean stack clean
    // and never discard edits waiting to be redone. The new selection and
    // view are read from the controller; nothing happens without a document.
    void pushSelectionChange(qint64 oldScrollFrame, qint64 oldSelectionStart,
                             qint64 oldSelectionEnd, const QString &text);
    // Keyboard selection by a signed frame count: the selection grows or
    // shrinks from the position, the position follows, one undo entry.
    void keyboardSelect(qint64 frames);
    // Sets the selection start (or end) at the position, one undo entry.
    void setSelectionEdge(bool isStart);

    Q_INVOKABLE void rewindBeginning();
    Q_INVOKABLE void fowardEnd();
    Q_INVOKABLE void gotoSelStart();
    Q_INVOKABLE void gotoSelEnd();
    Q_INVOKABLE void navigateControlsUsed();
    Q_INVOKABLE void actionMoveFramesForTime(double secs, bool select = false);
    Q_INVOKABLE void actionNextTrack();
    Q_INVOKABLE void actionPreviousTrack();
    Q_INVOKABLE void actionNextEdit();
    Q_INVOKABLE void actionPreviousEdit();
    void updateTrackPoints();
    void updateEditPoints();
    // Applies a position without playback: clamped to the document; leaving
    // the played selection turns selection play into play to the end.
    void moveScrollFrame(double frame);
    // Jumps running playback to the frame; false when the caller must move
    // the position itself (also after a jump past the end stopped playback).
    bool scrubPlayTo(qint64 frame);
    // Moves by a signed frame count, jumping playback when it runs.
    void stepFrames(qint64 frames);
    // Whole frames in a time span at the document's rate, rounded half away
    // from zero; 0 without frames or for a time that is not finite.
    qint64 frameAtTime(double secs) const;

    Q_INVOKABLE void actionScrubSetScrollPos(double dbScrollFrame, bool useInertia = false, bool release = false);
    Q_INVOKABLE void setCeilingAndFloor(double ceiling, double floor);
    Q_INVOKABLE void actionHorizontalZoomInOut(bool isZoomIn);
    Q_INVOKABLE void verticalZoomInOut(bool isZoomIn);
    Q_INVOKABLE void verticalShiftUpDown(bool isShiftUp);
    Q_INVOKABLE void actionScaleView();
    // Applies a position from navigation, playback or a fling; keeps the
    // fraction only while playback or a fling moves it.
    void updateScrollFrame(double frame);
    // The drag and jump entry: useInertia samples the drag for a fling that
    // starts on release; without it the position just moves.
    void scrollToFrame(double frame, bool useInertia, bool release);
    // Logical pixels per frame of the zoomed view.
    double pixelsPerFrame() const;
    // Sets the level scale from the document's level histogram.
    void autoScaleView();

    // Time texts: milliseconds as "h:mm:ss.zzz" or, when allowed, the short forms
    // "ss.zzz" / "mm:ss.zzz"; not exact rounds to hundredths.
    static QString timeToString(qint64 ms, bool allowShort, bool exact);
    Q_INVOKABLE QString getdBTextString(int value);

    // ---- Frame edits, frame clipboard, volume and silence (KvQmlControllerEdits.cpp,
    // KvQmlControllerVolume.cpp) ----
    bool canUndo() const { return m_canUndo; }
    bool canRedo() const { return m_canRedo; }
    bool canPaste() const { return m_canPaste; }
    Q_INVOKABLE void actionDeleteFrames();
    Q_INVOKABLE void actionCutFrames();
    Q_INVOKABLE void actionCopyFrames();
    Q_INVOKABLE void actionPasteFrames();
    Q_INVOKABLE void actionCropFrames();
    Q_INVOKABLE void actionUndo();
    Q_INVOKABLE void actionRedo();
    // Whether the text starts like a frame clipboard text: the archive
    // signature, a library version this program can read, and the
    // clipboard's format name.
    static bool isClipboardFormat(const QString &text);
    // Builders of the frame edits over the selection: a new command, not
    // pushed, or null without a usable selection or frames. Cut and copy
    // fill clipText with the clipboard text of the selected frames (left
    // alone when there are none).
    KvUndoDelete *deleteFrames();
    KvUndoCut *cutFrames(QString &clipText);
    KvUndoCrop *cropFrames();
    void copyFramesToClipboard(QString &clipText);
    // Pastes text, or the clipboard's frames when it is empty; options are
    // the fragment-list reader's (KvLoadOption). holder: the reader's lookup
    // list, may be null.
    void pasteFromClipboard(QString text, int options, boost::shared_ptr<KvRepackInfoPtrList> *holder);
    // The command that pastes the frames of a clipboard text at the selection
    // (replacing it) or the view position, and the document cursor
    // installed for it; null when nothing is to be pasted. Text that is not
    // sound clipboard text, or whose frames cannot be loaded, is reported in
    // a box.
    KvUndoPaste *pasteFramesFromClipboard(int options, QUndoStack *undoStack,
                                          const boost::shared_ptr<KvAudioFragmentList> &cursor,
                                          boost::shared_ptr<KvRepackInfoPtrList> *holder, const QString &text);

    // Volume and silence edits of the selection, in gain steps (1.505 dB).
    int volumeIncDec() const { return m_volumeIncDec; }
    void setVolumeIncDec(int steps);
    int volumeFade() const { return m_volumeFade; }
    void setVolumeFade(int steps);
    Q_INVOKABLE void actionFadeInFrames();
    Q_INVOKABLE void actionFadeOutFrames();
    Q_INVOKABLE void actionVolumeIncFrames();
    Q_INVOKABLE void actionVolumeDecFrames();
    Q_INVOKABLE void actionSilenceFrames();
    Q_INVOKABLE void actionRemoveSilenceFrames();
    Q_INVOKABLE void actionInsertSilence();
    Q_INVOKABLE void actionNormalize();
    // Builders: a new command over the selection, not pushed, or null without
    // a usable selection or frames.
    KvVolumeFade *VolumeFadeSelection(int startVolume, int endVolume, int repeatCount);
    // A fade repeating the one just done on the same range replaces it by a
    // copy with the next repeat count (and is deleted); else it is returned.
    QUndoCommand *chainVolumeFade(QUndoCommand *command);
    // Null as well when the command would change no frame.
    KvVolumeSilence *VolumeSilenceSelection(bool removeSilencing);
    // Silence of `frames` frames at the view position; null for none.
    KvInsertSilence *insertSilence(qint64 frames);

    // ---- Tracks, track tags and the tag clipboard (KvQmlControllerTracks.cpp,
    // KvQmlControllerArtwork.cpp) ----
    bool hasTracks() const { return m_hasTracks; }
    bool canSetTrackStart() const { return m_canSetTrackStart; }
    bool canSetTrackEnd() const { return m_canSetTrackEnd; }
    bool canSplitTrack() const { return m_canSplitTrack; }
    bool canDeleteTrack() const { return m_canDeleteTrack; }
    int numTracks() const { return m_numTracks; }
    bool canPasteTags() const { return m_canPasteTags; }
    bool canPasteArtworkTag() const override { return m_canPasteArtworkTag; }
    void onTrackInfoUpdated() override;
    void requestWidgetUpdate() override { emit updateWidget(); }
    void updateTrackCapabilities();
    void updateNumTracks();
    Q_INVOKABLE void setTrackStart(double dbFramePos);
    Q_INVOKABLE void setTrackEnd(double dbFramePos);
    Q_INVOKABLE void splitTrack(double dbFramePos);
    Q_INVOKABLE void deleteTrack(double dbFramePos);

    Q_INVOKABLE void saveCurTrackTagInfo();
    Q_INVOKABLE void loadCurTrackTagInfo();
    Q_INVOKABLE void copyAllTags();
    Q_INVOKABLE void pasteAllTags();
    Q_INVOKABLE void pasteTitleTag();
    Q_INVOKABLE void pasteArtistTag();
    Q_INVOKABLE void pasteAlbumArtistTag();
    Q_INVOKABLE void pasteComposerTag();
    Q_INVOKABLE void pasteAlbumTag();
    Q_INVOKABLE void pasteCopyrightTag();
    Q_INVOKABLE void pasteGenreTag();
    Q_INVOKABLE void pasteCommentTag();
    Q_INVOKABLE void pasteTrackTag();
    Q_INVOKABLE void pasteDiscTag();
    Q_INVOKABLE void pasteYearTag();
    // Sets the twelve curTrack* properties from the record.
    void setCurTrackTags(const KvTagInfo &record);
    // Fills the record from the twelve curTrack* properties.
    void curTrackTagsToTagInfo(KvTagInfo &record) const;
    // True when the clipboard text is a tag record and was read into
    // `record` (the MP3-only fields only for MP3 documents).
    bool tagInfoFromClipboardXml(KvTagInfo &record) const;

    Q_INVOKABLE void copyArtworkDataTag() override;
    Q_INVOKABLE void pasteArtworkDataTag() override;
    Q_INVOKABLE void actionOpenImage() override;
    Q_INVOKABLE void actionImportImage();
    // The image-or-audio open dialog; a choice goes to importArtworkImage.
    void actionImportImages(bool import);
    // Takes the cover of the first file (an audio file's embedded picture or
    // a JPEG/PNG image). On failure the artwork is cleared and false returned.
    bool importArtworkImage(const QStringList &files, bool &removeAfter);

    // KvTagEditContext
    QObject *tagEditNotifier() override { return this; }
    KvPaintMetrics *paintMetrics() override { return this; }

    // ---- Opening and appending (KvQmlControllerOpen.cpp) ----
    QStringList recentFiles() const { return m_recentFiles; }
    Q_INVOKABLE void loadFileUrl(QUrl urlFilename);
    Q_INVOKABLE void loadFileName(QString fileName);
    Q_INVOKABLE void loadFileUrls(QList<QUrl> fileNameUrlList);
    Q_INVOKABLE void appendFileUrls(QList<QUrl> fileNameUrlList);
    Q_INVOKABLE void actionOpen();
    Q_INVOKABLE void actionAppend();
    Q_INVOKABLE void actionImportBrowserOpen();
    Q_INVOKABLE void actionImportBrowserAppend();
    Q_INVOKABLE void actionImportITunesOpen();
    Q_INVOKABLE void actionImportITunesAppend();
    Q_INVOKABLE bool actionLoadRecordedFiles();
    Q_INVOKABLE bool actionDeleteRecordedFiles();
    Q_INVOKABLE bool actionSearchAudioFiles(QString searchString);
    Q_INVOKABLE void actionFilePicked(QUrl fileUrl);
    // What the next file picked in the touch interface's picker is for; set
    // when that picker is opened for a save, export or conversion target.
    int pickerMode() const { return m_pickerMode; }
    void setPickerMode(int mode) { m_pickerMode = mode; }
    // Asks to save changes, then opens the files as the new document; false
    // when the user cancelled.
    bool openFileList(const QStringList &fileNames);
    // The folder of the given file becomes the start of the next Open dialog;
    // the next Save dialog starts there too.
    void rememberOpenFolder(const QString &path);
    // Index 0: the whole file's tag property; n: the n-th track; else null.
    boost::shared_ptr<KvTagProperty> tagPropertyAt(int index) const;
    // The first project of the list, else every name as an audio file.
    void openFileOrProjectList(const QStringList &fileNames);
    // Asks to save changes, then loads the project; true when loading failed.
    bool openProjectPath(const QString &path);
    // Appends the files and remembers the folder of the first.
    void appendFileList(const QStringList &fileNames);
    void appendFiles(const QStringList &fileNames);
    // Sources a background loader opened, each with its HE-AAC flag; no
    // loader is ever started, so callers pass an empty list.
    typedef QList<QPair<boost::shared_ptr<KvAudioFile>, bool>> OpenedSources;
    // Open modes with bit 1 or 4 are interactive: wait cursor, progress
    // window, HE-AAC question and the messages at the end. Opening replaces
    // the document only when at least one file was accepted; appending
    // without a document opens.
    void openFilesImpl(int openMode, const QList<QUrl> &files, QList<QUrl> *loadedUrls,
                       const boost::shared_ptr<OpenedSources> &openedSources);
    void appendFilesImpl(int openMode, const QList<QUrl> &files, QList<QUrl> *loadedUrls,
                         const boost::shared_ptr<OpenedSources> &openedSources);
    // The open (or append) file dialog; source only names the touch
    // interface's origin of the command.
    void actionImportOpenAppend(int source, bool append);
    // The pending prompt state: files or a project path waiting for an answer.
    void resetPendingState(const QString &projectPath);
    void setPendingFiles(const QStringList &files);
    QStringList pendingFiles() const { return m_pendingFiles; }
    QString pendingProjectPath() const { return m_pendingProjectPath; }
    // Stops and deletes the load worker, when there is one.
    void stopLoadThread(bool interrupt);
    // Always empty: no folder counts as the program's own.
    QString isInStandardLocation(const QString &path) const;
    // The page about joining files of two formats, offered by the open and
    // append messages.
    static QString joiningFormatsHelpAddress();

    // ---- Project file, project commands, suspend and recovery (KvQmlControllerProject.cpp) ----
    bool canSaveDirtyProject() const { return m_canSaveDirtyProject; }
    // Empties the document: no cursor, a new empty track list and file tag
    // property, no project file.
    Q_INVOKABLE void closeProject(bool clearStack = true, bool clearSuspendedProj = true);
    void clearSuspendedProject(QSettings &settings);
    Q_INVOKABLE bool loadProjectUrl(QUrl projectNameUrl);
    Q_INVOKABLE bool saveProjectUrl(QUrl projectNameUrl);
    Q_INVOKABLE void initialise();
    Q_INVOKABLE void initDelProjFilesModel(QAbstractItemModel *model, QString delProjFileName);
    Q_INVOKABLE bool actionClose();
    Q_INVOKABLE bool actionExit();
    Q_INVOKABLE bool actionSaveOverExit();
    Q_INVOKABLE bool actionSaveProject();
    Q_INVOKABLE bool actionSaveProjectAs(bool loadAfter);
    Q_INVOKABLE bool actionRevertProjectToSaved();
    Q_INVOKABLE void actionSuspend();
    // Stops playback and asks whether to save unsaved changes; false when the
    // caller must not go on.
    bool checkSaveChanges(bool exiting, bool keepPending, bool loadAfter);
    // Puts the file at the front of the recent files; an empty name only
    // drops entries whose files are gone. Emits recentFilesChanged.
    void updateRecentFiles(const QString &file);
    // The tail of a project file: track count, the tracks and the whole-file
    // tag property, as pointers. Loading with `install` replaces the model's
    // track list and file tags; otherwise everything read is dropped. Archive
    // errors propagate as the archive library's exceptions.
    void saveProjectTracks(boost::archive::text_oarchive &ar) const;
    void loadProjectTracks(boost::archive::text_iarchive &ar, bool install);
    // Writes the document as a project file at path: into a temporary file
    // beside it, renamed into place only when everything was written. False
    // (after telling the user) when nothing usable was written; the file
    // that was there before is then unchanged.
    bool writeProject(const QString &path);
    // One pass over a project file: flags 1 checks, flags 4 replaces the
    // document (only when the whole file read well). Returns the failure
    // texts, empty on success. loadState is handed to both passes' readers.
    QString readProject(int flags, const QString &path, bool remember,
                        boost::shared_ptr<KvRepackInfoPtrList> *loadState);
    // The checking pass, then the loading pass; true when either failed.
    bool loadProjectFile(const QString &path, bool remember, const QString &unused1 = QString(), int unused2 = 0);
    bool saveProjectFile(const QString &path);
    bool saveProjectAsDialog(const QString &name, bool keepPending, bool loadAfter, bool allowNotice);
    bool setLastSavePathFromFile(const QString &file);
    // At least one frame, and edits since the last save (or re-found sources).
    bool hasUnsavedChanges() const;
    void updateCanSaveDirtyProject();
    // Writes or clears the recovery copy; only in touch mode, never in edit mode.
    void suspendProject();
    // Touch mode: the process-wide switch of suspend and recovery; the
    // desktop program leaves it off.
    static bool touchMode();
    static void setTouchMode(bool on);

    // ---- Playback (KvQmlControllerPlay.cpp) ----
    Q_INVOKABLE bool actionPlay(bool bPlaySelection);
    Q_INVOKABLE void startPlay();
    Q_INVOKABLE void resumePlay();
    Q_INVOKABLE void playSelection();
    Q_INVOKABLE void actionPause();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void pitchTempoControlsUsed();
    // Ends the play state and the thread; endPause also ends a pause.
    void stopPlayThread(bool endPause);
    // Stops the play thread, waits for it and deletes it; the play state stays.
    void endPlayThread();

    // ---- Export and track export (KvQmlControllerExport.cpp) ----
    Q_INVOKABLE void actionExportAll();
    Q_INVOKABLE void actionExportSelection();
    Q_INVOKABLE void actionExportTracks();
    Q_INVOKABLE bool exportFileUrl(QUrl fileNameUrl, bool saveSelection, bool promptSend = false);
    Q_INVOKABLE void exportTracksUrl(QUrl dirUrl);
    // The save dialog of export, project save-as, recording and conversion; format is
    // the output word ("mp3", "m4a", "aac", "adts", "wav", "kvlproj"). Empty = cancelled.
    // Called by name by the conversion worker. Through the registered controller's UI
    // services (the process-wide ones without a controller).
    Q_INVOKABLE static QString getAudioSaveFileName(QWidget *parent, const QString &caption,
                                                    const QString &dir, const QString &format);
    // options: or-ed KvUi::FolderOption (QFileDialog's values). Empty = cancelled.
    Q_INVOKABLE static QString getExistingDirectory(QWidget *parent, const QString &caption,
                                                    const QString &dir, int options);
    // The open dialog of the conversion and options dialogs (no selected filter).
    static QString getOpenFileName(QWidget *parent, const QString &caption, const QString &dir,
                                   const QString &filter, int options);
    // Continuations of the touch interface's own pickers.
    void exportAllFilePicked(const QString &fileName, bool promptSend);
    void exportSelectionFilePicked(const QString &fileName);
    void exportTracksFolderPicked(const QString &folder);
    // What the last track export wrote, in order.
    QStringList exportedTrackFiles() const { return m_exportWrittenFiles; }

    // ---- Conversion (KvQmlControllerConvert.cpp) ----
    int convertProgress() const { return m_convertProgress; }
    // The conversion notice unless switched off; always true. Called by name.
    Q_INVOKABLE bool checkConvertWarning();
    // The folder of the last conversion output ("Settings/lastConvertPath", empty
    // when none), and the help flags set after a success. Called by name by the
    // conversion worker.
    Q_INVOKABLE QString lastConvertPath() const;
    Q_INVOKABLE void setLastConvertPath(const QString &folder);
    // Also offers the rate prompt, at most every three days of use, until it is turned off.
    Q_INVOKABLE void afterExportOrConvert(bool exportDone, bool convertDone);
    // Counts today as a day of use once ("Settings/TotalDaysUsed", "Settings/LastDayUsed");
    // returns the days of use. Today comes from the registered controller's clock.
    static int UpdateTotalDaysUsed();
    Q_INVOKABLE void convertFileOrTracksUrl(QUrl fileNameUrl, bool convSelection, bool convTracks);
    Q_INVOKABLE void actionConvertAll();
    Q_INVOKABLE void actionConvertSelection();
    Q_INVOKABLE void actionConvertTracks();
    Q_INVOKABLE void actionCancelConvert(bool bAskToCancel);
    // Converts the document, the selection or the tracks with the conversion
    // options and the playback pitch and tempo (the touch interface's way; the
    // desktop runs the conversion dialog). The worker asks where to save.
    void startConvert(bool convSelection, bool convTracks, bool askWarning);
    // The running conversion of startConvert; null when none.
    QObject *convertWorker() const;

    // ---- Recording (KvQmlControllerRecord.cpp) ----
    Q_INVOKABLE void actionRecord();
    Q_INVOKABLE bool actionStartExternalRecord();
    Q_INVOKABLE QString actionStartInternalRecording();
    Q_INVOKABLE void actionStopInternalRecording();
    // The internal recorder's takes, newest last (read by tests and the recorded-file commands).
    QStringList recordedFiles() const { return m_recordedFiles; }
    // The encoder steps of the recording and conversion options: quality 1..4 → 96, 128,
    // 160, 192 kbit/s, else 224; frequency 1 → 44100 Hz, else 48000.
    static int encoderBitrateForQuality(int quality);
    static int encoderSampleRateForFrequency(int frequency);

    // ---- Hooks of the touch interface that do nothing (KvQmlControllerProperties.cpp) ----
    Q_INVOKABLE void actionSendFile(QString file, bool last = false);
    Q_INVOKABLE void deleteProjFiles(QAbstractItemModel *model);
    Q_INVOKABLE void actionDeleteImportedImages(int result);

public slots:
    // Playback (KvQmlControllerPlay.cpp).
    void volumeChanged(double value);
    void pitchChanged(double value);
    void tempoChanged(double value);
    void PlayPositionChanged_triggered(double nNewPosition, short volLeft, short volRight);
    void play_thread_finished();

    // Conversion (KvQmlControllerConvert.cpp).
    void decodeProgress(int percent);
    void convertSaveFinished();
    void convertFinished(bool savedOk);
    void stateActionConvertWarnQ_Finished(int result);
    void stateActionCancelConvertQ_Finished(int result);

    // Track export (KvQmlControllerExport.cpp). uiAnswer: a KvUi::Button; moc
    // sees the type the touch interface's sources call it with.
#ifdef Q_MOC_RUN
    bool stateActionExportTrackLoop(int trackNum, KvTrackUI ui = TrackUiAsk,
                                    QMessageBox::StandardButton uiAnswer = QMessageBox::NoButton);
#else
    bool stateActionExportTrackLoop(int trackNum, KvTrackUI ui = TrackUiAsk, int uiAnswer = KvUi::NoButton);
#endif
    bool stateActionExportTracksCheckFailed();
    bool stateActionExportTracksAskSend();
    bool stateActionExportTracksFinal(QString folderName);
    void stateActionExportTracksNumUnassignW_Finished(int result);
    void stateActionExportTracksOverwriteW_Finished(int result);
    void stateActionExportTracksFailedWriteTagInfoW_Finished(int result);
    void stateActionExportTracksAskSendQ_Finished(int result);
    void stateActionExportFileFailedWriteTagInfoW_Finished(int result);
    void stateActionExportFileAskSendQ_Finished(int result);

    // Projects (KvQmlControllerProject.cpp).
    void stateActionExit();
    void stateActionClose();
    void stateActionCloseSaveChangesQ_Finished(int result);
    void stateActionSaveProjectAsI_Finished();
    void stateActionRevertProjectToSavedQ_Finished(int result);
    void stateActionExitSaveChangesQ_Finished(int result);
    void stateActionExitAskSureQ_Finished(int result);
    void appStateChanged(Qt::ApplicationState appState);

    // Opening and appending (KvQmlControllerOpen.cpp).
    void stateActionOpenFilesDlg_Picked(QList<QUrl> files);
    void stateActionAppendFilesDlg_Picked(QList<QUrl> files);
    void stateActionOpenFileListFailedC_Finished(int result);
    void stateActionOpenFileListDelProjQ_Finished(int result);
    void stateActionLoadFiles();
    void stateActionLoadFilesSaveChangesQ_Finished(int result);
    void stateActionLoadUrlsHelpW_Finished(int result);
    void stateActionOpenFilesDlg_ErrorsPicked(QString errors, QList<QUrl> files);
    void stateActionAppendFilesDlg_ErrorsPicked(QString errors, QList<QUrl> files);
    void stateActionOpenFilesDlg_ErrorsPickedQ(int result);
    void stateActionAppendFilesDlg_ErrorsPickedQ(int result);
    void stateActionNativeFileDialogFilesSent(bool accepted, QStringList filesSent);
    void load_thread_finished();
    void loadRecordedFileImpl(QString recFile, bool append);
    void handleFileUrlReceived(QUrl url);

    // Edits and clipboards (KvQmlControllerEdits.cpp).
    void ClipboardChanged(QClipboard::Mode mode) override;
    void canUndoSlot(bool canUndo);
    void canRedoSlot(bool canRedo);
    void cleanChanged(bool clean);
    void indexChanged(int idx);

    // Scrolling (KvQmlControllerState.cpp).
    void checkTimerEvents();

    // Appearance (KvQmlControllerAppearance.cpp).
    void CheckIsDarkMode(const QPalette &pal);
    void recalcScreenPixelDensity(double dpi);
    void recalcScreenPixelDensity();
    void recalcScreenPixelDensity2(QScreen *pScreen);

    // Hooks of the touch interface that do nothing (KvQmlControllerProperties.cpp).
    void DoOpenFilesAfter(QStringList files);
    void DoOpenFileAfter(QString file);
    void DoLoadProjAfter(QString file);
    void DoCloseProjAfter();
    void DoExitProjAfter();
    void DoSendFileAfter(QString file);
    void DoNothingAfter();
    void stateActionDoNothing(int result);
    void stateActionOpenSaveChangesQ_Finished(int result);
    void stateActionAppendSaveChangesQ_Finished(int result);

    // Dialog completions, run under the lock their actions hold: the frame
    // count to insert at the view position, and the normalize change in gain
    // steps with its text in dB (0 when cancelled). Called by name by the
    // insert-silence and normalize dialogs (KvQmlControllerVolume.cpp).
    void stateActionInsertSilenceDlg_Finished(qint64 frames);
    void stateActionNormalizeDlg_Finished(int steps, const QString &dbText);

signals:
    void modelChanged(KvQmlModel *model);
    void scrollFrameChanged(double scrollFrame);
    void hZoomChanged(int hZoom);
    void playPosWidthChanged(int playPosWidth);
    void convertProgressChanged(int convertProgress);
    void selectionStartChanged(double selectionStart);
    // Carries the low 32 bits of the end frame.
    void selectionEndChanged(int selectionEnd);
    void mouseDragSelectingChanged(MouseDragSelType mouseDragSelecting);
    void ceilingChanged(double ceiling);
    void floorChanged(double floor);
    void hasDisplayGapChanged(bool hasDisplayGap);
    void displayOffsetChanged(int displayOffset);
    void volumeIncDecChanged(int volumeIncDec);
    void volumeFadeChanged(int volumeFade);
    void useAutoTrackNumChanged(bool useAutoTrackNum);
    void trackNameFormatChanged(QString trackNameFormat);
    void lastOpenPathChanged(QString lastOpenPath);
    void lastSavePathChanged(QString lastSavePath);
    void lastOpenPathUrlChanged(QUrl lastOpenPathUrl);
    void lastSavePathUrlChanged(QUrl lastSavePathUrl);
    void lastOpenFilterChanged(QString lastOpenFilter);
    void navigateBlockSecsChanged(double navigateBlockSecs);
    void navigatePageSecsChanged(double navigatePageSecs);
    void uiWindowColorChanged(QColor uiWindowColor);
    void uiTextColorChanged(QColor uiTextColor);
    void toastMessageChanged(QString toastMessage);
    void loopAudioChanged(bool loopAudio);
    void curTrackChanged(int curTrack);
    void showIconTextChanged(bool showIconText);
    void shareStatisticsChanged(bool shareStatistics);
    // Whether the adjustment is non-zero.
    void iconSizeAdjustChanged(bool iconSizeAdjust);
    void fontSizeAdjustChanged(bool fontSizeAdjust);
    void useExternalRecorderChanged(bool useExternalRecorder);
    void promptOnExitChanged(bool promptOnExit);
    void isDarkModeOptionChanged(bool isDarkModeOption);
    void showHelpChanged(bool showHelp);
    void recordingFormatChanged(int recordingFormat);
    void recordStereoChanged(bool recordStereo);
    void recordingQualityChanged(int recordingQuality);
    void recordingFrequencyChanged(int recordingFrequency);
    void convertingFormatChanged(int convertingFormat);
    void convertStereoChanged(bool convertStereo);
    void convertingQualityChanged(int convertingQuality);
    void convertingFrequencyChanged(int convertingFrequency);
    void alwaysImportChanged(bool alwaysImport);
    void optionDelImageAfterImportChanged(bool optionDelImageAfterImport);
    void isActionEditModeChanged(bool isActionEditMode);
    void totalFramesChanged(double totalFrames);
    void hasSelectionChanged(bool hasSelection);
    void hasFragmentsChanged(bool hasFragments);
    void hasTracksChanged(bool hasTracks);
    void isPlayingChanged(bool isPlaying);
    void canPasteChanged(bool canPaste);
    void canPasteTagsChanged(bool canPasteTags);
    void canPasteArtworkTagChanged(bool canPasteArtworkTag);
    void canSaveDirtyProjectChanged(bool canSaveDirtyProject);
    void canSetTrackStartChanged(bool canSetTrackStart);
    void canSetTrackEndChanged(bool canSetTrackEnd);
    void canSplitTrackChanged(bool canSplitTrack);
    void canDeleteTrackChanged(bool canDeleteTrack);
    void canUndoChanged(bool canUndo);
    void canRedoChanged(bool canRedo);
    void isWaitingChanged(bool isWaiting);
    void playStateChanged(int playState);
    void screenPixelDensityChanged(double screenPixelDensity);
    void screenDevicePixelRatioChanged(double screenDevicePixelRatio);
    void maxHZoomChanged(int maxHZoom);
    void playPositionTimeChanged(QString playPositionTime);
    void currentSelectionTimeChanged(QString currentSelectionTime);
    void nextTrackPointChanged(double nextTrackPoint);
    void previousTrackPointChanged(double previousTrackPoint);
    void nextEditPointChanged(double nextEditPoint);
    void previousEditPointChanged(double previousEditPoint);
    void recentFilesChanged(QStringList recentFiles);
    void statusMessageChanged(QString statusMessage);
    void audioTypeChanged(QString audioType);
    void helpTitleChanged(QString helpTitle);
    void helpTextChanged(QString helpText);
    void versionTextChanged(QString versionText);
    void currentPosFileNameChanged(QString currentPosFileName);
    void appStorageRootChanged(QUrl appStorageRoot);
    void searchResultsChanged();
    void delProjFileNameChanged(QString delProjFileName);
    void msgBoxFixTitleChanged(QString msgBoxFixTitle);
    void msgBoxFixTextChanged(QString msgBoxFixText);
    void msgBoxFixButtonsChanged(int msgBoxFixButtons);
    void msgBoxFixVisibleChanged(bool msgBoxFixVisible);
    void isDarkModeChanged(bool isDarkMode);
    void dmDirChanged(QString dmDir);
    void curTrackTitleChanged(QString curTrackTitle);
    void curTrackArtistChanged(QString curTrackArtist);
    void curTrackAlbumArtistChanged(QString curTrackAlbumArtist);
    void curTrackComposerChanged(QString curTrackComposer);
    void curTrackAlbumChanged(QString curTrackAlbum);
    void curTrackCopyrightChanged(QString curTrackCopyright);
    void curTrackGenreChanged(QString curTrackGenre);
    void curTrackCommentChanged(QString curTrackComment);
    void curTrackArtworkDataChanged(QString curTrackArtworkData);
    void curTrackTrackChanged(int curTrackTrack);
    void curTrackDiscChanged(int curTrackDisc);
    void curTrackYearChanged(int curTrackYear);
    void numTracksChanged(int numTracks);
    void activeHelpNameChanged(QString activeHelpName);
    void convertProgressTextChanged(QString convertProgressText);
    void navDrawerPaneNameChanged(QString navDrawerPaneName);

    // The selection edges changed.
    void selectionChanged();
    // The track list or a track's tags changed.
    void TrackInfoUpdated();
    // View geometry must be recomputed (zoom, sizes, pixel ratio).
    void calcViews();
    // The views must repaint.
    void updateWidget();
    // Connected queued to loadRecordedFileImpl.
    void loadRecordedFileSig(QString recFile, bool append);
    // The play position and levels for the views.
    void playPositionChangedViewUpdate(double nNewPosition, short volLeft, short volRight);
    // The touch interface's file picker.
    void qmlPickFile(QString title, QUrl defaultPath, QStringList exts, int mode);
    void closeFilePicker();

protected:
    // Asks for files to open through the UI services; tests may answer here instead.
    virtual QStringList chooseOpenFileNames(const QString &title, const QString &filter);
    // The parent of the controller's dialogs (opaque): the modal dialog in
    // front, else the main window, else the active window.
    QWidget *dialogParent() const;

private:
    // Compare, store, announce: the rule of every plain write accessor.
    template<typename T, typename Arg>
    bool assignAndNotify(T &member, const T &value, void (KvQmlController::*signal)(Arg))
    {
        if (member == value)
            return false;
        member = value;
        emit(this->*signal)(value);
        return true;
    }

    // ---- Lifecycle and seams ----
    KvControllerSeams m_seams;
    KvQmlModel *m_model = nullptr;
    QString m_versionText;
    // The parent of every prompt: the constructor's parent when it is a widget.
    QWidget *m_messageBoxParent = nullptr;
    // The touch interface's housekeeping timer; the desktop never starts it.
    QTimer m_timer;
    // Never assigned; waited for on destruction when set.
    QThread *m_workerThread = nullptr;

    // ---- Options and remembered folders (properties, settings) ----
    int m_hZoom = 1;
    int m_playPosWidth = 0;
    MouseDragSelType m_mouseDragSelecting = 0;
    double m_ceiling = 200.0;
    double m_floor = 100.0;
    bool m_hasDisplayGap = true;
    int m_displayOffset = 50;
    int m_volumeIncDec = 4;
    int m_volumeFade = 4;
    bool m_useAutoTrackNum = true;
    QString m_trackNameFormat = QStringLiteral("%0N %T");
    QString m_lastOpenPath;
    QString m_lastSavePath;
    QString m_lastOpenFilter;
    double m_navigateBlockSecs = 0.5;
    double m_navigatePageSecs = 5.0;
    QString m_toastMessage;
    bool m_loopAudio = false;
    bool m_showIconText = true;
    bool m_shareStatistics = true;
    int m_iconSizeAdjust = 0;
    int m_fontSizeAdjust = 0;
    bool m_useExternalRecorder = false;
    bool m_promptOnExit = true;
    int m_recordingFormat = 1;
    bool m_recordStereo = false;
    int m_recordingQuality = 1;
    int m_recordingFrequency = 1;
    int m_convertingFormat = 1;
    bool m_convertStereo = true;
    int m_convertingQuality = 3;
    int m_convertingFrequency = 1;
    bool m_alwaysImport = true;
    bool m_alwaysImportSet = false;
    bool m_optionDelImageAfterImport = true;
    bool m_isActionEditMode = processEditMode();
    bool m_isWaiting = false;
    QUrl m_appStorageRoot;

    // ---- Appearance and screen metrics ----
    QColor m_uiWindowColor;
    QColor m_uiTextColor;
    bool m_isDarkModeOption = false;
    bool m_isDarkMode = false;
    double m_screenPixelDensity = 0.0;
    double m_screenDevicePixelRatio = 0.0;
    int m_painterPixelRatio = 1;
    void setScreenDevicePixelRatio(double ratio);

    // ---- Help tour ----
    struct HelpPage {
        QString id;
        QString title;
        QString text;
    };
    QList<HelpPage> m_helpPages;
    // Advanced by the housekeeping timer; a change of the tour's state restarts it.
    qint64 m_tourTicks = 0;
    void buildHelpPages();
    bool m_showHelp = false;
    QString m_activeHelpName;
    QString m_navDrawerPaneName = QStringLiteral("edit");
    QString m_helpTitle;
    QString m_helpText;

    // ---- Utilities: in-window message box, search results ----
    QString m_msgBoxFixTitle;
    QString m_msgBoxFixText;
    int m_msgBoxFixButtons = 0;
    bool m_msgBoxFixVisible = false;
    int m_msgBoxFixAnswer = -1;
    // Found audio files (owned) and the text they are filtered by.
    QList<KvAudioItem *> m_searchItems;
    QString m_searchText;

    // ---- Document state, selection, navigation, scroll, zoom and time texts ----
    double m_scrollFrame = 0.0;
    qint64 m_selectionStart = -1;
    qint64 m_selectionEnd = -1;
    // What the views were last told; the impossible start values make the
    // first refresh announce.
    double m_publishedTotalFrames = 0.0;
    qint64 m_publishedSelectionStart = -2;
    qint64 m_publishedSelectionEnd = -3;
    bool m_selectionPublished = false;
    bool m_publishedFragments = false;
    QString m_statusMessage;
    QString m_audioType;
    QString m_currentPosFileName;
    QString m_playPositionTime;
    QString m_currentSelectionTime;
    double m_nextEditPoint = -1.0;
    double m_previousEditPoint = -1.0;
    double m_nextTrackPoint = -1.0;
    double m_previousTrackPoint = -1.0;
    KvPlayState m_playState = 0;
    // The fragment under the position last looked up, the frame's index in
    // it and its number; looked up afresh only when the fragment changes.
    boost::shared_ptr<KvRepackInfo> m_posFileFragment;
    qint64 m_posFileOffset = -1;
    qint64 m_posFileIndex = 0;
    // The selection and position when a selection gesture began.
    qint64 m_snapshotScrollFrame = -1;
    qint64 m_snapshotSelectionStart = -1;
    qint64 m_snapshotSelectionEnd = -1;
    bool m_snapshotPending = false;
    // The chain of time moves: where it started, the seconds moved since and
    // where its last move ended; converting the running total keeps
    // repeated steps free of rounding drift.
    qint64 m_timeMoveAnchor = -1;
    double m_timeMoveSecs = 0.0;
    qint64 m_timeMoveEnd = -1;
    // The target and clock time (ms) of the last previous-edit or
    // previous-track jump: a quick second press skips on.
    qint64 m_lastPreviousTrackPoint = -1;
    qint64 m_lastPreviousEditPoint = -1;
    qint64 m_lastPreviousJumpMs = -1;
    // Drag samples for the fling, newest first; times in ms since the drag began.
    struct DragSample {
        double position = -1.0;
        qint64 time = 0;
        char mark = ' ';
    };
    DragSample m_dragHistory[10];
    qint64 m_dragClockStart = 0;
    bool m_dragging = false;
    // Frames per millisecond of a running fling; 0 = none.
    double m_flingVelocity = 0.0;
    // Ticks until the deferred recovery save; 0 = idle.
    qint64 m_recoveryCountdown = 0;
    qint64 documentFrames() const;
    void setCurrentPosFileName(const QString &name);
    void takeSelectionSnapshot();
    // Pushes the change since the snapshot when one is pending.
    void pushSnapshotChange(const QString &text);
    // Moves the position through playback when it runs, else directly.
    void scrubOrMove(double frame);
    // The fling estimate of the drag history (frames per ms).
    double flingEstimate() const;
    // A previous-boundary jump: the boundary before p, or before the last
    // target when pressed again within 500 ms.
    void jumpToPrevious(bool track);

    // ---- Frame edits, frame clipboard, volume and silence ----
    bool m_canUndo = false;
    bool m_canRedo = false;
    bool m_canPaste = false;
    // The model's mutex, null without a model.
    QMutex *editMutex() const;
    // Lock, wait cursor, build, push: the envelope of the frame edits; then,
    // for the edits that count as editing, the help flag.
    void runFrameEdit(const std::function<QUndoCommand *()> &build, bool countsAsEditing = true);
    void runFadeAction(int startVolume, int endVolume, const QString &text, bool chain);
    // Undoes or redoes one step.
    void stepUndoStack(bool redo);
    // Shows why nothing was pasted.
    void showPasteError(const QString &text);
    // The selection when it is usable for an edit and the document has frames.
    bool editRange(qint64 &start, qint64 &end) const;

    // ---- Tracks, track tags and the tag clipboard ----
    bool m_hasTracks = false;
    bool m_canSetTrackStart = false;
    bool m_canSetTrackEnd = false;
    bool m_canSplitTrack = false;
    bool m_canDeleteTrack = false;
    int m_numTracks = -1;
    bool m_canPasteTags = false;
    bool m_canPasteArtworkTag = false;
    int m_curTrack = -1;
    QString m_curTrackTitle;
    QString m_curTrackArtist;
    QString m_curTrackAlbumArtist;
    QString m_curTrackComposer;
    QString m_curTrackAlbum;
    QString m_curTrackCopyright;
    QString m_curTrackGenre = QStringLiteral("-");
    QString m_curTrackComment;
    QString m_curTrackArtworkData;
    int m_curTrackTrack = 0;
    int m_curTrackDisc = 0;
    int m_curTrackYear = 0;
    // What a track action at the current position is tested against.
    qint64 trackCapabilityPosition() const;
    void pushTrackCommand(class KvTrackInfoUndo *command);

    // ---- Opening and appending ----
    QStringList m_recentFiles;
    QStringList m_pendingFiles;
    QString m_pendingProjectPath;
    bool m_pendingClose = false;
    bool m_pendingExit = false;
    QString m_pendingText;
    QString m_pendingText2;
    // What a file picked in the touch interface is for (0 open, 1 image
    // import, 2 append, 3 project save-as, 4 to 9 export and conversion).
    // 10 until a command opens the picker: a file picked before that does nothing.
    int m_pickerMode = 10;
    // Files recorded by the touch interface, waiting to be loaded.
    QStringList m_recordedFiles;
    // Whether the files being handed over come from an export (else from a
    // conversion); set by the export commands.
    bool m_filesSentByExport = false;
    struct OpenRun;
    // One source for an open or append request: reused from the document or
    // the undo history, else opened and indexed on a worker thread with
    // progress. Null with the reason when the file cannot be used.
    boost::shared_ptr<KvRepackInfo> resolveOpenSource(OpenRun &run, const QString &normalizedPath,
                                                      const boost::shared_ptr<KvRepackInfoPtrList> &document,
                                                      bool &heAac, QString &reason);
    // The HE-AAC question, asked once per request; its answer holds for the
    // request's other HE-AAC files.
    bool acceptHeAac(OpenRun &run);
    // One file of an open or append request, resolved and checked: null when it
    // was refused (the reason is in the run) or the request was cancelled.
    // `fits` says whether the document being built can take the fragment.
    boost::shared_ptr<KvRepackInfo>
    acceptOpenSource(OpenRun &run, const QString &normalizedPath, const boost::shared_ptr<KvRepackInfoPtrList> &document,
                     const std::function<bool(const boost::shared_ptr<KvRepackInfo> &)> &fits);
    // A project save-as target picked: saves there, then carries out what
    // waited for the save (files or a project to open, a close, an exit).
    void projectSavedAsPicked(const QString &path);
    // The files picked become the pending ones; with pick errors, asks whether
    // to go on (or only tells, when no file is left). The box's answer.
    int pickedFilesAnswer(const QString &errors, const QList<QUrl> &files);
    // The notes about damaged files, then the refused files with Help when
    // a format did not match.
    void reportOpenRun(OpenRun &run, bool append);

    // ---- Project file, project commands, suspend and recovery ----
    bool m_canSaveDirtyProject = false;
    QString m_suspendedFile;
    QString m_delProjFileName;
    // Set once the exit steps have run.
    bool m_exiting = false;
    // What the last save-as dialog was asked to do after saving.
    bool m_loadAfter = false;
    // While a recovery copy is read back, its name and changes flag are not
    // restored yet: no suspension may record that half-restored state.
    bool m_resuming = false;
    bool saveChangesExitSteps();
    bool saveChangesClearingSteps();
    // The saving that a suspension does: settings, tags, scroll position,
    // and the recovery copy when one is due.
    void saveForSuspension();
    void quitSteps();
    // Settings, tags, then close or suspend the document and quit.
    void saveAndQuit();
    int projectMessage(int icon, const QString &text, int buttons, int defaultButton);

    // ---- Playback ----
    // Handed unchanged to the play thread, which defines their units.
    double m_volume = 1.0;
    double m_pitch = 0.0;
    double m_tempo = 0.0;
    // Position reports are applied only while the application is active.
    Qt::ApplicationState m_appState = Qt::ApplicationActive;
    KvPlayThread *m_playThread = nullptr;
    // The audio services' failure boxes shown before the thread started.
    int m_audioFailuresBeforePlay = 0;
    // Where playback last started, and the range handed to the thread while
    // the selection plays; -1 = none.
    qint64 m_playStartFrame = -1;
    qint64 m_playRangeStart = -1;
    qint64 m_playRangeEnd = -1;

    // ---- Export and track export ----
    QString m_lastExportPath;
    QString m_exportFileName;
    bool m_exportIsSelection = false;
    // The state of one track export, reset when it starts.
    QString m_exportFolder;
    bool m_exportNothing = false;
    QString m_exportError;
    QString m_exportUnnumbered;
    int m_exportedCount = 0;
    bool m_exportFailureShown = false;
    QStringList m_exportWrittenFiles;
    int m_exportUnnumberedCount = 0;
    int m_exportTrackCount = 0;
    int m_exportCurrentTrack = 0;
    int m_exportOverwriteAnswer = KvUi::NoButton;
    // Whether the export shows the wait cursor now.
    bool m_exportWaiting = false;
    void setExportWaiting(bool on);
    // A box of the export: the wait cursor is taken down first (and stays down).
    int exportMessage(KvUi::Icon icon, const QString &text, int buttons, int defaultButton);
    void exportDocumentAs(bool selection);
    // Tracks from..count through the loop; false when one ended the export.
    bool exportTrackRange(int from, KvTrackUI ui, int uiAnswer);
    // The closing check, the count message and the remembered folder.
    void finishTrackExport();

    // ---- Conversion ----
    QString m_lastConvertPath;
    int m_convertProgress = -1;
    // Guards the worker between the touch commands and the worker's call-backs.
    QMutex m_convertMutex;
    KvConvertWorker *m_convertWorker = nullptr;
    // The encoders the worker was started with, kept while it runs.
    QList<boost::shared_ptr<audio_lib>> m_convertEncoders;
    // 7 convert selection, 8 convert all, 9 convert tracks: what the warning's answer continues.
    int m_convertPendingAction = 0;
    void setConvertProgress(int percent);
    // Stops the worker and lets it go (later: it may be calling in).
    void releaseConvertWorker();
    QString m_convertProgressText = QStringLiteral(
        "<br/><h1>Converting All to...</h1><br/><h1>MP3</h1><br/><h3>Stereo</h3><br/><h3>192 kbps</h3>"
        "<br/><h3>44100 Hz</h3><br/>");

    // ---- Recording ----
    // The touch interface's recorder (a recording dialog); stopped and deleted on destruction.
    QObject *m_recorder = nullptr;
};
