#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace plumtide
{

// Where the user's choices live between runs: a set of named text values whose names are
// matched without regard to case (readers and writers use different capitalisations of
// some names), plus the entry that starts the program when the user logs on.
class TSettingsStore
{
public:
    virtual ~TSettingsStore() = default;

    // The stored text, or nothing when the value does not exist.
    virtual std::optional<QString> ReadValue(const QString& name) const = 0;
    // Stores the text; an existing value keeps the capitalisation it was first stored
    // under. Throws SettingsError when it cannot.
    virtual void WriteValue(const QString& name, const QString& text) = 0;
    // Stores the text for every reader of this store at once, but may put off making it
    // durable, so that a run of writes of one value (typing) costs one file write. The next
    // WriteValue or Flush() makes it durable, in order with the other writes.
    virtual void WriteValueSoon(const QString& name, const QString& text)
    {
        WriteValue(name, text);
    }
    // Makes what WriteValueSoon put off durable. Throws SettingsError; what failed stays
    // pending for the next try.
    virtual void Flush() { }

    // Makes the program start at log-on with this executable. Throws SettingsError.
    virtual void WriteAutostart(const QString& executablePath) = 0;
    // Stops that; removing an entry that is not there is no error. Throws SettingsError.
    virtual void DeleteAutostart() = 0;
    // The executable the log-on entry starts, or nothing when there is no entry.
    virtual std::optional<QString> AutostartExecutable() const = 0;
};

// The per-user settings file and the desktop's autostart entry:
//   ${XDG_CONFIG_HOME:-$HOME/.config}/Plumtide/settings.ini
//   ${XDG_CONFIG_HOME:-$HOME/.config}/autostart/Plumtide.desktop
// Every operation reads the file afresh and every write replaces it atomically, so another
// running copy's writes are seen and a crash never leaves a half-written file. Writes put
// off by WriteValueSoon are held in memory (and read from there) until the next write or
// Flush().
class TFileSettingsStore : public TSettingsStore
{
public:
    // Uses the locations above, resolved now.
    TFileSettingsStore();
    TFileSettingsStore(QString settingsFile, QString autostartFile);

    const QString& settingsFile() const { return m_settingsFile; }

    // Values a settings file starts with when this store creates it; while there is no file
    // they read as stored. A file that exists without one of them reads as it is.
    void setNewFileValues(QList<std::pair<QString, QString>> values)
    {
        m_newFileValues = std::move(values);
    }
    const QString& autostartFile() const { return m_autostartFile; }

    std::optional<QString> ReadValue(const QString& name) const override;
    void WriteValue(const QString& name, const QString& text) override;
    void WriteValueSoon(const QString& name, const QString& text) override;
    void Flush() override;
    void WriteAutostart(const QString& executablePath) override;
    void DeleteAutostart() override;
    std::optional<QString> AutostartExecutable() const override;

private:
    void writeWithPending(const std::optional<std::pair<QString, QString>>& value);

    QString m_settingsFile;
    QString m_autostartFile;
    QList<std::pair<QString, QString>> m_pending; // name, text; one entry per name
    QList<std::pair<QString, QString>> m_newFileValues;
};

// The settings file format: a `[Software\Plumtide]` section of `name=value` lines in
// UTF-8. Exposed for tests; the store is the only other user.
namespace settingsfile
{
std::optional<QString> Lookup(const QString& fileText, const QString& name);
QString Store(const QString& fileText, const QString& name, const QString& value);
QString EscapeValue(const QString& value);
QString UnescapeValue(const QString& text);
} // namespace settingsfile

// The Exec= value of a desktop entry that runs `executablePath` with no arguments, quoted
// and escaped as the Desktop Entry Specification requires, and its inverse.
QString DesktopExecValue(const QString& executablePath);
std::optional<QString> ExecutableFromDesktopExec(const QString& execValue);

} // namespace plumtide
