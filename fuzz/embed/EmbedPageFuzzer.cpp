// Embeds the applet into arbitrary page bytes, twice. Besides not crashing, for a page that does
// not already mention the applet's name, checks that embedding only inserts (the block and the
// start call, and a BODY tag where the page has none), and that embedding the result again
// leaves one block and one call and otherwise adds one LF where the old block began.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/PathRules.h"
#include "embed/PageEmbedding.h"

namespace {

int CountNoCase(const std::string& text, std::string_view what) {
    int n = 0;
    std::size_t from = 0;
    for (;;) {
        std::ptrdiff_t at = FindNoCase(text.data() + from, text.size() - from, what);
        if (at < 0) {
            return n;
        }
        ++n;
        from += static_cast<std::size_t>(at) + 1;
    }
}

std::string Embed(const std::string& page, std::string_view applet) {
    CTextBuffer buffer;
    if (!buffer.Assign(page) || !EmbedInBuffer(buffer, applet)) {
        std::abort();  // nothing here comes near the buffer's size limit
    }
    return buffer.ToString();
}

// Removes the one start-call insertion from text (which holds no block any more); returns false
// when it is not where embedding puts it.
bool RemoveStartCall(std::string& text, const std::string& original) {
    const std::string attribute = " onLoad=\"startQuorvane()\"";
    const std::ptrdiff_t body = FindNoCase(original.data(), original.size(), "<BODY");
    if (body >= 0) {
        const std::size_t call = text.find("startQuorvane()");
        if (call == std::string::npos) {
            return false;
        }
        // The attribute after "<BODY", or the call with or without its comma in a value.
        const std::size_t starts[] = {call >= 9 ? call - 9 : call, call, call};
        const std::string inserted[] = {attribute, "startQuorvane(),", "startQuorvane()"};
        for (int i = 0; i < 3; ++i) {
            if (text.compare(starts[i], inserted[i].size(), inserted[i]) == 0) {
                std::string without = text;
                without.erase(starts[i], inserted[i].size());
                if (without == original) {
                    text = without;
                    return true;
                }
            }
        }
        return false;
    }
    const std::string open = "<BODY" + attribute + ">\r\n";
    const std::size_t at = text.find(open);
    if (at == std::string::npos) {
        return false;
    }
    text.erase(at, open.size());
    // "</BODY>" and CR LF went before the last "</HTML>" (not at the first byte), or to the end.
    std::size_t close = text.size();
    for (std::size_t i = text.size(); i-- > 1;) {
        if (StartsWithNoCase(std::string_view(text).substr(i), "</HTML>")) {
            close = i;
            break;
        }
    }
    const std::string end = "</BODY>\r\n";
    // The scan ran over the page with the inserted "</BODY>" not yet there; the "</HTML>" it
    // found now stands right after it.
    if (close < end.size() || text.compare(close - end.size(), end.size(), end) != 0) {
        return false;
    }
    text.erase(close - end.size(), end.size());
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    CTextBuffer applet;
    if (!BuildAppletText("/a/b/page.html", "/tarvik", "/tarvik/fetch3x0.qvf", applet)) {
        std::abort();
    }
    const std::string once = Embed(page, applet.View());
    const std::string twice = Embed(once, applet.View());
    if (CountNoCase(page, "quorvane") != 0) {
        return 0;  // an old block or call of its own: only the absence of crashes is checked
    }

    const std::string block = "<Quorvane>\r\n" + applet.ToString() + "\r\n</Quorvane>\r\n";
    if (CountNoCase(once, "<Quorvane") != 1 || CountNoCase(twice, "<Quorvane") != 1 ||
        CountNoCase(once, "startQuorvane()") != 1 || CountNoCase(twice, "startQuorvane()") != 1) {
        std::abort();
    }
    const std::size_t first = once.find(block);
    const std::size_t second = twice.find(block);
    if (first == std::string::npos || second == std::string::npos) {
        std::abort();
    }

    // The first embedding only inserted.
    std::string stripped = once;
    stripped.erase(first, block.size());
    if (!RemoveStartCall(stripped, page) || stripped != page) {
        std::abort();
    }

    // The second left everything else as it was, plus one LF where the old block began.
    std::string expected = once;
    expected.erase(first, block.size());
    expected.insert(first, "\n");
    std::string again = twice;
    again.erase(second, block.size());
    if (again != expected) {
        std::abort();
    }
    return 0;
}
