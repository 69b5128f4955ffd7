#include "MainWindow.h"

#include "KvGuideDialog.h"
#include "MyApplication.h"
#include "ui_MainWindow.h"

#include <KvConnect.h>
#include <KvFileProperties.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvResources.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QUndoStack>
#include <QUrl>

// Qt's switch for mnemonics shown with Alt, exported by Qt Gui.
Q_GUI_EXPORT void qt_set_sequence_auto_mnemonic(bool b);

MainWindow *appMainWindow = nullptr;

namespace {

const QString projectSuffix = QStringLiteral(".kvlproj");

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

    ui->setupUi(this);

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
    kvConnect(controller, SIGNAL(playStateChanged(int)), this, SLOT(playStateChanged(int)));
    kvConnect(controller, SIGNAL(hZoomChanged(int)), this, SLOT(HorizontalZoomChanged(int)));
    kvConnect(controller, SIGNAL(selectionChanged()), this, SLOT(SelectionChanged()));
    kvConnect(controller, SIGNAL(recentFilesChanged(QStringList)), this, SLOT(recentFilesChanged(QStringList)));
    kvConnect(controller, SIGNAL(canSaveDirtyProjectChanged(bool)), this, SLOT(CalcEnabledActions()));

    model->setFragmentList(KvQmlModel::FragmentListPtr());

    canPasteFlag = controller->canPaste();
    kvConnect(controller, SIGNAL(canPasteChanged(bool)), this, SLOT(CanPasteChanged(bool)));
    kvConnect(controller, SIGNAL(scrollFrameChanged(double)), this,
              SLOT(PlayScrollbarPositionChanged_triggered(double)));

    setAcceptDrops(true);

    statusLabel = new QLabel(this);
    statusBar()->addPermanentWidget(statusLabel, 0);

    TrackInfoUpdated();
    playStateChanged(controller->playState());

    canPasteFlag = false;
    hasTracks = false;

    ui->action_About->setText(ui->action_About->text().replace(QStringLiteral("mp3Morvelta"), applicationName));

    kvConnect(model, SIGNAL(projectFileChanged(QString)), this, SLOT(setNewWindowTitle(QString)));
    updateWindowTitle();

    kvConnect(this, SIGNAL(RaiseReEvaluateEnabledActions()), this, SLOT(ReEvaluateEnabledActions()),
              Qt::QueuedConnection);
    kvConnect(controller, SIGNAL(isPlayingChanged(bool)), this, SLOT(isPlayingChanged(bool)));

    startGuideTimer();
}

MainWindow::~MainWindow()
{
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

void MainWindow::openProject(const QString &path)
{
    if (!controller->checkSaveChanges(false, false, false))
        return;
    controller->loadProjectUrl(QUrl::fromLocalFile(path));
    updateUiState(true);
}

void MainWindow::openFiles(const QStringList &paths)
{
    controller->openFileList(paths);
    updateUiState(true);
}

void MainWindow::updateUiState(bool resetPosition)
{
    const qint64 position = (resetPosition || !controller) ? 0 : qint64(controller->scrollFrame());
    ScrollValueChanged(position);
    statusLabel->setText(controller->updateStatusMessage());
    const KvQmlModel::FilePropertiesPtr tracks = model->trackList();
    hasTracks = tracks && tracks->hasTracks();
    HasSelectionChanged(controller->hasSelection());
}

void MainWindow::resetAfterClose()
{
    controller->closeProject(true, false);
    updateUiState(true);
    CalcEnabledActions();
}

void MainWindow::showWindowProcessed() { ReEvaluateEnabledActions(); }

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
    const QString path = action->data().toString();
    if (isProjectPath(path)) {
        openProject(path);
    } else {
        controller->openFileList(QStringList{path});
        updateUiState(true);
    }
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

// Not built yet.
void MainWindow::on_actionPlay_triggered() {}
// Not built yet.
void MainWindow::HasSelectionChanged(bool) {}
// Not built yet.
void MainWindow::HasFragmentsChanged(bool) {}
// Not built yet.
void MainWindow::CalcEnabledActions() {}
// Not built yet.
void MainWindow::HorizontalZoomChanged(int) {}
// Not built yet.
void MainWindow::CanPasteChanged(bool) {}
// Not built yet.
void MainWindow::isPlayingChanged(bool) {}
// Not built yet.
void MainWindow::PlayScrollbarPositionChanged_triggered(double) {}
// Not built yet.
void MainWindow::ScrollValueChanged(qint64) {}
// Not built yet.
void MainWindow::SelectionChanged() {}
// Not built yet.
void MainWindow::TrackInfoUpdated() {}
void MainWindow::ReEvaluateEnabledActions()
{
    // The guide texts follow the current translation.
    KvGuideDialog::initGuides();
    // The rest is not built yet.
}
