#include "platform/errors.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "settings/settingsstore.h"
#include "tests/support/memorysettings.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <tuple>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

const QString kProgramFolder = QStringLiteral("/opt/plumtide");

QString readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class FileStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    TFileSettingsStore store { dir.filePath(QStringLiteral("Plumtide/settings.ini")),
        dir.filePath(QStringLiteral("autostart/Plumtide.desktop")) };
};

} // namespace

TEST(WorkingCopy, FirstRunGivesDefaults)
{
    TMemorySettingsStore store;
    TWorkingCopy copy;
    LoadWorkingCopy(store, copy, kProgramFolder);
    EXPECT_FALSE(copy.startHidden);
    EXPECT_EQ(copy.comparePercentage, 37);
    EXPECT_TRUE(copy.moveDoubles);
    EXPECT_FALSE(copy.deleteDoubles);
    EXPECT_EQ(copy.autoSortInterval, QTime(0, 10, 0));
    EXPECT_FALSE(copy.autoSortOn);
    EXPECT_EQ(copy.doublesFolder, DefaultDoublesFolder());
    EXPECT_EQ(copy.sourceFolder, kProgramFolder);
    EXPECT_EQ(copy.destinationFolder, kProgramFolder);
    EXPECT_FALSE(copy.deleteSmallFiles);
    EXPECT_EQ(copy.smallFileLimit, 512);
}

// Doubles go where a user looks for music, never into the program's folder; only that
// default folder is made by the run that first needs it.
TEST(WorkingCopy, DoublesDefaultToAFolderInTheMusicFolderMadeWhenNeeded)
{
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
    EXPECT_EQ(DefaultDoublesFolder(), home.filePath(QStringLiteral("Plumtide doubles")))
        << "no music folder: the home folder";
    QDir().mkpath(home.filePath(QStringLiteral("Music")));
    const QString inMusic = home.filePath(QStringLiteral("Music/Plumtide doubles"));
    EXPECT_EQ(DefaultDoublesFolder(), inMusic);

    TWorkingCopy copy = DefaultWorkingCopy(kProgramFolder);
    EXPECT_EQ(copy.doublesFolder, inMusic);
    EXPECT_TRUE(MoveSettingsOf(copy).makeDoublesFolder);
    copy.doublesFolder = inMusic + QLatin1Char('/'); // typed by hand, the same folder
    EXPECT_TRUE(MoveSettingsOf(copy).makeDoublesFolder);
    copy.doublesFolder = QStringLiteral("/srv/doubles");
    EXPECT_FALSE(MoveSettingsOf(copy).makeDoublesFolder);
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST(WorkingCopy, ReadsValuesWrittenUnderOtherCapitalisation)
{
    TMemorySettingsStore store;
    TOptionsValues options;
    options.percentage = 55;
    options.autoStart = true;
    options.deleteSmallFiles = true;
    WriteOptions(store, options, QStringLiteral("/opt/plumtide/plumtide"));

    TWorkingCopy copy;
    LoadWorkingCopy(store, copy, kProgramFolder);
    EXPECT_EQ(copy.comparePercentage, 55); // written "Percentage", read "percentage"
    EXPECT_TRUE(copy.startHidden); // written and read "autoStart"
    EXPECT_TRUE(copy.deleteSmallFiles); // written "doDelFile", read "DoDelFile"

    TOptionsValues reread;
    QString source, destination;
    ReadOptions(store, reread, source, destination, kProgramFolder);
    EXPECT_TRUE(reread.autoStart); // read back as "AutoStart"
    EXPECT_EQ(store.values().count(QStringLiteral("Percentage")), 1u);
}

TEST(WorkingCopy, UnparsableNumbersGiveDefaultsAndPercentageKeepsLowByte)
{
    struct Case {
        const char* name;
        const char* text;
        int percentage;
        bool moveDoubles;
        bool deleteDoubles;
    };
    const Case cases[] = {
        { "percentage", "abc", 37, true, false },
        { "percentage", "300", 44, true, false },
        { "percentage", "-1", 255, true, false },
        { "MoveFile", "2", 37, true, false },
        { "MoveFile", "x", 37, true, false },
        { "MoveFile", "0", 37, false, false },
        { "RemoveFile", "x", 37, true, false },
        { "RemoveFile", "7", 37, true, true },
    };
    for (const Case& c : cases) {
        TMemorySettingsStore store;
        store.WriteValue(QString::fromLatin1(c.name), QString::fromLatin1(c.text));
        TWorkingCopy copy;
        LoadWorkingCopy(store, copy, kProgramFolder);
        EXPECT_EQ(copy.comparePercentage, c.percentage) << c.name << "=" << c.text;
        EXPECT_EQ(copy.moveDoubles, c.moveDoubles) << c.name << "=" << c.text;
        EXPECT_EQ(copy.deleteDoubles, c.deleteDoubles) << c.name << "=" << c.text;
    }
}

// Formats: a list of known extensions in any case and order, stored back in one form; any
// value that is not such a list files mp3 alone, as a first run does. The settings window's
// check box and small-file caption follow it.
TEST(WorkingCopy, FormatsAreAListOfKnownExtensionsElseMp3)
{
    const struct {
        const char* stored; // nullptr: no value
        const char* formats;
    } cases[] = {
        { nullptr, "mp3" },
        { "mp3", "mp3" },
        { " FLAC , mp3,flac", "mp3,flac" },
        { "m4a,opus,oga,ogg,flac,mp3", "mp3,flac,ogg,oga,opus,m4a" },
        { "flac", "flac" },
        { "", "mp3" },
        { "mp3,wav", "mp3" },
        { "mp3,", "mp3" },
        { ".flac", "mp3" },
    };
    for (const auto& c : cases) {
        TMemorySettingsStore store;
        if (c.stored)
            store.WriteValue(QStringLiteral("Formats"), QString::fromLatin1(c.stored));
        TWorkingCopy copy = DefaultWorkingCopy(kProgramFolder);
        LoadWorkingCopy(store, copy, kProgramFolder);
        EXPECT_EQ(copy.formats.text(), QString::fromLatin1(c.formats))
            << (c.stored ? c.stored : "(none)");
        const bool beyond = copy.formats.text() != QStringLiteral("mp3");
        EXPECT_EQ(OtherFormatsTicked(copy.formats), beyond);
        EXPECT_EQ(SmallFilesCaption(copy.formats),
            beyond ? QStringLiteral("Delete music files smaller than:")
                   : QStringLiteral("Delete mp3 files smaller than:"));
        // Ticking keeps a list that already goes beyond mp3; clearing files mp3 alone.
        EXPECT_EQ(
            FormatsOfCheckBox(true, copy.formats), beyond ? copy.formats : TFileFormats::All());
        EXPECT_EQ(FormatsOfCheckBox(false, copy.formats), TFileFormats());
    }
    EXPECT_EQ(DefaultWorkingCopy(kProgramFolder).formats, TFileFormats());
}

TEST(WorkingCopy, RejectedAutoTimeStopsTheLoadThere)
{
    TMemorySettingsStore store;
    store.WriteValue(QStringLiteral("AutoTime"), QStringLiteral("ten minutes"));
    store.WriteValue(QStringLiteral("chkAutoTime"), QStringLiteral("1"));
    store.WriteValue(QStringLiteral("Source"), QStringLiteral("/music/in"));
    store.WriteValue(QStringLiteral("MoveFile"), QStringLiteral("0"));
    TWorkingCopy copy;
    EXPECT_THROW(LoadWorkingCopy(store, copy, kProgramFolder), SettingsError);
    EXPECT_EQ(copy.comparePercentage, 37); // before the failing value: loaded
    EXPECT_FALSE(copy.moveDoubles);
    EXPECT_FALSE(copy.autoSortOn); // after it: untouched
    EXPECT_TRUE(copy.sourceFolder.isEmpty());
    EXPECT_EQ(copy.smallFileLimit, 0);
}

// KeepHistory is in the file only: the working copy reads it, the window's values have none.
TEST(WorkingCopy, KeepHistoryIsOnUnlessStoredAsZero)
{
    const struct {
        const char* stored; // nullptr: no value
        bool keep;
    } cases[] = { { nullptr, true }, { "1", true }, { "0", false }, { "x", true }, { "2", true } };
    for (const auto& c : cases) {
        TMemorySettingsStore store;
        if (c.stored)
            store.WriteValue(QStringLiteral("keephistory"), QString::fromLatin1(c.stored));
        TWorkingCopy copy;
        LoadWorkingCopy(store, copy, kProgramFolder);
        EXPECT_EQ(copy.keepHistory, c.keep) << (c.stored ? c.stored : "(none)");
    }
    EXPECT_TRUE(DefaultWorkingCopy(kProgramFolder).keepHistory);
}

TEST(WorkingCopy, TimeTextsReadInBothForms)
{
    EXPECT_EQ(ParseTimeText(QStringLiteral("00:10:00")), QTime(0, 10, 0));
    EXPECT_EQ(ParseTimeText(QStringLiteral("1:02:03")), QTime(1, 2, 3));
    EXPECT_EQ(ParseTimeText(QStringLiteral("23:59:59")), QTime(23, 59, 59));
    EXPECT_FALSE(ParseTimeText(QStringLiteral("24:00:00")).has_value());
    EXPECT_FALSE(ParseTimeText(QString()).has_value());
    EXPECT_EQ(FormatTimeText(QTime(1, 2, 3)), QStringLiteral("01:02:03"));
}

TEST(Options, FirstRunDefaultsNeverNameTheRoot)
{
    TMemorySettingsStore store;
    TOptionsValues values;
    values.percentage = 0;
    values.moveDoubles = false;
    QString source = QStringLiteral("unchanged"), destination;
    ReadOptions(store, values, source, destination, kProgramFolder);
    EXPECT_EQ(values.percentage, 37);
    EXPECT_TRUE(values.moveDoubles);
    EXPECT_EQ(values.doublesFolder, DefaultDoublesFolder());
    EXPECT_EQ(values.autoTime, QTime(0, 10));
    EXPECT_EQ(values.smallFileLimit, 512);
    EXPECT_EQ(source, kProgramFolder);
    EXPECT_EQ(destination, kProgramFolder);
}

// The second page's values: what the window writes, it and the main window read back alike;
// a stored value out of range or unknown reads as the window can show it.
TEST(Options, SecondPageValuesRoundTripAndReadAsTheWorkingCopyReadsThem)
{
    struct Case {
        const char* useTrash;
        const char* watchSource;
        const char* watchSettle;
        const char* matching;
        bool trash;
        bool watch;
        int settle;
        TMatching match;
    };
    const Case cases[] = {
        { nullptr, nullptr, nullptr, nullptr, false, false, 10, TMatching::Similar },
        { "1", "1", "0", "careful", true, true, 0, TMatching::Careful },
        { "0", "3", "86400", "Careful", false, true, 86400, TMatching::Careful },
        { "x", "0", "90000", "similar", false, false, 86400, TMatching::Similar },
        { "1", "0", "-5", "exact", true, false, 0, TMatching::Similar },
        { "1", "0", "ten", "", true, false, 10, TMatching::Similar },
    };
    const std::pair<const char*, const char * Case::*> names[]
        = { { "UseTrash", &Case::useTrash }, { "WatchSource", &Case::watchSource },
              { "WatchSettle", &Case::watchSettle }, { "Matching", &Case::matching } };
    for (const Case& c : cases) {
        const std::string label = std::string(c.watchSettle ? c.watchSettle : "-") + " "
            + (c.matching ? c.matching : "-");
        TMemorySettingsStore store;
        for (const auto& [name, field] : names)
            if (c.*field != nullptr)
                store.WriteValue(QString::fromLatin1(name), QString::fromLatin1(c.*field));
        TOptionsValues values;
        QString source, destination;
        ReadOptions(store, values, source, destination, kProgramFolder);
        TWorkingCopy copy;
        LoadWorkingCopy(store, copy, kProgramFolder);
        EXPECT_EQ(values.useTrash, c.trash) << label;
        EXPECT_EQ(values.watchSource, c.watch) << label;
        EXPECT_EQ(values.watchSettle, c.settle) << label;
        EXPECT_EQ(values.matching, c.match) << label;
        EXPECT_EQ(std::tie(copy.useTrash, copy.watchSource, copy.watchSettle, copy.matching),
            std::tie(values.useTrash, values.watchSource, values.watchSettle, values.matching))
            << label;

        // Saved and read again, nothing changes.
        TMemorySettingsStore saved;
        WriteOptions(saved, values, QStringLiteral("/usr/bin/plumtide"));
        TOptionsValues again;
        ReadOptions(saved, again, source, destination, kProgramFolder);
        EXPECT_EQ(std::tie(again.useTrash, again.watchSource, again.watchSettle, again.matching),
            std::tie(values.useTrash, values.watchSource, values.watchSettle, values.matching))
            << label;
    }
}

// The window's controls start where a first start's load puts them.
TEST(Options, InitialValuesAreTheTablesDefaults)
{
    const TOptionsValues initial;
    TOptionsValues loaded;
    loaded.percentage = -1;
    loaded.moveDoubles = !loaded.moveDoubles;
    QString source, destination;
    ReadOptions(TMemorySettingsStore(), loaded, source, destination, kProgramFolder);
    const auto fields = [](const TOptionsValues& v) {
        return std::tie(v.percentage, v.moveDoubles, v.removeDoubles, v.autoTime, v.autoTimeOn,
            v.autoStart, v.deleteSmallFiles, v.smallFileLimit, v.useTrash, v.watchSource,
            v.watchSettle, v.matching, v.formats);
    };
    EXPECT_TRUE(fields(initial) == fields(loaded));
}

TEST(Options, FailedWriteStopsTheSaveThere)
{
    TMemorySettingsStore store;
    store.failWritesOf(QStringLiteral("AutoTime"));
    TOptionsValues values;
    values.autoStart = true;
    values.removeDoubles = true;
    values.autoTime = QTime(0, 20);
    EXPECT_THROW(WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide")), SettingsError);
    const auto written = store.values();
    EXPECT_EQ(written.count(QStringLiteral("RemoveFile")), 1u);
    EXPECT_EQ(written.count(QStringLiteral("chkAutoTime")), 0u);
    EXPECT_FALSE(store.AutostartExecutable().has_value());
}

// Opening and closing the settings window stores nothing: a default written down would stand
// as the user's choice (a doubles folder of their own is never made for them).
TEST(Options, SavingStoresOnlyWhatDiffersFromTheStore)
{
    TMemorySettingsStore store;
    store.WriteValue(QStringLiteral("usetrash"), QStringLiteral("1"));
    TOptionsValues values;
    QString source, destination;
    ReadOptions(store, values, source, destination, kProgramFolder);
    WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide"));
    EXPECT_EQ(store.values().size(), 1u);

    values.percentage = 40;
    values.useTrash = false; // back to the default: stored, since the store says otherwise
    WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide"));
    EXPECT_EQ(store.values().size(), 2u);
    EXPECT_EQ(store.ReadValue(QStringLiteral("Percentage")), QStringLiteral("40"));
    EXPECT_EQ(store.ReadValue(QStringLiteral("UseTrash")), QStringLiteral("0"));
    EXPECT_FALSE(store.ReadValue(QStringLiteral("DoubleDir")).has_value());
}

// The window's new file puts deletions in the Trash; a file made before without the value,
// and a store without new-file values (plumtide-cli), read it as off.
TEST_F(FileStoreTest, ANewFileStartsWithItsValuesAndAnOldOneReadsAsItIs)
{
    store.setNewFileValues(WindowNewFileValues());
    EXPECT_TRUE(ReadBool(store, Setting("UseTrash")));
    WriteString(store, QStringLiteral("Source"), QStringLiteral("/in"));
    EXPECT_EQ(readFile(store.settingsFile()),
        QStringLiteral("[Software\\Plumtide]\nUseTrash=1\nSource=/in\n"));

    writeFile(store.settingsFile(), "[Software\\Plumtide]\nSource=/in\n");
    EXPECT_FALSE(ReadBool(store, Setting("UseTrash")));
    WriteString(store, QStringLiteral("Destination"), QStringLiteral("/out"));
    EXPECT_FALSE(ReadBool(store, Setting("UseTrash")));

    const TFileSettingsStore cli(dir.filePath(QStringLiteral("none.ini")), QString());
    EXPECT_FALSE(ReadBool(cli, Setting("UseTrash")));
}

TEST_F(FileStoreTest, WritesTheDocumentedFormatAndKeepsUnknownLines)
{
    writeFile(store.settingsFile(),
        "; hand-written note\n[Other]\nPercentage=99\n\n[Software\\Plumtide]\nTheme=dark\n");
    WriteInteger(store, QStringLiteral("Percentage"), 40);
    WriteString(store, QStringLiteral("Source"), QStringLiteral("/music/in coming/ü"));
    EXPECT_EQ(readFile(store.settingsFile()),
        QStringLiteral(
            "; hand-written note\n[Other]\nPercentage=99\n\n[Software\\Plumtide]\nTheme=dark\n"
            "Percentage=40\nSource=/music/in coming/ü\n"));
    EXPECT_EQ(ReadInteger(store, QStringLiteral("percentage"), 37), 40);

    // An existing value keeps its capitalisation and its place.
    WriteInteger(store, QStringLiteral("PERCENTAGE"), 41);
    EXPECT_TRUE(
        readFile(store.settingsFile()).contains(QStringLiteral("\nPercentage=41\nSource=")));
}

TEST_F(FileStoreTest, ValuesWithLineBreaksAndBackslashesRoundTrip)
{
    const QString odd = QStringLiteral("/a\\b\nc\r=d ");
    WriteString(store, QStringLiteral("DoubleDir"), odd);
    EXPECT_EQ(ReadString(store, QStringLiteral("doubledir"), QString()), odd);
    EXPECT_EQ(readFile(store.settingsFile()).count(QLatin1Char('\n')), 2);
}

// Found by fuzzing: storing one value dropped a carriage return from every other line, so a
// value ending in one changed with each write of another.
TEST(SettingsFile, StoringAValueLeavesEveryOtherLineAsItWas)
{
    const QString file = QStringLiteral("[Software\\Plumtide]\r\nSource=/in\r\r\n[O\r\r\r\n");
    const QString stored
        = settingsfile::Store(file, QStringLiteral("Percentage"), QStringLiteral("40"));
    EXPECT_EQ(stored,
        QStringLiteral("[Software\\Plumtide]\r\nSource=/in\r\r\nPercentage=40\n[O\r\r\r\n"));
    EXPECT_EQ(settingsfile::Lookup(stored, QStringLiteral("source")), QStringLiteral("/in\r"));
    EXPECT_EQ(
        settingsfile::Store(stored, QStringLiteral("Percentage"), QStringLiteral("40")), stored);
}

TEST_F(FileStoreTest, PutOffWritesAreReadAtOnceAndReachTheFileInOrder)
{
    store.WriteValue(QStringLiteral("Source"), QStringLiteral("/a"));
    store.WriteValueSoon(QStringLiteral("source"), QStringLiteral("/ab"));
    store.WriteValueSoon(QStringLiteral("Source"), QStringLiteral("/abc"));
    EXPECT_EQ(store.ReadValue(QStringLiteral("SOURCE")), QStringLiteral("/abc"));
    const TFileSettingsStore other(store.settingsFile(), store.autostartFile());
    EXPECT_EQ(other.ReadValue(QStringLiteral("Source")), QStringLiteral("/a"));

    // The next durable write takes what was put off along; so does a flush.
    store.WriteValue(QStringLiteral("Destination"), QStringLiteral("/d"));
    EXPECT_EQ(other.ReadValue(QStringLiteral("Source")), QStringLiteral("/abc"));
    store.WriteValueSoon(QStringLiteral("Destination"), QStringLiteral("/e"));
    store.Flush();
    EXPECT_EQ(readFile(store.settingsFile()),
        QStringLiteral("[Software\\Plumtide]\nSource=/abc\nDestination=/e\n"));
}

TEST_F(FileStoreTest, FirstWriteCreatesFolderAndSection)
{
    EXPECT_FALSE(store.ReadValue(QStringLiteral("Source")).has_value());
    WriteBool(store, QStringLiteral("MoveFile"), false);
    EXPECT_EQ(readFile(store.settingsFile()), QStringLiteral("[Software\\Plumtide]\nMoveFile=0\n"));
}

TEST_F(FileStoreTest, AutostartEntryFollowsTheOption)
{
    const QString exe = QStringLiteral("/home/me/My Apps/100% \"plumtide\"");
    TOptionsValues values;
    values.autoStart = true;
    WriteOptions(store, values, exe);
    const QString entry = readFile(store.autostartFile());
    EXPECT_TRUE(entry.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(
        entry.contains(QStringLiteral("Exec=\"/home/me/My Apps/100%% \\\\\"plumtide\\\\\"\"\n")))
        << entry.toStdString();
    EXPECT_EQ(store.AutostartExecutable(), exe);

    // Saving from a moved program updates the path.
    WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide"));
    EXPECT_EQ(store.AutostartExecutable(), QStringLiteral("/usr/bin/plumtide"));

    values.autoStart = false;
    WriteOptions(store, values, exe);
    EXPECT_FALSE(QFile::exists(store.autostartFile()));
    EXPECT_NO_THROW(WriteOptions(store, values, exe)); // already absent: silent
}

TEST_F(FileStoreTest, UnwritableLocationRaisesSettingsError)
{
    // A regular file where the settings folder should be: no permission trick needed, so
    // this holds for root too.
    writeFile(dir.filePath(QStringLiteral("blocker")), "x");
    TFileSettingsStore blocked(dir.filePath(QStringLiteral("blocker/settings.ini")),
        dir.filePath(QStringLiteral("blocker/Plumtide.desktop")));
    EXPECT_THROW(WriteInteger(blocked, QStringLiteral("Percentage"), 1), SettingsError);
    EXPECT_THROW(blocked.WriteAutostart(QStringLiteral("/usr/bin/plumtide")), SettingsError);
}

// Each name once (names are read in any case), and the README's table of settings names each
// with its default and its option.
TEST(SettingsTable, NamesAreDistinctAndEachIsDocumented)
{
    QFile readme(QStringLiteral(PLUMTIDE_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(QLatin1Char('\n'));
    QSet<QString> seen;
    for (const TSetting& setting : kSettings) {
        const QString name = QString::fromLatin1(setting.name);
        EXPECT_FALSE(seen.contains(name.toLower())) << setting.name;
        seen.insert(name.toLower());
        const QStringList rows = lines.filter(QStringLiteral("| `%1` |").arg(name));
        ASSERT_EQ(rows.size(), 1) << setting.name;
        if (setting.type != TSettingType::Folder) {
            EXPECT_TRUE(rows.first().contains(
                QStringLiteral("| `%1` |").arg(QString::fromLatin1(setting.defaultText))))
                << setting.name;
        }
        if (setting.option) {
            EXPECT_TRUE(rows.first().contains(QString::fromLatin1(setting.option))) << setting.name;
        }
    }
}
