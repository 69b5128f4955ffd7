#include "KvArtworkImageProvider.h"

#include "KvArtworkCodec.h"
#include "KvPaintMetrics.h"

#include <QColor>
#include <QPainter>
#include <QPen>

namespace {

constexpr int kPlaceholderSide = 200;

} // namespace

KvArtworkImageProvider::KvArtworkImageProvider(KvPaintMetrics *metrics)
    : QObject(nullptr), m_metrics(metrics)
{
}

QPixmap KvArtworkImageProvider::placeholder(const QSize &requested)
{
    const int w = requested.width() > 0 ? requested.width() : kPlaceholderSide;
    const int h = requested.height() > 0 ? requested.height() : kPlaceholderSide;
    QPixmap pixmap(w, h);
    pixmap.fill(QColor("gray"));
    QPainter painter(&pixmap);
    int ratio = 1;
    double deviceRatio = 1.0;
    if (m_metrics) {
        ratio = m_metrics->checkPainterPixelRatio(&painter);
        deviceRatio = m_metrics->devicePixelRatio();
    }
    painter.setPen(QPen(Qt::black, int(2 * ratio * deviceRatio)));
    painter.drawLine(0, 0, w - 1, h - 1);
    painter.drawLine(0, h - 1, w - 1, 0);
    return pixmap;
}

QPixmap KvArtworkImageProvider::makePixmap(const QString &id, QSize *size, const QSize &requested)
{
    QPixmap picture;
    if (!id.isEmpty())
        picture.loadFromData(artworkTextToBytes(id));
    if (picture.isNull()) {
        QPixmap result = placeholder(requested);
        if (size)
            *size = result.size();
        return result;
    }
    const int w = requested.width() > 0 ? requested.width() : 0;
    const int h = requested.height() > 0 ? requested.height() : 0;
    if (w != 0 && h != 0 && picture.size() != QSize(w, h)) {
        if (size)
            *size = QSize(w, h);
        return picture.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (size)
        *size = picture.size();
    return picture;
}
