#pragma once

#include "core/pipeline.h"
#include "ui/listmodel.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace plumtide
{

// The new-artists panel's decisions, and the files of artists that are not new although the
// similar rule found no folder near enough.

// The folders "Create" makes: the entries selected, or every entry when none is selected.
QStringList NewArtistsToCreate(const QStringList& entries, const QStringList& selected);

// The caption of "Create" for a selection of `selected` entries.
QString CreateCaption(qsizetype selected);

// A file whose artist has a folder of the same key (see TUnfiledReason::SameArtist): the plan
// shows it beside that folder, and "File under" files the artist there from then on.
struct TSameArtistFile {
    QString file;
    QString artist; // the text assigned by "File under"
    QString folder; // the folder's path
    QString folderName; // its name below the destination, as assignments keep it
};

// The plan's files of that kind, in list order.
std::vector<TSameArtistFile> SameArtistFiles(const TPlannedSort& plan);

// How the plan view shows one: never a row that "Move files" carries out.
TListRow SameArtistRow(const TSameArtistFile& file, int imageIndex);

} // namespace plumtide
