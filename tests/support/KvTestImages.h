#pragma once
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageReader>
#include <QSize>

namespace kvtest {

// An image with a colour gradient, so that scaling and encoding have
// something to work on.
inline QImage testImage(int width, int height, QColor tint = QColor(200, 40, 40))
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor((tint.red() + x) % 256, (tint.green() + y) % 256,
                                             tint.blue()));
    return image;
}

inline QByteArray encodeImage(const QImage &image, const char *format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// Format and size Qt reads from encoded bytes.
struct ImageFacts {
    QByteArray format;
    QSize size;
};

inline ImageFacts imageFacts(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return {reader.format(), reader.size()};
}

} // namespace kvtest
