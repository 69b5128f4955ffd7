#include "KvFrameMapView.h"

#include "KvFrameWidget.h"

#include <QMouseEvent>
#include <QPainter>

KvFrameMapView::KvFrameMapView(QWidget *parent) : QWidget(parent), m_painter(m_model, m_controller)
{
    setAttribute(Qt::WA_MouseTracking);
}

KvFrameMapView::~KvFrameMapView() = default;

void KvFrameMapView::setModel(KvQmlModel *model)
{
    if (model == m_model)
        return;
    m_model = model;
    emit modelChanged(model);
}

void KvFrameMapView::setController(KvQmlController *controller)
{
    if (controller == m_controller)
        return;
    m_controller = controller;
    emit controllerChanged(controller);
}

void KvFrameMapView::setFrameWidget(KvFrameWidget *frameWidget)
{
    m_frameWidget = frameWidget;
    m_painter.setSource(frameWidget ? &frameWidget->painter() : nullptr);
}

void KvFrameMapView::checkScrubCursor()
{
    if (m_frameWidget)
        m_frameWidget->checkScrubCursor(this, false, false);
}

void KvFrameMapView::ScrollValueChanged(qint64)
{
    update();
}

void KvFrameMapView::CalcViews()
{
    m_painter.reset();
    update();
}

void KvFrameMapView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    jumpToPixel(event->pos().x());
    checkScrubCursor();
    QWidget::mousePressEvent(event);
}

void KvFrameMapView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed)
        jumpToPixel(event->pos().x());
    checkScrubCursor();
    QWidget::mouseMoveEvent(event);
}

void KvFrameMapView::mouseReleaseEvent(QMouseEvent *event)
{
    checkScrubCursor();
    m_pressed = false;
    QWidget::mouseReleaseEvent(event);
}

void KvFrameMapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_painter.paint(&painter);
}
