#pragma once

// An in-memory settings store for tests and benchmarks.

#include "platform/errors.h"
#include "settings/settingsstore.h"

#include <QStringList>

#include <map>
#include <optional>

namespace plumtide
{

// An in-memory store. `failWritesOf` makes every write of one name
// fail, to exercise the failure paths.
class TMemorySettingsStore : public TSettingsStore
{
public:
    std::optional<QString> ReadValue(const QString& name) const override;
    void WriteValue(const QString& name, const QString& text) override;
    void WriteAutostart(const QString& executablePath) override;
    void DeleteAutostart() override;
    std::optional<QString> AutostartExecutable() const override;

    // Stored names with their capitalisation, for tests.
    std::map<QString, QString> values() const;
    // Every write that succeeded, in order, as "name=text".
    const QStringList& writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }
    void failWritesOf(const QString& name) { m_failWritesOf = name; }

private:
    std::map<QString, std::pair<QString, QString>> m_values; // upper-case name -> (name, text)
    std::optional<QString> m_autostart;
    QString m_failWritesOf;
    QStringList m_writes;
};

inline std::optional<QString> TMemorySettingsStore::ReadValue(const QString& name) const
{
    const auto it = m_values.find(name.toUpper());
    if (it == m_values.end())
        return std::nullopt;
    return it->second.second;
}

inline void TMemorySettingsStore::WriteValue(const QString& name, const QString& text)
{
    if (!m_failWritesOf.isEmpty() && name.compare(m_failWritesOf, Qt::CaseInsensitive) == 0)
        throw SettingsError(QStringLiteral("Cannot store '%1'").arg(name));
    auto& slot = m_values[name.toUpper()];
    if (slot.first.isEmpty())
        slot.first = name;
    slot.second = text;
    m_writes.append(name + QLatin1Char('=') + text);
}

inline void TMemorySettingsStore::WriteAutostart(const QString& executablePath)
{
    m_autostart = executablePath;
}

inline void TMemorySettingsStore::DeleteAutostart()
{
    m_autostart.reset();
}

inline std::optional<QString> TMemorySettingsStore::AutostartExecutable() const
{
    return m_autostart;
}

inline std::map<QString, QString> TMemorySettingsStore::values() const
{
    std::map<QString, QString> out;
    for (const auto& [key, entry] : m_values)
        out[entry.first] = entry.second;
    return out;
}

} // namespace plumtide
