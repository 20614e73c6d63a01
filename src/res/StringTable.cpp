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
