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
