#include "platform/errors.h"
#include "platform/paths.h"
#include "settings/settingsstore.h"
#include "tests/support/memorysettings.h"
#include "ui/foldertree.h"
#include "ui/optionsrules.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace plumtide;

namespace
{

const QString kProgramFolder = QStringLiteral("/opt/plumtide");

} // namespace

TEST(OptionsRules, FirstRunLoadsDefaultsAndNeverTheRootAsAFolder)
{
    TMemorySettingsStore store;
    TOptionsValues shown;
    shown.percentage = 90;
    const TOptionsLoad load = LoadOptions(store, shown, kProgramFolder);
    ASSERT_TRUE(load.complete());
    EXPECT_EQ(load.values.percentage, 37);
    EXPECT_TRUE(load.values.moveDoubles);
    EXPECT_EQ(load.values.doublesFolder, DefaultDoublesFolder());
    EXPECT_FALSE(load.values.removeDoubles);
    EXPECT_EQ(load.values.autoTime, QTime(0, 10));
    EXPECT_FALSE(OptionsEnabling(load.values).autoTime);
    EXPECT_TRUE(OptionsEnabling(load.values).doublesFolder);
    EXPECT_EQ(load.values.smallFileLimit, 512);
    EXPECT_EQ(*load.folders, std::make_pair(kProgramFolder, kProgramFolder));
}

TEST(OptionsRules, LoadKeepsArrowsInRangeAndStopsAtAnUnreadableValue)
{
    TMemorySettingsStore store;
    store.WriteValue(QStringLiteral("Percentage"), QStringLiteral("300"));
    store.WriteValue(QStringLiteral("delFileSize"), QStringLiteral("40000"));
    TOptionsLoad load = LoadOptions(store, {}, kProgramFolder);
    EXPECT_EQ(load.values.percentage, 100);
    EXPECT_EQ(load.values.smallFileLimit, 32000);

    store.WriteValue(QStringLiteral("AutoTime"), QStringLiteral("soon"));
    store.WriteValue(QStringLiteral("chkAutoTime"), QStringLiteral("1"));
    TOptionsValues shown;
    shown.smallFileLimit = 1024;
    load = LoadOptions(store, shown, kProgramFolder);
    EXPECT_FALSE(load.complete());
    EXPECT_FALSE(load.error.isEmpty());
    EXPECT_EQ(load.values.percentage, 100); // read before the bad value
    EXPECT_FALSE(load.values.autoTimeOn); // after it: as shown
    EXPECT_EQ(load.values.smallFileLimit, 1024);
}

TEST(OptionsRules, ArrowsStepAndStopAtTheEnds)
{
    struct Case {
        TUpDownRange range;
        int position;
        int steps;
        int expected;
    };
    const Case cases[] = {
        { kFileSizeRange, 512, 1, 640 },
        { kFileSizeRange, 512, 2, 768 },
        { kFileSizeRange, 31900, 1, 32000 },
        { kFileSizeRange, 32000, 1, 32000 },
        { kFileSizeRange, 100, -1, 0 },
        { kFileSizeRange, 0, -1, 0 },
        { kPercentageRange, 37, 1, 38 },
        { kPercentageRange, 100, 1, 100 },
        { kSettleRange, 10, -1, 9 },
        { kSettleRange, 0, -1, 0 },
        { kSettleRange, 86400, 1, 86400 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(StepUpDown(c.range, c.position, c.steps), c.expected)
            << c.position << " " << c.steps;
    EXPECT_EQ(PositionFromText(kFileSizeRange, QStringLiteral(" 700"), 512), 700);
    EXPECT_EQ(PositionFromText(kFileSizeRange, QStringLiteral("99999"), 512), 32000);
    EXPECT_EQ(PositionFromText(kFileSizeRange, QStringLiteral("big"), 512), 512);
    EXPECT_EQ(PercentageText(37), QStringLiteral("37 %"));
}

TEST(OptionsRules, DoublesBoxesExcludeEachOtherKeepingTheClick)
{
    using B = TDoublesBoxes;
    EXPECT_EQ(ClickDoublesBox(TDoublesBox::Move, true), (B { true, false }));
    EXPECT_EQ(ClickDoublesBox(TDoublesBox::Move, false), (B { false, false }));
    EXPECT_EQ(ClickDoublesBox(TDoublesBox::Remove, true), (B { false, true }));
    EXPECT_EQ(ClickDoublesBox(TDoublesBox::Remove, false), (B { false, false }));
}

TEST(OptionsRules, TheWindowWarnsOfADoublesFolderTypedThatIsNotThere)
{
    const auto warns = [](const QString& folder, bool moveDoubles) {
        TOptionsValues values;
        values.doublesFolder = folder;
        values.moveDoubles = moveDoubles;
        return WarnOfDoublesFolder(values);
    };
    EXPECT_FALSE(warns(QDir::tempPath(), true));
    EXPECT_TRUE(warns(QStringLiteral("/no/such/folder"), true));
    EXPECT_TRUE(warns(QString(), true));
    EXPECT_FALSE(warns(QStringLiteral("/no/such/folder"), false)) << "doubles are not moved";
    EXPECT_FALSE(warns(DefaultDoublesFolder(), true)) << "made when first needed";
}

// Every option the window saves is what the next run uses, without a restart; a save that
// fails stops at the value it could not write (the window then applies nothing).
TEST(OptionsRules, SavedOptionsReachTheWorkingCopy)
{
    TMemorySettingsStore store;
    TWorkingCopy copy;
    TOptionsValues values;
    values.percentage = 60;
    values.autoTimeOn = true;
    values.autoTime = QTime(0, 5);
    values.doublesFolder = QStringLiteral("/srv/doubles");
    values.deleteSmallFiles = true;
    values.smallFileLimit = 100;
    values.matching = TMatching::Careful;
    values.watchSettle = 3;
    store.failWritesOf(QStringLiteral("Matching")); // the last value the window writes
    EXPECT_THROW(WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide")), SettingsError);

    store.failWritesOf(QString());
    WriteOptions(store, values, QStringLiteral("/usr/bin/plumtide"));
    ApplyOptions(values, copy);
    EXPECT_EQ(copy.comparePercentage, 60);
    EXPECT_TRUE(copy.autoSortOn);
    EXPECT_EQ(copy.autoSortInterval, QTime(0, 5));
    EXPECT_EQ(copy.doublesFolder, QStringLiteral("/srv/doubles"));
    EXPECT_TRUE(copy.deleteSmallFiles);
    EXPECT_EQ(copy.smallFileLimit, 100);
    EXPECT_EQ(copy.matching, TMatching::Careful);
    EXPECT_EQ(copy.watchSettle, 3);
}

// The watch and its settle time belong to automatic sorting, as the interval does; the size
// to small-file deletion.
TEST(OptionsRules, DependentFieldsTakeInputOnlyWithTheirOption)
{
    struct Case {
        bool moveDoubles;
        bool autoTimeOn;
        bool watchSource;
        bool deleteSmallFiles;
        TOptionsEnabling expected;
    };
    const Case cases[] = {
        { true, false, false, false, { true, false, false, false } },
        { false, true, false, true, { false, true, true, true } },
        { false, false, true, false, { false, false, false, false } },
        { true, true, true, false, { true, true, true, false } },
    };
    for (const Case& c : cases) {
        TOptionsValues values;
        values.moveDoubles = c.moveDoubles;
        values.autoTimeOn = c.autoTimeOn;
        values.watchSource = c.watchSource;
        values.deleteSmallFiles = c.deleteSmallFiles;
        EXPECT_EQ(OptionsEnabling(values), c.expected)
            << c.moveDoubles << c.autoTimeOn << c.watchSource << c.deleteSmallFiles;
    }
}

TEST(ComputerPlaces, RootHomeThenRemovableAndNetworkVolumes)
{
    using K = TComputerPlace::Kind;
    const std::vector<TMountedVolume> volumes {
        { QStringLiteral("/"), QStringLiteral("ext4"), QString(), true },
        { QStringLiteral("/run/media/ann/STICK"), QStringLiteral("vfat"), QStringLiteral("STICK"),
            true },
        { QStringLiteral("/mnt/nas"), QStringLiteral("nfs4"), QString(), true },
        { QStringLiteral("/srv/share"), QStringLiteral("cifs"), QString(), true },
        { QStringLiteral("/media/ann/CD"), QStringLiteral("iso9660"), QStringLiteral("CD"), false },
        { QStringLiteral("/boot"), QStringLiteral("ext4"), QString(), true },
        { QStringLiteral("/mnt/ram"), QStringLiteral("tmpfs"), QString(), true },
        { QStringLiteral("/home/ann"), QStringLiteral("ext4"), QString(), true },
        { QStringLiteral("/mnt/nas"), QStringLiteral("nfs4"), QString(), true },
    };
    const std::vector<TComputerPlace> expected {
        { K::Root, QStringLiteral("/"), QStringLiteral("/") },
        { K::Home, QStringLiteral("/home/ann"), QStringLiteral("Home") },
        { K::Network, QStringLiteral("/mnt/nas"), QStringLiteral("nas") },
        { K::Removable, QStringLiteral("/run/media/ann/STICK"), QStringLiteral("STICK") },
        { K::Network, QStringLiteral("/srv/share"), QStringLiteral("share") },
    };
    EXPECT_EQ(ComputerPlaces(QStringLiteral("/home/ann"), volumes), expected);
}
