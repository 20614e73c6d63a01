#include "res/StringTable.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

struct Entry {
    int id;
    const char* text;
};

const Entry kEntries[] = {
#define TARVIK_STRING(name, id, text) {id, text},
#include "res/strings/All.inc"
#undef TARVIK_STRING
};

// Sorted by id once; the .def files are grouped by area, not by number.
const std::vector<Entry>& SortedEntries() {
    static const std::vector<Entry> sorted = [] {
        std::vector<Entry> v(std::begin(kEntries), std::end(kEntries));
        std::stable_sort(v.begin(), v.end(),
                         [](const Entry& a, const Entry& b) { return a.id < b.id; });
        return v;
    }();
    return sorted;
}

const Entry* Find(int id) {
    const auto& v = SortedEntries();
    auto it = std::lower_bound(v.begin(), v.end(), id,
                               [](const Entry& e, int key) { return e.id < key; });
    if (it == v.end() || it->id != id) {
        return nullptr;
    }
    return &*it;
}

}  // namespace

const char* ResString(int id) {
    const Entry* e = Find(id);
    return e ? e->text : "";
}

bool HasResString(int id) {
    return Find(id) != nullptr;
}

std::string FormatTextV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        return std::string();
    }
    if (static_cast<size_t>(n) < sizeof small) {
        return std::string(small, static_cast<size_t>(n));
    }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = FormatTextV(format, args);
    va_end(args);
    return s;
}

std::string FormatStringV(int id, va_list args) {
    return FormatTextV(ResString(id), args);
}

std::string FormatString(int id, ...) {
    va_list args;
    va_start(args, id);
    std::string s = FormatStringV(id, args);
    va_end(args);
    return s;
}

namespace {

void AppendHexByte(std::string& out, unsigned char c) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
}

// The length of the well-formed UTF-8 sequence at text[i] (2 to 4 bytes), 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    }
    const unsigned char d = static_cast<unsigned char>(text[i + 1]);
    if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F) || (c == 0xF0 && d < 0x90) ||
        (c == 0xF4 && d > 0x8F))
        return 0;  // overlong, surrogate or past U+10FFFF
    return n;
}

}  // namespace

std::string ShownText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F)
                AppendHexByte(out, c);
            else
                out += static_cast<char>(c);
            ++i;
        } else if (std::size_t n = SequenceLength(text, i)) {
            // U+0080 to U+009F (C2 80 to C2 9F) are the C1 controls.
            if (n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
                AppendHexByte(out, c);
                AppendHexByte(out, static_cast<unsigned char>(text[i + 1]));
            } else {
                out.append(text.substr(i, n));
            }
            i += n;
        } else {
            AppendHexByte(out, c);
            ++i;
        }
    }
    return out;
}
