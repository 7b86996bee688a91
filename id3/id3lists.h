#pragma once

#include <QString>
#include <QStringList>

namespace plumtide
{

// The 80 ID3v1 genres, entry n reading "(n) " and the name, e.g. "(17) Rock".
const QStringList& GenreList();

// 75 entries "ID=description" ("TPE1=Lead performer(s)/Soloist(s)").
const QStringList& FrameNames();

// The description FrameNames holds for a frame ID, compared without regard to case; empty
// when it holds none.
QString FrameDescription(const QString& id);

} // namespace plumtide
