#include "site/ServerAddress.h"

#include <curl/curl.h>

#include <memory>

#include "base/PathRules.h"

namespace {

// The characters an authority may hold: a host name, an IPv4 or bracketed IPv6 literal and a
// port. Anything else ("@", "%", "?", "#", blanks) is refused before libcurl would take it for
// a user, an escape, a query or a fragment.
bool IsAuthorityChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == ':' || c == '[' || c == ']';
}

bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

// One part of a parsed URL; "" when it has none.
std::string UrlPart(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    std::string value;
    if (curl_url_get(url, part, &text, 0) == CURLUE_OK && text != nullptr) {
        value = text;
    }
    curl_free(text);
    return value;
}

}  // namespace

bool CServerAddress::Parse(std::string_view text) {
    Scheme.clear();
    Host.clear();
    Port = 0;
    Path.clear();
    text = Trim(text);

    std::string lowered;
    std::size_t schemeEnd = text.find("://");
    if (schemeEnd != std::string_view::npos) {
        std::string_view scheme = text.substr(0, schemeEnd);
        if (scheme.empty()) {
            return false;
        }
        for (char c : scheme) {
            if (!IsSchemeChar(c)) {
                return false;
            }
        }
        lowered = ToLowerAscii(scheme);
        text.remove_prefix(schemeEnd + 3);
    }

    std::size_t slash = text.find_first_of("/\\");
    std::string_view authority = text.substr(0, slash);
    std::string_view path =
        slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    // libcurl takes an empty port for none; here it names no server.
    if (authority.empty() || authority.back() == ':') {
        return false;
    }
    for (char c : authority) {
        if (!IsAuthorityChar(c)) {
            return false;
        }
    }
    // The host and port as libcurl reads them (whatever the scheme, which it need not know).
    std::unique_ptr<CURLU, void (*)(CURLU*)> url(curl_url(), curl_url_cleanup);
    const std::string whole = "http://" + std::string(authority);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, whole.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    std::string host = UrlPart(url.get(), CURLUPART_HOST);
    const std::string port = UrlPart(url.get(), CURLUPART_PORT);
    if (host.empty() || port == "0") {
        return false;
    }

    // The path: "/" separated, no empty segments, no trailing slash.
    std::string cleaned;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find_first_of("/\\", pos);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        std::string_view segment = path.substr(pos, end - pos);
        for (char c : segment) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                return false;
            }
        }
        if (!segment.empty()) {
            cleaned.push_back('/');
            cleaned.append(segment);
        }
        pos = end + 1;
    }
    Scheme = std::move(lowered);
    Host = std::move(host);
    Port = port.empty() ? 0 : static_cast<uint16_t>(std::stoul(port));
    Path = std::move(cleaned);
    return true;
}

std::string CServerAddress::HostAndPort() const {
    if (Port == 0) {
        return Host;
    }
    return Host + ":" + std::to_string(Port);
}
