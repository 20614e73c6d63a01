// Feeds arbitrary bytes to the HTML tag scanner as a page's text. Besides not crashing or
// hanging, checks what the crawl relies on: every name is site-relative, the lists hold no two
// names equal under SameName, and links and frames come only from page-like values (also with
// clean URLs on).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sitemap/TagScanner.h"

namespace {

void CheckList(const StringList& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].empty() || list[i][0] != '/')
            std::abort();
        for (std::size_t k = 0; k < i; ++k) {
            if (SameName(list[i], list[k]))
                std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CTagScanner scanner("www.example.com");
    StringList links, frames, images;
    scanner.ScanAll("/dir/page.html", text, links, frames, images);
    CheckList(links);
    CheckList(frames);
    CheckList(images);
    for (const StringList* list : {&links, &frames}) {
        for (const std::string& name : *list) {
            // Resolution keeps a value's ending, so a page link still looks like a page.
            if (!IsPageLink(name))
                std::abort();
        }
    }
    // With clean URLs, links and frames may also end in "/" or have no extension.
    scanner.SetCleanUrls(true);
    links.clear();
    frames.clear();
    images.clear();
    scanner.ScanAll("/dir/page.html", text, links, frames, images);
    CheckList(links);
    CheckList(frames);
    for (const StringList* list : {&links, &frames}) {
        for (const std::string& name : *list) {
            const bool clean =
                name.back() == '/' || name.find('.', name.rfind('/')) == std::string::npos;
            if (!IsPageLink(name) && !clean)
                std::abort();
        }
    }
    return 0;
}
