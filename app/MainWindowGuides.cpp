// The pop-up guide tour of the main window: when a bubble may appear, which
// guide comes next and what it points at.
#include "MainWindow.h"

#include "KvGuideDialog.h"
#include "ui_MainWindow.h"

#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvFrameWidget.h>
#include <KvPlaybackControls.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>

#include <QApplication>
#include <QTimer>

namespace {

// What a guide points at: an action, or a point of a widget.
enum class Anchor {
    Action,          // the action named
    WidgetAt3Q,      // (3 × width / 4, height / 2) of the widget named
    WidgetAt1Q,      // (width / 4, height / 2) of the widget named
    PlayPosition,    // the play position at the top of the frame display
    TopRight,        // the top-right corner of the widget named
    PlaybackRow,     // the centre of a row of the playback controls
    UndoAction,      // the window's undo action
};

struct GuideAnchor {
    const char *id;
    Anchor kind;
    const char *name; // action or widget; the row number for the playback controls
    bool needsAudio;
};

const GuideAnchor guideAnchors[] = {
    {"welcome", Anchor::Action, "actionView_Manual_PDF", false},
    {"options", Anchor::Action, "actionOptions", false},
    {"open", Anchor::Action, "actionOpen", false},
    {"record", Anchor::Action, "actionRecord", false},
    {"audio_display", Anchor::WidgetAt3Q, "widgetMP3Frames", true},
    {"mouse_sel", Anchor::WidgetAt3Q, "widgetMP3Frames", true},
    {"current_play_pos", Anchor::PlayPosition, "widgetMP3Frames", true},
    {"audio_time_ruler", Anchor::WidgetAt3Q, "widgetMP3CaretRuler", true},
    {"audio_map_ruler", Anchor::WidgetAt1Q, "widgetFrameMap", true},
    {"sel_start", Anchor::TopRight, "buttonSelectionStart", true},
    {"sel_end", Anchor::TopRight, "buttonSelectionEnd", true},
    {"delete", Anchor::Action, "actionDelete", true},
    {"crop", Anchor::Action, "actionCrop", true},
    {"undo_redo", Anchor::UndoAction, "", true},
    {"zoom_in_out", Anchor::Action, "kbActionHorizontal_Zoom_In", true},
    {"play_pause", Anchor::Action, "actionPlay", true},
    {"play_sel", Anchor::Action, "actionPlay_Selection", true},
    {"playback_vol", Anchor::PlaybackRow, "0", true},
    {"playback_pitch", Anchor::PlaybackRow, "1", true},
    {"playback_tempo", Anchor::PlaybackRow, "2", true},
    {"save_project", Anchor::Action, "actionSave_Project", true},
    {"export_all", Anchor::Action, "actionExport_All_As", true},
    {"convert_all", Anchor::Action, "actionConvert_All_As", true},
    {"track_start_end", Anchor::TopRight, "buttonTrackStart", true},
    {"track_split", Anchor::TopRight, "buttonTrackSplit", true},
    {"del_track", Anchor::TopRight, "buttonDeleteTrack", true},
    {"next_prev_track", Anchor::Action, "actionNext_Track", true},
    {"export_tracks", Anchor::Action, "actionExport_Tracks", true},
    {"cut_copy_paste", Anchor::Action, "actionCopy", true},
    {"normalize", Anchor::Action, "actionNormalize", true},
    {"fade_in_out", Anchor::Action, "actionFade_In", true},
    {"vol_inc_dec", Anchor::Action, "actionVolume_Increase", true},
    {"silence", Anchor::Action, "actionSilence", true},
    {"ins_silence", Anchor::Action, "actionInsert_Silence", true},
    {"rate", Anchor::Action, "actionRate", false},
};

const GuideAnchor *findAnchor(const QString &id)
{
    for (const GuideAnchor &a : guideAnchors) {
        if (id == QLatin1String(a.id))
            return &a;
    }
    return nullptr;
}

} // namespace

void MainWindow::startGuideTimer()
{
    guideTimer = new QTimer(this);
    guideTimer->setObjectName(QStringLiteral("guideTimer"));
    guideTimer->setInterval(500);
    kvConnect(guideTimer, SIGNAL(timeout()), this, SLOT(ShowNextGuideDialog()));
    guideTimer->start();
    // Dialogs and message boxes of every part of the program come and go
    // here; a bubble must not stand over one.
    qApp->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
        const auto *widget = static_cast<const QWidget *>(watched);
        if (widget->isWindow() && widget->windowModality() != Qt::NonModal) {
            if (type == QEvent::Show && currentGuide && currentGuide->isVisible()) {
                // Before the dialog is drawn; Qt counts it as open only later.
                currentGuide->hide();
                guideHeldByModal = true;
            } else if (type == QEvent::Hide) {
                // Another modal dialog may still be open, or open next.
                QTimer::singleShot(0, this, SLOT(holdGuideWhileModal()));
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::holdGuideWhileModal()
{
    // A window closed meanwhile (the box was its save question) takes its
    // bubble with it: shown on its own, the bubble would keep the program
    // from ending.
    if (currentGuide && guideHeldByModal && isVisible() && !QApplication::activeModalWidget()) {
        guideHeldByModal = false;
        currentGuide->show();
    }
}

bool MainWindow::guideAnchorOf(const QString &id, QAction **action, QPoint *point) const
{
    const GuideAnchor *anchor = findAnchor(id);
    if (!anchor)
        return false;
    *action = nullptr;
    *point = QPoint(0, 0);
    const QString name = QString::fromLatin1(anchor->name);
    switch (anchor->kind) {
    case Anchor::Action:
        *action = findChild<QAction *>(name);
        return *action != nullptr;
    case Anchor::UndoAction:
        *action = undoAction;
        return *action != nullptr;
    case Anchor::PlaybackRow: {
        const auto *controls = findChild<KvPlaybackControls *>();
        if (!controls)
            return false;
        const QRect row = controls->controlRect(name.toInt());
        *point = controls->mapToGlobal(QPoint(row.left() + row.width() / 2, row.top() + row.height() / 2));
        return true;
    }
    default:
        break;
    }
    const QWidget *widget = findChild<QWidget *>(name);
    if (!widget)
        return false;
    const int w = widget->width();
    const int h = widget->height();
    QPoint local;
    switch (anchor->kind) {
    case Anchor::WidgetAt3Q:
        local = QPoint((3 * w) / 4, h / 2);
        break;
    case Anchor::WidgetAt1Q:
        local = QPoint(w / 4, h / 2);
        break;
    case Anchor::PlayPosition: {
        const auto *frames = qobject_cast<const KvFrameWidget *>(widget);
        if (!frames)
            return false;
        local = QPoint(int(controller->hZoom() * frames->playPositionOffset()), 0);
        break;
    }
    case Anchor::TopRight:
        local = widget->rect().topRight();
        break;
    default:
        return false;
    }
    *point = widget->mapToGlobal(local);
    return true;
}

bool MainWindow::guideNeedsAudio(const QString &id)
{
    const GuideAnchor *anchor = findAnchor(id);
    return anchor && anchor->needsAudio;
}

void MainWindow::ShowNextGuideDialog()
{
    // One attempt every sixth tick of the 500 ms timer: every 3 seconds.
    if (guideTicks++ <= 4)
        return;
    guideTicks = 0;

    const KvQmlModel::FragmentListPtr fragments = model->fragmentList();
    const bool hasAudio = fragments && fragments->totalFrames() > 0;

    if (!isVisible() || QApplication::activeModalWidget() ||
        (currentGuide && (currentGuide->isVisible() || guideHeldByModal)) || !showPopupGuides)
        return;

    QString id = KvGuideDialog::nextUnshownGuideId();
    while (!id.isEmpty()) {
        QAction *action = nullptr;
        QPoint point;
        // A guide that cannot point at its control yet holds the tour until it can.
        if ((guideNeedsAudio(id) && !hasAudio) || !guideAnchorOf(id, &action, &point))
            return;
        if (ShowUIGuideDialogId(id, action, point) || !showPopupGuides)
            return;
        const QString again = KvGuideDialog::nextUnshownGuideId();
        if (again == id)
            return;
        id = again;
    }
}

bool MainWindow::ShowUIGuideDialogId(QString guideId, QAction *guideAction, QPoint guidePos)
{
    if (currentGuide) {
        currentGuide->close();
        delete currentGuide;
        currentGuide = nullptr;
    }
    guideHeldByModal = false;
    if (guideId.isEmpty())
        return false;
    currentGuide = new KvGuideDialog(guideId, this);
    if (!currentGuide->guideFound)
        return false;

    const QRect window(mapToGlobal(QPoint(0, 0)), size());
    QRect target(guidePos, QSize(0, 0));
    if (guideAction) {
        if (!guideAction->isVisible())
            return false;
        QList<QWidget *> widgets = guideAction->associatedWidgets();
        // Window-wide shortcuts attach the action to the window itself.
        if (!widgets.isEmpty() && widgets.last()->objectName() == QLatin1String("MainWindow"))
            widgets.removeLast();
        if (widgets.isEmpty() || !widgets.last()->isVisible())
            return false;
        const QWidget *widget = widgets.last();
        target = QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    }
    currentGuide->showGuide(target, window);
    kvConnect(currentGuide, SIGNAL(guideClosing(QString, bool)), this, SLOT(guideClosing(QString, bool)));
    currentGuide->show();
    return true;
}

void MainWindow::guideClosing(QString guideId, bool stop)
{
    DisableGuide(guideId, stop);
    guideTimer->start(500);
}
