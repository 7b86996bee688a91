#pragma once

#include <QFont>
#include <QPoint>
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

// Makes `window` one of the program's skinned windows: its name and caption, the program
// icon, font and style sheet, a fixed client size at a fixed place on the screen.
void SkinWindow(QWidget& window, const QString& name, const QString& caption, QSize clientSize,
    QPoint screenPosition);

} // namespace plumtide
