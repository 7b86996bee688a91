#pragma once

// The inner loop of the artist score, inline: the planner runs it for every pair of a key
// and a folder name, tens of millions of times, where a call per pair would cost as much as
// the work. See ArtistSimilarity in artistmatch.h for the rule.

#include <QtGlobal>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace plumtide::kernel
{

// A neighbour credit of 0.45 is 9 twentieths and an equal position 20: counting in
// twentieths keeps the whole score an exact integer until the one rounding at the end.
inline constexpr qint64 equalCredit = 20;
inline constexpr qint64 neighbourCredit = 9;

#if defined(__SSE2__)
// The credits of the eight positions from k: equal, or else a neighbour of `b` equal. Reads
// b[k - 1] to b[k + 8].
inline __m128i blockCredits(const char16_t* a, const char16_t* b, qsizetype k)
{
    const auto load
        = [](const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
    const __m128i c = load(a + k);
    const __m128i equal = _mm_cmpeq_epi16(c, load(b + k));
    const __m128i neighbour
        = _mm_or_si128(_mm_cmpeq_epi16(c, load(b + k + 1)), _mm_cmpeq_epi16(c, load(b + k - 1)));
    return _mm_or_si128(_mm_and_si128(equal, _mm_set1_epi16(short(equalCredit))),
        _mm_andnot_si128(equal, _mm_and_si128(neighbour, _mm_set1_epi16(short(neighbourCredit)))));
}

inline qint64 horizontalSum(__m128i sum)
{
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(sum);
}
#endif

// Neighbour and equality credits of the positions between the first and the last of the
// shorter length, [1, shorter - 1), where both neighbours lie inside the shorter length.
inline qint64 innerCredits(const char16_t* a, const char16_t* b, qsizetype shorter)
{
    const qsizetype end = shorter - 1;
    qint64 twentieths = 0;
    qsizetype k = 1;
#if defined(__SSE2__)
    // Whole blocks of eight positions; the block at k reads b up to b[k + 8], which is
    // inside the shorter length while k + 8 <= end. The positions left after them are
    // counted by one more block ending at the last inner position, its lanes already
    // counted masked off. A 32-bit lane of the block sum gains at most 40 per block, so the
    // sum moves into the 64-bit total after every 2^20 blocks.
    if (end - k >= 8) {
        const __m128i ones = _mm_set1_epi16(1);
        while (k + 8 <= end) {
            const qsizetype segmentEnd = std::min(end, k + (qsizetype { 8 } << 20));
            __m128i sum = _mm_setzero_si128();
            for (; k + 8 <= segmentEnd; k += 8)
                sum = _mm_add_epi32(sum, _mm_madd_epi16(blockCredits(a, b, k), ones));
            twentieths += horizontalSum(sum);
        }
        if (k < end) {
            const qsizetype last = end - 8;
            const __m128i lanes = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
            const __m128i fresh = _mm_cmpgt_epi16(lanes, _mm_set1_epi16(short(k - last - 1)));
            twentieths += horizontalSum(
                _mm_madd_epi16(_mm_and_si128(blockCredits(a, b, last), fresh), ones));
        }
        return twentieths;
    }
#endif
    // Without branches: whether a position matches is as good as random, and mispredicted
    // branches would cost more than the arithmetic.
    for (; k < end; ++k) {
        const char16_t c = a[k];
        const qint64 equal = c == b[k];
        const qint64 neighbour = (c == b[k + 1]) | (c == b[k - 1]);
        twentieths += equal * equalCredit + (neighbour & (equal ^ 1)) * neighbourCredit;
    }
    return twentieths;
}

// The credits of the first `shorter` positions of two prepared names, in twentieths.
inline qint64 twentieths(const char16_t* a, const char16_t* b, qsizetype shorter)
{
    if (shorter == 0)
        return 0;
    // The first and the last position earn no neighbour credit.
    qint64 result = a[0] == b[0] ? equalCredit : 0;
    if (shorter > 1 && a[shorter - 1] == b[shorter - 1])
        result += equalCredit;
    return result + innerCredits(a, b, shorter);
}

} // namespace plumtide::kernel
