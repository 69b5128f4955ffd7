// The level meter: levels to lit segments, repaint spans, geometry and colours as drawn.
#include <KvQmlController.h>
#include <KvVuMeter.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

TEST(VuMeter, LevelsLightSegmentsFromMinusSixtyDecibels)
{
    struct Case {
        qint16 level;
        int lit;
    };
    const Case cases[] = {
        {32767, 10},
        {16423, 9},   // -6 dB (16422.4)
        {16422, 8},   // just under -6 dB
        {1037, 5},    // -30 dB (1036.2)
        {1036, 4},    // just under -30 dB
        {104, 1},     // -49.97 dB
        {33, 0},      // -59.9 dB: inside the range but less than one segment
        {32, 0},      // below the floor
        {0, 0},       // minus infinity
        {-1, 0},      // negative levels light nothing
        {-32768, 0},
    };
    KvVuMeter meter;
    meter.resize(200, 40);
    for (const Case &c : cases) {
        meter.setLevels(c.level, c.level);
        EXPECT_EQ(meter.litSegments(0), c.lit) << c.level;
        EXPECT_EQ(meter.litSegments(1), c.lit) << c.level;
    }
    meter.setLevels(32767, 0);
    EXPECT_EQ(meter.litSegments(0), 10);
    EXPECT_EQ(meter.litSegments(1), 0);
}

TEST(VuMeter, SizesAndSegmentGeometry)
{
    KvVuMeter meter;
    EXPECT_EQ(meter.minimumSize(), QSize(58, 18));
    EXPECT_EQ(meter.sizeHint(), QSize(98, 34));
    meter.resize(200, 40);
    meter.show();  // delivers the resize
    EXPECT_EQ(meter.segmentRect(0, 0), QRect(0, 0, 18, 18));
    EXPECT_EQ(meter.segmentRect(1, 0).left(), 20);
    EXPECT_EQ(meter.segmentRect(9, 0), QRect(180, 0, 18, 18));
    EXPECT_EQ(meter.segmentRect(0, 1), QRect(0, 22, 18, 18));
}

TEST(VuMeter, RepaintsOnlyTheSpanThatChanged)
{
    KvVuMeter meter;
    meter.resize(200, 40);
    meter.show();
    meter.setLevels(32767, 32767);
    meter.setLevels(0, 0);  // 10 -> 0
    EXPECT_EQ(meter.lastUpdateRect(), QRect(0, 0, 198, 40));
    meter.setLevels(270, 270);  // 0 -> 3 (-41.7 dB)
    ASSERT_EQ(meter.litSegments(0), 3);
    meter.setLevels(1037, 1037);  // 3 -> 5
    EXPECT_EQ(meter.lastUpdateRect(), QRect(40, 0, 58, 40));  // segment 2's left to segment 4's right
    meter.setLevels(1037, 1037);
    EXPECT_TRUE(meter.lastUpdateRect().isNull()) << "equal levels ask for no repaint";
}

TEST(VuMeter, LevelColorBlendsOverTheBackground)
{
    EXPECT_EQ(KvVuMeter::levelColor(QColor(255, 0, 0, 128), QColor(0, 0, 255)), QColor(128, 0, 127));
    EXPECT_EQ(KvVuMeter::levelColor(QColor(10, 20, 30), QColor(200, 200, 200)), QColor(10, 20, 30));
    EXPECT_EQ(KvVuMeter::levelColor(QColor(10, 20, 30, 0), QColor(200, 100, 50)), QColor(200, 100, 50));
}

namespace {
QImage grab(qint16 level)
{
    KvVuMeter meter;
    meter.resize(200, 40);
    meter.show();
    meter.setLevels(level, level);
    return meter.grab().toImage();
}

QColor centre(const QImage &image, const KvVuMeter &geometry, int segment, int row)
{
    return image.pixelColor(geometry.segmentRect(segment, row).center());
}
} // namespace

TEST(VuMeter, ColoursInLightAndDarkMode)
{
    KvVuMeter geometry;
    geometry.resize(200, 40);
    geometry.show();

    const QPalette original = QApplication::palette();
    KvQmlController controller;  // the registered controller decides the mode
    const QColor unlitLight = QColor(Qt::white).darker(150).lighter(110);

    struct Mode {
        const char *name;
        QPalette palette;
        QColor green, yellow, red, unlit;
    };
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QPalette light = original;
    light.setColor(QPalette::Window, QColor(240, 240, 240));
    light.setColor(QPalette::WindowText, QColor(0, 0, 0));
    qreal h, s, l;
    unlitLight.getHslF(&h, &s, &l);
    const QColor unlitDark = QColor(QColor::fromHslF(h, s, 1.0 - l).rgb());
    const Mode modes[] = {
        {"light", light, QColor(0, 250, 0), QColor(250, 235, 0), QColor(250, 0, 0), unlitLight},
        {"dark", dark, QColor(0, 210, 0), QColor(210, 205, 0), QColor(210, 0, 0), unlitDark},
    };
    for (const Mode &m : modes) {
        SCOPED_TRACE(m.name);
        QApplication::setPalette(m.palette);
        controller.CheckIsDarkMode(m.palette);
        ASSERT_EQ(controller.isDarkMode(), std::string(m.name) == "dark");
        const QImage all = grab(32767);
        const QImage some = grab(1037);  // five segments: the green zone
        all.save(QString("/tmp/kv-vumeter-%1-full.png").arg(m.name));
        some.save(QString("/tmp/kv-vumeter-%1-half.png").arg(m.name));
        for (int row = 0; row < 2; ++row) {
            for (int i = 0; i < 10; ++i) {
                const QColor lit = i < 5 ? m.green : i < 8 ? m.yellow : m.red;
                EXPECT_EQ(centre(all, geometry, i, row), lit) << "segment " << i << " row " << row;
                EXPECT_EQ(centre(some, geometry, i, row), i < 5 ? lit : m.unlit)
                    << "segment " << i << " row " << row;
            }
        }
        // Between the segments the frame's own background shows.
        EXPECT_NE(all.pixelColor(19, 5), m.green);
    }
    QApplication::setPalette(original);
    controller.CheckIsDarkMode(original);
}
