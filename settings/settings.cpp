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
    return std::clamp(
        ReadInteger(store, QStringLiteral("WatchSettle"), kDefaultWatchSettle), 0, kMaxWatchSettle);
}

// A word that names no way of matching reads as the default one.
// A list naming anything unknown files mp3 alone: nothing is filed that was not clearly asked for.
TFileFormats readFormats(const TSettingsStore& store)
{
    return TFileFormats::FromText(ReadString(store, QStringLiteral("Formats"), QString()))
        .value_or(TFileFormats());
}

TMatching readMatching(const TSettingsStore& store)
{
    return MatchingOf(ReadString(store, QStringLiteral("Matching"), QString()))
        .value_or(TMatching::Similar);
}

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
    copy.startHidden = ReadBool(store, QStringLiteral("autoStart"), false);
    copy.comparePercentage
        = static_cast<quint8>(ReadInteger(store, QStringLiteral("percentage"), 37));
    copy.moveDoubles = ReadBool(store, QStringLiteral("MoveFile"), true);
    copy.deleteDoubles = ReadBool(store, QStringLiteral("RemoveFile"), false);
    copy.autoSortInterval
        = ReadTime(store, QStringLiteral("AutoTime"), QLatin1String(kDefaultAutoTime));
    copy.autoSortOn = ReadBool(store, QStringLiteral("chkAutoTime"), false);
    copy.doublesFolder = ReadString(store, QStringLiteral("DoubleDir"), DefaultDoublesFolder());
    copy.sourceFolder = ReadString(store, QStringLiteral("Source"), programFolder);
    copy.destinationFolder = ReadString(store, QStringLiteral("Destination"), programFolder);
    copy.deleteSmallFiles = ReadBool(store, QStringLiteral("DoDelFile"), false);
    copy.smallFileLimit = ReadInteger(store, QStringLiteral("delFileSize"), 512);
    copy.useTrash = ReadBool(store, QStringLiteral("UseTrash"), false);
    copy.watchSource = ReadBool(store, QStringLiteral("WatchSource"), false);
    copy.watchSettle = readWatchSettle(store);
    copy.matching = readMatching(store);
    copy.formats = readFormats(store);
    copy.moveCompanions = ReadBool(store, QStringLiteral("MoveCompanions"), true);
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
    return formats.beyondMp3() ? QStringLiteral("Delete music files smaller then:")
                               : QStringLiteral("Delete mp3 files smaller then:");
}

QString AssignmentsFile()
{
    return ConfigHome() + QStringLiteral("/Plumtide/assignments.tsv");
}

TWorkingCopy DefaultWorkingCopy(const QString& programFolder)
{
    TWorkingCopy copy;
    copy.comparePercentage = 37;
    copy.moveDoubles = true;
    copy.autoSortInterval = *ParseTimeText(QLatin1String(kDefaultAutoTime));
    copy.doublesFolder = DefaultDoublesFolder();
    copy.sourceFolder = programFolder;
    copy.destinationFolder = programFolder;
    copy.smallFileLimit = 512;
    copy.watchSettle = kDefaultWatchSettle;
    copy.moveCompanions = true;
    return copy;
}

void ReadOptions(const TSettingsStore& store, TOptionsValues& values, QString& sourceFolder,
    QString& destinationFolder, const QString& programFolder)
{
    values.percentage = ReadInteger(store, QStringLiteral("percentage"), 37);
    values.moveDoubles = ReadBool(store, QStringLiteral("MoveFile"), true);
    values.removeDoubles = ReadBool(store, QStringLiteral("RemoveFile"), false);
    values.doublesFolder = ReadString(store, QStringLiteral("DoubleDir"), DefaultDoublesFolder());
    values.autoTime = ReadTime(store, QStringLiteral("AutoTime"), QLatin1String(kDefaultAutoTime));
    values.autoTimeOn = ReadBool(store, QStringLiteral("chkAutoTime"), false);
    values.autoStart = ReadBool(store, QStringLiteral("AutoStart"), false);
    values.deleteSmallFiles = ReadBool(store, QStringLiteral("DoDelFile"), false);
    values.smallFileLimit = ReadInteger(store, QStringLiteral("delFileSize"), 512);
    values.useTrash = ReadBool(store, QStringLiteral("UseTrash"), false);
    values.watchSource = ReadBool(store, QStringLiteral("WatchSource"), false);
    values.watchSettle = readWatchSettle(store);
    values.matching = readMatching(store);
    values.formats = readFormats(store);
    sourceFolder = ReadString(store, QStringLiteral("Source"), programFolder);
    destinationFolder = ReadString(store, QStringLiteral("Destination"), programFolder);
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
    WriteInteger(store, QStringLiteral("Percentage"), values.percentage);
    WriteString(store, QStringLiteral("DoubleDir"), values.doublesFolder);
    WriteBool(store, QStringLiteral("MoveFile"), values.moveDoubles);
    WriteBool(store, QStringLiteral("RemoveFile"), values.removeDoubles);
    WriteTime(store, QStringLiteral("AutoTime"), values.autoTime);
    WriteBool(store, QStringLiteral("chkAutoTime"), values.autoTimeOn);
    WriteBool(store, QStringLiteral("autoStart"), values.autoStart);
    WriteBool(store, QStringLiteral("doDelFile"), values.deleteSmallFiles);
    WriteInteger(store, QStringLiteral("delFileSize"), values.smallFileLimit);
    WriteBool(store, QStringLiteral("UseTrash"), values.useTrash);
    WriteBool(store, QStringLiteral("WatchSource"), values.watchSource);
    WriteInteger(store, QStringLiteral("WatchSettle"), values.watchSettle);
    WriteString(store, QStringLiteral("Matching"), MatchingText(values.matching));
    WriteString(store, QStringLiteral("Formats"), values.formats.text());
    if (values.autoStart)
        store.WriteAutostart(executablePath);
    else
        store.DeleteAutostart();
}

void WriteSourceFolder(TSettingsStore& store, const QString& folder, TDurable when)
{
    if (when == TDurable::Soon)
        store.WriteValueSoon(QStringLiteral("Source"), folder);
    else
        WriteString(store, QStringLiteral("Source"), folder);
}

void WriteDestinationFolder(TSettingsStore& store, const QString& folder, TDurable when)
{
    if (when == TDurable::Soon)
        store.WriteValueSoon(QStringLiteral("Destination"), folder);
    else
        WriteString(store, QStringLiteral("Destination"), folder);
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
    return move;
}

} // namespace plumtide
