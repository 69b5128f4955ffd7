#include "KvFrameWidget.h"

#include "KvFrameRulerView.h"
#include "KvFrameViewStateReader.h"

#include <KvAudioFragmentList.h>
#include <KvConnect.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvTrackInfoUndo.h>
#include <KvUiServices.h>

#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUndoStack>

#include <algorithm>

namespace {

struct CursorImage {
    const char *path;
    int hotX, hotY;  // -1: the centre
};

const CursorImage kCursorImages[KvFrameWidget::CursorCount] = {
    {":/Resources/sel_adjust_both.png", -1, -1},
    {":/Resources/sel_adjust_left.png", -1, -1},
    {":/Resources/sel_adjust_right.png", -1, -1},
    {":/Resources/arrow_scrub.png", 1, 2},
    {":/Resources/hand_scrub.png", 11, 11},
    {":/Resources/closedhand_scrub.png", 11, 11},
};

} // namespace

KvFrameWidget::KvFrameWidget(QWidget *parent)
    : QWidget(parent), m_painter(m_model, m_controller)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_MouseTracking);
    setFocusPolicy(Qt::ClickFocus);
    for (int i = 0; i < CursorCount; ++i) {
        m_cursorPixmaps[i] = QPixmap(QString::fromLatin1(kCursorImages[i].path));
        m_cursors[i] = QCursor(m_cursorPixmaps[i], kCursorImages[i].hotX, kCursorImages[i].hotY);
    }
    m_scrubStripHeight = m_painter.topBandDp();
    m_autoScroll.setInterval(100);
    kvConnect(&m_autoScroll, SIGNAL(timeout()), this, SLOT(scrollUpdate()));
}

KvFrameWidget::~KvFrameWidget() = default;

void KvFrameWidget::setModel(KvQmlModel *model)
{
    if (model == m_model)
        return;
    m_model = model;
    emit modelChanged(model);
}

void KvFrameWidget::setController(KvQmlController *controller)
{
    if (controller == m_controller)
        return;
    m_controller = controller;
    emit controllerChanged(controller);
    m_painter.initColours();
    m_painter.trackLabelSize(KvQmlController::scaledPct(10.0));
}

KvFrameViewState KvFrameWidget::state() const
{
    return readFrameViewState(m_controller, m_model, nullptr);
}

int KvFrameWidget::dragMode() const
{
    return m_controller ? m_controller->mouseDragSelecting() : KvDragNone;
}

void KvFrameWidget::setDragMode(int mode)
{
    if (m_controller)
        m_controller->setMouseDragSelecting(mode);
}

void KvFrameWidget::attach(const boost::shared_ptr<KvAudioFragmentList> &, bool keepPlace)
{
    m_painter.setLastFirstFrame(-1);
    if (m_controller) {
        if (!keepPlace) {
            m_controller->setScrollFrame(0);
            m_controller->setSelectionStart(-1);
            m_controller->setSelectionEnd(-1);
        }
        setDragMode(KvDragNone);
    }
    update();
    if (m_controller)
        m_controller->refreshDocumentState();
}

void KvFrameWidget::ScrollValueChanged(qint64 value)
{
    if (m_controller)
        m_controller->setScrollFrame(double(value));
    update();
}

void KvFrameWidget::SetBegin()
{
    if (m_controller)
        m_controller->actionSetBegin();
}

void KvFrameWidget::SetEnd()
{
    if (m_controller)
        m_controller->actionSetEnd();
}

void KvFrameWidget::GotoSelStart()
{
    if (m_controller)
        m_controller->gotoSelStart();
}

void KvFrameWidget::GotoSelEnd()
{
    if (m_controller)
        m_controller->gotoSelEnd();
}

void KvFrameWidget::CalcViews()
{
    m_painter.setLastFirstFrame(-1);
    update();
}

void KvFrameWidget::playPositionMoved()
{
    const int mode = dragMode();
    if (mode != KvDragNone && mode != KvDragScrub)
        onMouseMove(this, nullptr);
}

qint64 KvFrameWidget::playPositionOffset(int widthDevicePixels, qint64 frame) const
{
    const KvFrameViewState s = state();
    if (widthDevicePixels == 0)
        widthDevicePixels = width() * s.ratio;
    return KvFrameGeometry::playPositionOffset(s, widthDevicePixels, frame);
}

qint64 KvFrameWidget::frameAtMouse(const QPoint &pos, bool clamp) const
{
    const KvFrameViewState s = state();
    return KvFrameGeometry::frameAtMouse(s, width() * s.ratio, pos, clamp);
}

qint64 KvFrameWidget::frameAtPixel(int x) const
{
    const KvFrameViewState s = state();
    return s.wholeScrollFrame() + qint64(x / s.pixelsPerFrame());
}

int KvFrameWidget::hitTest(const QPoint &pos, QMouseEvent *event) const
{
    const bool button = event && event->button() != Qt::NoButton;
    const bool extend = event && (event->modifiers() & Qt::ControlModifier);
    return KvFrameGeometry::hitTest(state(), width(), pos, button, extend);
}

QCursor *KvFrameWidget::cursor(int index)
{
    return index >= 0 && index < CursorCount ? &m_cursors[index] : nullptr;
}

bool KvFrameWidget::checkScrubCursor(QWidget *target, bool overScrubArea, bool dragging)
{
    if (!target || target == this) {
        target = this;
        dragging = dragMode() == KvDragScrub;
        if (m_lastMousePos.y() >= m_scrubStripHeight && !dragging) {
            setCursor(Qt::ArrowCursor);
            return true;
        }
        overScrubArea = true;
    }
    if (m_controller && m_controller->isPlaying()) {
        if (!overScrubArea)
            target->setCursor(m_cursors[ArrowScrub]);
        else
            target->setCursor(m_cursors[dragging ? ClosedHandScrub : HandScrub]);
    } else if (overScrubArea) {
        target->setCursor(dragging ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    } else {
        target->setCursor(Qt::ArrowCursor);
    }
    return true;
}

void KvFrameWidget::extendSelectionTo(qint64 frame)
{
    if (!m_controller)
        return;
    const qint64 oldStart = qint64(m_controller->selectionStart());
    const qint64 oldEnd = qint64(m_controller->selectionEnd());
    m_controller->extendSelection(double(frame));
    const qint64 newStart = qint64(m_controller->selectionStart());
    const qint64 newEnd = qint64(m_controller->selectionEnd());
    if (oldStart == newStart && oldEnd == newEnd)
        return;
    if ((oldStart == -1 && oldEnd == -1) || (newStart == -1 && newEnd == -1)) {
        update();
        return;
    }
    // A collapsed selection is drawn as a marker as wide as the play line.
    const int margin = oldStart == oldEnd ? m_controller->playPosWidth() + 1 : 1;
    const KvFrameViewState s = state();
    const int widthPx = width() * s.ratio;
    auto repaintSpan = [&](qint64 before, qint64 after) {
        if (before == after)
            return;
        const qint64 lo = std::min(before, after), hi = std::max(before, after);
        const int x = KvFrameGeometry::pixelOfFrame(s, widthPx, lo);
        update(QRect(x, 0, int(s.pixelsPerFrame() * double(hi - lo + 1) + margin), height()));
    };
    repaintSpan(oldStart, newStart);
    repaintSpan(oldEnd, newEnd);
}

void KvFrameWidget::onMousePress(QWidget *target, QMouseEvent *event)
{
    if (!m_controller)
        return;
    const QPoint pos = event->pos();
    const int hit = hitTest(pos, event);
    if (event->button() != Qt::LeftButton) {
        m_controller->refreshDocumentState();
        return;
    }
    m_controller->startNewSelection();
    const bool extend = event->modifiers() & Qt::ControlModifier;
    setDragMode(extend ? KvDragSelect : hit == KvHitNone ? KvDragSelect : hit);
    if (hit == KvHitNone) {
        // A new selection anchored at the pressed frame; none outside the document.
        extendSelectionTo(-1);
        const qint64 frame = frameAtMouse(pos, false);
        if (frame != -1) {
            extendSelectionTo(frame);
            onMouseMove(target, event);
        }
    } else {
        const qint64 frame = frameAtMouse(pos, true);
        extendSelectionTo(frame);
        if (frame != -1)
            onMouseMove(target, event);
    }
    m_controller->refreshDocumentState();
}

void KvFrameWidget::onMouseMove(QWidget *target, QMouseEvent *event)
{
    if (!m_controller)
        return;
    if (event)
        m_lastMousePos = event->pos();
    const QPoint pos = m_lastMousePos;
    const int hit = hitTest(pos, event);
    const int mode = dragMode();
    if (mode != KvDragNone) {
        if (hit == KvHitLeftOut || hit == KvHitRightOut) {
            if (!m_autoScroll.isActive())
                m_autoScroll.start();
        } else if (m_autoScroll.isActive()) {
            m_autoScroll.stop();
        }
        const qint64 frame = frameAtMouse(pos, true);
        if (frame >= 0)
            extendSelectionTo(frame);
    }
    const int shown = mode == KvDragSelect || mode == KvDragStartEdge || mode == KvDragEndEdge ? mode : hit;
    switch (shown) {
    case KvHitExtend:
        target->setCursor(m_cursors[AdjustBoth]);
        break;
    case KvHitStartEdge:
        target->setCursor(m_cursors[AdjustLeft]);
        break;
    case KvHitEndEdge:
        target->setCursor(m_cursors[AdjustRight]);
        break;
    default:
        checkScrubCursor(target, false, false);
        break;
    }
}

void KvFrameWidget::onMouseRelease(QWidget *target, QMouseEvent *event)
{
    if (!m_controller)
        return;
    const int mode = dragMode();
    if (mode != KvDragNone && mode != KvDragScrub && event->button() == Qt::LeftButton) {
        // The release point belongs to the gesture: extend first, so that the
        // undo record holds the selection as it ends.
        const qint64 frame = frameAtMouse(event->pos(), false);
        if (frame >= 0)
            extendSelectionTo(frame);
        m_controller->endNewSelection(tr("Mouse selection"));
    }
    setDragMode(KvDragNone);
    onMouseMove(target, event);
    m_autoScroll.stop();
}

void KvFrameWidget::scrollUpdate()
{
    const int mode = dragMode();
    if (!m_controller || mode == KvDragNone || mode == KvDragScrub)
        return;
    const int hit = hitTest(m_lastMousePos, nullptr);
    const qint64 s = qint64(m_controller->scrollFrame());
    const qint64 total = qint64(m_controller->totalFrames());
    bool moved = false;
    if (hit == KvHitLeftOut && s > 0) {
        m_controller->setScrollFrame(double(std::max<qint64>(s - AutoScrollFrames, 0)));
        moved = true;
    } else if (hit == KvHitRightOut && s < total) {
        m_controller->setScrollFrame(double(std::min<qint64>(s + AutoScrollFrames, total)));
        moved = true;
    }
    const qint64 frame = frameAtMouse(m_lastMousePos, true);
    if (frame >= 0)
        extendSelectionTo(frame);
    if (moved)
        update();
}

bool KvFrameWidget::handleTrackMarkerMouse(QMouseEvent *event, bool press, bool doubleClick)
{
    if (event)
        m_lastMousePos = event->pos();
    const QPoint pos = m_lastMousePos;
    const int mode = dragMode();
    if (mode != KvDragNone && mode != KvDragScrub)
        return false;  // a selection drag ignores the strip and the band
    if (!event)
        return true;
    if (pos.y() < m_scrubStripHeight || mode == KvDragScrub) {
        if (press) {
            setDragMode(KvDragScrub);
            if (m_ruler)
                m_ruler->dragTo(this, event);
        } else if (m_ruler) {
            m_ruler->dragMove(this, event);
        }
        checkScrubCursor(this, false, false);
        return true;
    }
    if (pos.y() < height() - m_painter.markerBand())
        return false;
    if (!press && !doubleClick) {
        setCursor(Qt::ArrowCursor);
        return true;
    }
    const KvQmlModel::FilePropertiesPtr tracks = m_model ? m_model->trackList() : nullptr;
    if (!tracks || !m_controller)
        return true;
    const KvFrameViewState s = state();
    const qint64 first = KvFrameGeometry::firstFrame(s, width() * s.ratio);
    for (const KvTagPropertyPtr &track : tracks->tracks()) {
        if (!track)
            continue;
        const qint64 start = track->start();
        const qint64 end = track->end() == KvTagProperty::EndMarker ? s.totalFrames : track->end();
        if (end <= first)
            continue;
        const qint64 xs = (start - first) * s.hZoom / s.ratio;
        const qint64 xe = (end - first) * s.hZoom / s.ratio;
        if (xs > width())
            break;
        if (xs <= pos.x() && pos.x() <= xe) {
            if (press) {
                m_controller->startNewSelection();
                m_controller->setSelectionStart(double(start));
                m_controller->setSelectionEnd(double(end));
                m_controller->endNewSelection(tr("Select track"));
                update();
            } else if (doubleClick) {
                editTrack(track);
            }
            break;
        }
    }
    return true;
}

void KvFrameWidget::editTrack(const boost::shared_ptr<KvTagProperty> &track)
{
    const KvQmlModel::FilePropertiesPtr tracks = m_model->trackList();
    const KvQmlModel::FragmentListPtr fragments = m_model->fragmentList();
    KvTagInfo edited = track->tagInfo();
    KvTrackPropertiesRequest request;
    request.context = m_controller;
    request.record = track.get();
    request.trackList = tracks.get();
    request.undoStack = m_model->undoStack();
    request.autoTrackNumbering = m_controller->useAutoTrackNum();
    request.documentType = fragments ? documentFileSuffix(fragments->list()) : QString();
    request.title = tr("Edit Track Information");
    request.parent = this;
    request.tagInfo = &edited;
    if (m_controller->uiServices().runTrackProperties(request) != QDialog::Accepted || request.currentTrackStart == -1)
        return;
    if (KvTrackInfoUndo *command = tracks->modifyTrackInfo(request.currentTrackStart, &edited))
        m_model->undoStack()->push(command);
}

void KvFrameWidget::mousePressEvent(QMouseEvent *event)
{
    if (!handleTrackMarkerMouse(event, true, false))
        onMousePress(this, event);
    QWidget::mousePressEvent(event);
}

void KvFrameWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!handleTrackMarkerMouse(event, false, false))
        onMouseMove(this, event);
    QWidget::mouseMoveEvent(event);
}

void KvFrameWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    handleTrackMarkerMouse(event, false, true);
}

void KvFrameWidget::mouseReleaseEvent(QMouseEvent *event)
{
    onMouseRelease(this, event);
    setDragMode(KvDragNone);
    if (m_ruler)
        m_ruler->endDrag();
    QWidget::mouseReleaseEvent(event);
}

void KvFrameWidget::handleKey(QKeyEvent *event)
{
    // Ctrl switches the cursor at once: route a move at the pointer.
    QMouseEvent move(QEvent::MouseMove, mapFromGlobal(QCursor::pos()), Qt::NoButton, Qt::NoButton,
                     event->modifiers());
    if (!handleTrackMarkerMouse(&move, false, false))
        onMouseMove(this, &move);
    event->ignore();  // the panel and the main window handle the key
}

void KvFrameWidget::keyPressEvent(QKeyEvent *event)
{
    handleKey(event);
}

void KvFrameWidget::keyReleaseEvent(QKeyEvent *event)
{
    handleKey(event);
}

void KvFrameWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_painter.paint(&painter);
}

void KvFrameWidget::resizeEvent(QResizeEvent *event)
{
    m_scrubStripHeight = m_painter.topBandDp();
    QWidget::resizeEvent(event);
}
