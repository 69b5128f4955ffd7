#include "KvArtworkCodec.h"

#include <QBuffer>
#include <QImage>

namespace {

constexpr QByteArray::Base64Options kTextOptions =
    QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

} // namespace

QString artworkToText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(kTextOptions));
}

QString artworkToText(const KvByteArrayPtr &artwork)
{
    return artwork ? artworkToText(artwork->bytes()) : QString();
}

QByteArray artworkTextToBytes(const QString &text)
{
    return QByteArray::fromBase64(text.toLatin1(), kTextOptions);
}

KvByteArrayPtr artworkFromText(const QString &text)
{
    return internArtwork(new KvByteArray(artworkTextToBytes(text)));
}

QByteArray encodeArtworkImage(const QImage &image)
{
    if (image.isNull())
        return QByteArray();
    QImage scaled = image;
    if (image.width() > kArtworkMaxSide || image.height() > kArtworkMaxSide)
        scaled = image.scaled(kArtworkMaxSide, kArtworkMaxSide, Qt::KeepAspectRatio,
                              Qt::SmoothTransformation);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!scaled.save(&buffer, "JPG", kArtworkJpegQuality))
        return QByteArray();
    return bytes;
}
