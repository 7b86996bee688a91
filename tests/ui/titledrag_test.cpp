#include "ui/titledrag.h"

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

using namespace plumtide;

TEST(TitleDrag, GrabbedSpotStaysUnderThePointer)
{
    // Pressed at (100, 10) inside the window, the pointer moved to (500, 300) on screen.
    EXPECT_EQ(DraggedWindowPosition({ true, 100, 10 }, QPoint(500, 300)), QPoint(400, 290));
    EXPECT_EQ(DraggedWindowPosition({ true, 0, 0 }, QPoint(7, 9)), QPoint(7, 9));
}

TEST(TitleDrag, TimerRunsOnlyWhileDragging)
{
    // Offscreen there is no window system to hand the move to: the polling drag runs.
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.show();
    QTimer timer;
    TTitleDragger dragger(window, timer);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timer.interval(), 1);

    dragger.mouseDown(QPoint(12, 5));
    EXPECT_TRUE(dragger.state().Dragging);
    EXPECT_EQ(dragger.state().GrabX, 12);
    EXPECT_EQ(dragger.state().GrabY, 5);
    EXPECT_TRUE(timer.isActive());

    dragger.mouseUp();
    EXPECT_FALSE(dragger.state().Dragging);
    EXPECT_FALSE(timer.isActive());

    // A release lost to another window ends the drag at the next tick.
    dragger.mouseDown(QPoint(1, 1));
    const QPoint before = window.pos();
    dragger.tick();
    EXPECT_FALSE(dragger.state().Dragging);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(window.pos(), before);
}
