// The Exec= value of the autostart entry: any value (one the user or another program wrote)
// is taken apart without a crash, and every executable path the program writes comes back
// exactly, on one line.
//
// Input: an Exec value, then after a zero byte an executable path.
#include "fuzzinput.h"
#include "settings/settingsstore.h"

using namespace plumtide;
using fuzzinput::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList parts = fuzzinput::Parts(data, size, 2);
    (void)ExecutableFromDesktopExec(parts.value(0));

    const QString path = parts.value(1);
    const QString exec = DesktopExecValue(path);
    Check(!exec.contains(QLatin1Char('\n')));
    Check(ExecutableFromDesktopExec(exec) == path);
    return 0;
}
