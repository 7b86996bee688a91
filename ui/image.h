#pragma once

#include <QLabel>

namespace plumtide
{

// A picture, or an invisible zone without one, that reacts to the mouse: the images of the
// skinned windows (Abort, Settings, browse glyphs) and the click zones over the painted
// title strips.
class TImage : public QLabel
{
    Q_OBJECT
public:
    explicit TImage(QWidget* parent);

signals:
    // A left-button press and release inside the image.
    void clicked();
    // Any button; the position is inside the image.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool m_leftDown = false;
};

} // namespace plumtide
