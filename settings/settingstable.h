#pragma once

#include <array>
#include <string_view>

namespace plumtide
{

// How a value is stored (every value is text; see settings.h).
enum class TSettingType { Bool, Integer, Text, Time, Folder };

// What a missing folder value stands for.
enum class TDefaultFolder { None, Program, Doubles };

// One stored setting. Its name is written as the settings window has always written it, and
// read in any case.
struct TSetting {
    const char* name;
    TSettingType type;
    // The stored text a missing value reads as; a folder's default comes from defaultFolder.
    const char* defaultText;
    TDefaultFolder defaultFolder;
    // The range the window's controls and the command line keep an integer in (both 0: none).
    int min;
    int max;
    // Set by editing the file alone: no control of the settings window shows it.
    bool fileOnly;
    // The plumtide-cli option that overrides it for one run, where there is one.
    const char* option;
};

namespace detail
{
consteval auto settingsTable()
{
    using enum TSettingType;
    using enum TDefaultFolder;
    // clang-format off
    return std::to_array<TSetting>({
    //    name              type     default      folder   min  max    fileOnly option
        { "Percentage",     Integer, "37",        None,    0,   100,   false,   "--percentage" },
        { "DoubleDir",      Folder,  "",          Doubles, 0,   0,     false,   "--doubles" },
        { "MoveFile",       Bool,    "1",         None,    0,   0,     false,   "--doubles" },
        { "RemoveFile",     Bool,    "0",         None,    0,   0,     false,   "--doubles" },
        { "AutoTime",       Time,    "00:10:00",  None,    0,   0,     false,   nullptr },
        { "chkAutoTime",    Bool,    "0",         None,    0,   0,     false,   nullptr },
        { "autoStart",      Bool,    "0",         None,    0,   0,     false,   nullptr },
        { "doDelFile",      Bool,    "0",         None,    0,   0,     false,   "--delete-small" },
        { "delFileSize",    Integer, "512",       None,    0,   32000, false,   "--delete-small" },
        { "UseTrash",       Bool,    "0",         None,    0,   0,     false,   "--trash" },
        { "WatchSource",    Bool,    "0",         None,    0,   0,     false,   nullptr },
        { "WatchSettle",    Integer, "10",        None,    0,   86400, false,   nullptr },
        { "Matching",       Text,    "similar",   None,    0,   0,     false,   "--match" },
        { "Formats",        Text,    "mp3",       None,    0,   0,     false,   "--formats" },
        { "Source",         Folder,  "",          Program, 0,   0,     false,   nullptr },
        { "Destination",    Folder,  "",          Program, 0,   0,     false,   nullptr },
        { "MoveCompanions", Bool,    "1",         None,    0,   0,     true,    "--no-companions" },
        { "KeepHistory",    Bool,    "1",         None,    0,   0,     true,    "--no-history" },
        { "DoublesByAudio", Bool,    "0",         None,    0,   0,     true,    "--doubles-by-audio" },
        { "RemoveEmptiedFolders", Bool, "0",      None,    0,   0,     true,    "--remove-emptied-folders" },
        { "OnRun",          Text,    "",          None,    0,   0,     true,    "--on-run" },
        { "OnRunTimeout",   Integer, "10",        None,    1,   3600,  true,    "--on-run-timeout" },
        { "FirstStart",     Text,    "",          None,    0,   0,     true,    nullptr },
    });
    // clang-format on
}
} // namespace detail

// Every setting: those of the settings window in the order it writes them, then the main
// window's folders and the ones set in the file alone. A new setting is one row above plus
// the field, control or option that carries it.
inline constexpr auto kSettings = detail::settingsTable();

// The row of a name, spelt as in the table; a name that is not there does not compile.
consteval const TSetting& Setting(std::string_view name)
{
    for (const TSetting& setting : kSettings) {
        if (name == setting.name)
            return setting;
    }
    throw "no setting of that name";
}

// A whole number's default, for the initial values of the structures that hold settings.
consteval int DefaultInteger(std::string_view name)
{
    const TSetting& setting = Setting(name);
    if (setting.type != TSettingType::Integer && setting.type != TSettingType::Bool)
        throw "not a number";
    int value = 0;
    for (const char c : std::string_view(setting.defaultText))
        value = value * 10 + (c - '0');
    return value;
}

consteval bool DefaultBool(std::string_view name)
{
    if (Setting(name).type != TSettingType::Bool)
        throw "not a yes or no";
    return DefaultInteger(name) != 0;
}

} // namespace plumtide
