#pragma once

#include "settings/settings.h"

#include <QString>

#include <optional>
#include <utility>

namespace plumtide
{

// The range and step of a pair of up-down arrows.
struct TUpDownRange {
    int min = 0;
    int max = 100;
    int increment = 1;
};
// The ranges are the settings table's; the steps are the window's own.
constexpr TUpDownRange RangeOf(const TSetting& setting, int increment)
{
    return { setting.min, setting.max, increment };
}
inline constexpr TUpDownRange kPercentageRange = RangeOf(Setting("Percentage"), 1);
inline constexpr TUpDownRange kFileSizeRange = RangeOf(Setting("delFileSize"), 128);
inline constexpr TUpDownRange kSettleRange = RangeOf(Setting("WatchSettle"), 1);

int ClampToRange(const TUpDownRange& range, int value);
// The position after `steps` presses (negative: the decreasing arrow); it stops at the ends.
int StepUpDown(const TUpDownRange& range, int position, int steps);
// The position the number in an attached field stands for, kept inside the range; a text
// that is no number leaves `position` as it was.
int PositionFromText(const TUpDownRange& range, const QString& text, int position);

// The percentage label: "37 %".
QString PercentageText(int percentage);

// The two doubles boxes exclude each other. A click leaves the clicked box as the user set
// it and clears the other one.
enum class TDoublesBox { Move, Remove };
struct TDoublesBoxes {
    bool move = false;
    bool remove = false;
    friend bool operator==(const TDoublesBoxes&, const TDoublesBoxes&) = default;
};
TDoublesBoxes ClickDoublesBox(TDoublesBox clicked, bool clickedNowChecked);

// Which controls of the settings window take input: the doubles folder only while doubles
// are moved; the interval, the source watch and the settle seconds only while automatic
// sorting is on, since only automatic runs watch the source and wait for files to settle;
// the small-file size only while small files are deleted.
struct TOptionsEnabling {
    bool doublesFolder = false;
    bool autoTime = false;
    bool watch = false;
    bool smallFileSize = false;
    friend bool operator==(const TOptionsEnabling&, const TOptionsEnabling&) = default;
};
TOptionsEnabling OptionsEnabling(const TOptionsValues& values);

// Whether the settings window warns that the doubles folder typed does not exist: its
// doubles would stay where they are. The default folder is made when first needed.
bool WarnOfDoublesFolder(const TOptionsValues& values);

// What Esc closes in the settings window: the folder panel while it is open (as its own
// close mark does), otherwise the window itself, saving as its close mark does.
enum class TEscapeCloses { FolderPanel, Window };
TEscapeCloses EscapeCloses(bool folderPanelOpen);

// The folder panel belongs to the first page: it shows only there, and comes back when the
// user returns to that page if it was open when they left.
bool FolderPanelShown(int page, bool folderPanelOpen);

// What one showing of the settings window loads. `values` starts as what the controls
// held, so a value that cannot be read leaves it and everything after it as it was; the
// arrows' positions are kept inside their ranges. Only a complete load names the main
// window's folders and lets the working copy and the automatic sorting follow.
struct TOptionsLoad {
    TOptionsValues values;
    std::optional<std::pair<QString, QString>> folders; // source, destination
    QString error; // why the load stopped early; empty when complete

    bool complete() const { return folders.has_value(); }
};
TOptionsLoad LoadOptions(
    const TSettingsStore& store, const TOptionsValues& current, const QString& programFolder);

} // namespace plumtide
