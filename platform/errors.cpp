#include "platform/errors.h"

#include <cstring>

namespace plumtide
{

PlumtideError::PlumtideError(const QString& message)
    : std::runtime_error(message.toStdString())
{
}

static QString describe(const QString& what, const QString& path, int errnoValue)
{
    QString text = what + QStringLiteral(" '") + path + QLatin1Char('\'');
    if (errnoValue != 0)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errnoValue));
    return text;
}

IOError::IOError(const QString& what, const QString& path, int errnoValue)
    : PlumtideError(describe(what, path, errnoValue))
    , m_path(path)
    , m_errno(errnoValue)
{
}

} // namespace plumtide
