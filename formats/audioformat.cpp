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

// The extension of a file's name, from the last dot of its name; empty when it has none.
QStringView extensionOf(QStringView path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0 || dot < slash)
        return {};
    return path.mid(dot + 1);
}

// The bit of an extension in a TFileFormats; 0 for one that is not a music file's.
quint8 bitOf(QStringView extension)
{
    for (size_t i = 0; i < kExtensions.size(); ++i) {
        if (extension.compare(kExtensions[i].first, Qt::CaseInsensitive) == 0)
            return quint8(1U << i);
    }
    return 0;
}

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
    const QStringView extension = extensionOf(path);
    return extension.isEmpty() ? TAudioFormat::None : AudioFormatOfExtension(extension);
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

TFileFormats TFileFormats::All()
{
    return TFileFormats(quint8((1U << kExtensions.size()) - 1));
}

std::optional<TFileFormats> TFileFormats::FromText(QStringView text)
{
    quint8 bits = 0;
    for (const QStringView word : text.split(u',')) {
        const quint8 bit = bitOf(word.trimmed());
        if (bit == 0)
            return std::nullopt;
        bits |= bit;
    }
    return TFileFormats(bits);
}

QString TFileFormats::text() const
{
    QStringList words;
    for (size_t i = 0; i < kExtensions.size(); ++i) {
        if (m_bits & (1U << i))
            words << kExtensions[i].first.toString();
    }
    return words.join(u',');
}

bool TFileFormats::namesFile(QStringView path) const
{
    const QStringView extension = extensionOf(path);
    return !extension.isEmpty() && (m_bits & bitOf(extension)) != 0;
}

bool TFileFormats::beyondMp3() const
{
    return (m_bits & ~1U) != 0;
}

} // namespace plumtide
