#pragma once

#include "core/rows.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

class QLineEdit;
class QListWidget;

namespace plumtide
{

// "File under…" in the new-artists panel: the user picks the folder an artist without a
// folder of its own belongs in, and the assignment makes every file of that artist go there
// from now on, in either way of matching.

// The folders an artist can be filed under: each listed folder at the artist level (its
// own name no grouping, every folder above it a grouping such as "Rock" or "A-C"), by its
// name below the destination, in the tree's order. Album folders are left out.
QStringList ArtistFolderChoices(const std::vector<TFolderRow>& folders);

// The artist texts to assign so that the files behind the panel's entry `entry` go to the
// chosen folder: the entry itself, and, for files whose artist key names the entry but
// whose artist reads otherwise (a key taken from a file name), their artist.
QStringList ArtistsBehindEntry(const QString& entry, const std::vector<TSourceRow>& files);

// Remembers that files of each of `artists` go to `folder` (below the destination), in the
// assignments file beside the settings. False, and nothing stored, when no artist has a
// letter or digit. Throws IOError when the file cannot be read or written.
bool FileUnder(const QStringList& artists, const QString& folder);

// The list the folder is chosen from: a filter field above the folders (the arrows move
// through the list from there); Enter or a double click takes the selected one, Esc none.
class TFolderChooser : public QDialog
{
    Q_OBJECT
public:
    TFolderChooser(QWidget* parent, const QString& artist, const QStringList& folders);

    // The folder chosen, once accepted.
    QString chosen() const;

    QLineEdit* const filter;
    QListWidget* const list;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const QString& text);
};

} // namespace plumtide
