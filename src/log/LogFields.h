// Number reading shared by the log readers, over texts that need not be NUL-terminated. Pure
// functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The first byte a or b in [from, end), or nullptr; reads as FindByte does.
inline const char* FindEitherByte(const char* from, const char* end, char a, char b) {
#if defined(__SSE2__)
    const __m128i wantA = _mm_set1_epi8(a);
    const __m128i wantB = _mm_set1_epi8(b);
    for (const char* p = from; p < end; p += 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, wantA), _mm_cmpeq_epi8(chunk, wantB));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0) {
            const char* at = p + __builtin_ctz(mask);
            return at < end ? at : nullptr;
        }
    }
    return nullptr;
#else
    for (const char* p = from; p < end; ++p) {
        if (*p == a || *p == b) {
            return p;
        }
    }
    return nullptr;
#endif
}

// A fast 64-bit hash of a short text (names, addresses), inline: eight bytes at a time, each
// mixed by a multiplication, and a final avalanche. Not for untrusted collision resistance: the
// tables that use it compare the texts themselves.
inline uint64_t TextHash(std::string_view text) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    uint64_t h = 0xA0761D6478BD642Full ^ (text.size() * kMultiplier);
    const char* p = text.data();
    std::size_t left = text.size();
    while (left >= 8) {
        uint64_t chunk;
        std::memcpy(&chunk, p, 8);
        h = (h ^ chunk) * kMultiplier;
        h ^= h >> 32;
        p += 8;
        left -= 8;
    }
    if (left > 0) {
        // The last 1 to 7 bytes without a call of memcpy: two overlapping 4-byte reads, or up to
        // three single bytes.
        uint64_t chunk;
        if (left >= 4) {
            uint32_t a, b;
            std::memcpy(&a, p, 4);
            std::memcpy(&b, p + left - 4, 4);
            chunk = (static_cast<uint64_t>(a) << 32) | b;
        } else {
            chunk = (static_cast<uint64_t>(static_cast<unsigned char>(p[0])) << 16) |
                    (static_cast<uint64_t>(static_cast<unsigned char>(p[left / 2])) << 8) |
                    static_cast<unsigned char>(p[left - 1]);
        }
        h = (h ^ chunk) * kMultiplier;
        h ^= h >> 32;
    }
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return h;
}

// Bytes that may be read past the end of a line held in a padded buffer (see FindByte).
constexpr std::size_t kLinePadding = 16;

// The first byte c in [from, end), or nullptr. Reads up to kLinePadding - 1 bytes past end, which
// the caller's buffer must hold.
inline const char* FindByte(const char* from, const char* end, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (const char* p = from; p < end; p += 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)));
        if (mask != 0) {
            const char* at = p + __builtin_ctz(mask);
            return at < end ? at : nullptr;
        }
    }
    return nullptr;
#else
    return from < end ? static_cast<const char*>(std::memchr(from, c, end - from)) : nullptr;
#endif
}

// The value of the leading decimal number of text as atoi reads it: leading white space, an
// optional sign, then digits; 0 when there are none. Values beyond 32 bits saturate.
int32_t LeadingNumberSlow(std::string_view text);
inline int32_t LeadingNumber(std::string_view text) {
    // Log fields are mostly short runs of plain digits: read those here, the rest the long way.
    std::size_t n = text.size() < 9 ? text.size() : 9;
    int32_t value = 0;
    std::size_t i = 0;
    for (; i < n; ++i) {
        unsigned digit = static_cast<unsigned char>(text[i]) - unsigned('0');
        if (digit > 9) {
            break;
        }
        value = value * 10 + static_cast<int32_t>(digit);
    }
    if (i > 0 && (i == text.size() || i < 9)) {
        return value;
    }
    return LeadingNumberSlow(text);
}

// Reads "%d<sep>%d<sep>%d" as sscanf does (each number after optional white space and sign; the
// separators exactly) and returns how many numbers were read, 0 to 3.
int ScanNumbers(std::string_view text, char sep, int32_t* a, int32_t* b, int32_t* c);
