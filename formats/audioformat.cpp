#include "formats/audioformat.h"

#include <array>
#include <utility>

namespace plumtide
{

namespace
{

const std::array<std::pair<QStringView, TAudioFormat>, 6> kExtensions { {
    { u"mp3", TAudioFormat::Mp3 },
    { u"flac", TAudioFormat::Flac },
    { u"ogg", TAudioFormat::Ogg },
    { u"oga", TAudioFormat::Ogg },
    { u"opus", TAudioFormat::Ogg },
    { u"m4a", TAudioFormat::Mp4 },
} };

} // namespace

const QStringList& AudioExtensions()
{
    static const QStringList extensions = [] {
        QStringList list;
        for (const auto& [extension, format] : kExtensions)
            list << extension.toString();
        return list;
    }();
    return extensions;
}

TAudioFormat AudioFormatOfExtension(QStringView extension)
{
    for (const auto& [known, format] : kExtensions) {
        if (extension.compare(known, Qt::CaseInsensitive) == 0)
            return format;
    }
    return TAudioFormat::None;
}

TAudioFormat AudioFormatOfFile(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < slash)
        return TAudioFormat::None;
    return AudioFormatOfExtension(path.mid(dot + 1));
}

QString AudioFormatText(TAudioFormat format)
{
    switch (format) {
    case TAudioFormat::Mp3:
        return QStringLiteral("mp3");
    case TAudioFormat::Flac:
        return QStringLiteral("FLAC");
    case TAudioFormat::Ogg:
        return QStringLiteral("Ogg");
    case TAudioFormat::Mp4:
        return QStringLiteral("MP4");
    case TAudioFormat::None:
        break;
    }
    return QStringLiteral("other");
}

} // namespace plumtide
