#pragma once

#include <QPoint>
#include <QtGlobal>

class QTimer;
class QWidget;

namespace plumtide
{

// The drag state of a painted title strip: dragging between a press on the strip and the
// release, and where inside the window the strip was grabbed.
struct TTitleDrag {
    bool Dragging = false;
    qint32 GrabX = 0;
    qint32 GrabY = 0;
};

// Where a dragged window goes for the pointer at `cursor` (screen coordinates): the spot
// that was grabbed stays under the pointer.
QPoint DraggedWindowPosition(const TTitleDrag& drag, QPoint cursor);

// Moves a frameless window by its painted title strip, which lies at the window's top-left
// corner (so a position inside the strip is also one inside the window).
//
// Where the window system moves windows itself (every Wayland compositor, X11 window
// managers), a press hands the move to it: a Wayland program may not place its own
// windows, and the window manager's move also snaps and respects screen edges. Where that
// is refused (X11 without a window manager), the window follows the pointer, polled by
// `timer`, which runs only while dragging so that an idle program never wakes up for it.
class TTitleDragger
{
public:
    // `timer` ticks call tick(); the dragger sets its interval and starts and stops it.
    TTitleDragger(QWidget& window, QTimer& timer);

    const TTitleDrag& state() const { return m_drag; }

    // A press of any mouse button on the strip, at `position` inside it.
    void mouseDown(QPoint position);
    // The release of the button that was pressed on the strip.
    void mouseUp();
    // One tick of the timer: follows the pointer while dragging.
    void tick();

private:
    void stop();

    QWidget& m_window;
    QTimer& m_timer;
    TTitleDrag m_drag;
};

} // namespace plumtide
