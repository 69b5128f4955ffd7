#include "MainWindow.h"

#include "KvGuideDialog.h"
#include "MyApplication.h"
#include "ui_MainWindow.h"

#include <KvAboutDlg.h>
#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvControllerSupport.h>
#include <KvConvert.h>
#include <KvEngineFactories.h>
#include <KvFileInfoUndo.h>
#include <KvFileProperties.h>
#include <KvFrameEditForm.h>
#include <KvFrameMapView.h>
#include <KvFrameRulerView.h>
#include <KvFrameWidget.h>
#include <KvManual.h>
#include <KvMessageBox.h>
#include <KvOptions.h>
#include <KvPlaybackControls.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRateAppDlg.h>
#include <KvRepackInfoPtrList.h>
#include <KvResources.h>
#include <KvTagProperty.h>
#include <KvTrackInfoUndo.h>
#include <KvTrackProperties.h>

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGestureEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPinchGesture>
#include <QScreen>
#include <QSettings>
#include <QUndoStack>
#include <QUrl>

// Qt's switch for mnemonics shown with Alt, exported by Qt Gui.
Q_GUI_EXPORT void qt_set_sequence_auto_mnemonic(bool b);

MainWindow *appMainWindow = nullptr;

namespace {

const QString projectSuffix = QStringLiteral(".kvlproj");
const QString supportPageAddress = QStringLiteral("https://www.veltranix.example/support");

// How long a passing message of the controller stays in the status bar.
constexpr int toastMessageMs = 5000;

bool isProjectPath(const QString &path) { return path.endsWith(projectSuffix, Qt::CaseInsensitive); }

// The "Settings/Large...Toolbar" and "Settings/Text...Toolbar" word of each tool bar.
struct ToolBarKey {
    QToolBar *bar;
    const char *word;
};

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    kvInitResources();

    ui = new Ui::MainWindow;
    model = new KvQmlModel(this);
    controller = new KvQmlController(this);
    controller->setModel(model);

    qt_set_sequence_auto_mnemonic(true);
    dialogParent = this;

    ui->setupUi(this);
    ui->widgetFrameView->setModel(model);
    ui->widgetFrameView->setController(controller);

    ui->actionOptions->setText(optionsDialogName);

    grabGesture(Qt::PinchGesture);
    adjustSize();

    createRecentFileActions();
    createUndoRedoActions();

    recentFilesSeparator = ui->menuFile->addSeparator();
    for (QAction *action : recentFileActions)
        ui->menuFile->addAction(action);
    controller->updateRecentFiles(QString());

    kvConnect(ui->menuFile, SIGNAL(aboutToShow()), this, SLOT(FileMenuAboutToShow()));
    readSettings(true);

    kvConnect(controller, SIGNAL(hasSelectionChanged(bool)), this, SLOT(HasSelectionChanged(bool)));
    kvConnect(controller, SIGNAL(hasFragmentsChanged(bool)), this, SLOT(HasFragmentsChanged(bool)));
    KvFrameEditForm *panel = ui->widgetFrameView;
    kvConnect(controller, SIGNAL(TrackInfoUpdated()), panel, SLOT(TrackInfoUpdated()));
    kvConnect(controller, SIGNAL(calcViews()), panel, SLOT(CalcViews()));
    kvConnect(controller, SIGNAL(updateWidget()), panel->frameWidget(), SLOT(CalcViews()));
    kvConnect(controller, SIGNAL(updateWidget()), panel->mapView(), SLOT(update()));
    kvConnect(controller, SIGNAL(playPositionChangedViewUpdate(double,qint16,qint16)), panel,
              SLOT(PlayPositionChanged_triggered(double,qint16,qint16)));
    kvConnect(controller, SIGNAL(playStateChanged(int)), this, SLOT(playStateChanged(int)));
    kvConnect(controller, SIGNAL(hZoomChanged(int)), this, SLOT(HorizontalZoomChanged(int)));
    kvConnect(controller, SIGNAL(selectionChanged()), this, SLOT(SelectionChanged()));
    kvConnect(controller, SIGNAL(recentFilesChanged(QStringList)), this, SLOT(recentFilesChanged(QStringList)));
    kvConnect(controller, SIGNAL(canSaveDirtyProjectChanged(bool)), this, SLOT(CalcEnabledActions()));

    model->setFragmentList(KvQmlModel::FragmentListPtr());
    panel->attachViews(model->fragmentList());

    canPasteFlag = controller->canPaste();
    kvConnect(controller, SIGNAL(canPasteChanged(bool)), this, SLOT(CanPasteChanged(bool)));
    kvConnect(controller, SIGNAL(scrollFrameChanged(double)), this,
              SLOT(PlayScrollbarPositionChanged_triggered(double)));
    kvConnect(panel, SIGNAL(RaiseCalcEnabledActions()), this, SLOT(CalcEnabledActions()));

    setAcceptDrops(true);

    playbackControls = new KvPlaybackControls(this);
    statusBar()->addPermanentWidget(playbackControls, 1);
    kvConnect(playbackControls, SIGNAL(VolumeChanged(double)), panel, SLOT(VolumeChanged(double)));
    kvConnect(playbackControls, SIGNAL(PitchChanged(double)), panel, SLOT(PitchChanged(double)));
    kvConnect(playbackControls, SIGNAL(TempoChanged(double)), panel, SLOT(TempoChanged(double)));
    // Playback starts with the kept volume and the controls' pitch and tempo.
    playbackControls->emitAllValues();

    // The playback controls take the status bar's free room, where its own
    // passing messages would be drawn: they show in a label of their own.
    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("labelStatusMessage"));
    // Set apart from the format text that follows it.
    messageLabel->setContentsMargins(0, 0, 2 * messageLabel->fontMetrics().averageCharWidth(), 0);
    messageLabel->hide();
    statusBar()->addPermanentWidget(messageLabel, 0);

    statusLabel = new QLabel(this);
    statusBar()->addPermanentWidget(statusLabel, 0);

    TrackInfoUpdated();
    playStateChanged(controller->playState());
    // Select All, the zoom keys and Scale View follow only the fragment rules:
    // without them the window's first picture, painted before the full
    // refresh at start-up, offers them with no document.
    HasFragmentsChanged(controller->hasFragments());

    canPasteFlag = false;
    hasTracks = false;

    ui->action_About->setText(ui->action_About->text().replace(QStringLiteral("mp3Morvelta"), applicationName));

    kvConnect(model, SIGNAL(projectFileChanged(QString)), this, SLOT(setNewWindowTitle(QString)));
    updateWindowTitle();

    kvConnect(this, SIGNAL(RaiseReEvaluateEnabledActions()), this, SLOT(ReEvaluateEnabledActions()),
              Qt::QueuedConnection);
    kvConnect(controller, SIGNAL(isPlayingChanged(bool)), this, SLOT(isPlayingChanged(bool)));
    kvConnect(controller, SIGNAL(toastMessageChanged(QString)), this, SLOT(toastMessageChanged(QString)));
    kvConnect(statusBar(), SIGNAL(messageChanged(QString)), this, SLOT(statusMessageChanged(QString)));

    startGuideTimer();
}

MainWindow::~MainWindow()
{
    // A play thread reads the document: it must have ended before the
    // document goes, also when the window is destroyed without being closed.
    if (controller)
        controller->stop();
    // The document and its undo stack go before the controller that edits them.
    delete model;
    model = nullptr;
    delete controller;
    controller = nullptr;
    delete ui;
}

void MainWindow::setupShortcuts()
{
    struct Keys {
        QAction *action;
        QKeySequence::StandardKey standard;
        QStringList text;
    };
    const QKeySequence::StandardKey none = QKeySequence::UnknownKey;
    const Keys keyboardActions[] = {
        {ui->kbActionMove_Previous_Edit_Point, none, {}},
        {ui->kbActionMove_Next_Edit_Point, none, {}},
        {ui->kbActionMove_Next_Frame, QKeySequence::MoveToNextChar, {}},
        {ui->kbActionMove_Previous_Frame, QKeySequence::MoveToPreviousChar, {}},
        {ui->kbActionMove_Next_Frame_Block, QKeySequence::MoveToNextWord, {}},
        {ui->kbActionMove_Previous_Frame_Block, QKeySequence::MoveToPreviousWord, {}},
        {ui->kbActionMove_Next_Frame_Page, none, {}},
        {ui->kbActionMove_Previous_Frame_Page, none, {}},
        {ui->kbActionMove_Next_Section, none, {}},
        {ui->kbActionMove_Previous_Section, none, {}},
        {ui->kbActionMove_Selection_Start, none, {}},
        {ui->kbActionMove_Selection_End, none, {}},
        {ui->kbActionSelect_Document_Start, QKeySequence::SelectStartOfDocument, {}},
        {ui->kbActionSelect_Document_End, QKeySequence::SelectEndOfDocument, {}},
        {ui->kbActionSelect_Next_Edit_Point, QKeySequence::SelectEndOfLine, {}},
        {ui->kbActionSelect_Previous_Edit_Point, QKeySequence::SelectStartOfLine, {}},
        {ui->kbActionSelect_Next_Frame, QKeySequence::SelectNextChar, {}},
        {ui->kbActionSelect_Previous_Frame, QKeySequence::SelectPreviousChar, {}},
        {ui->kbActionSelect_Next_Frame_Block, QKeySequence::SelectNextWord, {}},
        {ui->kbActionSelect_Previous_Frame_Block, QKeySequence::SelectPreviousWord, {}},
        {ui->kbActionSelect_Next_Frame_Page, none, {}},
        {ui->kbActionSelect_Previous_Frame_Page, none, {}},
        {ui->kbActionSelect_Next_Section, QKeySequence::SelectNextPage, {}},
        {ui->kbActionSelect_Prev_Section, QKeySequence::SelectPreviousPage, {}},
        {ui->kbActionSet_Selection_Start, QKeySequence::SelectPreviousLine, {}},
        {ui->kbActionSet_Selection_End, QKeySequence::SelectNextLine, {}},
        {ui->kbActionVertical_Shift_Up, none, {}},
        {ui->kbActionVertical_Shift_Down, none, {}},
        {ui->kbActionVertical_Zoom_In, none, {QStringLiteral("Alt+Shift++")}},
        {ui->kbActionVertical_Zoom_Out, none, {QStringLiteral("Alt+Shift+-")}},
        {ui->kbActionHorizontal_Zoom_In, none, {QStringLiteral("Alt++"), QStringLiteral("Alt+=")}},
        {ui->kbActionHorizontal_Zoom_Out, none, {QStringLiteral("Alt+-")}},
    };
    // As actions of the window their keys work wherever the focus is inside
    // it, whether or not the Keyboard Shortcuts menu is open.
    for (const Keys &k : keyboardActions) {
        if (actions().isEmpty())
            addAction(k.action);
        else
            insertAction(actions().first(), k.action);
        if (k.standard != none) {
            k.action->setShortcuts(k.standard);
        } else if (!k.text.isEmpty()) {
            QList<QKeySequence> keys;
            for (const QString &text : k.text)
                keys << QKeySequence(text, QKeySequence::NativeText);
            k.action->setShortcuts(keys);
        }
    }
    ui->actionDelete->setShortcuts({QKeySequence(QStringLiteral("Del"), QKeySequence::NativeText),
                                    QKeySequence(QStringLiteral("Backspace"), QKeySequence::NativeText)});
}

void MainWindow::createRecentFileActions()
{
    for (QAction *&action : recentFileActions) {
        action = new QAction(this);
        action->setVisible(false);
        kvConnect(action, SIGNAL(triggered()), this, SLOT(openRecentFile()));
    }
}

void MainWindow::createUndoRedoActions()
{
    setupShortcuts();

    QUndoStack *stack = model->undoStack();
    // Undo and redo pass through the window's slots, and the enable rules,
    // not the stack, decide when they may be used.
    undoAction = stack->createUndoAction(this, tr("&Undo"));
    disconnect(undoAction, SIGNAL(triggered()), stack, SLOT(undo()));
    disconnect(stack, SIGNAL(canUndoChanged(bool)), undoAction, SLOT(setEnabled(bool)));
    kvConnect(undoAction, SIGNAL(triggered()), this, SLOT(on_actionUndo_triggered()));
    kvConnect(stack, SIGNAL(canUndoChanged(bool)), this, SLOT(canUndoRedoChanged(bool)));
    undoAction->setShortcuts(QKeySequence::Undo);
    undoAction->setIcon(QIcon(QStringLiteral(":/Resources/action_undo.png")));

    redoAction = stack->createRedoAction(this, tr("&Redo"));
    disconnect(redoAction, SIGNAL(triggered()), stack, SLOT(redo()));
    disconnect(stack, SIGNAL(canRedoChanged(bool)), redoAction, SLOT(setEnabled(bool)));
    kvConnect(redoAction, SIGNAL(triggered()), this, SLOT(on_actionRedo_triggered()));
    kvConnect(stack, SIGNAL(canRedoChanged(bool)), this, SLOT(canUndoRedoChanged(bool)));
    redoAction->setShortcuts(QKeySequence::Redo);
    redoAction->setIcon(QIcon(QStringLiteral(":/Resources/action_redo.png")));

    // Redo ends up above Undo.
    ui->menuEdit->insertAction(ui->menuEdit->actions().value(0), undoAction);
    ui->menuEdit->insertAction(ui->menuEdit->actions().value(0), redoAction);

    // Crop, a separator, Undo, Redo on the edit tool bar.
    QToolBar *bar = ui->editToolBar;
    const int i = bar->actions().indexOf(ui->actionCrop);
    QAction *separator = new QAction(bar);
    separator->setSeparator(true);
    bar->insertAction(bar->actions().value(i + 1), separator);
    bar->insertAction(bar->actions().value(i + 2), undoAction);
    bar->insertAction(bar->actions().value(i + 3), redoAction);

    undoAction->setIconText(tr("Undo"));
    redoAction->setIconText(tr("Redo"));
    kvConnect(stack, SIGNAL(cleanChanged(bool)), this, SLOT(cleanChanged(bool)));
}

MainWindow::DocumentStamp MainWindow::documentStamp() const
{
    DocumentStamp stamp;
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    stamp.cursor = cursor.get();
    stamp.list = cursor ? cursor->list().get() : nullptr;
    stamp.frames = cursor ? cursor->totalFrames() : 0;
    stamp.projectFile = model->projectFile();
    return stamp;
}

void MainWindow::updateUiStateIfChanged(const DocumentStamp &before)
{
    // A cancelled or failed open leaves the document, and the place in it, alone.
    const DocumentStamp after = documentStamp();
    if (after.cursor != before.cursor || after.list != before.list || after.frames != before.frames ||
        after.projectFile != before.projectFile)
        updateUiState(false);
}

void MainWindow::openProject(const QString &path)
{
    // Held as Open holds it; refused while another command holds it.
    KvEditLock lock(&model->mutex());
    if (!lock)
        return;
    if (!controller->checkSaveChanges(false, false, false))
        return;
    const DocumentStamp before = documentStamp();
    controller->loadProjectUrl(QUrl::fromLocalFile(path));
    updateUiStateIfChanged(before);
}

void MainWindow::openFiles(const QStringList &paths)
{
    // Held as Open holds it, also while the files are read: a drop that
    // comes meanwhile is refused.
    KvEditLock lock(&model->mutex());
    if (!lock)
        return;
    const DocumentStamp before = documentStamp();
    controller->openFileList(paths);
    updateUiStateIfChanged(before);
}

void MainWindow::updateUiState(bool resetPosition)
{
    // A document that came with a place of its own (a project keeps its
    // position and selection) keeps it; any other starts at the start.
    ui->widgetFrameView->attachViews(model->fragmentList(), !resetPosition);
    const qint64 position = resetPosition ? 0 : qint64(controller->scrollFrame());
    ScrollValueChanged(position);
    ui->widgetFrameView->ScrollValueChanged(position);
    statusLabel->setText(controller->updateStatusMessage());
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    hasTracks = tracks && tracks->hasTracks();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::resetAfterClose()
{
    controller->closeProject(true, false);
    updateUiState(true);
    ui->widgetFrameView->updatePartInfo(KvRepackInfoPtr(), 0, 0);
    ui->widgetFrameView->updateTrackInfo(nullptr, 0);
    CalcEnabledActions();
}

void MainWindow::showWindowProcessed() { ReEvaluateEnabledActions(); }

void MainWindow::setLastOpenPath(const QString &path) { controller->setLastOpenPath(path); }

void MainWindow::toastMessageChanged(const QString &toastMessage)
{
    if (!toastMessage.isEmpty())
        statusBar()->showMessage(toastMessage, toastMessageMs);
}

void MainWindow::statusMessageChanged(const QString &message)
{
    messageLabel->setText(message);
    messageLabel->setVisible(!message.isEmpty());
    // Once its time is up the toast is spent: the same text again (a second
    // thank-you) is a new message.
    if (message.isEmpty() && !controller->toastMessage().isEmpty())
        controller->setToastMessage(QString());
}

void MainWindow::FileMenuAboutToShow() { controller->updateRecentFiles(QString()); }

void MainWindow::DeleteTrack(qint64 framePos) { controller->deleteTrack(double(framePos)); }

void MainWindow::DisableGuide(const QString &guideId, bool stop)
{
    if (guideId.isEmpty())
        return;
    QSettings settings;
    settings.setValue(QStringLiteral("Warnings/GuideDialogShown-%1").arg(guideId), true);
    if (stop) {
        showPopupGuides = false;
        settings.setValue(QStringLiteral("Settings/showPopupGuides"), false);
    }
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event);
    controller->CheckIsDarkMode(palette());
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        normalSize = size();
        normalPos = pos();
    }
    QMainWindow::resizeEvent(event);
}

void MainWindow::readSettings(bool restoreWindow)
{
    QSettings settings;
    playSelUsingSpace = settings.value(QStringLiteral("Settings/playSelUsingSpace"), false).toBool();
    showPopupGuides = settings.value(QStringLiteral("Settings/showPopupGuides"), true).toBool();

    settings.beginGroup(QStringLiteral("MainWindow"));
    normalSize = settings.value(QStringLiteral("Settings/size"), QSize(0, 0)).toSize();
    normalPos = settings.value(QStringLiteral("Settings/pos"), QPoint(20, 20)).toPoint();
    bool firstStart = false;
    if (normalSize.height() == 0) {
        firstStart = true;
        QSize size(1364, 736);
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect desktop = screen ? screen->geometry() : QRect();
        if (size.width() > desktop.width())
            size.setWidth(desktop.width() - 100);
        if (size.height() > desktop.height())
            size.setHeight(desktop.height() - 100);
        normalSize = size;
        resize(size);
    }
    settings.endGroup();

    if (restoreWindow) {
        if (firstStart)
            resize(normalSize);
        else
            restoreGeometry(settings.value(QStringLiteral("Settings/mainWindowGeometry")).toByteArray());
        restoreState(settings.value(QStringLiteral("Settings/mainWindowState1_1")).toByteArray(), 0);
    }

    const ToolBarKey bars[] = {{ui->mainToolBar, "Main"},
                               {ui->mediaToolBar, "Media"},
                               {ui->effectsToolBar, "Effects"},
                               {ui->editToolBar, "Edit"},
                               {ui->optionsToolBar, "Options"}};
    for (const ToolBarKey &b : bars) {
        const QString word = QLatin1String(b.word);
        const bool large = settings.value(QStringLiteral("Settings/Large%1Toolbar").arg(word), true).toBool();
        const bool text = settings.value(QStringLiteral("Settings/Text%1Toolbar").arg(word), true).toBool();
        b.bar->setIconSize(large ? QSize(32, 32) : QSize(20, 20));
        b.bar->setToolButtonStyle(text ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    }

    // The tool bars' new sizes change the room the panel's views have. At
    // start-up the views are not attached yet; attaching them computes them.
    if (!restoreWindow) {
        ui->widgetFrameView->CalcViews();
        ui->widgetFrameView->TrackInfoUpdated();
    }
}

void MainWindow::writeSettings()
{
    QSettings settings;
    settings.setValue(QStringLiteral("Settings/playSelUsingSpace"), playSelUsingSpace);
    settings.setValue(QStringLiteral("Settings/showPopupGuides"), showPopupGuides);

    settings.beginGroup(QStringLiteral("MainWindow"));
    settings.setValue(QStringLiteral("Settings/size"), size());
    settings.setValue(QStringLiteral("Settings/pos"), pos());
    settings.endGroup();

    settings.setValue(QStringLiteral("Settings/mainWindowGeometry"), saveGeometry());
    settings.setValue(QStringLiteral("Settings/mainWindowState1_1"), saveState(0));

    const auto writeLooks = [&settings](QToolBar *bar, const char *word) {
        settings.setValue(QStringLiteral("Settings/Large%1Toolbar").arg(QLatin1String(word)),
                          bar->iconSize().height() == 32);
        settings.setValue(QStringLiteral("Settings/Text%1Toolbar").arg(QLatin1String(word)),
                          bar->toolButtonStyle() != Qt::ToolButtonIconOnly);
    };
    writeLooks(ui->mainToolBar, "Main");
    writeLooks(ui->mediaToolBar, "Media");
    settings.setValue(QStringLiteral("Settings/ShowEffectsToolbar"), ui->effectsToolBar->isVisible());
    writeLooks(ui->effectsToolBar, "Effects");
    writeLooks(ui->editToolBar, "Edit");
    writeLooks(ui->optionsToolBar, "Options");
}

void MainWindow::recentFilesChanged(const QStringList &recentFiles)
{
    Q_UNUSED(recentFiles);
    updateRecentFileActions();
}

void MainWindow::updateRecentFileActions()
{
    const bool playing = controller->isPlaying();
    const QStringList files = controller->recentFiles();
    const int n = qMin(files.size(), int(recentFileActions.size()));
    for (int i = 0; i < n; ++i) {
        const QString &path = files.at(i);
        // The tenth entry reads "10" with 0 as its mnemonic.
        const QString text = i < 9 ? tr("&%1 %2") : tr("1&%1 %2");
        QAction *action = recentFileActions[i];
        action->setText(text.arg((i + 1) % 10).arg(path));
        action->setIcon(QIcon(isProjectPath(path) ? QStringLiteral(":/Resources/mp3Morvelta_16.png")
                                                  : QStringLiteral(":/Resources/mp3_icon_green_16_alpha.png")));
        action->setData(path);
        action->setVisible(true);
        action->setEnabled(!playing);
    }
    for (int i = n; i < int(recentFileActions.size()); ++i)
        recentFileActions[i]->setVisible(false);
    recentFilesSeparator->setVisible(n > 0);
}

void MainWindow::openRecentFile()
{
    const QAction *action = qobject_cast<const QAction *>(sender());
    if (!action)
        return;
    // A play or pause of the old document ends before another one comes.
    ui->widgetFrameView->Stop();
    const QString path = action->data().toString();
    if (isProjectPath(path))
        openProject(path);
    else
        openFiles(QStringList{path});
    updatePlayActions();
}

void MainWindow::setNewWindowTitle(const QString &newWindowTitle)
{
    Q_UNUSED(newWindowTitle);
    updateWindowTitle();
}

void MainWindow::updateWindowTitle()
{
    const QString project = model->projectFile();
    setWindowTitle(tr("%1 - %2").arg(applicationName,
                                     project.isEmpty() ? tr("Untitled Project") : QFileInfo(project).fileName()));
}

void MainWindow::cleanChanged(bool) { HasSelectionChanged(controller->hasSelection()); }

void MainWindow::canUndoRedoChanged(bool) { HasSelectionChanged(controller->hasSelection()); }

void MainWindow::playStateChanged(int) { HasSelectionChanged(controller->hasSelection()); }

void MainWindow::on_actionCut_triggered() { controller->actionCutFrames(); }
void MainWindow::on_actionCopy_triggered() { controller->actionCopyFrames(); }
void MainWindow::on_actionPaste_triggered() { controller->actionPasteFrames(); }
void MainWindow::on_actionDelete_triggered() { controller->actionDeleteFrames(); }
void MainWindow::on_actionCrop_triggered() { controller->actionCropFrames(); }
void MainWindow::on_actionFade_In_triggered() { controller->actionFadeInFrames(); }
void MainWindow::on_actionFade_Out_triggered() { controller->actionFadeOutFrames(); }
void MainWindow::on_actionSilence_triggered() { controller->actionSilenceFrames(); }
void MainWindow::on_actionUndo_Silence_triggered() { controller->actionRemoveSilenceFrames(); }
void MainWindow::on_actionVolume_Increase_triggered() { controller->actionVolumeIncFrames(); }
void MainWindow::on_actionVolume_Decrease_triggered() { controller->actionVolumeDecFrames(); }
void MainWindow::on_actionNormalize_triggered() { controller->actionNormalize(); }
void MainWindow::on_actionInsert_Silence_triggered() { controller->actionInsertSilence(); }
void MainWindow::on_actionUndo_triggered() { controller->actionUndo(); }
void MainWindow::on_actionRedo_triggered() { controller->actionRedo(); }
void MainWindow::on_actionRecord_triggered() { controller->actionRecord(); }
void MainWindow::on_actionSave_Project_triggered() { controller->actionSaveProject(); }
void MainWindow::on_actionSave_Project_As_triggered() { controller->actionSaveProjectAs(false); }
void MainWindow::on_actionExport_All_As_triggered() { controller->actionExportAll(); }
void MainWindow::on_actionExport_Selection_As_triggered() { controller->actionExportSelection(); }
void MainWindow::on_actionExport_Tracks_triggered() { controller->actionExportTracks(); }
void MainWindow::on_actionNext_Track_triggered() { controller->actionNextTrack(); }
void MainWindow::on_kbActionMove_Next_Section_triggered() { controller->actionNextTrack(); }
void MainWindow::on_actionPrevious_Track_triggered() { controller->actionPreviousTrack(); }
void MainWindow::on_kbActionMove_Previous_Section_triggered() { controller->actionPreviousTrack(); }

void MainWindow::on_actionScale_View_triggered()
{
    if (controller)
        controller->actionScaleView();
}

void MainWindow::on_kbActionVertical_Zoom_In_triggered() { controller->verticalZoomInOut(true); }
void MainWindow::on_kbActionVertical_Zoom_Out_triggered() { controller->verticalZoomInOut(false); }
void MainWindow::on_kbActionVertical_Shift_Up_triggered() { controller->verticalShiftUpDown(true); }
void MainWindow::on_kbActionVertical_Shift_Down_triggered() { controller->verticalShiftUpDown(false); }

// Kept so that the form's action has its slot; it does nothing.
void MainWindow::on_actionOldTxtPaste_triggered() {}

void MainWindow::on_actionExit_triggered() { close(); }

// ---- Enable rules ----

qint64 MainWindow::documentFrames() const
{
    const KvQmlModel::FragmentListPtr cursor = model ? model->fragmentList() : KvQmlModel::FragmentListPtr();
    return cursor ? cursor->totalFrames() : 0;
}

void MainWindow::HasSelectionChanged(bool hasSelection)
{
    const bool playing = controller->isPlaying();
    const qint64 total = documentFrames();
    const bool hasFrames = total > 0;
    const qint64 selStart = qint64(controller->selectionStart());
    const qint64 selEnd = qint64(controller->selectionEnd());
    const bool editable = !playing;

    updatePlayActions();

    ui->actionCopy->setEnabled(hasSelection);
    for (QAction *a : {ui->actionCut, ui->actionFade_In, ui->actionFade_Out, ui->actionSilence,
                       ui->actionUndo_Silence, ui->actionNormalize})
        a->setEnabled(hasSelection && editable);
    ui->actionAdd_Track_Info->setEnabled(hasFrames && editable);
    ui->actionInsert_Silence->setEnabled(hasFrames && editable);
    ui->actionPaste->setEnabled(canPasteFlag && editable);
    ui->actionAppend_Files->setEnabled(hasFrames && editable);
    ui->actionExport_Tracks->setEnabled(hasTracks && editable);
    ui->actionConvert_Tracks->setEnabled(hasTracks && editable);
    for (QAction *a : {ui->actionDelete, ui->actionVolume_Decrease, ui->actionVolume_Increase})
        a->setEnabled(hasSelection && editable);
    QUndoStack *stack = model->undoStack();
    if (undoAction)
        undoAction->setEnabled(stack->canUndo() && editable);
    if (redoAction)
        redoAction->setEnabled(stack->canRedo() && editable);
    for (QAction *a : recentFileActions)
        a->setEnabled(editable);
    // Saving is safe while playing: it only reads the document.
    ui->actionSave_Project->setEnabled(hasFrames &&
                                       (controller->canSaveDirtyProject() || model->projectFile().isEmpty()));
    ui->actionSave_Project_As->setEnabled(hasFrames && editable);
    ui->actionExport_All_As->setEnabled(hasFrames && editable);
    ui->actionExport_Selection_As->setEnabled(hasSelection && editable);
    ui->actionEdit_File_Info->setEnabled(hasFrames && editable);
    ui->actionConvert_All_As->setEnabled(hasFrames && editable);
    ui->actionConvert_Selection_As->setEnabled(hasSelection && editable);
    ui->actionRecord->setEnabled(editable);
    const bool wholeDocument = selStart == 0 && selEnd == total;
    ui->actionCrop->setEnabled(editable && selStart != -1 && selEnd != -1 && selStart != selEnd && !wholeDocument);
    ui->actionOpen->setEnabled(editable);
}

void MainWindow::CalcEnabledActions()
{
    HasSelectionChanged(controller->hasSelection());
    statusLabel->setText(controller->updateStatusMessage());
}

void MainWindow::HasFragmentsChanged(bool hasFragments)
{
    HasSelectionChanged(controller->hasSelection());
    const qint64 total = documentFrames();
    const bool wholeDocument = qint64(controller->selectionStart()) == 0 && qint64(controller->selectionEnd()) == total;
    const int zoom = controller->hZoom();
    ui->actionSelect_All->setEnabled(hasFragments && !wholeDocument);
    ui->kbActionHorizontal_Zoom_In->setEnabled(hasFragments && zoom < 16);
    ui->kbActionHorizontal_Zoom_Out->setEnabled(hasFragments && zoom > 1);
    ui->actionScale_View->setEnabled(hasFragments);
}

void MainWindow::HorizontalZoomChanged(int nZoom)
{
    const bool hasFrames = documentFrames() > 0;
    ui->kbActionHorizontal_Zoom_In->setEnabled(hasFrames && nZoom < 16);
    ui->kbActionHorizontal_Zoom_Out->setEnabled(hasFrames && nZoom > 1);
}

void MainWindow::CanPasteChanged(bool)
{
    canPasteFlag = controller->canPaste();
    ui->actionPaste->setEnabled(canPasteFlag && !controller->isPlaying());
}

// ---- State slots ----

void MainWindow::updatePlayActions()
{
    const int state = controller->playState();
    const bool active = state >= 1 && state <= 4;
    const bool hasAudio = controller->hasFragments();
    const qint64 position = qint64(controller->scrollFrame());
    const qint64 total = documentFrames();
    const bool atStart = position == 0;
    const bool atEnd = position == total;

    ui->actionPlay_Selection->setEnabled(controller->hasSelection() && state != 1 && state != 3);
    ui->actionPlay_Selection->setCheckable(state == 2);
    ui->actionPlay_Selection->setChecked(state == 2);
    ui->actionPlay->setEnabled(hasAudio && state != 2 && state != 4 && !atEnd);
    ui->actionPlay->setCheckable(state == 1);
    ui->actionPlay->setChecked(state == 1);
    const bool paused = state == 3 || state == 4;
    ui->actionPause->setEnabled(hasAudio && !atEnd && active);
    ui->actionPause->setCheckable(paused);
    ui->actionPause->setChecked(paused);
    ui->actionPause->setIcon(QIcon(state == 2 || state == 4 ? QStringLiteral(":/Resources/action_pause_sel.png")
                                                            : QStringLiteral(":/Resources/action_pause.png")));
    ui->actionPlay_Pause->setEnabled(!atEnd);
    ui->actionStop->setEnabled(active);
    ui->actionLoop->setEnabled(hasAudio);
    ui->actionLoop->setChecked(controller->loopAudio());
    ui->actionForward_To_End->setEnabled(hasAudio && !atEnd);
    ui->actionRewind_To_Beginning->setEnabled(hasAudio && !atStart);

    bool nextTrack = false;
    bool previousTrack = false;
    if (const KvQmlModel::FilePropertiesPtr tracks = model->trackList()) {
        qint64 next = tracks->nextTrackPoint(position);
        if (next == KvTagProperty::EndMarker)
            next = total;
        nextTrack = next != -1 && next != position;
        previousTrack = tracks->previousTrackPoint(position) != -1;
    }
    ui->actionNext_Track->setEnabled(nextTrack);
    ui->actionPrevious_Track->setEnabled(previousTrack);
}

void MainWindow::PlayFinished_triggered()
{
    controller->stop();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::isPlayingChanged(bool isPlaying)
{
    if (!isPlaying)
        ScrollValueChanged(qint64(controller->scrollFrame()));
}

void MainWindow::PlayScrollbarPositionChanged_triggered(double nNewPosition)
{
    updatePlayActions();
    const qint64 p = qint64(nNewPosition);
    ScrollValueChanged(p);
    KvFrameEditForm *panel = ui->widgetFrameView;
    panel->ScrollValueChanged(p);
    panel->mapView()->ScrollValueChanged(p);
    panel->frameWidget()->ScrollValueChanged(p);
    panel->caretRuler()->update();
}

void MainWindow::ScrollValueChanged(qint64 value)
{
    const qint64 position = value < documentFrames() ? value : KvTagProperty::EndMarker;
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    const bool onTrack = tracks && tracks->canDeleteTrack(position);
    if (!controller->isPlaying())
        ui->actionAdd_Track_Info->setText(onTrack ? tr("Edit Track Information") : tr("Add Track Information"));
}

void MainWindow::SelectionChanged()
{
    const qint64 total = documentFrames();
    const qint64 start = qint64(controller->selectionStart());
    const qint64 end = qint64(controller->selectionEnd());
    const bool wholeDocument = start == 0 && end == total;
    ui->actionSelect_All->setEnabled(total > 0 && !wholeDocument);
    ui->actionCrop->setEnabled(!controller->isPlaying() && start != -1 && end != -1 && start != end &&
                               !wholeDocument);
    // A selection changed under a paused selection play ends that play.
    if (controller->playState() == 4)
        ui->widgetFrameView->Stop();
    ui->widgetFrameView->mapView()->update();
    ui->widgetFrameView->SelectionChanged();
}

void MainWindow::TrackInfoUpdated()
{
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    hasTracks = tracks && tracks->hasTracks();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::SetTrackStart(qint64 framePos) { controller->setTrackStart(double(framePos)); }
void MainWindow::SetTrackEnd(qint64 framePos) { controller->setTrackEnd(double(framePos)); }
void MainWindow::SplitTrack(qint64 framePos) { controller->splitTrack(double(framePos)); }

void MainWindow::ReEvaluateEnabledActions()
{
    const qint64 total = documentFrames();
    const bool hasAudio = total > 0;
    HasSelectionChanged(controller->hasSelection());
    const bool wholeDocument = qint64(controller->selectionStart()) == 0 && qint64(controller->selectionEnd()) == total;
    const int zoom = controller->hZoom();
    ui->actionSelect_All->setEnabled(hasAudio && !wholeDocument);
    ui->kbActionHorizontal_Zoom_In->setEnabled(hasAudio && zoom < 16);
    ui->kbActionHorizontal_Zoom_Out->setEnabled(hasAudio && zoom > 1);
    ui->actionScale_View->setEnabled(hasAudio);

    SelectionChanged();
    HasSelectionChanged(controller->hasSelection());
    updateWindowTitle();

    for (QAction *a : {ui->actionAppend_Files, ui->actionExport_Tracks, ui->actionConvert_All_As,
                       ui->actionConvert_Selection_As, ui->actionConvert_Tracks})
        a->setVisible(true);
    if (!convertSeparator)
        convertSeparator = ui->mainToolBar->insertSeparator(ui->actionConvert_All_As);
    for (QAction *a : {ui->actionCut, ui->actionCopy, ui->actionPaste, ui->actionSelect_All, ui->actionNormalize,
                       ui->actionFade_In, ui->actionFade_Out, ui->actionVolume_Increase, ui->actionVolume_Decrease,
                       ui->actionSilence, ui->actionUndo_Silence, ui->actionInsert_Silence, ui->actionPrevious_Track,
                       ui->actionNext_Track, ui->actionAdd_Track_Info})
        a->setVisible(true);

    QSettings settings;
    if (settings.value(QStringLiteral("Settings/ShowEffectsToolbar"), true).toBool()) {
        ui->effectsToolBar->show();
        const bool large = settings.value(QStringLiteral("Settings/LargeEffectsToolbar"), true).toBool();
        const bool text = settings.value(QStringLiteral("Settings/TextEffectsToolbar"), true).toBool();
        ui->effectsToolBar->setIconSize(large ? QSize(32, 32) : QSize(20, 20));
        ui->effectsToolBar->setToolButtonStyle(text ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    } else {
        ui->effectsToolBar->hide();
    }

    KvFrameEditForm *panel = ui->widgetFrameView;
    for (const char *name : {"groupBoxTrackSelection", "labelTrackNo", "lineEditTrackNo", "labelTrackName",
                             "lineEditTrackName", "labelTrackLocation", "lineEditTrackLocation",
                             "labelTrackDuration", "lineEditTrackDuration"}) {
        if (QWidget *w = panel->findChild<QWidget *>(QLatin1String(name)))
            w->setVisible(true);
    }
    if (QGroupBox *box = panel->findChild<QGroupBox *>(QStringLiteral("groupBoxBookmarksTracksInfo")))
        box->setTitle(tr("Track information"));

    canPasteFlag = controller->canPaste();
    ui->actionPaste->setEnabled(canPasteFlag && !controller->isPlaying());

    // The guide texts follow the current translation.
    KvGuideDialog::initGuides();
}

// ---- Playback ----

void MainWindow::on_actionPlay_triggered()
{
    ui->widgetFrameView->StartPlay();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::on_actionPlay_Selection_triggered()
{
    ui->widgetFrameView->PlaySelection();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::on_actionStop_triggered()
{
    ui->widgetFrameView->Stop();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::on_actionPause_triggered()
{
    const int state = controller->playState();
    if (state == 3 || state == 4)
        ui->widgetFrameView->ResumePlay();
    else if (state == 1 || state == 2)
        ui->widgetFrameView->Pause();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::on_actionPlay_Pause_triggered()
{
    KvFrameEditForm *panel = ui->widgetFrameView;
    const int state = controller->playState();
    if (state == 3 || state == 4)
        panel->ResumePlay();
    else if (state == 1 || state == 2)
        panel->Pause();
    else if (playSelUsingSpace && controller->hasSelection())
        panel->PlaySelection();
    else
        panel->StartPlay();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::on_actionRewind_To_Beginning_triggered()
{
    ui->widgetFrameView->RewindBeginning();
    updatePlayActions();
}

void MainWindow::on_actionForward_To_End_triggered()
{
    ui->widgetFrameView->FowardEnd();
    updatePlayActions();
}

void MainWindow::on_actionSelect_All_triggered() { ui->widgetFrameView->SelectAll(); }
void MainWindow::on_kbActionSet_Selection_Start_triggered() { ui->widgetFrameView->frameWidget()->SetBegin(); }
void MainWindow::on_kbActionSet_Selection_End_triggered() { ui->widgetFrameView->frameWidget()->SetEnd(); }

void MainWindow::on_actionLoop_changed()
{
    if (ui->actionLoop->isEnabled())
        controller->setLoopAudio(ui->actionLoop->isChecked());
}

// ---- Keyboard navigation and selection ----

qint64 MainWindow::position() const { return qint64(controller->scrollFrame()); }

qint64 MainWindow::editPoint(bool next) const
{
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    if (!cursor)
        return -1;
    return next ? cursor->fragmentEnd(position()) : cursor->fragmentStart(position());
}

qint64 MainWindow::trackPoint(bool next) const
{
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    if (!tracks)
        return -1;
    const qint64 t = next ? tracks->nextTrackPoint(position()) : tracks->previousTrackPoint(position());
    return t == KvTagProperty::EndMarker ? documentFrames() : t;
}

void MainWindow::moveToFrame(qint64 frame)
{
    if (frame != -1)
        controller->scrollToFrame(double(frame), false, false);
}

void MainWindow::selectToFrame(qint64 frame)
{
    if (frame != -1)
        controller->keyboardSelect(frame - position());
}

void MainWindow::on_kbActionMove_Next_Frame_triggered()
{
    if (!controller->isPlaying())
        controller->stepFrames(1);
}

void MainWindow::on_kbActionMove_Previous_Frame_triggered()
{
    if (!controller->isPlaying())
        controller->stepFrames(-1);
}

void MainWindow::on_kbActionMove_Next_Frame_Block_triggered()
{
    controller->actionMoveFramesForTime(controller->navigateBlockSecs(), false);
}

void MainWindow::on_kbActionMove_Previous_Frame_Block_triggered()
{
    controller->actionMoveFramesForTime(-controller->navigateBlockSecs(), false);
}

void MainWindow::on_kbActionMove_Next_Frame_Page_triggered()
{
    controller->actionMoveFramesForTime(controller->navigatePageSecs(), false);
}

void MainWindow::on_kbActionMove_Previous_Frame_Page_triggered()
{
    controller->actionMoveFramesForTime(-controller->navigatePageSecs(), false);
}

void MainWindow::on_kbActionMove_Next_Edit_Point_triggered() { moveToFrame(editPoint(true)); }
void MainWindow::on_kbActionMove_Previous_Edit_Point_triggered() { moveToFrame(editPoint(false)); }
void MainWindow::on_kbActionMove_Selection_Start_triggered() { moveToFrame(qint64(controller->selectionStart())); }
void MainWindow::on_kbActionMove_Selection_End_triggered() { moveToFrame(qint64(controller->selectionEnd())); }
void MainWindow::on_kbActionSelect_Next_Frame_triggered() { controller->keyboardSelect(1); }
void MainWindow::on_kbActionSelect_Previous_Frame_triggered() { controller->keyboardSelect(-1); }

void MainWindow::on_kbActionSelect_Next_Frame_Block_triggered()
{
    controller->actionMoveFramesForTime(controller->navigateBlockSecs(), true);
}

void MainWindow::on_kbActionSelect_Previous_Frame_Block_triggered()
{
    controller->actionMoveFramesForTime(-controller->navigateBlockSecs(), true);
}

void MainWindow::on_kbActionSelect_Next_Frame_Page_triggered()
{
    controller->actionMoveFramesForTime(controller->navigatePageSecs(), true);
}

void MainWindow::on_kbActionSelect_Previous_Frame_Page_triggered()
{
    controller->actionMoveFramesForTime(-controller->navigatePageSecs(), true);
}

void MainWindow::on_kbActionSelect_Document_Start_triggered() { selectToFrame(0); }
void MainWindow::on_kbActionSelect_Document_End_triggered() { selectToFrame(documentFrames()); }
void MainWindow::on_kbActionSelect_Next_Edit_Point_triggered() { selectToFrame(editPoint(true)); }
void MainWindow::on_kbActionSelect_Previous_Edit_Point_triggered() { selectToFrame(editPoint(false)); }
void MainWindow::on_kbActionSelect_Next_Section_triggered() { selectToFrame(trackPoint(true)); }
void MainWindow::on_kbActionSelect_Prev_Section_triggered() { selectToFrame(trackPoint(false)); }

// ---- Zoom keys ----

void MainWindow::horizontalZoomKey(bool isZoomIn)
{
    // Shift turns the horizontal zoom keys into vertical ones.
    if (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier)
        controller->verticalZoomInOut(isZoomIn);
    else
        controller->actionHorizontalZoomInOut(isZoomIn);
    QSettings().setValue(QStringLiteral("Settings/HZoom"), controller->hZoom());
}

void MainWindow::on_kbActionHorizontal_Zoom_In_triggered() { horizontalZoomKey(true); }
void MainWindow::on_kbActionHorizontal_Zoom_Out_triggered() { horizontalZoomKey(false); }

// ---- Conversion ----

void MainWindow::runConvertDialog(const PieceList &pieces, bool tracks, bool selection)
{
    // The conversion plays back as the controls are set.
    const int pitch = playbackControls ? playbackControls->pitchSliderValue() : 0;
    const int tempo = playbackControls ? playbackControls->tempoSliderValue() : 50;
    KvConvert dialog(controller, pieces, dialogParent, pitch, tempo, tracks, selection);
    dialog.exec();
}

void MainWindow::on_actionConvert_All_As_triggered()
{
    controller->checkConvertWarning();
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    if (!cursor || cursor->totalFrames() <= 0)
        return;
    runConvertDialog(PieceList{cursor->list()}, false, false);
}

void MainWindow::on_actionConvert_Selection_As_triggered()
{
    controller->checkConvertWarning();
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    if (!cursor || cursor->totalFrames() <= 0)
        return;
    const qint64 start = qint64(controller->selectionStart());
    const qint64 end = qint64(controller->selectionEnd());
    if (start == -1 || end == -1 || start >= end)
        return;
    runConvertDialog(PieceList{cursor->list()->copyRange(start, end - start)}, false, true);
}

void MainWindow::on_actionConvert_Tracks_triggered()
{
    controller->checkConvertWarning();
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    if (!cursor || cursor->totalFrames() <= 0)
        return;
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    if (!tracks)
        return;
    const qint64 total = cursor->totalFrames();
    PieceList pieces;
    for (const KvTagPropertyPtr &track : tracks->tracks()) {
        if (!track)
            continue;
        // An open end stands for the document end; a track that lies past the
        // document has nothing to convert.
        const qint64 start = track->start();
        const qint64 end = qMin(track->end(), total);
        if (start < 0 || start >= end)
            continue;
        pieces << cursor->list()->copyRange(start, end - start);
    }
    if (pieces.isEmpty())
        return;
    runConvertDialog(pieces, true, false);
}

// ---- Files, dialogs and further windows ----

void MainWindow::on_actionOpen_triggered()
{
    ui->widgetFrameView->Stop();
    const DocumentStamp before = documentStamp();
    controller->actionOpen();
    updateUiStateIfChanged(before);
}

void MainWindow::on_actionAppend_Files_triggered()
{
    ui->widgetFrameView->Stop();
    controller->actionAppend();
}

void MainWindow::on_actionClose_triggered()
{
    ui->widgetFrameView->Stop();
    if (!controller->checkSaveChanges(false, false, false))
        return;
    resetAfterClose();
}

void MainWindow::on_actionNew_Application_Window_triggered()
{
    auto *process = new QProcess;
    kvConnect(process, SIGNAL(finished(int, QProcess::ExitStatus)), this,
              SLOT(process_finished(int, QProcess::ExitStatus)));
    process->start(QCoreApplication::applicationFilePath(), QStringList(), QIODevice::ReadWrite);
    if (process->waitForStarted(30000))
        childProcesses.append(process);
    else
        delete process;
}

void MainWindow::process_finished(int, QProcess::ExitStatus)
{
    for (int i = childProcesses.size() - 1; i >= 0; --i) {
        if (childProcesses.at(i)->state() == QProcess::NotRunning)
            delete childProcesses.takeAt(i);
    }
}

void MainWindow::on_actionEdit_File_Info_triggered()
{
    const KvTagPropertyPtr file = model->fileTagProperty();
    if (!file)
        return;
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    const QString suffix = cursor ? documentFileSuffix(cursor->list()) : QString();
    KvTrackProperties dialog(controller, file.get(), nullptr, model->undoStack(), false, suffix, this);
    dialog.setWindowTitle(tr("Edit File Information"));
    const KvTagInfo before = file->tagInfo();
    if (dialog.exec() == QDialog::Accepted && dialog.tagInfo != before)
        model->undoStack()->push(new KvFileInfoUndo(tr("Edit File Information"), &dialog.tagInfo, file.get(), controller));
}

void MainWindow::on_actionAdd_Track_Info_triggered()
{
    const qint64 p = qint64(controller->scrollFrame());
    const qint64 n = documentFrames();
    if (p == n)
        return;
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    const KvQmlModel::FragmentListPtr cursor = model->fragmentList();
    const QString suffix = cursor ? documentFileSuffix(cursor->list()) : QString();

    qint64 start = tracks ? tracks->trackStartAt(p) : -1;
    KvTagPropertyPtr edited = start != -1 && tracks ? tracks->trackIndexAt(start) : KvTagPropertyPtr();
    const bool isNew = !edited;
    if (isNew) {
        // Serves only the dialog; the command builds the real track.
        edited.reset(new KvTagProperty(p, KvTagProperty::EndMarker));
        start = p;
    }
    {
        KvTrackProperties dialog(controller, edited.get(), tracks.get(), model->undoStack(),
                                 controller->useAutoTrackNum(), suffix, this);
        if (!isNew)
            dialog.setWindowTitle(tr("Edit Track Information"));
        if (dialog.exec() == QDialog::Accepted && tracks) {
            QUndoCommand *command = nullptr;
            if (isNew) {
                command = tracks->setTrackStart(start, false, &dialog.tagInfo);
            } else {
                qint64 s = dialog.currentTrackStart();
                if (s == -1)
                    s = start;
                command = tracks->modifyTrackInfo(s, &dialog.tagInfo);
            }
            if (command)
                model->undoStack()->push(command);
        }
        ScrollValueChanged(p);
    }
}

void MainWindow::on_actionOptions_triggered()
{
    readSettings(false);
    KvOptions dialog(this);
    Ui_KvOptionsClass &form = dialog.ui;
    struct BarBoxes {
        QToolBar *bar;
        QCheckBox *show;
        QCheckBox *large;
        QCheckBox *text;
        QSize small;
    };
    const BarBoxes bars[] = {
        {ui->mainToolBar, form.checkBoxShowMainToolbar, form.checkBoxLargeMainToolbar, form.checkBoxMainTextToolbar,
         QSize(16, 16)},
        {ui->mediaToolBar, form.checkBoxShowMediaToolbar, form.checkBoxLargeMediaToolbar,
         form.checkBoxMediaTextToolbar, QSize(20, 20)},
        {ui->effectsToolBar, form.checkBoxShowEffectsToolbar, form.checkBoxLargeEffectsToolbar,
         form.checkBoxEffectsTextToolbar, QSize(20, 20)},
        {ui->editToolBar, form.checkBoxShowEditToolbar, form.checkBoxLargeEditToolbar, form.checkBoxEditTextToolbar,
         QSize(20, 20)},
        {ui->optionsToolBar, form.checkBoxShowOptionsToolbar, form.checkBoxLargeOptionsToolbar,
         form.checkBoxOptionsTextToolbar, QSize(20, 20)},
    };

    form.spinBoxHZoom->setValue(controller->hZoom());
    form.spinBoxDisplayOffset->setValue(controller->displayOffset());
    form.checkBoxDisplayGap->setChecked(controller->hasDisplayGap());
    for (const BarBoxes &b : bars) {
        b.show->setChecked(b.bar->isVisibleTo(this));
        b.large->setChecked(b.bar->iconSize().height() == 32);
        b.text->setChecked(b.bar->toolButtonStyle() != Qt::ToolButtonIconOnly);
    }
    form.spinBoxVolIncDec->setValue(controller->volumeIncDec());
    form.spinBoxVolFade->setValue(controller->volumeFade());
    dialog.setFrameBlockTime(controller->navigateBlockSecs());
    dialog.setFramePageTime(controller->navigatePageSecs());
    form.checkBoxPlaySelUsingSpace->setChecked(playSelUsingSpace);
    form.checkBoxTurnOnPopupGuides->setChecked(showPopupGuides);
    form.checkBoxAutoTrackNo->setChecked(controller->useAutoTrackNum());
    form.lineEditTrackNameFormat->setText(controller->trackNameFormat());

    if (dialog.exec() != QDialog::Accepted)
        return;

    controller->setHZoom(form.spinBoxHZoom->value());
    controller->setDisplayOffset(form.spinBoxDisplayOffset->value());
    controller->setHasDisplayGap(form.checkBoxDisplayGap->isChecked());
    for (const BarBoxes &b : bars) {
        b.bar->setVisible(b.show->isChecked());
        b.bar->setIconSize(b.large->isChecked() ? QSize(32, 32) : b.small);
        b.bar->setToolButtonStyle(b.text->isChecked() ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    }
    controller->setVolumeIncDec(form.spinBoxVolIncDec->value());
    controller->setVolumeFade(form.spinBoxVolFade->value());
    controller->setNavigateBlockSecs(dialog.frameBlockTime());
    controller->setNavigatePageSecs(dialog.framePageTime());
    playSelUsingSpace = form.checkBoxPlaySelUsingSpace->isChecked();
    showPopupGuides = form.checkBoxTurnOnPopupGuides->isChecked();
    controller->setUseAutoTrackNum(form.checkBoxAutoTrackNo->isChecked());
    controller->setTrackNameFormat(form.lineEditTrackNameFormat->text());
    if (dialog.resetAllWarnings)
        controller->resetUIWarnings();
    ui->widgetFrameView->CalcViews();
    ui->widgetFrameView->TrackInfoUpdated();
    writeSettings();
}

void MainWindow::on_action_About_triggered()
{
    KvAboutDlg dialog(this);
    dialog.exec();
}

void MainWindow::on_actionRate_triggered()
{
    KvRateAppDlg dialog(false, this);
    dialog.exec();
}

void MainWindow::on_actionView_Manual_PDF_triggered()
{
    openManual(this);
}

void MainWindow::on_actionContact_Support_triggered()
{
    QDesktopServices::openUrl(QUrl(supportPageAddress, QUrl::StrictMode));
}

// ---- Input events ----

namespace {

// The keyboard's media keys and the actions they trigger. On Linux they
// arrive as key events, where other systems send application commands.
struct MediaKey {
    Qt::Key key;
    QAction *Ui::MainWindow::*action;
};

const MediaKey mediaKeys[] = {
    {Qt::Key_MediaNext, &Ui::MainWindow::actionNext_Track},
    {Qt::Key_MediaPrevious, &Ui::MainWindow::actionPrevious_Track},
    {Qt::Key_MediaStop, &Ui::MainWindow::actionStop},
    {Qt::Key_MediaTogglePlayPause, &Ui::MainWindow::actionPlay_Pause},
    {Qt::Key_MediaPlay, &Ui::MainWindow::actionPlay},
    {Qt::Key_MediaPause, &Ui::MainWindow::actionPause},
};

void triggerIfEnabled(QAction *action)
{
    if (action->isEnabled())
        action->activate(QAction::Trigger);
}

} // namespace

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key == Qt::Key_Space && !event->isAutoRepeat()) {
        // Held down, the space bar must not toggle playback again and again:
        // its repeats go on like any other key.
        if (ui->actionPlay_Pause->isEnabled())
            ui->actionPlay_Pause->activate(QAction::Trigger);
        else if (playSelUsingSpace && ui->actionPlay_Selection->isEnabled())
            ui->actionPlay_Selection->activate(QAction::Trigger);
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers excluded =
        Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::GroupSwitchModifier;
    if (!(event->modifiers() & excluded)) {
        if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
            ui->kbActionVertical_Shift_Up->activate(QAction::Trigger);
            event->accept();
            return;
        }
        if (key == Qt::Key_Minus || key == Qt::Key_Underscore) {
            ui->kbActionVertical_Shift_Down->activate(QAction::Trigger);
            event->accept();
            return;
        }
    }
    // Only the six media keys are taken; volume and browser keys stay the desktop's.
    for (const MediaKey &m : mediaKeys) {
        if (key == m.key) {
            triggerIfEnabled(ui->*m.action);
            event->accept();
            return;
        }
    }
    if (forwardToPanel(event))
        return;
    QMainWindow::keyPressEvent(event);
}

void MainWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (forwardToPanel(event))
        return;
    QMainWindow::keyReleaseEvent(event);
}

bool MainWindow::forwardToPanel(QKeyEvent *event)
{
    // Straight to the panel's handler: sent as an event, an unaccepted key
    // would climb back to this window.
    event->accept();
    static_cast<QObject *>(ui->widgetFrameView)->event(event);
    return event->isAccepted();
}

void MainWindow::wheelEvent(QWheelEvent *event) { ui->widgetFrameView->handleWheelEvent(event); }

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!controller->checkSaveChanges(false, false, false)) {
        event->ignore();
        return;
    }
    writeSettings();
    event->accept();
    QMainWindow::closeEvent(event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (controller->isPlaying() || documentLocked())
        return;
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    // A drop is no key or click: it also arrives while a command that holds
    // the document's lock lets the window repaint (an export, an open). Such
    // a drop is refused.
    if (documentLocked())
        return;
    const QMimeData *data = event->mimeData();
    if (!controller->isPlaying() && data->hasUrls() && !data->urls().isEmpty()) {
        QStringList paths;
        for (const QUrl &url : data->urls()) {
            // A web address or other remote file has no local path to open.
            if (!url.isLocalFile())
                continue;
            const QString path = url.toLocalFile();
            if (isProjectPath(path)) {
                // A project replaces everything else that was dropped with it.
                openProject(path);
                return;
            }
            paths << path;
        }
        if (!paths.isEmpty())
            openFiles(paths);
    }
    event->acceptProposedAction();
}

bool MainWindow::documentLocked() const
{
    if (!model->mutex().tryLock())
        return true;
    model->mutex().unlock();
    return false;
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::Gesture)
        return gestureEvent(static_cast<QGestureEvent *>(event));
    return QMainWindow::event(event);
}

bool MainWindow::gestureEvent(QGestureEvent *event)
{
    auto *pinch = static_cast<QPinchGesture *>(event->gesture(Qt::PinchGesture));
    if (!pinch)
        return true;
    if (pinch->state() == Qt::GestureStarted) {
        pinchVertical = QGuiApplication::keyboardModifiers() & Qt::ShiftModifier;
        pinchBaseZoom = float(controller->pixelsPerFrame()) + 3.5f;
        pinchScale = 1.0f;
    }
    if (pinch->changeFlags() & QPinchGesture::ScaleFactorChanged) {
        const qreal sf = pinch->property("scaleFactor").toReal();
        pinchScale = pinchScale * float(sf);
        if (!pinchVertical) {
            controller->setHZoom(int(pinchScale * pinchBaseZoom - 3.5f));
            // Past a zoom limit further pinching has no stored effect, so
            // reversing acts at once.
            if (pinchBaseZoom > 19.5f / pinchScale)
                pinchBaseZoom = 19.5f / pinchScale;
            if (pinchBaseZoom < 4.5f / pinchScale)
                pinchBaseZoom = 4.5f / pinchScale;
        } else {
            controller->verticalZoomInOut(sf > 1.0);
        }
    }
    if (pinch->state() == Qt::GestureFinished) {
        pinchBaseZoom = float(controller->pixelsPerFrame()) + 3.5f;
        pinchScale = 1.0f;
    }
    emit controller->updateWidget();
    return true;
}
