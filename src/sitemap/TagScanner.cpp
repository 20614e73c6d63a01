#include "sitemap/TagScanner.h"

#include <cstring>

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The first position of pattern, ignoring case, that starts in text[from, end); npos if none.
std::size_t FindIn(std::string_view text, std::size_t from, std::size_t end,
                   std::string_view pattern) {
    end = std::min(end, text.size());
    if (from >= end) {
        return npos;
    }
    // A match that starts before end may run past it.
    std::size_t limit = std::min(text.size(), end - 1 + pattern.size());
    std::ptrdiff_t at = FindNoCase(text.data() + from, limit - from, pattern);
    return at < 0 ? npos : from + static_cast<std::size_t>(at);
}

// The first position of c in text[from, end); npos if none.
std::size_t FindCharIn(std::string_view text, std::size_t from, std::size_t end, char c) {
    if (from >= end) {
        return npos;
    }
    const void* hit = std::memchr(text.data() + from, c, end - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : npos;
}

}  // namespace

CTagScanner::CTagScanner(std::string domain) : m_domain(std::move(domain)) {}

void CTagScanner::ScanAll(std::string_view pageName, std::string_view text, StringList& links,
                          StringList& frames, StringList& images) const {
    ScanQuoted(pageName, text, "A", "HREF", true, links);
    ScanQuoted(pageName, text, "FRAME", "SRC", true, frames);
    ScanQuoted(pageName, text, "IMG", "SRC", false, images);
    ScanQuoted(pageName, text, "EMBED", "SRC", false, images);
    RemoveDuplicates(links);
    RemoveDuplicates(frames);
    RemoveDuplicates(images);
}

void CTagScanner::ScanQuoted(std::string_view pageName, std::string_view text, std::string_view tag,
                             std::string_view attribute, bool pagesOnly, StringList& list) const {
    // The page is text: it ends at its first zero byte.
    text = text.substr(0, text.find('\0'));
    std::string opener = "<";
    opener.append(tag);

    std::size_t pos = 0;
    for (;;) {
        std::size_t open = FindIn(text, pos, text.size(), opener);
        if (open == npos) {
            break;
        }
        std::size_t close = text.find('>', open);
        if (close == npos) {
            // No later opener has a ">" after it either, so no later tag can give a value.
            break;
        }
        pos = close;
        // The attribute name is looked for from the opener on, and the value is the text
        // between the next two double quotes; the tag gives a value only when the second quote
        // comes before its ">". So a match of the attribute that starts after the ">" gives
        // nothing, and every search can stop at the ">" (which keeps the scan linear: the
        // next tag is looked for from that ">" on).
        std::size_t name = FindIn(text, open, close + 1, attribute);
        if (name == npos) {
            continue;
        }
        std::size_t first = FindCharIn(text, name, close, '"');
        if (first == npos) {
            continue;
        }
        std::size_t second = FindCharIn(text, first + 1, close, '"');
        if (second == npos) {
            continue;
        }
        std::string_view value = text.substr(first + 1, second - first - 1);
        if (!pagesOnly || LooksLikePage(value)) {
            list.emplace_back(value);
        }
    }
    ResolveList(pageName, list);
}

void CTagScanner::ResolveList(std::string_view pageName, StringList& list) const {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string resolved = ResolveLink(m_domain, pageName, list[i]);
        if (!resolved.empty()) {
            list[kept++] = std::move(resolved);
        }
    }
    list.resize(kept);
}

bool CTagScanner::LooksLikePage(std::string_view value) const {
    if (IsPageLink(value)) {
        return true;
    }
    if (!m_cleanUrls || value.empty() || value.find_first_of("?#") != std::string_view::npos) {
        return false;
    }
    // A colon is only taken as the separator of an absolute address ("http://host/...").
    const std::size_t scheme = value.find("://");
    const std::size_t colon = value.find(':');
    if (colon != std::string_view::npos &&
        (colon != scheme || value.find(':', colon + 1) != std::string_view::npos)) {
        return false;
    }
    const std::size_t slash = value.rfind('/');
    if (scheme != std::string_view::npos && slash < scheme + 3) {
        return false;  // a bare host
    }
    return value.back() == '/' ||
           value.find('.', slash == std::string_view::npos ? 0 : slash) == std::string_view::npos;
}
