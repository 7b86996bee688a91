#pragma once

// Builders for tag bytes, so that each test states the bytes it feeds the engine.

#include "id3/bytestream.h"
#include "id3/id3engine.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

namespace tagbytes
{

inline QByteArray Syncsafe(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (7 * (3 - i))) & 0x7F);
    return bytes;
}

inline QByteArray BigEndian(quint64 value, int n)
{
    QByteArray bytes(n, '\0');
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(value >> (8 * (n - 1 - i)));
    return bytes;
}

// A text frame's data: encoding byte 0 and the characters.
inline QByteArray Text(const QByteArray& latin1)
{
    return QByteArray(1, '\0') + latin1;
}

// Frames in the layouts of versions 4 (syncsafe size), 3 (plain size) and 2.
inline QByteArray Frame4(
    const char* id, const QByteArray& data, quint8 status = 0, quint8 format = 0)
{
    return QByteArray(id, 4) + Syncsafe(static_cast<quint32>(data.size()))
        + static_cast<char>(status) + static_cast<char>(format) + data;
}
inline QByteArray Frame3(
    const char* id, const QByteArray& data, quint8 status = 0, quint8 format = 0)
{
    return QByteArray(id, 4) + BigEndian(static_cast<quint64>(data.size()), 4)
        + static_cast<char>(status) + static_cast<char>(format) + data;
}
inline QByteArray Frame2(const char* id, const QByteArray& data)
{
    return QByteArray(id, 3) + BigEndian(static_cast<quint64>(data.size()), 3) + data;
}

// A tag: header with the given version and flags, the body, and `padding` zero bytes.
inline QByteArray Tag(int version, quint8 flags, const QByteArray& body, int padding = 0)
{
    return QByteArray("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags)
        + Syncsafe(static_cast<quint32>(body.size() + padding)) + body + QByteArray(padding, '\0');
}

// Stand-in audio: an MPEG frame sync followed by bytes that never look like a tag.
inline QByteArray Audio(int size = 3000)
{
    QByteArray bytes(size, '\0');
    quint32 state = 12345;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>((state >> 16) & 0x7F);
    }
    if (size >= 2) {
        bytes[0] = '\xFF';
        bytes[1] = '\xFB';
    }
    return bytes;
}

// An ID3v1 block.
inline QByteArray ID3V1(
    const QByteArray& title, const QByteArray& artist, quint8 track, quint8 genre)
{
    QByteArray block(128, '\0');
    block.replace(0, 3, "TAG");
    block.replace(3, title.size(), title);
    block.replace(33, artist.size(), artist);
    block[126] = static_cast<char>(track);
    block[127] = static_cast<char>(genre);
    return block;
}

inline QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Activates the engine on bytes in memory.
inline void Load(plumtide::TID3Engine& engine, const QByteArray& bytes)
{
    engine.OpenStream(std::make_unique<plumtide::TMemoryStream>(bytes));
}

} // namespace tagbytes
