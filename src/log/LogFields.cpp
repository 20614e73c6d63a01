#include "log/LogFields.h"

#include <limits>

namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads one number at pos as %d does; false when there is none. Moves pos behind it.
bool ReadNumber(std::string_view text, std::size_t& pos, int32_t* value) {
    std::size_t i = pos;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !IsDigit(text[i])) {
        return false;
    }
    int64_t v = 0;
    constexpr int64_t kCap = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (v < kCap) {
            v = v * 10 + (text[i] - '0');
        }
    }
    if (negative) {
        v = -v;
    }
    if (v > std::numeric_limits<int32_t>::max()) {
        v = std::numeric_limits<int32_t>::max();
    }
    if (v < std::numeric_limits<int32_t>::min()) {
        v = std::numeric_limits<int32_t>::min();
    }
    *value = static_cast<int32_t>(v);
    pos = i;
    return true;
}

}  // namespace

int32_t LeadingNumberSlow(std::string_view text) {
    std::size_t pos = 0;
    int32_t value = 0;
    return ReadNumber(text, pos, &value) ? value : 0;
}

int ScanNumbers(std::string_view text, char sep, int32_t* a, int32_t* b, int32_t* c) {
    std::size_t pos = 0;
    int32_t* out[] = {a, b, c};
    for (int n = 0; n < 3; ++n) {
        if (n > 0) {
            if (pos >= text.size() || text[pos] != sep) {
                return n;
            }
            ++pos;
        }
        if (!ReadNumber(text, pos, out[n])) {
            return n;
        }
    }
    return 3;
}
