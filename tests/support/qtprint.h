#pragma once

// Readable failure messages for QString and QStringList (GoogleTest finds PrintTo by the
// argument's namespace, which for QString is the global one).

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
