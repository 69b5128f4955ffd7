#pragma once
// The one desktop window: owns the document model and the controller, builds
// the form (actions, menus, tool bars, the frame editor panel in the centre,
// the status bar) and keeps its own look between sessions.
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QStringList>

#include <array>

class KvGuideDialog;
class KvQmlController;
class KvQmlModel;
class QAction;
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
    // unsaved changes.
    void openProject(const QString &path);
    // Opens audio files as the document.
    void openFiles(const QStringList &paths);
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
    // The Play command; start-up runs it for a file named on the command line.
    void on_actionPlay_triggered();

private slots:
    void FileMenuAboutToShow();
    void DeleteTrack(qint64 framePos);
    void DisableGuide(const QString &guideId, bool stop);
    void recentFilesChanged(const QStringList &recentFiles);
    void openRecentFile();
    void setNewWindowTitle(const QString &newWindowTitle);

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

    // The pop-up guide tour.
    void ShowNextGuideDialog();
    bool ShowUIGuideDialogId(QString guideId, QAction *guideAction, QPoint guidePos);
    void guideClosing(QString guideId, bool stop);

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

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
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
    QLabel *statusLabel = nullptr;
    bool playSelUsingSpace = false;
    bool showPopupGuides = false;
    QSize normalSize;
    QPoint normalPos;
    bool canPasteFlag = false;
    bool hasTracks = false;

    // The pop-up guide tour.
    QTimer *guideTimer = nullptr;
    int guideTicks = 0;
    KvGuideDialog *currentGuide = nullptr;
};

// The one main window, set by start-up right after it is built.
extern MainWindow *appMainWindow;
