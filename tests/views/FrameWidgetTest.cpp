// Mouse gestures on the frame display, the overview map and the caret ruler,
// against the controller and a real document.
#include "KvFakeUiServices.h"
#include "KvTestSupport.h"

#include <KvAudioFile.h>
#include <KvAudioFragmentList.h>
#include <KvEngineFactories.h>
#include <KvFileProperties.h>
#include <KvFrameMapView.h>
#include <KvFrameRulerView.h>
#include <KvFrameWidget.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>
#include <KvRepackInfoPtrList.h>
#include <KvTagInfo.h>

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QTest>
#include <QUndoStack>

#include <boost/make_shared.hpp>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Answers the track editor with a new title.
class TrackEditingUi : public kvtest::FakeUiServices {
public:
    int runTrackProperties(KvTrackPropertiesRequest &request) override
    {
        titles << request.title;
        request.currentTrackStart = request.record->start();
        if (request.tagInfo)
            request.tagInfo->title = QStringLiteral("Renamed");
        return QDialog::Accepted;
    }
    QStringList titles;
};

// 400 x 120 pixels at zoom 4: 100 columns, the play position in column 49;
// with the position at frame 200, x shows frame 151 + x / 4.
class FrameWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller.setModel(&model);
        bool heAac = false;
        QString error;
        file = createAudioFileByExtension(kvtest::fixture("cbr128_joint.mp3"), heAac, error);
        ASSERT_TRUE(file && error.isEmpty()) << error.toStdString();
        cursor = createFragmentListByFormat("mp3");
        cursor->list()->appendFragment(file->createRepackInfo(0, -1));
        total = cursor->totalFrames();
        ASSERT_GT(total, 400);
        model.setFragmentList(cursor);
        tracks = boost::make_shared<KvFileProperties>(&controller);
        model.setTrackList(tracks);
        widget.setModel(&model);
        widget.setController(&controller);
        controller.setHZoom(4);
        widget.resize(400, 120);
        widget.attach(cursor);
        controller.setScrollFrame(200);
        model.undoStack()->clear();
    }

    void move(const QPoint &pos, Qt::MouseButtons buttons = Qt::LeftButton, QWidget *target = nullptr)
    {
        QMouseEvent event(QEvent::MouseMove, pos, Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target ? target : &widget, &event);
    }
    static qint64 frameAt(int x) { return 151 + x / 4; }
    qint64 start() const { return qint64(controller.selectionStart()); }
    qint64 end() const { return qint64(controller.selectionEnd()); }
    std::vector<std::string> undoTexts() const
    {
        std::vector<std::string> texts;
        for (int i = 0; i < model.undoStack()->count(); ++i)
            texts.push_back(model.undoStack()->command(i)->text().toStdString());
        return texts;
    }
    using Texts = std::vector<std::string>;
    void tick() { QMetaObject::invokeMethod(&widget.autoScrollTimer(), "timeout"); }

    TrackEditingUi ui;
    KvQmlModel model;
    KvQmlController controller{nullptr, KvControllerSeams{&ui}};
    boost::shared_ptr<KvAudioFile> file;
    boost::shared_ptr<KvAudioFragmentList> cursor;
    boost::shared_ptr<KvFileProperties> tracks;
    qint64 total = 0;
    KvFrameWidget widget;
};

} // namespace

TEST_F(FrameWidgetTest, DragPushesOneMouseSelectionEndingAtTheReleasePoint)
{
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragSelect);
    move(QPoint(140, 60));
    move(QPoint(180, 60));
    EXPECT_EQ(start(), frameAt(100));
    EXPECT_EQ(end(), frameAt(180));
    EXPECT_TRUE(undoTexts().empty()) << "nothing recorded before the release";
    // Released further on than the last move: the release point counts.
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragNone);
    EXPECT_EQ(undoTexts(), Texts{"Mouse selection"});
    EXPECT_EQ(start(), frameAt(100));
    EXPECT_EQ(end(), frameAt(200));

    model.undoStack()->undo();
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(end(), -1);
    model.undoStack()->redo();
    EXPECT_EQ(start(), frameAt(100)) << "the record holds the final selection";
    EXPECT_EQ(end(), frameAt(200));
}

TEST_F(FrameWidgetTest, DragKeepsTheFarthestFrameAndEdgesMoveAlone)
{
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(100, 60));
    move(QPoint(300, 60));
    move(QPoint(200, 60));
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
    EXPECT_EQ(start(), frameAt(100));
    EXPECT_EQ(end(), frameAt(300)) << "a plain drag only widens";

    // Grab the end edge 4 pixels off and pull it back: a second record.
    const int endX = 4 * int(end() - 151);
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(endX + 4, 60));
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragEndEdge);
    move(QPoint(240, 60));
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(240, 60));
    EXPECT_EQ(start(), frameAt(100));
    EXPECT_EQ(end(), frameAt(240));
    EXPECT_EQ(undoTexts(), (Texts{"Mouse selection", "Mouse selection"}));

    // Ctrl widens the selection from anywhere.
    QTest::mousePress(&widget, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 60));
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 60));
    EXPECT_EQ(start(), frameAt(20));
    EXPECT_EQ(end(), frameAt(240));
}

TEST_F(FrameWidgetTest, PressesThatStartNoSelection)
{
    QTest::mousePress(&widget, Qt::RightButton, Qt::NoModifier, QPoint(100, 60));
    QTest::mouseRelease(&widget, Qt::RightButton, Qt::NoModifier, QPoint(100, 60));
    EXPECT_EQ(start(), -1);
    EXPECT_TRUE(undoTexts().empty()) << "a right-button press records nothing";

    // At the document's end, right of it there is nothing to select.
    controller.setScrollFrame(double(total));
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(300, 60));
    EXPECT_EQ(start(), -1);
    EXPECT_EQ(end(), -1);
}

TEST_F(FrameWidgetTest, DraggingPastTheEdgesScrollsFiveFramesATick)
{
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(200, 60));
    move(QPoint(401, 60));
    ASSERT_TRUE(widget.autoScrollTimer().isActive());
    EXPECT_EQ(widget.autoScrollTimer().interval(), 100);
    for (int i = 0; i < 3; ++i)
        tick();
    EXPECT_EQ(controller.scrollFrame(), 215.0);
    EXPECT_EQ(end(), 215 - 49 + 100) << "the selection follows to the frame at the edge";

    // Inside again: the timer stops.
    move(QPoint(390, 60));
    EXPECT_FALSE(widget.autoScrollTimer().isActive());

    // Stops at the document's end...
    move(QPoint(401, 60));
    controller.setScrollFrame(double(total - 2));
    tick();
    tick();
    EXPECT_EQ(qint64(controller.scrollFrame()), total);
    // ... and at its start.
    move(QPoint(-1, 60));
    controller.setScrollFrame(7);
    tick();
    EXPECT_EQ(controller.scrollFrame(), 2.0);
    tick();
    EXPECT_EQ(controller.scrollFrame(), 0.0);
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(-1, 60));
    EXPECT_FALSE(widget.autoScrollTimer().isActive());
    EXPECT_EQ(undoTexts(), Texts{"Mouse selection"});
}

TEST_F(FrameWidgetTest, MarkerBandSelectsAndEditsTracks)
{
    tracks->appendTrack(boost::make_shared<KvTagProperty>(160, 190));
    tracks->appendTrack(boost::make_shared<KvTagProperty>(190, KvTagProperty::EndMarker));
    const int y = widget.height() - 2;
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(4 * (170 - 151), y));
    EXPECT_EQ(start(), 160);
    EXPECT_EQ(end(), 190);
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(4 * (250 - 151), y));
    EXPECT_EQ(start(), 190);
    EXPECT_EQ(end(), total) << "an open track runs to the document's end";
    EXPECT_EQ(undoTexts(), (Texts{"Select track", "Select track"}));
    // Left of the first track: nothing happens, no selection starts.
    QTest::mouseClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(8, y));
    EXPECT_EQ(start(), 190);
    EXPECT_EQ(undoTexts().size(), 2);

    QTest::mouseDClick(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(4 * (170 - 151), y));
    EXPECT_EQ(ui.titles, QStringList{"Edit Track Information"}) << ui.titles.join("|").toStdString();
    EXPECT_EQ(undoTexts().back(), "Modify track information");
    EXPECT_EQ(tracks->tracks().front()->tagInfo().title, "Renamed");
}

TEST_F(FrameWidgetTest, TopStripDragsTheTimeLine)
{
    KvFrameRulerView ruler;
    ruler.setModel(&model);
    ruler.setController(&controller);
    ruler.setFrameWidget(&widget);
    ruler.setCaretMode(true);
    widget.setRulerView(&ruler);
    QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(200, 3));
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragScrub);
    move(QPoint(240, 3));
    EXPECT_EQ(controller.scrollFrame(), 190.0) << "10 frames to the right pull the position 10 back";
    move(QPoint(200, 3));
    EXPECT_EQ(controller.scrollFrame(), 200.0) << "back at the press point, back at the press frame";
    QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, QPoint(200, 3));
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragNone);
    EXPECT_EQ(ruler.dragState(), KvFrameRulerView::NoDrag);
    EXPECT_EQ(start(), -1) << "scrubbing selects nothing";
}

TEST_F(FrameWidgetTest, MapClicksJumpAndClampToTheDocument)
{
    KvFrameMapView map;
    map.setModel(&model);
    map.setController(&controller);
    map.setFrameWidget(&widget);
    map.CalcViews();
    map.resize(total / 2 + 1, 40);  // two frames a pixel
    map.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
    QTest::mouseClick(&map, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    EXPECT_NEAR(controller.scrollFrame(), 100.0, 2.0);
    QTest::mousePress(&map, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    move(QPoint(int(total), 10), Qt::LeftButton, &map);
    QTest::mouseRelease(&map, Qt::LeftButton, Qt::NoModifier, QPoint(int(total), 10));
    EXPECT_EQ(qint64(controller.scrollFrame()), total) << "past the end of the map: the end";
}
