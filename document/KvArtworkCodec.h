#pragma once
#include "KvByteArray.h"

#include <QByteArray>
#include <QString>

class QImage;

// Artwork as the controller publishes it: the picture bytes in Base64 with
// the URL-safe alphabet and without trailing "="; empty for no picture.
QString artworkToText(const QByteArray &bytes);
QString artworkToText(const KvByteArrayPtr &artwork);
QByteArray artworkTextToBytes(const QString &text);
// The interned picture for an artwork text; null for an empty text.
KvByteArrayPtr artworkFromText(const QString &text);

// Pictures the program makes itself are JPEG at quality 70, no side longer
// than this.
constexpr int kArtworkMaxSide = 600;
constexpr int kArtworkJpegQuality = 70;

// The JPEG bytes of an image, first scaled down (keeping its shape) when a
// side exceeds kArtworkMaxSide; empty for a null image or when encoding fails.
QByteArray encodeArtworkImage(const QImage &image);
