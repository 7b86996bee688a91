#pragma once

#include <QFont>
#include <QPalette>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace plumtide
{

// The windows' default font: a small sans serif at a fixed pixel size, because every
// control sits at a fixed pixel position on the artwork.
QFont WindowFont();

// Style sheet of the skinned windows: controls in the artwork's palette, readable on it.
QString WindowStyleSheet();

// The colours the desktop's style draws with where the style sheet leaves a control to it
// (check boxes, the time field): the skin's, whatever the desktop's palette is, since those
// controls sit on the skin's artwork. The program's palette, as every window is skinned: a
// window's own palette would not reach through its style sheet.
QPalette WindowPalette();

// Where a window of `size` wanted at `wanted` goes on a screen whose usable part (less its
// panels) is `available`: where it is wanted if it fits there; otherwise moved inside, just
// far enough; along a side longer than `available`, at its left or top edge, so that the
// title strip stays within reach.
QPoint PlaceInside(QSize size, QPoint wanted, const QRect& available);

// Makes `window` one of the program's skinned windows: its name and caption, the program
// icon, font and style sheet, a fixed client size at a fixed place on the screen,
// or as near to it as the screen allows.
void SkinWindow(QWidget& window, const QString& name, const QString& caption, QSize clientSize,
    QPoint screenPosition);

} // namespace plumtide
