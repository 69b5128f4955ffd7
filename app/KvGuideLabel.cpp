#include "KvGuideLabel.h"

#include <QMouseEvent>

KvGuideLabel::KvGuideLabel(QWidget *parent)
    : QLabel(parent)
{
}

void KvGuideLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // QLabel shows the pointing hand exactly while the mouse is over a link.
    if (cursor().shape() == Qt::PointingHandCursor) {
        linkPressed = true;
    } else {
        event->ignore();
        linkPressed = false;
    }
}

void KvGuideLabel::mouseMoveEvent(QMouseEvent *event)
{
    QLabel::mouseMoveEvent(event);
    if (!linkPressed)
        event->ignore();
}

void KvGuideLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        if (!linkPressed)
            event->ignore();
        linkPressed = false;
    }
}
