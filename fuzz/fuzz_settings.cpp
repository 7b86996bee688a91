// The settings file as the program reads it: any text (a hand-edited file, another
// program's) is looked up without a crash, and what the program stores reads back exactly,
// with every other value unchanged.
//
// Input: file text, a name, a value and a second name, separated by zero bytes.
#include "fuzzinput.h"
#include "settings/settingsstore.h"

using namespace plumtide;
using fuzzinput::Check;

namespace
{

// A name the program could store: its own names are plain words, but any name that splits
// back out of its line as itself must work.
bool Storable(const QString& name)
{
    return !name.isEmpty() && name == name.trimmed() && !name.contains(QLatin1Char('='))
        && !name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r'))
        && !name.startsWith(QLatin1Char(';')) && !name.startsWith(QLatin1Char('#'))
        && !name.startsWith(QLatin1Char('['));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList parts = fuzzinput::Parts(data, size, 4);
    const QString file = parts.value(0);
    const QString name = parts.value(1);
    const QString value = parts.value(2);
    const QString other = parts.value(3);

    (void)settingsfile::Lookup(file, name);
    (void)settingsfile::UnescapeValue(file);
    Check(settingsfile::UnescapeValue(settingsfile::EscapeValue(value)) == value);

    if (!Storable(name))
        return 0;
    const QString stored = settingsfile::Store(file, name, value);
    Check(settingsfile::Lookup(stored, name) == value);
    if (other.compare(name, Qt::CaseInsensitive) != 0)
        Check(settingsfile::Lookup(stored, other) == settingsfile::Lookup(file, other));
    // Storing again changes nothing more.
    Check(settingsfile::Store(stored, name, value) == stored);
    return 0;
}
