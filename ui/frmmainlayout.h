#pragma once

#include <QRect>
#include <QSize>
#include <QString>

namespace plumtide
{

// The main window's client area: every control sits at a fixed place on its artwork.
inline const QSize kMainClientSize(729, 471);

// Where the two panels open: side by side over the lists, below the command buttons and
// above Details, so that neither covers the folder fields, the browse glyphs, the plan's
// first columns or the memo, nor the other panel.
inline const QRect kBrowsePanelPlace(174, 118, 266, 280);
inline const QRect kNewArtistsPanelPlace(453, 118, 268, 280);

// What the memo under the lists says of the view shown.
inline const QString kSourceViewText
    = QStringLiteral("In the view above you can see the source mp3 files");
inline const QString kDestinationViewText
    = QStringLiteral("In the view above you can see the destination folders named after a artist");

} // namespace plumtide
