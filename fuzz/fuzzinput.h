#pragma once

// What the fuzz targets share: a check that aborts (so that libFuzzer and the replay both
// report it), and the input cut into texts.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace fuzzinput
{

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The input cut at zero bytes into at most `parts` texts (at least one), each read as UTF-8
// (invalid bytes become replacement characters, as in a file read by the program); the last
// part keeps any further zero bytes.
inline QStringList Parts(const std::uint8_t* data, std::size_t size, int parts)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList texts;
    qsizetype from = 0;
    while (texts.size() + 1 < parts) {
        const qsizetype zero = bytes.indexOf('\0', from);
        if (zero < 0)
            break;
        texts.append(QString::fromUtf8(bytes.constData() + from, zero - from));
        from = zero + 1;
    }
    texts.append(QString::fromUtf8(bytes.constData() + from, bytes.size() - from));
    return texts;
}

} // namespace fuzzinput
