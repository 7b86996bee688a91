#include "id3/id3frames.h"

#include <cstring>

namespace plumtide
{

namespace
{

QString FromUtf16(const char* bytes, qsizetype length, bool bigEndian)
{
    QString text(length / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i + 1 < length; i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        *out++ = QChar(static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    return text;
}

// Length of the first string: up to a zero byte, or for UTF-16 a zero code unit.
qsizetype StringLength(const char* bytes, qsizetype length, bool wide)
{
    if (!wide) {
        const void* zero = std::memchr(bytes, 0, static_cast<size_t>(length));
        return zero ? static_cast<const char*>(zero) - bytes : length;
    }
    for (qsizetype i = 0; i + 1 < length; i += 2) {
        if (bytes[i] == 0 && bytes[i + 1] == 0)
            return i;
    }
    return length & ~qsizetype(1);
}

bool FitsLatin1(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

} // namespace

TID3FrameText ReadFrameText(const TMemoryStream& data)
{
    TID3FrameText result;
    const QByteArray& bytes = data.Bytes();
    if (bytes.isEmpty())
        return result;
    result.Encoding = static_cast<std::uint8_t>(bytes[0]);
    const char* text = bytes.constData() + 1;
    const qsizetype size = bytes.size() - 1;
    const bool wide = result.Encoding == 1 || result.Encoding == 2;
    const qsizetype length = StringLength(text, size, wide);
    switch (result.Encoding) {
    case 1: {
        // The byte-order mark decides; without one, little-endian, as most writers use.
        const bool bigEndian = length >= 2 && text[0] == '\xFE' && text[1] == '\xFF';
        const bool mark = bigEndian || (length >= 2 && text[0] == '\xFF' && text[1] == '\xFE');
        result.Text
            = mark ? FromUtf16(text + 2, length - 2, bigEndian) : FromUtf16(text, length, false);
        break;
    }
    case 2:
        result.Text = FromUtf16(text, length, true);
        break;
    case 3:
        result.Text = QString::fromUtf8(text, length);
        break;
    default:
        result.Text = QString::fromLatin1(text, length);
        break;
    }
    result.Text = TrimBlanksAndControls(result.Text);
    return result;
}

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first).unicode() <= 0x20)
        ++first;
    while (last > first && text.at(last - 1).unicode() <= 0x20)
        --last;
    return (first > 0 || last < text.size()) ? text.mid(first, last - first) : text;
}

std::uint8_t TextEncodingFor(std::uint8_t requested, const QString& text, std::uint8_t version)
{
    // A version-3 tag knows only ISO-8859-1 and UTF-16 with byte-order mark (ID3v2.3
    // standard, section 4.2); every other tag this engine writes is version 4.
    const std::uint8_t unicode = version == 3 ? 1 : 3;
    if (requested == 0 || requested > 3)
        return FitsLatin1(text) ? 0 : unicode;
    if (version == 3)
        return 1;
    return requested;
}

QByteArray EncodeFrameString(std::uint8_t encoding, const QString& text, bool terminate)
{
    QByteArray bytes;
    switch (encoding) {
    case 1:
    case 2: {
        const bool bigEndian = encoding == 2;
        bytes.reserve(2 + text.size() * 2 + 2);
        if (encoding == 1)
            bytes.append("\xFF\xFE", 2);
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            const char high = static_cast<char>(u >> 8);
            const char low = static_cast<char>(u & 0xFF);
            bytes.append(bigEndian ? high : low);
            bytes.append(bigEndian ? low : high);
        }
        if (terminate)
            bytes.append(2, '\0');
        return bytes;
    }
    case 3:
        bytes = text.toUtf8();
        break;
    default:
        bytes = text.toLatin1();
        break;
    }
    if (terminate)
        bytes.append('\0');
    return bytes;
}

void WriteFrameText(
    std::uint8_t encoding, const QString& text, TMemoryStream& data, std::uint8_t version)
{
    const std::uint8_t chosen = TextEncodingFor(encoding, text, version);
    QByteArray bytes(1, static_cast<char>(chosen));
    bytes += EncodeFrameString(chosen, text, false);
    data.SetBytes(std::move(bytes));
}

} // namespace plumtide
