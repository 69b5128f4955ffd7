#pragma once
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QString>

class KvPaintMetrics;

// Turns artwork text into a pixmap of a requested size, or a gray
// placeholder with a black cross when there is no usable picture.
class KvArtworkImageProvider : public QObject
{
    Q_OBJECT
public:
    // Without metrics the placeholder is drawn at ratio 1.
    explicit KvArtworkImageProvider(KvPaintMetrics *metrics = nullptr);

    // A requested side of 0 or less means "as the picture is" (200 for the
    // placeholder). The size of the result goes to `size` when given.
    QPixmap makePixmap(const QString &id, QSize *size, const QSize &requested);

private:
    QPixmap placeholder(const QSize &requested);

    KvPaintMetrics *m_metrics;
};
