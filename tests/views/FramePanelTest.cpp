// The editor panel and the playback controls: the time displays, the track
// and part fields, which buttons a position allows, the wheel's steps, the
// slider tooltips and the kept volume.
#include "../controller/KvControllerTestSupport.h"
#include "FrameViewTestSupport.h"

#include <KvFrameEditForm.h>
#include <KvFrameWidget.h>
#include <KvPlaybackControls.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvTestSupport.h>
#include <KvVuMeter.h>

#include <KvAudioFile.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvMP3AudioFragmentList.h>
#include <KvMP3RepackInfo.h>

#include <QDir>
#include <QLCDNumber>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

// One frame lasts one millisecond: frame counts are the times they show.
class MillisecondFormat : public KvFrameSizeInfo {
public:
    int samplesPerFrame() const override { return 1; }
    int sampleRate() const override { return 1000; }
    int channelCount() const override { return 2; }
    QString formatKey() const override { return QStringLiteral("ms"); }
    int versionCode() const override { return 0; }
    int rateCode() const override { return 0; }
    int modeCode() const override { return 0; }
    KvFrameSizeInfo *clone() const override { return new MillisecondFormat; }
};

// A document of millisecond frames in fragments of the given lengths.
KvQmlModel::FragmentListPtr millisecondDocument(std::initializer_list<qint64> fragments)
{
    KvQmlModel::FragmentListPtr cursor(new KvMP3AudioFragmentList);
    const boost::shared_ptr<KvFrameSizeInfo> format(new MillisecondFormat);
    for (qint64 frames : fragments)
        cursor->list()->appendFragment(KvRepackInfoPtr(new KvMP3RepackInfo(format, frames)));
    return cursor;
}

// What an LCD shows, judged by drawing the text on a twin of it.
::testing::AssertionResult lcdShows(QLCDNumber *lcd, const QString &text)
{
    QLCDNumber twin;
    twin.setDigitCount(lcd->digitCount());
    twin.setSmallDecimalPoint(lcd->smallDecimalPoint());
    twin.setSegmentStyle(lcd->segmentStyle());
    twin.setFrameShape(lcd->frameShape());
    twin.setPalette(lcd->palette());
    twin.resize(lcd->size());
    twin.display(text);
    // Without the backgrounds, which the twin takes from no parent.
    auto draw = [](QWidget *w) {
        QImage image(w->size(), QImage::Format_ARGB32);
        image.fill(Qt::magenta);
        w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    if (draw(lcd) == draw(&twin))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << lcd->objectName().toStdString() << " does not show \""
                                         << text.toStdString() << "\"";
}

class FramePanelTest : public ::testing::Test {
protected:
    FramePanelTest()
    {
        controller.setModel(&model);
        panel.setModel(&model);
        panel.setController(&controller);
        panel.resize(1040, 506);
        // Shown, so that no late resize refreshes the panel in the middle of a test.
        panel.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }

    void open(const KvQmlModel::FragmentListPtr &document)
    {
        model.setFragmentList(document);
        controller.refreshDocumentState();
        panel.attachViews(document);
    }
    void showAt(qint64 position, qint64 selStart = -1, qint64 selEnd = -1)
    {
        controller.setSelectionStart(double(selStart));
        controller.setSelectionEnd(double(selEnd));
        controller.setScrollFrame(double(position));
        panel.ScrollValueChanged(position);
    }

    template<class W> W *child(const char *name) const
    {
        W *w = panel.findChild<W *>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    QLCDNumber *playDisplay() const { return child<QLCDNumber>("lcdTimer"); }
    QLCDNumber *spanDisplay() const { return child<QLCDNumber>("lcdTimerSel"); }
    QString field(const char *name) const { return child<QLineEdit>(name)->text(); }
    bool enabled(const char *name) const { return child<QPushButton>(name)->isEnabled(); }

    KvQmlModel model;
    KvQmlController controller;
    KvFrameEditForm panel;
};

const char *const kButtons[] = {"buttonSelectionStart", "buttonSelectionEnd", "buttonTrackStart",
                                "buttonTrackEnd",       "buttonTrackSplit",   "buttonDeleteTrack"};
const char *const kFields[] = {"lineEditTrackNo",       "lineEditTrackName",    "lineEditTrackLocation",
                               "lineEditTrackDuration", "lineEditPartNo",       "lineEditSourceFile",
                               "lineEditFileLocation",  "lineEditFileDuration"};

TEST_F(FramePanelTest, EmptyModelIsBlank)
{
    for (const auto &document : {KvQmlModel::FragmentListPtr(), millisecondDocument({})}) {
        open(document);
        panel.ScrollValueChanged(0);
        EXPECT_TRUE(lcdShows(playDisplay(), QString()));
        EXPECT_TRUE(lcdShows(spanDisplay(), QString()));
        EXPECT_EQ(playDisplay()->digitCount(), 10);  // "0:00:00.00"
        EXPECT_EQ(spanDisplay()->digitCount(), 5);   // "02.00"
        for (const char *button : kButtons)
            EXPECT_FALSE(enabled(button)) << button;
        for (const char *name : kFields)
            EXPECT_EQ(field(name), QString()) << name;
    }
}

TEST_F(FramePanelTest, PositionAndSpanTexts)
{
    open(millisecondDocument({4000000}));
    struct Case {
        qint64 position, selStart, selEnd;
        const char *play, *span;
    };
    const Case cases[] = {
        {83456, -1, -1, "0:01:23.46", "00.00"},
        {59996, -1, -1, "0:01:00.00", "00.00"},
        {0, 1000, 3000, "0:00:00.00", "02.00"},
        {0, 0, 83456, "0:00:00.00", "01:23.46"},
        {0, 0, 3723000, "0:00:00.00", "1:02:03.00"},
        {0, 5000, -1, "0:00:00.00", "00.00"},     // only the start
        {0, 3000, 1000, "0:00:00.00", "00.00"},   // the end before the start
        {3723000, 10, 10, "1:02:03.00", "00.00"}, // a caret
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.play + std::string(" ") + c.span);
        showAt(c.position, c.selStart, c.selEnd);
        // The decimal point takes no digit; both displays keep the play display's count.
        EXPECT_EQ(playDisplay()->digitCount(), int(strlen(c.play)) - 1);
        EXPECT_EQ(spanDisplay()->digitCount(), int(strlen(c.play)) - 1);
        EXPECT_TRUE(lcdShows(playDisplay(), c.play));
        EXPECT_TRUE(lcdShows(spanDisplay(), c.span));
        EXPECT_TRUE(enabled("buttonSelectionStart"));
        EXPECT_TRUE(enabled("buttonSelectionEnd"));
    }
}

TEST_F(FramePanelTest, PositionPastTheEndShowsTheEnd)
{
    open(millisecondDocument({2000, 1500}));
    showAt(0);
    panel.ScrollValueChanged(999999);
    EXPECT_TRUE(lcdShows(playDisplay(), "0:00:03.50"));
    for (const char *name : kFields)
        EXPECT_EQ(field(name), QString()) << name;
}

TEST_F(FramePanelTest, WholeSecondsWhilePlaying)
{
    // The rule the play display and the source location follow.
    KvSecondTicker ticker;
    struct Step {
        qint64 ms;
        bool playing, show;
        const char *text;
    };
    const Step steps[] = {
        {83456, false, true, "0:01:23.46"},
        {83456, true, true, "0:01:23.  "},
        {83700, true, false, nullptr},  // the same second: not redrawn
        {83950, true, false, nullptr},
        {84010, true, true, "0:01:24.  "},
        {84020, true, false, nullptr},
        {84030, false, true, "0:01:24.03"},  // stopped: the exact time again
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.ms);
        const KvSecondTicker::Tick tick = ticker.next(s.ms, s.playing);
        EXPECT_EQ(tick.show, s.show);
        if (s.show) {
            EXPECT_EQ(KvSecondTicker::text(tick), s.text);
        }
    }
}

TEST_F(FramePanelTest, TrackButtonsFollowTheTrackRules)
{
    open(millisecondDocument({1000}));
    model.setTrackList(nullptr);
    showAt(0);
    // Without a track list the track buttons stay off.
    for (const char *button : {"buttonTrackStart", "buttonTrackEnd", "buttonTrackSplit", "buttonDeleteTrack"})
        EXPECT_FALSE(enabled(button)) << button;

    auto tracks = boost::make_shared<KvFileProperties>(&controller);
    kvtest::addTrack(*tracks, 100, 500, "One");
    kvtest::addTrack(*tracks, 500, KvTagProperty::EndMarker, "Two");
    model.setTrackList(tracks);
    struct Case {
        qint64 position;
        bool start, end, split, del;
    };
    const Case cases[] = {
        {50, true, true, true, false},    // before the first track
        {100, false, true, true, true},   // on a track start
        {300, true, true, true, true},    // inside a track
        {500, false, false, false, true}, // where one ends and the next starts
        {999, true, true, true, true},    // inside the open track
        {1000, false, false, false, false}, // the end: asked about the open end
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.position);
        showAt(c.position);
        EXPECT_EQ(enabled("buttonTrackStart"), c.start);
        EXPECT_EQ(enabled("buttonTrackEnd"), c.end);
        EXPECT_EQ(enabled("buttonTrackSplit"), c.split);
        EXPECT_EQ(enabled("buttonDeleteTrack"), c.del);
    }
}

TEST_F(FramePanelTest, TrackButtonsRaiseTheirSignalsAtThePosition)
{
    open(millisecondDocument({1000}));
    auto tracks = boost::make_shared<KvFileProperties>(&controller);
    kvtest::addTrack(*tracks, 100, 500);
    model.setTrackList(tracks);
    showAt(300);
    struct Case {
        const char *button, *signal;
    };
    const Case cases[] = {{"buttonTrackStart", SIGNAL(RaiseSetTrackStart(qint64))},
                          {"buttonTrackEnd", SIGNAL(RaiseSetTrackEnd(qint64))},
                          {"buttonTrackSplit", SIGNAL(RaiseSplitTrack(qint64))},
                          {"buttonDeleteTrack", SIGNAL(RaiseDeleteTrack(qint64))}};
    for (const Case &c : cases) {
        QSignalSpy spy(&panel, c.signal);
        child<QPushButton>(c.button)->click();
        ASSERT_EQ(spy.count(), 1) << c.button;
        EXPECT_EQ(spy.at(0).at(0).toLongLong(), 300) << c.button;
    }
}

TEST_F(FramePanelTest, TrackAndPartFields)
{
    open(millisecondDocument({2000, 61000}));
    auto tracks = boost::make_shared<KvFileProperties>(&controller);
    kvtest::addTrack(*tracks, 1000, 3500, "First");
    kvtest::addTrack(*tracks, 3500, KvTagProperty::EndMarker, "Second");
    model.setTrackList(tracks);
    controller.setTrackNameFormat("%0N %T");
    controller.setUseAutoTrackNum(true);

    showAt(2500);
    EXPECT_EQ(field("lineEditTrackNo"), "1");
    EXPECT_EQ(field("lineEditTrackName"), tracks->tracks().front()->formatTrackName(1, true, "%0N %T"));
    EXPECT_EQ(field("lineEditTrackLocation"), "0:00:01.00");
    EXPECT_EQ(field("lineEditTrackDuration"), "02.50");
    EXPECT_EQ(field("lineEditPartNo"), "2");
    EXPECT_EQ(field("lineEditFileLocation"), "0:00:00.50");
    EXPECT_EQ(field("lineEditFileDuration"), "01:01.00");

    // The open track runs to the document end.
    showAt(5000);
    EXPECT_EQ(field("lineEditTrackNo"), "2");
    EXPECT_EQ(field("lineEditTrackLocation"), "0:00:03.50");
    EXPECT_EQ(field("lineEditTrackDuration"), "59.50");

    // Within one part only the source location moves, to the hundredth.
    showAt(5123);
    EXPECT_EQ(field("lineEditFileLocation"), "0:00:03.12");

    // Into the first part: all four part fields anew.
    showAt(1999);
    EXPECT_EQ(field("lineEditPartNo"), "1");
    EXPECT_EQ(field("lineEditFileDuration"), "02.00");
    EXPECT_EQ(field("lineEditFileLocation"), "0:00:02.00");
    EXPECT_EQ(field("lineEditTrackNo"), "1");
}

TEST_F(FramePanelTest, TrackNameIsRebuiltAfterTrackInfoUpdated)
{
    open(millisecondDocument({2000}));
    auto tracks = boost::make_shared<KvFileProperties>(&controller);
    kvtest::addTrack(*tracks, 0, KvTagProperty::EndMarker, "Before");
    model.setTrackList(tracks);
    controller.setTrackNameFormat("%T");
    showAt(10);
    EXPECT_EQ(field("lineEditTrackName"), "Before");

    KvTagInfo tags = tracks->tracks().front()->tagInfo();
    tags.title = "After";
    tracks->tracks().front()->setTagInfo(tags);
    showAt(11);
    EXPECT_EQ(field("lineEditTrackName"), "Before");  // the same track: not rewritten
    QSignalSpy raised(&panel, SIGNAL(RaiseTrackInfoUpdated()));
    panel.TrackInfoUpdated();
    EXPECT_EQ(raised.count(), 1);
    EXPECT_EQ(field("lineEditTrackName"), "After");
}

TEST_F(FramePanelTest, SourceLocationIsThePlaceInTheSourceFile)
{
    // Frame 383 of a 44.1 kHz MP3 (1152 samples a frame) lies 10 seconds in,
    // wherever its part stands in the document.
    bool heAac = false;
    QString error;
    const boost::shared_ptr<KvAudioFile> file =
        createAudioFileByExtension(kvtest::fixture("cbr128_joint.mp3"), heAac, error);
    ASSERT_TRUE(file) << error.toStdString();
    KvQmlModel::FragmentListPtr document = kvSilentDocument(100);
    document->list()->appendFragment(file->createRepackInfo(383, 50));
    open(document);
    showAt(100);
    EXPECT_EQ(field("lineEditPartNo"), "2");
    EXPECT_EQ(field("lineEditFileLocation"), "0:00:10.00");
    EXPECT_EQ(field("lineEditSourceFile"), QDir::toNativeSeparators(kvtest::fixture("cbr128_joint.mp3")));
    EXPECT_EQ(field("lineEditFileDuration"), "01.31");  // 50 frames: 1306 ms
}

TEST_F(FramePanelTest, LevelsOfMinusOneLeaveTheMeter)
{
    open(millisecondDocument({1000}));
    KvVuMeter *meter = panel.vuMeter();
    panel.PlayPositionChanged_triggered(0, 20000, 20000);
    const int left = meter->litSegments(0), right = meter->litSegments(1);
    ASSERT_GT(left, 0);
    panel.PlayPositionChanged_triggered(0, 1200, -1);
    EXPECT_EQ(meter->litSegments(0), left);
    EXPECT_EQ(meter->litSegments(1), right);
    panel.PlayPositionChanged_triggered(0, -1, 1200);
    EXPECT_EQ(meter->litSegments(0), left);
    panel.playStateChanged(0);
    EXPECT_EQ(meter->litSegments(0), 0);
    EXPECT_EQ(meter->litSegments(1), 0);
}

TEST(FrameWheel, StepsByModifier)
{
    using K = KvWheelStep;
    struct Case {
        const char *what;
        int delta;
        Qt::KeyboardModifiers mods;
        int lines;
        double pixelsPerFrame;
        K::Kind kind;
        bool flag;
        int frames;
    };
    const Case cases[] = {
        {"away, 1 px a frame", 120, Qt::NoModifier, 3, 1.0, K::StepFrames, false, -48},
        {"away, 16 px a frame", 120, Qt::NoModifier, 3, 16.0, K::StepFrames, false, -3},
        {"toward the user", -120, Qt::NoModifier, 3, 1.0, K::StepFrames, false, 48},
        {"zoom 3: truncated", 120, Qt::NoModifier, 3, 5.0, K::StepFrames, false, -9},
        {"half a notch", 60, Qt::NoModifier, 3, 0.5, K::StepFrames, false, -48},
        {"more scroll lines", -240, Qt::NoModifier, 7, 2.0, K::StepFrames, false, 112},
        {"Ctrl scrolls plainly", 120, Qt::ControlModifier, 3, 1.0, K::StepFrames, false, -48},
        {"Shift away", 120, Qt::ShiftModifier, 3, 1.0, K::VerticalShift, false, 0},
        {"Shift toward", -120, Qt::ShiftModifier, 3, 1.0, K::VerticalShift, true, 0},
        {"Shift Alt away", 120, Qt::ShiftModifier | Qt::AltModifier, 3, 1.0, K::VerticalZoom, true, 0},
        {"Shift Alt toward", -120, Qt::ShiftModifier | Qt::AltModifier, 3, 1.0, K::VerticalZoom, false, 0},
        {"Alt away", 120, Qt::AltModifier, 3, 1.0, K::HorizontalZoom, true, 0},
        {"Alt toward", -120, Qt::AltModifier | Qt::ControlModifier, 3, 1.0, K::HorizontalZoom, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const K step = K::of(c.delta, c.mods, c.lines, c.pixelsPerFrame);
        EXPECT_EQ(step.kind, c.kind);
        EXPECT_EQ(step.flag, c.flag);
        EXPECT_EQ(step.frames, c.frames);
    }
}

class PlaybackControlsTest : public ::testing::Test {
protected:
    PlaybackControlsTest() { QSettings().remove("Settings/PlaybackVol"); }
    ~PlaybackControlsTest() override { QSettings().remove("Settings/PlaybackVol"); }

    static QSlider *slider(KvPlaybackControls &c, const char *name) { return c.findChild<QSlider *>(name); }
    static QPushButton *button(KvPlaybackControls &c, const char *name) { return c.findChild<QPushButton *>(name); }
};

TEST_F(PlaybackControlsTest, TooltipsAndSignalValues)
{
    KvPlaybackControls controls;
    struct Case {
        const char *slider, *signal;
        int value;
        double sent;
        const char *tip;
    };
    const Case cases[] = {
        {"horizontalSliderTempo", SIGNAL(TempoChanged(double)), 51, 4.0, "4% Faster"},
        {"horizontalSliderTempo", SIGNAL(TempoChanged(double)), 50, 0.0, "0% Faster"},
        {"horizontalSliderTempo", SIGNAL(TempoChanged(double)), 49, -1.0, "1% Slower"},
        {"horizontalSliderTempo", SIGNAL(TempoChanged(double)), 26, -24.0, "24% Slower"},
        {"horizontalSliderTempo", SIGNAL(TempoChanged(double)), 0, -50.0, "50% Slower"},
        {"horizontalSliderTempo", SIGNAL(TempoChanged(double)), 100, 200.0, "200% Faster"},
        {"horizontalSliderPitch", SIGNAL(PitchChanged(double)), -3, -3.0, "-3 Semitones"},
        {"horizontalSliderPitch", SIGNAL(PitchChanged(double)), 0, 0.0, "+0 Semitones"},
        {"horizontalSliderPitch", SIGNAL(PitchChanged(double)), 12, 12.0, "+12 Semitones"},
        {"horizontalSliderVol", SIGNAL(VolumeChanged(double)), 70, 0.7, "Volume 70"},
        {"horizontalSliderVol", SIGNAL(VolumeChanged(double)), 0, 0.0, "Volume 0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tip);
        QSignalSpy spy(&controls, c.signal);
        slider(controls, c.slider)->setValue(c.value);
        ASSERT_EQ(spy.count(), 1);
        EXPECT_DOUBLE_EQ(spy.at(0).at(0).toDouble(), c.sent);
        EXPECT_EQ(QToolTip::text(), c.tip);
    }
}

TEST_F(PlaybackControlsTest, ResetsGoBackToTheDefaults)
{
    KvPlaybackControls controls;
    struct Case {
        const char *slider, *button, *signal;
        int moved, fallback;
    };
    const Case cases[] = {
        {"horizontalSliderVol", "pushButtonVolReset", SIGNAL(VolumeChanged(double)), 30, 100},
        {"horizontalSliderPitch", "pushButtonPitchReset", SIGNAL(PitchChanged(double)), 5, 0},
        {"horizontalSliderTempo", "pushButtonTempoReset", SIGNAL(TempoChanged(double)), 80, 50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.button);
        QSignalSpy spy(&controls, c.signal);
        button(controls, c.button)->click();  // already at the default: nothing
        EXPECT_EQ(spy.count(), 0);
        slider(controls, c.slider)->setValue(c.moved);
        button(controls, c.button)->click();
        EXPECT_EQ(slider(controls, c.slider)->value(), c.fallback);
        EXPECT_EQ(spy.count(), 2);
    }
    EXPECT_EQ(controls.pitchSliderValue(), 0);
    EXPECT_EQ(controls.tempoSliderValue(), 50);
}

TEST_F(PlaybackControlsTest, VolumeSurvivesARestart)
{
    {
        KvPlaybackControls controls;
        slider(controls, "horizontalSliderVol")->setValue(70);
        slider(controls, "horizontalSliderPitch")->setValue(4);
        slider(controls, "horizontalSliderTempo")->setValue(60);
    }
    EXPECT_EQ(QSettings().value("Settings/PlaybackVol").toInt(), 70);
    KvPlaybackControls again;
    EXPECT_EQ(slider(again, "horizontalSliderVol")->value(), 70);
    QSignalSpy volume(&again, SIGNAL(VolumeChanged(double)));
    QSignalSpy pitch(&again, SIGNAL(PitchChanged(double)));
    QSignalSpy tempo(&again, SIGNAL(TempoChanged(double)));
    again.emitAllValues();
    ASSERT_EQ(volume.count(), 1);
    EXPECT_DOUBLE_EQ(volume.at(0).at(0).toDouble(), 0.7);
    ASSERT_EQ(pitch.count(), 1);
    EXPECT_DOUBLE_EQ(pitch.at(0).at(0).toDouble(), 0.0);  // pitch and tempo start anew
    ASSERT_EQ(tempo.count(), 1);
    EXPECT_DOUBLE_EQ(tempo.at(0).at(0).toDouble(), 0.0);
}

TEST_F(PlaybackControlsTest, RowsHaveGeometry)
{
    KvPlaybackControls controls;
    controls.resize(798, 30);
    controls.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&controls));
    for (int which : {0, 1, 2})
        EXPECT_FALSE(controls.controlRect(which).isEmpty()) << which;
    EXPECT_LT(controls.controlRect(0).right(), controls.controlRect(1).left());
    EXPECT_TRUE(controls.controlRect(3).isNull());
    EXPECT_TRUE(controls.controlRect(-1).isNull());
}

} // namespace
