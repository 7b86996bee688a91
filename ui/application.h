#pragma once

#include <QApplication>

#include <exception>
#include <functional>

namespace plumtide
{

// The application object. Whatever a handler throws ends here instead of taking the
// program down: it is handed to the exception handler (the main window's error handler)
// and the event counts as not handled.
class TPlumtideApplication : public QApplication
{
    Q_OBJECT
public:
    // The exception, or nullptr when what was thrown is not a std::exception.
    using ExceptionHandler = std::function<void(const std::exception*)>;

    TPlumtideApplication(int& argc, char** argv);

    void setExceptionHandler(ExceptionHandler handler) { m_handler = std::move(handler); }

    bool notify(QObject* receiver, QEvent* event) override;

    // Hands an error to the exception handler, as notify() does with what escapes an event
    // handler; for the places that catch before Qt's own frames would have to unwind it.
    void handleException(const std::exception* error) noexcept;

private:
    ExceptionHandler m_handler;
};

// Hands an error caught in a handler to the running application's exception handler, or
// logs it where the application is not ours.
void ReportHandlerError(const std::exception* error) noexcept;

} // namespace plumtide
