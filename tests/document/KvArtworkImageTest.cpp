#include "KvArtworkCodec.h"
#include "KvArtworkImageProvider.h"
#include "KvPaintMetrics.h"
#include "KvTestImages.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

TEST(ArtworkText, UrlSafeAlphabetWithoutPadding)
{
    // 0xfb 0xff is "+/8=" in the standard alphabet.
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {QByteArray("\xfb\xff", 2), "-_8"},
        {QByteArray("\xfb\xff\xfe", 3), "-__-"},
        {QByteArray("a"), "YQ"},
        {QByteArray(), ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(artworkToText(c.bytes), c.text);
        EXPECT_EQ(artworkTextToBytes(c.text), c.bytes);
    }
    // Text written with padding still decodes.
    EXPECT_EQ(artworkTextToBytes("YQ=="), "a");
}

TEST(ArtworkText, TextGivesTheInternedPicture)
{
    const QByteArray bytes("\x01\x02\x03picture", 10);
    const KvByteArrayPtr held = internArtwork(new KvByteArray(bytes));
    EXPECT_EQ(artworkFromText(artworkToText(bytes)).get(), held.get());
    EXPECT_EQ(artworkToText(held), artworkToText(bytes));
    EXPECT_FALSE(artworkFromText(QString()));
    EXPECT_EQ(artworkToText(KvByteArrayPtr()), "");
}

TEST(ArtworkImage, LargePicturesBecomeJpegsThatFit)
{
    const struct {
        QSize in;
        QSize out;
    } cases[] = {
        {{800, 800}, {600, 600}},
        {{601, 601}, {600, 600}},
        {{1200, 600}, {600, 300}},
        {{300, 900}, {200, 600}},
        {{600, 600}, {600, 600}},
        {{40, 30}, {40, 30}},
    };
    for (const auto &c : cases) {
        const QByteArray bytes = encodeArtworkImage(kvtest::testImage(c.in.width(), c.in.height()));
        const kvtest::ImageFacts facts = kvtest::imageFacts(bytes);
        EXPECT_EQ(facts.format, "jpeg");
        EXPECT_EQ(facts.size, c.out) << c.in.width() << "x" << c.in.height();
    }
    EXPECT_TRUE(encodeArtworkImage(QImage()).isEmpty());
}

TEST(ArtworkImage, QualitySeventy)
{
    const QImage image = kvtest::testImage(320, 200);
    EXPECT_EQ(encodeArtworkImage(image), kvtest::encodeImage(image, "JPG", 70));
    EXPECT_NE(encodeArtworkImage(image), kvtest::encodeImage(image, "JPG", 75));
}

class FixedMetrics : public KvPaintMetrics
{
public:
    FixedMetrics(int ratio, double deviceRatio) : ratio(ratio), deviceRatio(deviceRatio) {}
    int checkPainterPixelRatio(QPainter *painter) override
    {
        painted += painter != nullptr;
        return ratio;
    }
    double devicePixelRatio() override { return deviceRatio; }
    int ratio;
    double deviceRatio;
    int painted = 0;
};

bool isBlack(const QImage &image, int x, int y) { return image.pixelColor(x, y) == Qt::black; }
bool isGray(const QImage &image, int x, int y) { return image.pixelColor(x, y) == QColor("gray"); }

TEST(ArtworkProvider, EmptyIdGivesAGrayPlaceholderWithACross)
{
    KvArtworkImageProvider provider;
    QSize size;
    const QImage image = provider.makePixmap(QString(), &size, QSize(0, 0)).toImage();
    EXPECT_EQ(size, QSize(200, 200));
    ASSERT_EQ(image.size(), QSize(200, 200));
    for (int i : {0, 10, 100, 199}) {
        EXPECT_TRUE(isBlack(image, i, i)) << i;
        EXPECT_TRUE(isBlack(image, i, 199 - i)) << i;
    }
    EXPECT_TRUE(isGray(image, 100, 10));
    EXPECT_TRUE(isGray(image, 10, 100));
    EXPECT_TRUE(isGray(image, 100, 104));
}

TEST(ArtworkProvider, PlaceholderTakesTheRequestedSizeAndPenRatio)
{
    FixedMetrics metrics(2, 1.5); // pen 2 x 2 x 1.5 = 6
    KvArtworkImageProvider provider(&metrics);
    QSize size;
    const QImage image = provider.makePixmap("!!not base64 of a picture!!", &size, QSize(120, 0)).toImage();
    EXPECT_EQ(size, QSize(120, 200));
    EXPECT_EQ(image.size(), QSize(120, 200));
    EXPECT_EQ(metrics.painted, 1);
    // The line from the top left crosses y = 40 at x = 24. Two pixels to its
    // right lie inside a 6-pixel pen, not inside a 2-pixel one.
    EXPECT_TRUE(isBlack(image, 24, 40));
    EXPECT_TRUE(isBlack(image, 26, 40));
    EXPECT_TRUE(isGray(image, 34, 40));

    KvArtworkImageProvider plain;
    const QImage thin = plain.makePixmap(QString(), nullptr, QSize(120, 200)).toImage();
    EXPECT_TRUE(isBlack(thin, 24, 40));
    EXPECT_TRUE(isGray(thin, 26, 40));
}

TEST(ArtworkProvider, PictureIsScaledOnlyWhenBothSidesAreAsked)
{
    const QImage picture = kvtest::testImage(64, 48, QColor(10, 200, 30));
    const QString id = artworkToText(kvtest::encodeImage(picture, "PNG"));
    KvArtworkImageProvider provider;
    const struct {
        QSize requested;
        QSize out;
    } cases[] = {
        {{150, 150}, {150, 150}},
        {{150, 0}, {64, 48}},
        {{0, 0}, {64, 48}},
        {{64, 48}, {64, 48}},
        {{-5, 20}, {64, 48}},
    };
    for (const auto &c : cases) {
        QSize size;
        const QPixmap pixmap = provider.makePixmap(id, &size, c.requested);
        EXPECT_EQ(size, c.out) << c.requested.width() << "x" << c.requested.height();
        EXPECT_EQ(pixmap.size(), c.out);
    }
    // Unscaled means the picture itself.
    EXPECT_EQ(provider.makePixmap(id, nullptr, QSize()).toImage().convertToFormat(QImage::Format_RGB32),
              picture);
}

} // namespace
