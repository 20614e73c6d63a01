// Feeds arbitrary names, server addresses, HTTP answers and SFTP listings to the site access's
// parsers: the root-containment check, the address parser, the header search, the redirect
// resolver, the request-target encoder, the listing search and the text buffer's replacement.
// Besides not crashing, checks what callers rely on: a request target holds only bytes a URL may
// carry and no fragment, an accepted address has a clean host, and a name that stays inside the
// root keeps doing so in its request-target form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "site/ServerAddress.h"
#include "site/SiteAccess.h"
#include "site/TextBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    // Two strings separated by the first newline (the second may be empty).
    std::size_t cut = input.find('\n');
    std::string a = input.substr(0, cut);
    std::string b = cut == std::string::npos ? std::string() : input.substr(cut + 1);

    const bool inside = CSiteAccess::StaysInsideRoot(a);
    const std::string target = CHttpSiteAccess::RequestTarget(a);
    if (target.empty() || target[0] != '/')
        std::abort();
    for (char c : target) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f || c == '#' || std::strchr("\"<>\\^`{|}", c) != nullptr) {
            std::abort();
        }
    }
    // What the HTTP access accepts is accepted by the general rule, and its request target
    // (which only escapes bytes and drops the fragment) stays inside as well.
    if (CHttpSiteAccess::NameStaysInsideRoot(a)) {
        if (!inside)
            std::abort();
        if (!CSiteAccess::StaysInsideRoot(target.substr(0, target.find('?'))))
            std::abort();
    }

    CServerAddress address;
    if (address.Parse(a)) {
        if (address.Host.empty())
            std::abort();
        for (char c : address.Host + address.Path) {
            if (static_cast<unsigned char>(c) < 0x20)
                std::abort();
        }
        CServerAddress again;
        if (!again.Parse(address.HostAndPort() + address.Path))
            std::abort();
        if (again.Host != address.Host || again.Port != address.Port)
            std::abort();
    }

    std::string value;
    if (CHttpSiteAccess::FindHeader(input, "Location", value)) {
        if (value.find('\n') != std::string::npos)
            std::abort();
    }
    CHttpSiteAccess::SRedirect redirect;
    if (CHttpSiteAccess::ResolveRedirect("http://www.example.com:8080/dir/page.html", a,
                                         redirect)) {
        if (redirect.host.empty() || redirect.scheme.empty())
            std::abort();
    }

    CFtpSiteAccess::SEntry entry;
    const bool listed = CFtpSiteAccess::FindListedEntry(b, a, entry);
    if (listed != entry.found || (listed && entry.size < 0))
        std::abort();

    CTextBuffer buffer;
    if (!buffer.Assign(b))
        std::abort();
    const bool found = !a.empty() && buffer.ReplaceAll(a, "[" + a + "]");
    if (found && buffer.Length() <= static_cast<int32_t>(b.size()))
        std::abort();
    if (!found && buffer.View() != b)
        std::abort();
    return 0;
}
