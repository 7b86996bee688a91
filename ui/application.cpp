#include "ui/application.h"

#include "ui/artwork.h"
#include "ui/theme.h"

#include <QtGlobal>

namespace plumtide
{

TPlumtideApplication::TPlumtideApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Plumtide"));
    setApplicationDisplayName(QStringLiteral("Plumtide"));
    setApplicationVersion(QStringLiteral(PLUMTIDE_VERSION));
    setWindowIcon(ProgramIcon());
    setPalette(WindowPalette());
}

bool TPlumtideApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        handleException(&error);
    } catch (...) {
        handleException(nullptr);
    }
    return false;
}

void TPlumtideApplication::handleException(const std::exception* error) noexcept
{
    if (!m_handler) {
        qWarning("Plumtide: unhandled error: %s", error ? error->what() : "unknown exception");
        return;
    }
    // The handler runs inside notify(): what it throws must not reach Qt's event loop.
    try {
        m_handler(error);
    } catch (const std::exception& nested) {
        qWarning("Plumtide: error while handling an error: %s", nested.what());
    } catch (...) {
        qWarning("Plumtide: error while handling an error");
    }
}

void ReportHandlerError(const std::exception* error) noexcept
{
    if (auto* application = qobject_cast<TPlumtideApplication*>(QCoreApplication::instance()))
        application->handleException(error);
    else
        qWarning("Plumtide: unhandled error: %s", error ? error->what() : "unknown exception");
}

} // namespace plumtide
