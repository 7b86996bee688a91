#include "id3/syncsafe.h"

#include <algorithm>

namespace plumtide
{

void ReverseBytes(void* buffer, std::size_t n)
{
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::reverse(bytes, bytes + n);
}

std::uint64_t DecodeSyncsafe(const std::uint8_t* bytes, int n)
{
    std::uint64_t result = 0;
    for (int i = 0; i < n; ++i)
        result = (result << 7) | (bytes[i] & 0x7F);
    return result;
}

void EncodeSyncsafe(std::uint64_t value, std::uint8_t* bytes, int n)
{
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>((value >> (7 * (n - 1 - i))) & 0x7F);
}

bool IsSyncsafe(const std::uint8_t* bytes, int n)
{
    return std::none_of(bytes, bytes + n, [](std::uint8_t b) { return (b & 0x80) != 0; });
}

std::uint64_t DecodeBigEndian(const std::uint8_t* bytes, int n)
{
    std::uint64_t result = 0;
    for (int i = 0; i < n; ++i)
        result = (result << 8) | bytes[i];
    return result;
}

void EncodeBigEndian(std::uint64_t value, std::uint8_t* bytes, int n)
{
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * (n - 1 - i)));
}

} // namespace plumtide
