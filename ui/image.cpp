#include "ui/image.h"

#include <QMouseEvent>

namespace plumtide
{

TImage::TImage(QWidget* parent)
    : QLabel(parent)
{
}

void TImage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_leftDown = true;
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TImage::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    emit mouseUp(event->button(), event->modifiers(), position);
    if (event->button() == Qt::LeftButton && m_leftDown) {
        m_leftDown = false;
        if (rect().contains(position))
            emit clicked();
    }
}

} // namespace plumtide
