#include "platform/desktop.h"

#include <QProcess>

namespace plumtide
{

void OpenWithDefaultHandler(const QString& address)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), { address });
}

} // namespace plumtide
