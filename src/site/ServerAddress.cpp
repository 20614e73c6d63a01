#include "site/ServerAddress.h"

#include "base/PathRules.h"

namespace {

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

bool IsIpv6Char(char c) {
    return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' ||
           c == '.';
}

}  // namespace

bool CServerAddress::Parse(std::string_view text) {
    Scheme.clear();
    Host.clear();
    Port = 0;
    Path.clear();
    text = Trim(text);

    std::string lowered;
    uint16_t portValue = 0;
    std::size_t schemeEnd = text.find("://");
    if (schemeEnd != std::string_view::npos) {
        std::string_view scheme = text.substr(0, schemeEnd);
        if (scheme.empty()) {
            return false;
        }
        for (char c : scheme) {
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '+' || c == '-' || c == '.')) {
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

    std::string_view host;
    std::string_view port;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos || close < 3) {
            return false;
        }
        host = authority.substr(0, close + 1);
        for (char c : host.substr(1, host.size() - 2)) {
            if (!IsIpv6Char(c)) {
                return false;
            }
        }
        std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                return false;
            }
            port = rest.substr(1);
            hasPort = true;
        }
    } else {
        std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
            hasPort = true;
        }
        for (char c : host) {
            if (!IsHostChar(c)) {
                return false;
            }
        }
    }
    if (host.empty()) {
        return false;
    }
    if (hasPort) {
        if (port.empty() || port.size() > 5) {
            return false;
        }
        uint32_t value = 0;
        for (char c : port) {
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + static_cast<uint32_t>(c - '0');
        }
        if (value == 0 || value > 65535) {
            return false;
        }
        portValue = static_cast<uint16_t>(value);
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
    Host = std::string(host);
    Port = portValue;
    Path = std::move(cleaned);
    return true;
}

std::string CServerAddress::HostAndPort() const {
    if (Port == 0) {
        return Host;
    }
    return Host + ":" + std::to_string(Port);
}
