// The address of a site's server as an agent's settings give it: "host", "host:port",
// "scheme://host[:port][/path]", with an IPv6 literal in brackets. The FTP and HTTP access
// objects parse it once when they are made; libcurl's URL parser reads the host and port. Pure;
// any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CServerAddress {
  public:
    // Parses text (surrounding blanks ignored). False, with every field emptied, when there is
    // no host, when the host holds characters that have no place in a host name, when the port
    // is not a number from 1 to 65535, or when the path holds control characters.
    bool Parse(std::string_view text);

    // The host and port in URL form: "host:port", or "host" when the port is 0.
    std::string HostAndPort() const;

    std::string Scheme;  // lowered; empty when the text names none
    std::string Host;    // as written; an IPv6 literal keeps its brackets
    uint16_t Port = 0;   // 0 when the text names none
    std::string Path;    // empty, or "/dir/sub" (no trailing "/", single slashes)
};
