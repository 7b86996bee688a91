#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <vector>

namespace plumtide
{

// Resource paths of the pictures (see resources/). Each has a "@2x" twin drawn at double
// density, except the program icons of 48 pixels and more.
namespace artwork
{
inline constexpr const char* kMainBackground = ":/images/main.jpg";
inline constexpr const char* kSettingsBackground = ":/images/settings.jpg";
inline constexpr const char* kNewArtistsBackdrop = ":/images/newartists.jpg";
inline constexpr const char* kBrowseFromBackdrop = ":/images/browsefrom.jpg";
inline constexpr const char* kBrowseToBackdrop = ":/images/browseto.jpg";
inline constexpr const char* kDoublesFolderBackdrop = ":/images/doublesfolder.jpg";
inline constexpr const char* kGear = ":/images/gear.png";
inline constexpr const char* kAbort = ":/images/abort.png";
inline constexpr const char* kBrowse = ":/images/browse.png";
} // namespace artwork

// Makes the embedded pictures available; safe to call more than once.
void InitArtwork();

// The picture at `path`, taken from its "@2x" twin when the screen is denser than 1x and
// the twin exists, so that it stays sharp there.
QPixmap LoadPicture(const QString& path, qreal devicePixelRatio);

// The folder with a music note, in every size that was drawn.
QIcon ProgramIcon();

// The row pictures of the list views and the menus.
class TImageList
{
public:
    enum Index { Folder = 0, MusicNotes = 1, NothingFound = 2, Cross = 3 };

    TImageList();
    int count() const { return static_cast<int>(m_icons.size()); }
    // An empty icon for an index outside the list, as a list view shows no picture then.
    QIcon icon(int index) const;

private:
    std::vector<QIcon> m_icons;
};

} // namespace plumtide
