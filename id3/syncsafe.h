#pragma once

#include <cstddef>
#include <cstdint>

namespace plumtide
{

// Integer codings of the ID3v2 tag format. Every multi-byte integer in a tag is stored most
// significant byte first; the helpers below take and give byte buffers in that order.

// Reverses the order of the first `n` bytes of `buffer` (big-endian <-> little-endian).
void ReverseBytes(void* buffer, std::size_t n);

// A syncsafe integer (ID3v2.4 standard, section 6.2) carries 7 bits per byte, the top bit of
// every byte being 0, most significant group first: four bytes carry 28 bits, five carry 35.
// Decoding ignores the top bit of each byte.
std::uint64_t DecodeSyncsafe(const std::uint8_t* bytes, int n);

// Encodes `value` into `n` syncsafe bytes; bits that do not fit into 7n bits are cut.
void EncodeSyncsafe(std::uint64_t value, std::uint8_t* bytes, int n);

// True when no byte of the `n` has its top bit set, i.e. the bytes are a valid syncsafe integer.
bool IsSyncsafe(const std::uint8_t* bytes, int n);

// Plain big-endian integers of `n` bytes (n at most 8).
std::uint64_t DecodeBigEndian(const std::uint8_t* bytes, int n);
void EncodeBigEndian(std::uint64_t value, std::uint8_t* bytes, int n);

} // namespace plumtide
