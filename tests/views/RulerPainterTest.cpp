// The time ruler: interval choice from label widths, label trimming, ticks as drawn.
#include "FrameViewTestSupport.h"

#include <KvRulerPainter.h>

#include <QPainter>

#include <gtest/gtest.h>

using kvtest::pixel;
using kvtest::rgb;

TEST(RulerPainter, IntervalIsTheFirstLongerThanALabel)
{
    // One frame a second at 10 pixels a frame: a label of w pixels covers 100 * w ms.
    struct Case {
        const char *what;
        double pixelsPerFrame;
        int samplesPerFrame, sampleRate;
        int widths[3];
        qint64 intervalMs;
        int subTicks;
        double tickPx;
        int format;
    };
    const Case cases[] = {
        {"hundredths label fits 500 ms", 10, 1000, 1000, {4, 100, 100}, 500, 5, 5.0, KvRulerInterval::Hundredths},
        {"a label exactly as long as 500 ms takes a longer interval, with the seconds label", 10, 1000, 1000,
         {5, 100, 100}, 20000, 4, 200.0, KvRulerInterval::Seconds},
        {"seconds label shorter than 1 s", 10, 1000, 1000, {5, 9, 100}, 1000, 4, 10.0, KvRulerInterval::Seconds},
        {"seconds label exactly 1 s", 10, 1000, 1000, {5, 10, 100}, 2000, 4, 20.0, KvRulerInterval::Seconds},
        {"only the minutes label fits", 10, 1000, 1000, {1000, 1000, 1}, 60000, 6, 600.0, KvRulerInterval::Minutes},
        {"MP3 at zoom 1", 1, 1152, 44100, {70, 55, 40}, 2000, 4, 76.5625, KvRulerInterval::Seconds},
        {"two days is the last row", 1e-4, 1000, 1000, {10, 10, 10}, 172800000, 4, 17.28, KvRulerInterval::Minutes},
        {"nothing fits", 1e-5, 1000, 1000, {10, 10, 10}, 0, 0, 0.0, KvRulerInterval::Hundredths},
        {"no sample rate", 10, 1000, 0, {4, 4, 4}, 0, 0, 0.0, KvRulerInterval::Hundredths},
    };
    for (const Case &c : cases) {
        const KvRulerInterval got =
            KvRulerPainter::chooseInterval(c.pixelsPerFrame, c.samplesPerFrame, c.sampleRate, c.widths);
        EXPECT_EQ(got.intervalMs, c.intervalMs) << c.what;
        EXPECT_EQ(got.subTicks, c.subTicks) << c.what;
        EXPECT_NEAR(got.tickPx, c.tickPx, 1e-9) << c.what;
        EXPECT_EQ(got.format, c.format) << c.what;
    }
}

TEST(RulerPainter, LabelsDropWhatTheIntervalDoesNotNeed)
{
    struct Case {
        qint64 ms, interval;
        const char *label;
    };
    const Case cases[] = {
        {83456, 500, "0:01:23.46"},
        {83000, 1000, "0:01:23"},
        {120000, 60000, "0:02"},
        {3600000, 3600000, "1:00"},
        {0, 50, "0:00:00.00"},
        // Past 2^31 milliseconds (596 hours).
        {qint64(13) * 172800000, 172800000, "624:00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(KvRulerPainter::tickLabel(c.ms, c.interval).toStdString(), c.label) << c.ms;
}

TEST(RulerPainter, TicksStartAtTheDocumentStart)
{
    KvQmlModel *model = nullptr;
    KvQmlController *controller = nullptr;
    KvRulerPainter ruler(model, controller);
    ruler.setFontPx(12);
    kvtest::FakeLevels levels(2000, 0);
    KvFrameViewState s = kvtest::stateOver(levels, 4, 0);
    s.samplesPerFrame = 1152;
    s.sampleRate = 44100;
    s.playPosWidth = 2;
    s.windowColor = QColor(240, 240, 240);
    s.textColor = QColor(Qt::black);
    QImage image(400, 30, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    ruler.paintState(&p, s);
    p.end();
    ASSERT_GT(ruler.interval().subTicks, 0);
    // With the display gap frame 0 stands in column 49 (x 196): its tick is
    // full height, one pixel right for the middle of the play line.
    EXPECT_EQ(pixel(image, 197, 1), rgb(Qt::black));
    EXPECT_EQ(pixel(image, 197, 28), rgb(Qt::black));
    // Nothing left of the document start but the gradient.
    for (int x = 0; x < 196; ++x)
        ASSERT_NE(pixel(image, x, 28), rgb(Qt::black)) << x;
    // The next major tick, one interval on.
    const int next = 197 + int(ruler.interval().tickPx);
    EXPECT_EQ(pixel(image, next, 28), rgb(Qt::black));

    // Without format facts only the gradient is drawn.
    KvRulerPainter plain(model, controller);
    s.sampleRate = 0;
    QImage empty(400, 30, QImage::Format_ARGB32_Premultiplied);
    QPainter q(&empty);
    plain.paintState(&q, s);
    q.end();
    EXPECT_EQ(plain.interval().subTicks, 0);
    EXPECT_EQ(pixel(empty, 197, 28), pixel(empty, 10, 28));
}
