#pragma once

// A generated library for the benchmarks that run the programs on disk: source files with
// a small version 3 tag (artist and title) in folders of 1,000, and artist folders named
// like the tags' artists.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace plumtide::bench
{

inline QByteArray syncsafe(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (7 * (3 - i))) & 0x7F);
    return bytes;
}

// A version 3 tag with artist and title, then stand-in audio.
inline QByteArray song(const QByteArray& artist, const QByteArray& title)
{
    QByteArray body;
    for (const auto& [id, text] : { std::pair { "TPE1", artist }, std::pair { "TIT2", title } }) {
        const QByteArray data = QByteArray(1, '\0') + text;
        const quint32 size = quint32(data.size());
        body += QByteArray(id, 4) + char(size >> 24) + char(size >> 16) + char(size >> 8)
            + char(size) + QByteArray(2, '\0') + data;
    }
    return QByteArray("ID3\3\0\0", 6) + syncsafe(quint32(body.size())) + body
        + QByteArray(400, '\x55');
}

// Source files in folders of 1,000, and artist folders named like the tags' artists.
inline QStringList MakeLibrary(
    const QString& source, int files, const QString& destination, int folders)
{
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        const QString folder = source + QStringLiteral("/album %1").arg(i / 1000);
        if (i % 1000 == 0)
            QDir().mkpath(folder);
        const QString path
            = folder + QStringLiteral("/%1 - Track.mp3").arg(i, 6, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        file.write(song("Artist " + QByteArray::number(i % 997), "Song " + QByteArray::number(i)));
        paths.append(path);
    }
    QDir().mkpath(destination);
    for (int i = 0; i < folders; ++i)
        QDir().mkpath(destination + QStringLiteral("/Artist %1").arg(i));
    return paths;
}

} // namespace plumtide::bench
