#pragma once

#include <QFont>
#include <QString>

namespace plumtide
{

// The windows' default font: a small sans serif at a fixed pixel size, because every
// control sits at a fixed pixel position on the artwork.
QFont WindowFont();

// Style sheet of the skinned windows: controls in the artwork's palette, readable on it.
QString WindowStyleSheet();

} // namespace plumtide
