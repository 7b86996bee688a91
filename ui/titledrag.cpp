#include "ui/titledrag.h"

#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace plumtide
{

QPoint DraggedWindowPosition(const TTitleDrag& drag, QPoint cursor)
{
    return cursor - QPoint(drag.GrabX, drag.GrabY);
}

TTitleDragger::TTitleDragger(QWidget& window, QTimer& timer)
    : m_window(window)
    , m_timer(timer)
{
    // Follows the pointer as closely as the screen can show it.
    m_timer.setInterval(1);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.stop();
}

void TTitleDragger::mouseDown(QPoint position)
{
    m_drag.GrabX = position.x();
    m_drag.GrabY = position.y();
    QWindow* handle = m_window.windowHandle();
    if (handle && handle->startSystemMove()) {
        // The window system owns the pointer until the button is released; the release
        // goes to it, not to the strip.
        m_drag.Dragging = false;
        return;
    }
    m_drag.Dragging = true;
    m_timer.start();
}

void TTitleDragger::mouseUp()
{
    stop();
}

void TTitleDragger::tick()
{
    if (!m_drag.Dragging) {
        m_timer.stop();
        return;
    }
    // A release that never reached the strip (another window took the pointer) must not
    // leave the window glued to the pointer.
    if (QGuiApplication::mouseButtons() == Qt::NoButton) {
        stop();
        return;
    }
    m_window.move(DraggedWindowPosition(m_drag, QCursor::pos()));
}

void TTitleDragger::stop()
{
    m_drag.Dragging = false;
    m_timer.stop();
}

} // namespace plumtide
