#pragma once

#include <QSize>
#include <QString>

namespace plumtide
{

// The main window's client area: every control sits at a fixed place on its artwork.
inline const QSize kMainClientSize(729, 471);

// What the memo under the lists says of the view shown.
inline const QString kSourceViewText
    = QStringLiteral("In the view above you can see the source mp3 files");
inline const QString kDestinationViewText
    = QStringLiteral("In the view above you can see the destination folders named after a artist");

} // namespace plumtide
