#pragma once

// The one palette of Plumtide's look, shared by the program that draws the artwork and by
// the style sheet of the windows, so that painted pictures and live controls match.

#include <QRgb>

namespace plumtide::palette
{

// Main window: a dark green circuit board.
inline constexpr QRgb kBoardDeep = 0x06170f;
inline constexpr QRgb kBoard = 0x0e3123;
inline constexpr QRgb kTrace = 0x1d5a40;
inline constexpr QRgb kTraceLit = 0x3a8a64;
inline constexpr QRgb kStripTop = 0x0b271b;
inline constexpr QRgb kStripBottom = 0x04130c;

// Settings window and panels: a dark blue board of the same make.
inline constexpr QRgb kNavyDeep = 0x060d22;
inline constexpr QRgb kNavy = 0x10224a;
inline constexpr QRgb kNavyTrace = 0x21407e;
inline constexpr QRgb kNavyTraceLit = 0x4069b4;
inline constexpr QRgb kNavyStripTop = 0x0c1b3d;
inline constexpr QRgb kNavyStripBottom = 0x040a1c;

// Shared accents.
inline constexpr QRgb kGold = 0xe3b54f;
inline constexpr QRgb kGoldDeep = 0x9c7424;
inline constexpr QRgb kText = 0xffffff;
inline constexpr QRgb kTextMuted = 0xa9c7b8;
inline constexpr QRgb kRed = 0xe0433b;
inline constexpr QRgb kRedDeep = 0x8f1c17;
inline constexpr QRgb kFolder = 0xf6c950;
inline constexpr QRgb kFolderDeep = 0xd0921f;
inline constexpr QRgb kFolderLine = 0x8a5a0c;
inline constexpr QRgb kNote = 0x17563c;
inline constexpr QRgb kSilver = 0xf1f5f3;
inline constexpr QRgb kSilverDeep = 0xa9bcb2;
inline constexpr QRgb kInk = 0x14261e;

// Controls on the boards.
inline constexpr QRgb kButtonTop = 0x2f7656;
inline constexpr QRgb kButtonBottom = 0x1a4c37;
inline constexpr QRgb kButtonBorder = 0x6cb08c;
inline constexpr QRgb kField = 0xffffff;
inline constexpr QRgb kFieldDisabled = 0xdbe5df;
inline constexpr QRgb kFieldBorder = 0x5d9c7b;
inline constexpr QRgb kListAlternate = 0xeff6f2;
inline constexpr QRgb kSelection = 0x2a6e51;
inline constexpr QRgb kDisabledText = 0x5f6f67;

} // namespace plumtide::palette
