#include "settings/settings.h"

#include "platform/errors.h"
#include "platform/paths.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace plumtide
{

namespace
{

std::optional<int> parseDecimal(const QString& text)
{
    // Leading blanks are tolerated, as by the usual integer conversion; nothing else is.
    QString digits = text;
    while (!digits.isEmpty() && digits.front() == QLatin1Char(' '))
        digits.remove(0, 1);
    static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
    if (!decimal.match(digits).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = digits.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

int readWatchSettle(const TSettingsStore& store)
{
    const TSetting& settle = Setting("WatchSettle");
    return std::clamp(ReadInteger(store, settle), settle.min, settle.max);
}

// A list naming anything unknown files mp3 alone: nothing is filed that was not clearly asked for.
TFileFormats readFormats(const TSettingsStore& store)
{
    return TFileFormats::FromText(ReadString(store, Setting("Formats"))).value_or(TFileFormats());
}

// A word that names no way of matching reads as the default one.
TMatching readMatching(const TSettingsStore& store)
{
    return MatchingOf(ReadString(store, Setting("Matching"))).value_or(TMatching::Similar);
}

// A store with nothing in it: reading from it gives every default.
class TEmptyStore : public TSettingsStore
{
public:
    std::optional<QString> ReadValue(const QString&) const override { return std::nullopt; }
    void WriteValue(const QString&, const QString&) override { }
    void WriteAutostart(const QString&) override { }
    void DeleteAutostart() override { }
    std::optional<QString> AutostartExecutable() const override { return std::nullopt; }
};

} // namespace

QString ReadString(const TSettingsStore& store, const QString& name, const QString& defaultValue)
{
    return store.ReadValue(name).value_or(defaultValue);
}

int ReadInteger(const TSettingsStore& store, const QString& name, int defaultValue)
{
    const std::optional<QString> text = store.ReadValue(name);
    if (!text)
        return defaultValue;
    return parseDecimal(*text).value_or(defaultValue);
}

bool ReadBool(const TSettingsStore& store, const QString& name, bool defaultValue)
{
    return ReadInteger(store, name, defaultValue ? 1 : 0) != 0;
}

QTime ReadTime(const TSettingsStore& store, const QString& name, const QString& defaultText)
{
    const QString text = ReadString(store, name, defaultText);
    const std::optional<QTime> time = ParseTimeText(text);
    if (!time)
        throw SettingsError(
            QStringLiteral("The stored value '%1' is not a time of day: '%2'").arg(name, text));
    return *time;
}

void WriteString(TSettingsStore& store, const QString& name, const QString& value)
{
    store.WriteValue(name, value);
}

void WriteInteger(TSettingsStore& store, const QString& name, int value)
{
    store.WriteValue(name, QString::number(value));
}

void WriteBool(TSettingsStore& store, const QString& name, bool value)
{
    store.WriteValue(name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void WriteTime(TSettingsStore& store, const QString& name, const QTime& value)
{
    store.WriteValue(name, FormatTimeText(value));
}

QString SettingName(const TSetting& setting)
{
    return QString::fromLatin1(setting.name);
}

bool ReadBool(const TSettingsStore& store, const TSetting& setting)
{
    Q_ASSERT(setting.type == TSettingType::Bool);
    return ReadInteger(store, SettingName(setting),
               parseDecimal(QLatin1String(setting.defaultText)).value_or(0))
        != 0;
}

int ReadInteger(const TSettingsStore& store, const TSetting& setting)
{
    Q_ASSERT(setting.type == TSettingType::Integer);
    return ReadInteger(
        store, SettingName(setting), parseDecimal(QLatin1String(setting.defaultText)).value_or(0));
}

QString ReadString(const TSettingsStore& store, const TSetting& setting)
{
    Q_ASSERT(setting.type == TSettingType::Text);
    return ReadString(store, SettingName(setting), QLatin1String(setting.defaultText));
}

QTime ReadTime(const TSettingsStore& store, const TSetting& setting)
{
    Q_ASSERT(setting.type == TSettingType::Time);
    return ReadTime(store, SettingName(setting), QLatin1String(setting.defaultText));
}

QString ReadFolder(
    const TSettingsStore& store, const TSetting& setting, const QString& programFolder)
{
    Q_ASSERT(setting.type == TSettingType::Folder);
    return ReadString(store, SettingName(setting),
        setting.defaultFolder == TDefaultFolder::Doubles ? DefaultDoublesFolder() : programFolder);
}

void WriteBool(TSettingsStore& store, const TSetting& setting, bool value)
{
    WriteBool(store, SettingName(setting), value);
}

void WriteInteger(TSettingsStore& store, const TSetting& setting, int value)
{
    WriteInteger(store, SettingName(setting), value);
}

void WriteString(TSettingsStore& store, const TSetting& setting, const QString& value)
{
    WriteString(store, SettingName(setting), value);
}

void WriteTime(TSettingsStore& store, const TSetting& setting, const QTime& value)
{
    WriteTime(store, SettingName(setting), value);
}

QTime DefaultAutoTime()
{
    return *ParseTimeText(QLatin1String(Setting("AutoTime").defaultText));
}

QString FormatTimeText(const QTime& time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

std::optional<QTime> ParseTimeText(const QString& text)
{
    for (const QString& format : { QStringLiteral("HH:mm:ss"), QStringLiteral("H:mm:ss") }) {
        const QTime time = QTime::fromString(text, format);
        if (time.isValid())
            return time;
    }
    // The locale's long format may carry a time zone, which a stored interval never has.
    QString localeFormat = QLocale::system().timeFormat(QLocale::LongFormat);
    localeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*"))).squeeze();
    const QTime time = QLocale::system().toTime(text.trimmed(), localeFormat);
    if (time.isValid())
        return time;
    return std::nullopt;
}

void LoadWorkingCopy(const TSettingsStore& store, TWorkingCopy& copy, const QString& programFolder)
{
    copy.startHidden = ReadBool(store, Setting("autoStart"));
    copy.comparePercentage = static_cast<quint8>(ReadInteger(store, Setting("Percentage")));
    copy.moveDoubles = ReadBool(store, Setting("MoveFile"));
    copy.deleteDoubles = ReadBool(store, Setting("RemoveFile"));
    copy.autoSortInterval = ReadTime(store, Setting("AutoTime"));
    copy.autoSortOn = ReadBool(store, Setting("chkAutoTime"));
    copy.doublesFolder = ReadFolder(store, Setting("DoubleDir"), programFolder);
    copy.sourceFolder = ReadFolder(store, Setting("Source"), programFolder);
    copy.destinationFolder = ReadFolder(store, Setting("Destination"), programFolder);
    copy.deleteSmallFiles = ReadBool(store, Setting("doDelFile"));
    copy.smallFileLimit = ReadInteger(store, Setting("delFileSize"));
    copy.useTrash = ReadBool(store, Setting("UseTrash"));
    copy.watchSource = ReadBool(store, Setting("WatchSource"));
    copy.watchSettle = readWatchSettle(store);
    copy.matching = readMatching(store);
    copy.formats = readFormats(store);
    copy.moveCompanions = ReadBool(store, Setting("MoveCompanions"));
    copy.keepHistory = ReadBool(store, Setting("KeepHistory"));
    copy.doublesByAudio = ReadBool(store, Setting("DoublesByAudio"));
    copy.removeEmptiedFolders = ReadBool(store, Setting("RemoveEmptiedFolders"));
    copy.onRun = ReadString(store, Setting("OnRun"));
    const TSetting& timeout = Setting("OnRunTimeout");
    copy.onRunTimeout = std::clamp(ReadInteger(store, timeout), timeout.min, timeout.max);
}

QString MatchingText(TMatching matching)
{
    return matching == TMatching::Careful ? QStringLiteral("careful") : QStringLiteral("similar");
}

std::optional<TMatching> MatchingOf(const QString& text)
{
    if (text.compare(QStringLiteral("careful"), Qt::CaseInsensitive) == 0)
        return TMatching::Careful;
    if (text.compare(QStringLiteral("similar"), Qt::CaseInsensitive) == 0)
        return TMatching::Similar;
    return std::nullopt;
}

bool OtherFormatsTicked(const TFileFormats& formats)
{
    return formats.beyondMp3();
}

TFileFormats FormatsOfCheckBox(bool ticked, const TFileFormats& current)
{
    if (!ticked)
        return TFileFormats();
    return current.beyondMp3() ? current : TFileFormats::All();
}

QString SmallFilesCaption(const TFileFormats& formats)
{
    return formats.beyondMp3() ? QStringLiteral("Delete music files smaller than:")
                               : QStringLiteral("Delete mp3 files smaller than:");
}

QString AssignmentsFile()
{
    return ConfigHome() + QStringLiteral("/Plumtide/assignments.tsv");
}

QList<std::pair<QString, QString>> WindowNewFileValues()
{
    return { { SettingName(Setting("UseTrash")), QStringLiteral("1") } };
}

TWorkingCopy DefaultWorkingCopy(const QString& programFolder)
{
    TWorkingCopy copy;
    LoadWorkingCopy(TEmptyStore(), copy, programFolder);
    return copy;
}

void ReadOptions(const TSettingsStore& store, TOptionsValues& values, QString& sourceFolder,
    QString& destinationFolder, const QString& programFolder)
{
    values.percentage = ReadInteger(store, Setting("Percentage"));
    values.moveDoubles = ReadBool(store, Setting("MoveFile"));
    values.removeDoubles = ReadBool(store, Setting("RemoveFile"));
    values.doublesFolder = ReadFolder(store, Setting("DoubleDir"), programFolder);
    values.autoTime = ReadTime(store, Setting("AutoTime"));
    values.autoTimeOn = ReadBool(store, Setting("chkAutoTime"));
    values.autoStart = ReadBool(store, Setting("autoStart"));
    values.deleteSmallFiles = ReadBool(store, Setting("doDelFile"));
    values.smallFileLimit = ReadInteger(store, Setting("delFileSize"));
    values.useTrash = ReadBool(store, Setting("UseTrash"));
    values.watchSource = ReadBool(store, Setting("WatchSource"));
    values.watchSettle = readWatchSettle(store);
    values.matching = readMatching(store);
    values.formats = readFormats(store);
    sourceFolder = ReadFolder(store, Setting("Source"), programFolder);
    destinationFolder = ReadFolder(store, Setting("Destination"), programFolder);
}

void ApplyOptions(const TOptionsValues& values, TWorkingCopy& copy)
{
    copy.comparePercentage = static_cast<quint8>(values.percentage);
    copy.moveDoubles = values.moveDoubles;
    copy.deleteDoubles = values.removeDoubles;
    copy.doublesFolder = values.doublesFolder;
    copy.autoSortInterval = values.autoTime;
    copy.autoSortOn = values.autoTimeOn;
    copy.startHidden = values.autoStart;
    copy.deleteSmallFiles = values.deleteSmallFiles;
    copy.smallFileLimit = values.smallFileLimit;
    copy.useTrash = values.useTrash;
    copy.watchSource = values.watchSource;
    copy.watchSettle = values.watchSettle;
    copy.matching = values.matching;
    copy.formats = values.formats;
}

void WriteOptions(
    TSettingsStore& store, const TOptionsValues& values, const QString& executablePath)
{
    // Only what differs from what the store gives now is written: a default written down
    // would stand as the user's choice. A doubles folder of its own is one the user made,
    // whereas the default one is made when first needed.
    const auto write = [&store](const TSetting& setting, const QString& text) {
        const QString name = SettingName(setting);
        const std::optional<QString> stored = store.ReadValue(name);
        const QString current = stored                         ? *stored
            : setting.defaultFolder == TDefaultFolder::Doubles ? DefaultDoublesFolder()
                                                               : QLatin1String(setting.defaultText);
        if (text != current)
            store.WriteValue(name, text);
    };
    const auto yesNo = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    write(Setting("Percentage"), QString::number(values.percentage));
    write(Setting("DoubleDir"), values.doublesFolder);
    write(Setting("MoveFile"), yesNo(values.moveDoubles));
    write(Setting("RemoveFile"), yesNo(values.removeDoubles));
    write(Setting("AutoTime"), FormatTimeText(values.autoTime));
    write(Setting("chkAutoTime"), yesNo(values.autoTimeOn));
    write(Setting("autoStart"), yesNo(values.autoStart));
    write(Setting("doDelFile"), yesNo(values.deleteSmallFiles));
    write(Setting("delFileSize"), QString::number(values.smallFileLimit));
    write(Setting("UseTrash"), yesNo(values.useTrash));
    write(Setting("WatchSource"), yesNo(values.watchSource));
    write(Setting("WatchSettle"), QString::number(values.watchSettle));
    write(Setting("Matching"), MatchingText(values.matching));
    write(Setting("Formats"), values.formats.text());
    if (values.autoStart)
        store.WriteAutostart(executablePath);
    else
        store.DeleteAutostart();
}

void WriteSourceFolder(TSettingsStore& store, const QString& folder, TDurable when)
{
    if (when == TDurable::Soon)
        store.WriteValueSoon(SettingName(Setting("Source")), folder);
    else
        WriteString(store, Setting("Source"), folder);
}

void WriteDestinationFolder(TSettingsStore& store, const QString& folder, TDurable when)
{
    if (when == TDurable::Soon)
        store.WriteValueSoon(SettingName(Setting("Destination")), folder);
    else
        WriteString(store, Setting("Destination"), folder);
}

TMoveSettings MoveSettingsOf(const TWorkingCopy& copy)
{
    TMoveSettings move;
    move.deleteSmallFiles = copy.deleteSmallFiles;
    move.smallFileLimit = copy.smallFileLimit;
    // Setting doubles aside wins when both are ticked, as the settings window shows them.
    move.doubles = copy.moveDoubles ? TDoubles::SetAside
        : copy.deleteDoubles        ? TDoubles::Delete
                                    : TDoubles::Keep;
    move.doublesFolder = copy.doublesFolder;
    move.makeDoublesFolder = IsDefaultDoublesFolder(copy.doublesFolder);
    move.useTrash = copy.useTrash;
    move.moveCompanions = copy.moveCompanions;
    move.doublesByAudio = copy.doublesByAudio;
    move.removeEmptiedFolders = copy.removeEmptiedFolders;
    return move;
}

} // namespace plumtide
