#pragma once

#include <QString>

#include <stdexcept>

namespace plumtide
{

// What escapes a handler: the GUI's error handler catches these, the CLI turns them into a
// message and a non-zero exit status. Results that are part of normal operation (a file
// skipped, a copy not made) are return values, never exceptions.
class PlumtideError : public std::runtime_error
{
public:
    explicit PlumtideError(const QString& message);
    QString message() const { return QString::fromUtf8(what()); }
};

// A failed file-system operation, with the path it was about and the system's reason.
class IOError : public PlumtideError
{
public:
    IOError(const QString& what, const QString& path, int errnoValue = 0);
    const QString& path() const { return m_path; }
    int errnoValue() const { return m_errno; }

private:
    QString m_path;
    int m_errno;
};

// A stored setting that exists but cannot be used, or a setting that cannot be stored.
class SettingsError : public PlumtideError
{
public:
    using PlumtideError::PlumtideError;
};

} // namespace plumtide
