#include "ui/optionsrules.h"

#include "core/moving/fileutils.h"
#include "platform/paths.h"

#include <algorithm>
#include <exception>

namespace plumtide
{

int ClampToRange(const TUpDownRange& range, int value)
{
    return std::clamp(value, range.min, range.max);
}

int StepUpDown(const TUpDownRange& range, int position, int steps)
{
    const qint64 next = qint64(position) + qint64(steps) * range.increment;
    return static_cast<int>(std::clamp<qint64>(next, range.min, range.max));
}

int PositionFromText(const TUpDownRange& range, const QString& text, int position)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok ? ClampToRange(range, number) : position;
}

QString PercentageText(int percentage)
{
    return QString::number(percentage) + QStringLiteral(" %");
}

TDoublesBoxes ClickDoublesBox(TDoublesBox clicked, bool clickedNowChecked)
{
    if (clicked == TDoublesBox::Move)
        return { clickedNowChecked, false };
    return { false, clickedNowChecked };
}

TOptionsEnabling OptionsEnabling(const TOptionsValues& values)
{
    return { values.moveDoubles, values.autoTimeOn, values.autoTimeOn, values.deleteSmallFiles };
}

TEscapeCloses EscapeCloses(bool folderPanelOpen)
{
    return folderPanelOpen ? TEscapeCloses::FolderPanel : TEscapeCloses::Window;
}

bool FolderPanelShown(int page, bool folderPanelOpen)
{
    return page == 0 && folderPanelOpen;
}

bool WarnOfDoublesFolder(const TOptionsValues& values)
{
    return values.moveDoubles && !FolderExists(values.doublesFolder)
        && !IsDefaultDoublesFolder(values.doublesFolder);
}

TOptionsLoad LoadOptions(
    const TSettingsStore& store, const TOptionsValues& current, const QString& programFolder)
{
    TOptionsLoad load { current, std::nullopt, QString() };
    QString source, destination;
    try {
        ReadOptions(store, load.values, source, destination, programFolder);
        load.folders.emplace(source, destination);
    } catch (const std::exception& error) {
        load.error = QString::fromUtf8(error.what());
    }
    load.values.percentage = ClampToRange(kPercentageRange, load.values.percentage);
    load.values.smallFileLimit = ClampToRange(kFileSizeRange, load.values.smallFileLimit);
    load.values.watchSettle = ClampToRange(kSettleRange, load.values.watchSettle);
    return load;
}

} // namespace plumtide
