#include "embed/PageEmbedding.h"

#include <cstddef>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "res/StringTable.h"
#include "site/SiteAccess.h"

namespace {

// The applet tag and the script that defines the start function, on one line. Whitespace is
// exact; the placeholders in braces are filled by BuildAppletText.
constexpr const char kAppletTemplate[] =
    R"tpl(<applet Codebase="{Codebase}" code="{code}" name="{name}" archive="{zip}" )tpl"
    R"tpl(width="2" height="1"> <PARAM name="{param}" VALUE="{file}"> <PARAM name="cabbase" )tpl"
    R"tpl(VALUE="{cab}"> </applet>  <script language="javascript"> function startQuorvane )tpl"
    R"tpl((){ var ua = window.navigator.userAgent;   var msie = ua.indexOf ( "MSIE " );   )tpl"
    R"tpl(var ver =4; if ( msie > 0 ) ver = parseInt (ua.substring (msie+5, ua.indexOf )tpl"
    R"tpl((".", msie ))); if (ver < 4) { if (document.{name}) )tpl"
    R"tpl(document.{name}.startRunning()} else{ if (document.applets.length > 0) )tpl"
    R"tpl(document.applets.{name}.startRunning()}}</script>)tpl";

// What follows the template's script when the pages load the script loader too.
constexpr const char kLoaderTag[] = R"tpl(<script src="{Codebase}/quorvane.js"></script>)tpl";

// The onLoad attribute given to a BODY tag that has none: a blank, onLoad, "=", and the call in
// double quotes.
std::string StartCallAttribute() {
    std::string text = " onLoad=\"";
    text.append(kStartCall);
    text.push_back('"');
    return text;
}

// Where the start call goes inside a BODY tag whose attributes begin at from.
struct CallPlace {
    int32_t at = -1;         // position of the call, -1 when the tag has no onLoad value
    bool needsComma = true;  // the value already runs something
};

// Reads the attributes of the tag that begins before from, up to the tag's closing ">" (a ">"
// inside a quoted value does not close it), and finds the value of its onLoad attribute. An
// onLoad found anywhere else (after the tag, inside another attribute's value, or without "=")
// does not count.
CallPlace FindOnLoadValue(std::string_view page, std::size_t from) {
    CallPlace place;
    std::size_t i = from;
    const std::size_t n = page.size();
    while (i < n) {
        while (i < n && (IsBlank(page[i]) || page[i] == '/')) {
            ++i;
        }
        if (i >= n || page[i] == '>') {
            break;
        }
        const std::size_t nameStart = i;
        while (i < n && !IsBlank(page[i]) && page[i] != '=' && page[i] != '>') {
            ++i;
        }
        std::string_view name = page.substr(nameStart, i - nameStart);
        if (name.empty()) {
            ++i;  // a stray "=": step over it
            continue;
        }
        std::size_t j = i;
        while (j < n && IsBlank(page[j])) {
            ++j;
        }
        if (j >= n || page[j] != '=') {
            continue;  // an attribute without a value
        }
        ++j;
        while (j < n && IsBlank(page[j])) {
            ++j;
        }
        const bool onLoad = EqualsNoCase(name, "onLoad");
        if (j < n && (page[j] == '"' || page[j] == '\'')) {
            const char quote = page[j];
            std::size_t close = page.find(quote, j + 1);
            if (onLoad) {
                place.at = static_cast<int32_t>(j + 1);
                place.needsComma = close != j + 1;
                return place;
            }
            i = close == std::string_view::npos ? n : close + 1;
        } else {
            std::size_t end = j;
            while (end < n && !IsBlank(page[end]) && page[end] != '>') {
                ++end;
            }
            if (onLoad) {
                place.at = static_cast<int32_t>(j);
                place.needsComma = end != j;
                return place;
            }
            i = end;
        }
    }
    return place;
}

// The last "<" at or after position 1 where pattern starts (ignoring case), scanning backwards
// from the end; -1 when there is none.
int32_t FindLastTag(std::string_view page, std::string_view pattern) {
    for (std::size_t i = page.size(); i-- > 1;) {
        if (page[i] == '<' && StartsWithNoCase(page.substr(i), pattern)) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

}  // namespace

bool ReplaceAll(CTextBuffer& buffer, std::string_view key, std::string_view value) {
    return buffer.ReplaceAll(key, value);
}

bool BuildAppletText(std::string_view pageName, std::string_view agentDirectoryPath,
                     std::string_view firstFetchFile, CTextBuffer& out, bool withLoader) {
    if (!out.Assign(std::string_view(kAppletTemplate)) ||
        (withLoader && !out.Append(std::string_view(kLoaderTag)))) {
        return false;
    }
    std::string file(kNoFetchFile);
    if (firstFetchFile != kNoFetchFile) {
        std::string fetchPath(firstFetchFile);
        NormalizePath(fetchPath, true, false);
        file = RelativePath(pageName, fetchPath);
    }
    ReplaceAll(out, "{app}", "Quorvane");
    ReplaceAll(out, "{code}", "quorvane.class");
    ReplaceAll(out, "{Codebase}", RelativePath(pageName, agentDirectoryPath));
    ReplaceAll(out, "{name}", kAppletBlockName);
    ReplaceAll(out, "{zip}", "qvan.zip");
    ReplaceAll(out, "{cab}", "qvan.cab");
    if (!ReplaceAll(out, "{param}", "ID")) {
        return false;
    }
    return ReplaceAll(out, "{file}", file);
}

int32_t RemoveElement(CTextBuffer& page, std::string_view name) {
    if (name.empty()) {
        return page.Length();
    }
    const std::string_view text = page.View();
    std::size_t start = std::string_view::npos;
    std::size_t closeGt = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '<') {
            continue;
        }
        std::string_view rest = text.substr(i + 1);
        if (StartsWithNoCase(rest, name)) {
            start = i;
        } else if (!rest.empty() && rest[0] == '/' && StartsWithNoCase(rest.substr(1), name)) {
            // The closing tag's ">" is taken to stand right after the name.
            closeGt = i + 2 + name.size();
            break;
        }
    }
    if (start != std::string_view::npos && closeGt != std::string_view::npos) {
        // Through the ">" and the byte after it, as far as the page goes.
        std::size_t end = closeGt + 2 < text.size() ? closeGt + 2 : text.size();
        page.Erase(static_cast<int32_t>(start), static_cast<int32_t>(end - start));
    }
    return page.Length();
}

int32_t InsertAppletBlock(CTextBuffer& page, std::string_view appletText, std::string_view name) {
    RemoveElement(page, name);
    const std::string_view text = page.View();
    int32_t point = -1;
    int32_t html = -1;
    for (std::size_t i = text.size(); i-- > 1;) {
        if (text[i] != '<') {
            continue;
        }
        std::string_view rest = text.substr(i);
        if (StartsWithNoCase(rest, "</BODY>")) {
            point = static_cast<int32_t>(i);
            break;
        }
        if (StartsWithNoCase(rest, "</HTML>")) {
            html = static_cast<int32_t>(i);
        }
    }
    if (point < 0) {
        point = html >= 0 ? html : page.Length();
    }
    std::string block;
    block.reserve(appletText.size() + 2 * name.size() + 12);
    block.append("<").append(name).append(">\r\n");
    block.append(appletText);
    block.append("\r\n</").append(name).append(">\r\n");
    if (!page.Insert(point, block)) {
        return -1;
    }
    return page.Length();
}

int32_t InsertStartCall(CTextBuffer& page) {
    const std::string_view text = page.View();
    if (FindNoCase(text.data(), text.size(), kStartCall) >= 0) {
        return page.Length();
    }
    const std::ptrdiff_t body = FindNoCase(text.data(), text.size(), "<BODY");
    if (body >= 0) {
        CallPlace place = FindOnLoadValue(text, static_cast<std::size_t>(body) + 5);
        bool ok;
        if (place.at >= 0) {
            std::string call(kStartCall);
            if (place.needsComma) {
                call.push_back(',');
            }
            ok = page.Insert(place.at, call);
        } else {
            ok = page.Insert(static_cast<int32_t>(body) + 5, StartCallAttribute());
        }
        return ok ? page.Length() : -1;
    }

    // No BODY tag: open one after the first "<HTML>" and its line end, or at the start.
    int32_t at = 0;
    const std::ptrdiff_t html = FindNoCase(text.data(), text.size(), "<HTML>");
    if (html >= 0) {
        std::size_t after = static_cast<std::size_t>(html) + 6;
        if (text.substr(after, 2) == "\r\n") {
            after += 2;
        } else if (after < text.size() && (text[after] == '\n' || text[after] == '\r')) {
            after += 1;
        }
        at = static_cast<int32_t>(after);
    }
    std::string open = "<BODY" + StartCallAttribute() + ">\r\n";
    if (!page.Insert(at, open)) {
        return -1;
    }
    int32_t close = FindLastTag(page.View(), "</HTML>");
    if (close < 0) {
        close = page.Length();
    }
    if (!page.Insert(close, "</BODY>\r\n")) {
        return -1;
    }
    return page.Length();
}

bool EmbedInBuffer(CTextBuffer& page, std::string_view appletText) {
    return InsertAppletBlock(page, appletText, kAppletBlockName) >= 0 && InsertStartCall(page) >= 0;
}

bool EmbedInPage(CSiteAccess* access, const std::string& pageName,
                 std::string_view agentDirectoryPath, std::string_view firstFetchFile,
                 bool withLoader) {
    CTextBuffer page;
    if (access == nullptr || !access->ReadFile(pageName, page)) {
        SetLastMessage(IDS_COULD_NOT_READ_FILE, pageName.c_str());
        return false;
    }
    CTextBuffer applet;
    if (!BuildAppletText(pageName, agentDirectoryPath, firstFetchFile, applet, withLoader)) {
        SetLastMessage(IDS_APPLET_ERROR);
        return false;
    }
    if (!EmbedInBuffer(page, applet.View())) {
        SetLastMessage(IDS_PAGE_TOO_LARGE, pageName.c_str());
        return false;
    }
    if (!access->WriteFile(pageName, page)) {
        SetLastMessage(IDS_COULD_NOT_WRITE_FILE, pageName.c_str());
        return false;
    }
    return true;
}
