// Site access to a web server over HTTP or HTTPS (libcurl), for sites whose pages exist only as
// the server's output. Reads are GET requests that follow at most one redirect, and only on the
// same server and scheme; writes are PUT requests. HTTPS certificates are always verified. The
// object keeps one connection open between operations when the server allows it. One thread at a
// time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "site/ServerAddress.h"
#include "site/SiteAccess.h"

class CCurlHandle;

class CHttpSiteAccess : public CSiteAccess {
  public:
    // server: "host", "host:port", "http://host[:port][/]" or "https://host[:port][/]". port: 0
    // takes the address's port, else 80 (443 for https). User name and password, when not empty, go
    // with every request (basic authentication).
    explicit CHttpSiteAccess(std::string server, uint16_t port = 0, std::string userName = {},
                             std::string password = {});
    ~CHttpSiteAccess() override;

    CHttpSiteAccess(const CHttpSiteAccess&) = delete;
    CHttpSiteAccess& operator=(const CHttpSiteAccess&) = delete;

    // GETs the name and appends the body, whatever the status (a 404 or 500 page is content),
    // except: 401 fails and leaves IDS_ACCESS_DENIED (no credentials) or IDS_ACCESS_DENIED_USER
    // (user name shown, password masked) as the last message; a redirect (301, 302, 303, 307, 308)
    // is followed once, to the same server (host compared ignoring case, any port) over the root's
    // own scheme only; a second redirect fails. A failed read leaves the buffer as it was.
    bool ReadFile(const std::string& name, CTextBuffer& buffer) override;
    // PUTs the buffer as the name. True only when the server answers 2xx (401 leaves
    // IDS_ACCESS_DENIED or IDS_ACCESS_DENIED_USER as ReadFile does).
    bool WriteFile(const std::string& name, const CTextBuffer& buffer) override;
    // HTTP has no directories or attributes: true for every name inside the root.
    bool IsDirectory(const std::string& name) override;
    bool IsReadOnly(const std::string& name) override;
    bool Exists(const std::string& name) override;
    // The number of bytes a read of the name receives (the body is counted, not kept); 0 when
    // the read fails, -1 for a name that leaves the root.
    int32_t GetFileSize(const std::string& name) override;
    // GETs the name as ReadFile does (the body is counted, not kept) and tells whether the server
    // answered with a 2xx status and a text/html type: whether the name is a page of the site.
    bool ServesHtml(const std::string& name);
    // Always false.
    bool CreateDirectory(const std::string& name) override;
    // Always "".
    std::string GetRoot() override { return std::string(); }

    // Time-outs in seconds: connecting, and a transfer that moves no byte. 30 and 60 unless
    // set.
    void SetTimeouts(long connectSeconds, long stallSeconds);
    // The bundle of trusted certificates for HTTPS; empty (the default) for the system's store.
    void SetCaFile(std::string caFile) { m_caFile = std::move(caFile); }

    // The value of the first header field called name (ignoring case) in raw response headers
    // (lines ended by CR LF or LF), blanks around it removed; false when there is none.
    static bool FindHeader(std::string_view headers, std::string_view name, std::string& value);

    // Where a redirect from requestUrl with the given Location value leads. A relative location
    // is resolved against requestUrl. False when it is no URL at all.
    struct SRedirect {
        std::string scheme;  // lowered
        std::string host;
        uint16_t port = 0;   // the scheme's default when the location names none
        std::string object;  // path and query
    };
    static bool ResolveRedirect(const std::string& requestUrl, const std::string& location,
                                SRedirect& target);

    // The request target for a name: bytes that may not stand in a URL are escaped, "%" escapes
    // and the query are kept, a fragment is dropped.
    static std::string RequestTarget(std::string_view name);

    // StaysInsideRoot for the name and for the path the server sees (the request target up to
    // its query).
    static bool NameStaysInsideRoot(std::string_view name);

  private:
    // NameStaysInsideRoot, recording why a name is refused.
    bool CheckHttpName(const std::string& name);
    // One GET of name, following at most one redirect. Appends the body to buffer when it is
    // given, and counts its bytes into received.
    bool Fetch(const std::string& name, CTextBuffer* buffer, int64_t& received);
    bool PrepareHandle();
    std::string Url(uint16_t port, const std::string& object) const;
    // 80, or 443 over HTTPS.
    uint16_t DefaultPort() const;
    void SetAccessDenied(const std::string& object);
    void SetCurlError(int code);

    std::string m_server;
    uint16_t m_port;
    std::string m_userName;
    std::string m_password;
    CServerAddress m_address;
    bool m_addressValid = false;
    std::unique_ptr<CCurlHandle> m_handle;  // made on first use; keeps the connection
    long m_connectTimeout = 30;
    long m_stallTimeout = 60;
    std::string m_scheme = "http";  // the root's: "http" or "https"
    std::string m_caFile;
    // The status and the Content-Type of the last response Fetch took as its answer.
    long m_status = 0;
    std::string m_contentType;
};
