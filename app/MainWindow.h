#pragma once
// The one desktop window: owns the document model and the controller, builds
// the form (actions, menus, tool bars, the frame editor panel in the centre,
// the status bar) and keeps its own look between sessions.
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <boost/shared_ptr.hpp>

#include <array>

class KvGuideDialog;
class KvPlaybackControls;
class KvQmlController;
class KvQmlModel;
class KvRepackInfoPtrList;
class QAction;
class QGestureEvent;
class QLabel;
class QTimer;

namespace Ui { class MainWindow; }

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    KvQmlModel *documentModel() const { return model; }
    KvQmlController *appController() const { return controller; }

    // Replaces the document by the project once the user agreed to drop
    // unsaved changes. Virtual so that tests can see what a drop opens.
    virtual void openProject(const QString &path);
    // Opens audio files as the document.
    virtual void openFiles(const QStringList &paths);
    // Brings every view in line with the current document.
    void updateUiState(bool resetPosition);
    void resetAfterClose();

    void readSettings(bool restoreWindow);
    void writeSettings();
    void updateRecentFileActions();
    void updateWindowTitle();

signals:
    void RaiseReEvaluateEnabledActions();

public slots:
    void showWindowProcessed();
    // The folder of the next Open dialog; the recording and conversion
    // dialogs hand over the folder of what they saved, by name.
    void setLastOpenPath(const QString &path);
    // The Play command; start-up runs it for a file named on the command line.
    void on_actionPlay_triggered();

private slots:
    void FileMenuAboutToShow();
    void DeleteTrack(qint64 framePos);
    void DisableGuide(const QString &guideId, bool stop);
    void recentFilesChanged(const QStringList &recentFiles);
    void openRecentFile();
    void setNewWindowTitle(const QString &newWindowTitle);
    // A passing message of the controller: the status bar shows it for a while.
    void toastMessageChanged(const QString &toastMessage);
    void statusMessageChanged(const QString &message);

    // Enable rules and state refresh.
    void HasSelectionChanged(bool hasSelection);
    void HasFragmentsChanged(bool hasFragments);
    void CalcEnabledActions();
    void HorizontalZoomChanged(int nZoom);
    void CanPasteChanged(bool canPaste);
    void playStateChanged(int state);
    void cleanChanged(bool clean);
    void canUndoRedoChanged(bool can);
    void isPlayingChanged(bool isPlaying);
    void PlayScrollbarPositionChanged_triggered(double nNewPosition);
    void ScrollValueChanged(qint64 value);
    void SelectionChanged();
    void TrackInfoUpdated();
    void ReEvaluateEnabledActions();
    void PlayFinished_triggered();
    void SetTrackStart(qint64 framePos);
    void SetTrackEnd(qint64 framePos);
    void SplitTrack(qint64 framePos);

    // The pop-up guide tour.
    void ShowNextGuideDialog();
    bool ShowUIGuideDialogId(QString guideId, QAction *guideAction, QPoint guidePos);
    void guideClosing(QString guideId, bool stop);
    // Brings back the bubble that gave way to a modal dialog or message box
    // once none is open.
    void holdGuideWhileModal();

    // Commands; the form connects each action's triggered() by name.
    void on_actionCut_triggered();
    void on_actionCopy_triggered();
    void on_actionPaste_triggered();
    void on_actionDelete_triggered();
    void on_actionCrop_triggered();
    void on_actionFade_In_triggered();
    void on_actionFade_Out_triggered();
    void on_actionSilence_triggered();
    void on_actionUndo_Silence_triggered();
    void on_actionVolume_Increase_triggered();
    void on_actionVolume_Decrease_triggered();
    void on_actionNormalize_triggered();
    void on_actionInsert_Silence_triggered();
    void on_actionUndo_triggered();
    void on_actionRedo_triggered();
    void on_actionRecord_triggered();
    void on_actionSave_Project_triggered();
    void on_actionSave_Project_As_triggered();
    void on_actionExport_All_As_triggered();
    void on_actionExport_Selection_As_triggered();
    void on_actionExport_Tracks_triggered();
    void on_actionNext_Track_triggered();
    void on_kbActionMove_Next_Section_triggered();
    void on_actionPrevious_Track_triggered();
    void on_kbActionMove_Previous_Section_triggered();
    void on_actionScale_View_triggered();
    void on_kbActionVertical_Zoom_In_triggered();
    void on_kbActionVertical_Zoom_Out_triggered();
    void on_kbActionVertical_Shift_Up_triggered();
    void on_kbActionVertical_Shift_Down_triggered();
    void on_actionOldTxtPaste_triggered();
    void on_actionExit_triggered();

    // Files, dialogs and further windows.
    void on_actionOpen_triggered();
    void on_actionAppend_Files_triggered();
    void on_actionClose_triggered();
    void on_actionNew_Application_Window_triggered();
    void process_finished(int exitCode, QProcess::ExitStatus exitStatus);
    void on_actionEdit_File_Info_triggered();
    void on_actionAdd_Track_Info_triggered();
    void on_actionOptions_triggered();
    void on_action_About_triggered();
    void on_actionRate_triggered();
    void on_actionView_Manual_PDF_triggered();
    void on_actionContact_Support_triggered();

    // Conversion.
    void on_actionConvert_All_As_triggered();
    void on_actionConvert_Selection_As_triggered();
    void on_actionConvert_Tracks_triggered();

    // Playback.
    void on_actionPlay_Selection_triggered();
    void on_actionStop_triggered();
    void on_actionPause_triggered();
    void on_actionPlay_Pause_triggered();
    void on_actionRewind_To_Beginning_triggered();
    void on_actionForward_To_End_triggered();
    void on_actionLoop_changed();
    void on_actionSelect_All_triggered();
    void on_kbActionSet_Selection_Start_triggered();
    void on_kbActionSet_Selection_End_triggered();

    // Keyboard navigation and selection.
    void on_kbActionMove_Next_Frame_triggered();
    void on_kbActionMove_Previous_Frame_triggered();
    void on_kbActionMove_Next_Frame_Block_triggered();
    void on_kbActionMove_Previous_Frame_Block_triggered();
    void on_kbActionMove_Next_Frame_Page_triggered();
    void on_kbActionMove_Previous_Frame_Page_triggered();
    void on_kbActionMove_Next_Edit_Point_triggered();
    void on_kbActionMove_Previous_Edit_Point_triggered();
    void on_kbActionMove_Selection_Start_triggered();
    void on_kbActionMove_Selection_End_triggered();
    void on_kbActionSelect_Next_Frame_triggered();
    void on_kbActionSelect_Previous_Frame_triggered();
    void on_kbActionSelect_Next_Frame_Block_triggered();
    void on_kbActionSelect_Previous_Frame_Block_triggered();
    void on_kbActionSelect_Next_Frame_Page_triggered();
    void on_kbActionSelect_Previous_Frame_Page_triggered();
    void on_kbActionSelect_Document_Start_triggered();
    void on_kbActionSelect_Document_End_triggered();
    void on_kbActionSelect_Next_Edit_Point_triggered();
    void on_kbActionSelect_Previous_Edit_Point_triggered();
    void on_kbActionSelect_Next_Section_triggered();
    void on_kbActionSelect_Prev_Section_triggered();

    // Zoom keys.
    void on_kbActionHorizontal_Zoom_In_triggered();
    void on_kbActionHorizontal_Zoom_Out_triggered();

protected:
    using PieceList = QList<boost::shared_ptr<KvRepackInfoPtrList>>;
    // Runs the conversion dialog over the pieces; tests see the pieces here.
    virtual void runConvertDialog(const PieceList &pieces, bool tracks, bool selection);

    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool gestureEvent(QGestureEvent *event);
    // A command holds the document's lock (it lets the window repaint meanwhile).
    bool documentLocked() const;
    // Hands a key to the frame editor panel; true when the panel took it.
    bool forwardToPanel(QKeyEvent *event);
    // The transport actions: play, pause, stop, loop, the ends and the tracks.
    void updatePlayActions();
    // Frame count of the document; 0 without one.
    qint64 documentFrames() const;
    void horizontalZoomKey(bool isZoomIn);
    // The position as a whole frame.
    qint64 position() const;
    // The edit point after (or before) the position; -1 when there is none.
    qint64 editPoint(bool next) const;
    // The track boundary after (or before) the position, an open end taken
    // as the document end; -1 when there is none.
    qint64 trackPoint(bool next) const;
    void moveToFrame(qint64 frame);
    void selectToFrame(qint64 frame);
    // What tells one document from another: after an open, the views are
    // brought in line only when it changed.
    struct DocumentStamp {
        const void *cursor = nullptr;
        const void *list = nullptr;
        qint64 frames = 0;
        QString projectFile;
    };
    DocumentStamp documentStamp() const;
    void updateUiStateIfChanged(const DocumentStamp &before);
    void setupShortcuts();
    void createRecentFileActions();
    void createUndoRedoActions();

    // The pop-up guide tour.
    void startGuideTimer();
    // What the guide points at: an action, or else a global point; false when
    // the guide has no anchor or its control is not there.
    bool guideAnchorOf(const QString &id, QAction **action, QPoint *point) const;
    static bool guideNeedsAudio(const QString &id);

    Ui::MainWindow *ui = nullptr;
    KvQmlModel *model = nullptr;
    KvQmlController *controller = nullptr;
    std::array<QAction *, 10> recentFileActions{};
    QAction *recentFilesSeparator = nullptr;
    QAction *undoAction = nullptr;
    QAction *redoAction = nullptr;
    KvPlaybackControls *playbackControls = nullptr;
    QLabel *statusLabel = nullptr;
    // Shows the status bar's passing message.
    QLabel *messageLabel = nullptr;
    bool playSelUsingSpace = false;
    bool showPopupGuides = false;
    QSize normalSize;
    QPoint normalPos;
    bool canPasteFlag = false;
    bool hasTracks = false;
    QWidget *dialogParent = nullptr;
    QList<QProcess *> childProcesses;
    // Put on the main tool bar by the first full refresh.
    QAction *convertSeparator = nullptr;
    float pinchBaseZoom = 1.0f;
    float pinchScale = 1.0f;
    bool pinchVertical = false;

    // The pop-up guide tour.
    QTimer *guideTimer = nullptr;
    int guideTicks = 0;
    KvGuideDialog *currentGuide = nullptr;
    // The bubble was hidden for a modal dialog and comes back after it.
    bool guideHeldByModal = false;
};

// The one main window, set by start-up right after it is built.
extern MainWindow *appMainWindow;
