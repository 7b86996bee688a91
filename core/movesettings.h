#pragma once

#include <QString>
#include <QtGlobal>

namespace plumtide
{

// What a move does with small files and doubles (from the working copy of the settings),
// and the folders of the run.
struct TMoveSettings {
    bool deleteSmallFiles = false;
    qint32 smallFileLimit = 512; // kilobytes of 1024 bytes
    bool moveDoubles = true; // takes precedence over deleteDoubles
    bool deleteDoubles = false;
    QString doublesFolder;
    // Small files and doubles that are deleted go to the desktop's Trash instead, where
    // their file system has one.
    bool useTrash = false;
    // The folders the plan was made for. When one of them is gone (an unplugged disk), the
    // run stops instead of skipping every file that is left; empty: not checked.
    QString sourceFolder;
    QString destinationFolder;
};

} // namespace plumtide
