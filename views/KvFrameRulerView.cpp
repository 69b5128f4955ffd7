#include "KvFrameRulerView.h"

#include "KvFrameMapView.h"
#include "KvFrameWidget.h"

#include <KvConnect.h>
#include <KvQmlController.h>

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

KvFrameRulerView::KvFrameRulerView(QWidget *parent) : QWidget(parent), m_painter(m_model, m_controller)
{
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_MouseTracking);
    setFocusPolicy(Qt::ClickFocus);
}

KvFrameRulerView::~KvFrameRulerView() = default;

void KvFrameRulerView::setModel(KvQmlModel *model)
{
    if (model == m_model)
        return;
    m_model = model;
    emit modelChanged(model);
}

void KvFrameRulerView::setController(KvQmlController *controller)
{
    if (controller == m_controller)
        return;
    if (m_controller)
        m_controller->disconnect(this);
    m_controller = controller;
    if (controller) {
        kvConnect(controller, SIGNAL(hZoomChanged(int)), this, SLOT(SetHZoom(int)));
        kvConnect(controller, SIGNAL(calcViews()), this, SLOT(CalcViews()));
    }
    emit controllerChanged(controller);
}

void KvFrameRulerView::setFrameWidget(KvFrameWidget *frameWidget)
{
    m_frameWidget = frameWidget;
    m_painter.setSource(frameWidget ? &frameWidget->painter() : nullptr);
}

void KvFrameRulerView::setCaretMode(bool on)
{
    m_caretMode = on;
    checkScrubCursor();
}

void KvFrameRulerView::setRulerMode(bool mapScale)
{
    m_painter.setMapScale(mapScale);
}

void KvFrameRulerView::setHeightScale(double factor)
{
    const int h = QFontMetrics(QFont(QStringLiteral("Helvetica"))).tightBoundingRect(QStringLiteral("01:02:03.04")).height();
    const int v = int(h * factor);
    m_painter.setFontPx(v);
    setMinimumHeight(v + v / 2);
}

void KvFrameRulerView::SetHZoom(int)
{
    if (m_painter.mapScale())
        return;  // the map ruler does not follow the zoom
    m_painter.markDirty();
    update();
}

void KvFrameRulerView::CalcViews()
{
    m_painter.markDirty();
    update();
}

void KvFrameRulerView::checkScrubCursor()
{
    refreshCursor(true);
}

void KvFrameRulerView::refreshCursor(bool dragging)
{
    if (m_frameWidget)
        m_frameWidget->checkScrubCursor(this, m_caretMode, dragging && m_drag == CaretDrag);
}

KvFrameMapView *KvFrameRulerView::mapView() const
{
    return m_editForm ? m_editForm->findChild<KvFrameMapView *>() : nullptr;
}

void KvFrameRulerView::dragTo(QWidget *, QMouseEvent *event)
{
    if (m_caretMode) {
        m_drag = CaretDrag;
        if (m_frameWidget)
            m_pressFrame = m_frameWidget->frameAtPixel(event->pos().x());
    } else {
        m_drag = MapDrag;
        if (KvFrameMapView *map = mapView())
            map->jumpToPixel(event->pos().x());
    }
}

void KvFrameRulerView::dragMove(QWidget *, QMouseEvent *event)
{
    if (m_caretMode && m_drag == CaretDrag) {
        if (!m_controller || !m_frameWidget)
            return;
        // The frame that was under the pointer at the press stays under it.
        const qint64 target =
            qint64(m_controller->scrollFrame() + double(m_pressFrame - m_frameWidget->frameAtPixel(event->pos().x())));
        // While playing the playback jumps there; otherwise the position moves.
        if (!m_controller->scrubPlayTo(target))
            m_controller->moveScrollFrame(double(target));
    } else if (!m_caretMode && m_drag == MapDrag) {
        if (KvFrameMapView *map = mapView())
            map->jumpToPixel(event->pos().x());
    }
}

void KvFrameRulerView::mousePressEvent(QMouseEvent *event)
{
    dragTo(this, event);
    refreshCursor(true);
    QWidget::mousePressEvent(event);
}

void KvFrameRulerView::mouseMoveEvent(QMouseEvent *event)
{
    dragMove(this, event);
    refreshCursor(true);
    QWidget::mouseMoveEvent(event);
}

void KvFrameRulerView::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag = NoDrag;
    refreshCursor(false);
    QWidget::mouseReleaseEvent(event);
}

void KvFrameRulerView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_painter.paint(&painter);
}

void KvFrameRulerView::resizeEvent(QResizeEvent *event)
{
    if (m_painter.mapScale())
        m_painter.markDirty();
    QWidget::resizeEvent(event);
}
