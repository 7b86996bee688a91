#pragma once

#include "core/moving/movesettings.h"
#include "core/rows.h"
#include "formats/audioformat.h"
#include "settings/settingsstore.h"
#include "settings/settingstable.h"

#include <QString>
#include <QTime>

namespace plumtide
{

// Typed access to the store. Every value is text: integers in decimal, booleans "1"/"0"
// (read back as an integer that is not zero), times of day as "HH:mm:ss".
QString ReadString(const TSettingsStore& store, const QString& name, const QString& defaultValue);
// A missing value, or one that is not a decimal 32-bit integer, gives the default.
int ReadInteger(const TSettingsStore& store, const QString& name, int defaultValue);
bool ReadBool(const TSettingsStore& store, const QString& name, bool defaultValue);
// A missing value gives the default; a text that is not a time of day raises SettingsError.
QTime ReadTime(const TSettingsStore& store, const QString& name, const QString& defaultText);
void WriteString(TSettingsStore& store, const QString& name, const QString& value);
void WriteInteger(TSettingsStore& store, const QString& name, int value);
void WriteBool(TSettingsStore& store, const QString& name, bool value);
void WriteTime(TSettingsStore& store, const QString& name, const QTime& value);

// The same for a row of the settings table, with its name and default. A folder's default
// is the program folder or DefaultDoublesFolder(), as the row says.
QString SettingName(const TSetting& setting);
bool ReadBool(const TSettingsStore& store, const TSetting& setting);
int ReadInteger(const TSettingsStore& store, const TSetting& setting);
QString ReadString(const TSettingsStore& store, const TSetting& setting);
QTime ReadTime(const TSettingsStore& store, const TSetting& setting);
QString ReadFolder(
    const TSettingsStore& store, const TSetting& setting, const QString& programFolder);
void WriteBool(TSettingsStore& store, const TSetting& setting, bool value);
void WriteInteger(TSettingsStore& store, const TSetting& setting, int value);
void WriteString(TSettingsStore& store, const TSetting& setting, const QString& value);
void WriteTime(TSettingsStore& store, const TSetting& setting, const QTime& value);

// Time-of-day text: written as "HH:mm:ss"; read in that form (hours with or without a
// leading zero) or in the user's locale's long time format.
QString FormatTimeText(const QTime& time);
std::optional<QTime> ParseTimeText(const QString& text);

// The seconds a file must stay unchanged and unused before an automatic run takes it, and
// the most that is stored (a day).
inline constexpr int kDefaultWatchSettle = DefaultInteger("WatchSettle");
inline constexpr int kMaxWatchSettle = Setting("WatchSettle").max;

// The default auto-sort interval, as the table stores it.
QTime DefaultAutoTime();

// The main window's in-memory settings, with the widths the sorting relies on. Everything
// is zero, false or empty until loaded.
struct TWorkingCopy {
    bool startHidden = false;
    quint8 comparePercentage = 0; // the stored integer cut to its low 8 bits
    bool moveDoubles = false;
    bool deleteDoubles = false;
    QTime autoSortInterval = QTime(0, 0); // only the time of day counts
    bool autoSortOn = false;
    QString doublesFolder;
    QString sourceFolder;
    QString destinationFolder;
    bool deleteSmallFiles = false;
    qint32 smallFileLimit = 0; // kilobytes of 1024 bytes
    // Deleted small files and doubles go to the desktop's Trash (set in the file only).
    bool useTrash = false;
    // Automatic sorting also runs as soon as a file settles in the source folder: once it
    // has been unchanged and unused for watchSettle seconds.
    bool watchSource = false;
    int watchSettle = 0;
    // How artists are matched with folders: `Matching` is "similar" or "careful".
    TMatching matching = TMatching::Similar;
    // The extensions of the files sorted: `Formats` as TFileFormats::FromText reads it.
    TFileFormats formats;
    // Lyrics, cue sheets and notes named as a song travel with it (`MoveCompanions`).
    bool moveCompanions = false;
    // A run is recorded in the history (`KeepHistory`, set in the file only).
    bool keepHistory = false;
    // The same song under another name in its folder is a double too (`DoublesByAudio`).
    bool doublesByAudio = false;
    // Sub-folders of the source a run emptied are removed (`RemoveEmptiedFolders`).
    bool removeEmptiedFolders = false;
    // A command run after unattended runs that have something to tell (`OnRun`, empty: none),
    // ended after `OnRunTimeout` seconds.
    QString onRun;
    int onRunTimeout = 0;
};

// Loads the working copy as the main window does when it is created, in this order:
// autoStart, percentage, MoveFile, RemoveFile, AutoTime, chkAutoTime, DoubleDir, Source,
// Destination, DoDelFile, delFileSize, UseTrash, WatchSource, WatchSettle, Matching, Formats,
// MoveCompanions, KeepHistory, DoublesByAudio, RemoveEmptiedFolders, OnRun, OnRunTimeout. An
// unreadable value raises SettingsError there; the fields after it keep what they held. A Matching
// or Formats value that names nothing known gives the default, as a missing one.
void LoadWorkingCopy(const TSettingsStore& store, TWorkingCopy& copy, const QString& programFolder);

// The word a `Matching` value is stored as, and the way of matching a stored word names
// (nothing for a word that names none).
QString MatchingText(TMatching matching);
std::optional<TMatching> MatchingOf(const QString& text);

// The settings window's check box "Also file FLAC, Ogg Vorbis, Opus and M4A files": ticked
// while the formats go beyond mp3. Ticking it files every format (a list the user wrote into
// the file that already goes beyond mp3 is kept); clearing it files mp3 alone.
bool OtherFormatsTicked(const TFileFormats& formats);
TFileFormats FormatsOfCheckBox(bool ticked, const TFileFormats& current);

// The caption of the settings window's small-file check box: small-file deletion covers
// every format filed, and the caption says so once that is more than mp3.
QString SmallFilesCaption(const TFileFormats& formats);

// Where the artists the user assigned to folders are kept: assignments.tsv beside the
// settings file.
QString AssignmentsFile();

// What a settings file the window creates starts with (see
// TFileSettingsStore::setNewFileValues): deleted files go to the Trash, so that a deletion
// can be taken back. A file without the value, and plumtide-cli without a file, keep the
// table's default.
QList<std::pair<QString, QString>> WindowNewFileValues();

// The working copy as a first start loads it, with no value stored: the table's defaults.
TWorkingCopy DefaultWorkingCopy(const QString& programFolder);

// What a move takes from the working copy: small files, doubles and the doubles folder
// (made when first needed only when it is the default one).
TMoveSettings MoveSettingsOf(const TWorkingCopy& copy);

// What the settings window's controls hold.
// Each starts as the table's default, but the doubles folder, which is empty.
struct TOptionsValues {
    int percentage = DefaultInteger("Percentage");
    bool moveDoubles = DefaultBool("MoveFile");
    bool removeDoubles = DefaultBool("RemoveFile");
    QString doublesFolder;
    QTime autoTime = DefaultAutoTime();
    bool autoTimeOn = DefaultBool("chkAutoTime");
    bool autoStart = DefaultBool("autoStart");
    bool deleteSmallFiles = DefaultBool("doDelFile");
    int smallFileLimit = DefaultInteger("delFileSize");
    // The second page: options beyond the first page's, each stored under its own name.
    bool useTrash = DefaultBool("UseTrash");
    bool watchSource = DefaultBool("WatchSource");
    int watchSettle = DefaultInteger("WatchSettle");
    TMatching matching = TMatching::Similar;
    TFileFormats formats = TFileFormats();
};

// Loads the settings window's controls in its order (percentage, MoveFile, RemoveFile,
// DoubleDir, AutoTime, chkAutoTime, AutoStart, DoDelFile, delFileSize, then the second
// page's UseTrash, WatchSource, WatchSettle, Matching, Formats), then the two
// folder fields of the main window (Source, Destination). The two folders default to the
// program folder, never to the root, whose refresh would walk the whole machine, and the
// doubles folder to DefaultDoublesFolder(). An
// unreadable value raises SettingsError there; what comes after keeps its previous state.
void ReadOptions(const TSettingsStore& store, TOptionsValues& values, QString& sourceFolder,
    QString& destinationFolder, const QString& programFolder);

// Saves the settings window's controls in its order (Percentage, DoubleDir, MoveFile,
// RemoveFile, AutoTime, chkAutoTime, autoStart, doDelFile, delFileSize, UseTrash,
// WatchSource, WatchSettle, Matching, Formats), each only when it differs from what the store
// gives now (its stored text, or the default when there is none), then writes or removes the
// log-on entry. A failed write raises SettingsError and stops the save there.
void WriteOptions(
    TSettingsStore& store, const TOptionsValues& values, const QString& executablePath);

// What the main window's working copy takes from the settings window, at each load and
// after each successful save: every option it shows, so that the next run uses what the
// user sees there. Start hidden matters at the next start only.
void ApplyOptions(const TOptionsValues& values, TWorkingCopy& copy);

// The folder fields store their text on every change. `Soon` writes are seen by every
// reader at once but made durable by the store's next write or flush (see
// TSettingsStore::WriteValueSoon), so typing never waits for the disk.
enum class TDurable { Now, Soon };
void WriteSourceFolder(TSettingsStore& store, const QString& folder, TDurable when = TDurable::Now);
void WriteDestinationFolder(
    TSettingsStore& store, const QString& folder, TDurable when = TDurable::Now);

} // namespace plumtide
