// The frame display as a widget: mouse gestures become one undoable
// selection change each, the release point belongs to the gesture, and a
// drag past a side scrolls by ticks of the auto-scroll timer.
#include "../controller/KvControllerTestSupport.h"

#include <KvFrameWidget.h>
#include <KvQmlController.h>
#include <KvQmlModel.h>

#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

// 1000 frames at zoom 4 on a 400 pixel wide display: frame = x / 4 while the
// play position stands at frame 49 (offset 49 of 100 visible columns).
class FrameWidgetTest : public ::testing::Test {
protected:
    static constexpr qint64 Frames = 1000;
    static constexpr int Zoom = 4;
    static constexpr int StartScroll = 49;

    FrameWidgetTest()
    {
        controller.setModel(&model);
        model.setFragmentList(kvSilentDocument(Frames));
        controller.refreshDocumentState();
        controller.setHZoom(Zoom);
        controller.setScrollFrame(StartScroll);
        widget.setModel(&model);
        widget.setController(&controller);
        widget.resize(400, 120);
    }

    QPoint at(int frame) const { return QPoint(frame * Zoom + 1, 60); }
    void press(const QPoint &p, Qt::KeyboardModifiers mods = Qt::NoModifier, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(&widget, b, mods, p);
    }
    void move(const QPoint &p, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        // QTest::mouseMove carries no buttons on offscreen widgets; send the event itself.
        QMouseEvent e(QEvent::MouseMove, p, Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&widget, &e);
    }
    void release(const QPoint &p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(&widget, b, Qt::NoModifier, p); }
    void tick() { QMetaObject::invokeMethod(&widget, "scrollUpdate"); }

    qint64 selStart() const { return qint64(controller.selectionStart()); }
    qint64 selEnd() const { return qint64(controller.selectionEnd()); }
    qint64 scroll() const { return qint64(controller.scrollFrame()); }
    QUndoStack *stack() { return model.undoStack(); }

    KvQmlModel model;
    KvQmlController controller;
    KvFrameWidget widget;
};

TEST_F(FrameWidgetTest, DragPushesOneMouseSelectionEndingAtTheReleasePoint)
{
    const int before = stack()->count();
    press(at(20));
    move(at(30));
    move(at(40));
    // Released further on without a move there first: the record must hold
    // the selection as it ends, not as the last move left it.
    release(at(50));
    EXPECT_EQ(selStart(), 20);
    EXPECT_EQ(selEnd(), 50);
    ASSERT_EQ(stack()->count(), before + 1);
    EXPECT_EQ(stack()->text(stack()->count() - 1), "Mouse selection");
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragNone);

    stack()->undo();
    EXPECT_EQ(selStart(), -1);
    EXPECT_EQ(selEnd(), -1);
    stack()->redo();
    EXPECT_EQ(selStart(), 20);
    EXPECT_EQ(selEnd(), 50);
}

TEST_F(FrameWidgetTest, PressesByPlaceAndModifier)
{
    struct Case {
        const char *what;
        qint64 start, end;          // the selection before the gesture (-1: none)
        QPoint press;
        Qt::KeyboardModifiers mods;
        QPoint release;
        qint64 wantStart, wantEnd;
        int wantEntries;            // "Mouse selection" entries pushed
    };
    const Case cases[] = {
        {"plain press starts anew", 100, 150, at(20), Qt::NoModifier, at(30), 20, 30, 1},
        {"a sweep keeps the farthest frame", -1, -1, at(30), Qt::NoModifier, at(10), 10, 30, 1},
        {"start edge within 4 px", 40, 60, QPoint(40 * Zoom + 4, 60), Qt::NoModifier, at(30), 30, 60, 1},
        {"end edge within 4 px", 40, 60, QPoint(60 * Zoom - 4, 60), Qt::NoModifier, at(80), 40, 80, 1},
        {"5 px from the edge starts anew", 40, 60, QPoint(40 * Zoom + 5, 60), Qt::NoModifier, at(45), 41, 45, 1},
        {"start edge dragged past the end", 40, 60, at(40), Qt::NoModifier, at(70), 70, 70, 1},
        {"Ctrl widens", 40, 60, at(80), Qt::ControlModifier, at(80), 40, 80, 1},
        {"Ctrl without a selection starts one", -1, -1, at(15), Qt::ControlModifier, at(25), 15, 25, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        controller.setSelectionStart(double(c.start));
        controller.setSelectionEnd(double(c.end));
        const int before = stack()->count();
        press(c.press, c.mods);
        move(c.release);
        release(c.release);
        EXPECT_EQ(selStart(), c.wantStart);
        EXPECT_EQ(selEnd(), c.wantEnd);
        EXPECT_EQ(stack()->count() - before, c.wantEntries);
        if (stack()->count() > before) {
            EXPECT_EQ(stack()->text(stack()->count() - 1), "Mouse selection");
        }
    }
}

TEST_F(FrameWidgetTest, RightButtonNeitherSelectsNorRecords)
{
    controller.setSelectionStart(40);
    controller.setSelectionEnd(60);
    const int before = stack()->count();
    press(at(20), Qt::NoModifier, Qt::RightButton);
    move(at(30), Qt::RightButton);
    release(at(30), Qt::RightButton);
    EXPECT_EQ(selStart(), 40);
    EXPECT_EQ(selEnd(), 60);
    EXPECT_EQ(stack()->count(), before);
    EXPECT_EQ(controller.mouseDragSelecting(), KvDragNone);
}

TEST_F(FrameWidgetTest, PressPastTheDocumentEndStartsNoSelection)
{
    // Near the end, with the display gap, the columns right of frame 1000 are empty.
    controller.setScrollFrame(990);
    controller.setSelectionStart(40);
    controller.setSelectionEnd(60);
    press(QPoint(390, 60));
    EXPECT_EQ(selStart(), -1);
    EXPECT_EQ(selEnd(), -1);
    release(QPoint(390, 60));
    EXPECT_EQ(selStart(), -1);
    EXPECT_EQ(selEnd(), -1);
}

TEST_F(FrameWidgetTest, AutoScrollIsFiveFramesATickOfAHundredMilliseconds)
{
    QTimer &timer = widget.autoScrollTimer();
    EXPECT_EQ(timer.interval(), 100);
    EXPECT_FALSE(timer.isActive());

    press(at(50));
    move(at(60));
    EXPECT_FALSE(timer.isActive());
    move(QPoint(widget.width() + 10, 60));
    ASSERT_TRUE(timer.isActive());
    timer.stop();  // the test is the clock: each tick is one elapsed interval
    for (int i = 1; i <= 4; ++i) {
        tick();
        EXPECT_EQ(scroll(), StartScroll + 5 * i);
    }

    // Back inside the display: no more scrolling.
    move(at(60));
    EXPECT_FALSE(timer.isActive());

    // Past the left side it scrolls back, down to frame 0 and no further.
    move(QPoint(-10, 60));
    ASSERT_TRUE(timer.isActive());
    timer.stop();
    for (int i = 1; i <= 20; ++i)
        tick();
    EXPECT_EQ(scroll(), 0);

    release(QPoint(-10, 60));
    EXPECT_FALSE(timer.isActive());
    const qint64 rest = scroll();
    tick();  // a stray tick after the release does nothing
    EXPECT_EQ(scroll(), rest);
}

TEST_F(FrameWidgetTest, AutoScrollStopsAtTheDocumentEnd)
{
    controller.setScrollFrame(Frames - 12);
    press(at(50));
    move(QPoint(widget.width() + 1, 60));
    ASSERT_TRUE(widget.autoScrollTimer().isActive());
    widget.autoScrollTimer().stop();
    tick();
    EXPECT_EQ(scroll(), Frames - 7);
    tick();
    EXPECT_EQ(scroll(), Frames - 2);
    tick();
    EXPECT_EQ(scroll(), Frames);
    tick();
    EXPECT_EQ(scroll(), Frames);
    release(QPoint(widget.width() + 1, 60));
}

TEST_F(FrameWidgetTest, AutoScrollDraggedSelectionFollowsTheScroll)
{
    press(at(50));
    const QPoint outside(widget.width() + 10, 60);
    move(outside);
    widget.autoScrollTimer().stop();
    const qint64 endBefore = selEnd();
    tick();
    tick();
    // The pointer rests past the right side: the end follows the last column.
    EXPECT_EQ(selEnd(), endBefore + 10);
    release(outside);
    EXPECT_EQ(selStart(), 50);
    ASSERT_GE(stack()->count(), 1);
    EXPECT_EQ(stack()->text(stack()->count() - 1), "Mouse selection");
}

} // namespace
