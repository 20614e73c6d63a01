#include "site/HttpSiteAccess.h"

#include <cstring>
#include <limits>

#include "base/LastMessage.h"
#include "base/PathRules.h"
#include "res/StringTable.h"
#include "site/CurlHandle.h"

namespace {

constexpr uint16_t kDefaultPort = 80;
constexpr uint16_t kDefaultSecurePort = 443;
// What IDS_ACCESS_DENIED_USER shows in place of a password, whatever its length.
constexpr const char* kMaskedPassword = "********";

// Collects the header lines of one response.
size_t CollectHeader(char* data, size_t size, size_t count, void* user) {
    auto* headers = static_cast<std::string*>(user);
    const size_t bytes = size * count;
    // A new status line starts a new response (after an interim 1xx): keep only the last.
    if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        headers->clear();
    }
    headers->append(data, bytes);
    return bytes;
}

bool IsRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Bytes that may stand in a request target as they are.
bool IsTargetChar(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::strchr("-._~!$&'()*+,;=:@/?", c) != nullptr && c != '\0';
}

// One part of a parsed URL, or "" when the URL has none.
std::string UrlPart(CURLU* url, CURLUPart part, unsigned int flags) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) {
        return std::string();
    }
    std::string value(text);
    curl_free(text);
    return value;
}

}  // namespace

CHttpSiteAccess::CHttpSiteAccess(std::string server, uint16_t port, std::string userName,
                                 std::string password)
    : m_server(std::move(server)),
      m_port(port),
      m_userName(std::move(userName)),
      m_password(std::move(password)) {
    // The names of a dynamic site are the server's own paths, so an address with a path of its
    // own would misplace every name: it is refused.
    m_addressValid =
        m_address.Parse(m_server) &&
        (m_address.Scheme.empty() || m_address.Scheme == "http" || m_address.Scheme == "https") &&
        m_address.Path.empty();
    if (m_addressValid && m_address.Scheme == "https") {
        m_scheme = "https";
    }
    if (m_port == 0) {
        m_port = m_addressValid && m_address.Port != 0 ? m_address.Port : DefaultPort();
    }
}

CHttpSiteAccess::~CHttpSiteAccess() = default;

void CHttpSiteAccess::SetTimeouts(long connectSeconds, long stallSeconds) {
    m_connectTimeout = connectSeconds;
    m_stallTimeout = stallSeconds;
}

bool CHttpSiteAccess::FindHeader(std::string_view headers, std::string_view name,
                                 std::string& value) {
    std::size_t pos = 0;
    while (pos < headers.size()) {
        std::size_t end = headers.find('\n', pos);
        if (end == std::string_view::npos) {
            end = headers.size();
        }
        std::string_view line = headers.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        // A field name is the whole text before the colon: "Content-Location" is not
        // "Location".
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !EqualsNoCase(line.substr(0, colon), name)) {
            continue;
        }
        std::string_view text = line.substr(colon + 1);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        }
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
            text.remove_suffix(1);
        }
        value.assign(text);
        return true;
    }
    return false;
}

bool CHttpSiteAccess::ResolveRedirect(const std::string& requestUrl, const std::string& location,
                                      SRedirect& target) {
    target = SRedirect();
    if (location.empty() || location.find('\0') != std::string::npos) {
        return false;
    }
    CURLU* url = curl_url();
    if (url == nullptr) {
        return false;
    }
    bool ok = curl_url_set(url, CURLUPART_URL, requestUrl.c_str(), 0) == CURLUE_OK &&
              curl_url_set(url, CURLUPART_URL, location.c_str(),
                           CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE) == CURLUE_OK;
    if (ok) {
        target.scheme = ToLowerAscii(UrlPart(url, CURLUPART_SCHEME, 0));
        target.host = UrlPart(url, CURLUPART_HOST, 0);
        const std::string port = UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
        const std::string query = UrlPart(url, CURLUPART_QUERY, 0);
        target.object = UrlPart(url, CURLUPART_PATH, 0);
        if (target.object.empty()) {
            target.object = "/";
        }
        if (!query.empty()) {
            target.object += "?" + query;
        }
        long value = 0;
        for (char c : port) {
            value = c >= '0' && c <= '9' && value < 100000 ? value * 10 + (c - '0') : -1;
        }
        if (value > 0 && value <= 65535) {
            target.port = static_cast<uint16_t>(value);
        }
        ok = !target.scheme.empty() && !target.host.empty();
    }
    curl_url_cleanup(url);
    return ok;
}

std::string CHttpSiteAccess::RequestTarget(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size() + 8);
    if (name.empty() || name.front() != '/') {
        out.push_back('/');
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '#') {
            break;  // the fragment is the browser's business
        }
        if (c == '%' && i + 2 < name.size() && HexDigitValue(name[i + 1]) >= 0 &&
            HexDigitValue(name[i + 2]) >= 0) {
            out.push_back('%');
        } else if (IsTargetChar(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

uint16_t CHttpSiteAccess::DefaultPort() const {
    return m_scheme == "https" ? kDefaultSecurePort : kDefaultPort;
}

std::string CHttpSiteAccess::Url(uint16_t port, const std::string& object) const {
    CServerAddress address = m_address;
    address.Port = port == DefaultPort() ? 0 : port;
    return m_scheme + "://" + address.HostAndPort() + RequestTarget(object);
}

bool CHttpSiteAccess::PrepareHandle() {
    if (!m_addressValid) {
        SetError(IDS_SITE_HTTP_BAD_SERVER, m_server.c_str());
        return false;
    }
    if (m_handle == nullptr) {
        m_handle = std::make_unique<CCurlHandle>();
    }
    if (!m_handle->Valid()) {
        m_handle.reset();
        SetError(IDS_SITE_HTTP_ERROR, m_server.c_str(), curl_easy_strerror(CURLE_OUT_OF_MEMORY));
        return false;
    }
    m_handle->Prepare(m_scheme.c_str(), m_connectTimeout, m_stallTimeout);
    m_handle->TrustCertificates(m_caFile);
    CURL* curl = m_handle->Get();
    if (!m_userName.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_userName.c_str());
    }
    if (!m_password.empty()) {
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str());
    }
    return true;
}

void CHttpSiteAccess::SetCurlError(int code) {
    SetError(IDS_SITE_HTTP_ERROR, m_server.c_str(),
             m_handle->ErrorText(static_cast<CURLcode>(code)).c_str());
}

void CHttpSiteAccess::SetAccessDenied(const std::string& object) {
    // The password never appears in a message: it would end up in terminals and CI logs.
    if (m_userName.empty() && m_password.empty()) {
        SetLastMessage(IDS_ACCESS_DENIED, object.c_str(), m_address.Host.c_str());
        SetError(IDS_ACCESS_DENIED, object.c_str(), m_address.Host.c_str());
    } else {
        const char* masked = m_password.empty() ? "" : kMaskedPassword;
        SetLastMessage(IDS_ACCESS_DENIED_USER, object.c_str(), m_address.Host.c_str(),
                       m_userName.c_str(), masked);
        SetError(IDS_ACCESS_DENIED_USER, object.c_str(), m_address.Host.c_str(), m_userName.c_str(),
                 masked);
    }
}

bool CHttpSiteAccess::NameStaysInsideRoot(std::string_view name) {
    if (!StaysInsideRoot(name)) {
        return false;
    }
    // The server sees the path up to the query, and never a fragment: "/..#x" asks for "/..".
    const std::string target = RequestTarget(name);
    return StaysInsideRoot(std::string_view(target).substr(0, target.find('?')));
}

bool CHttpSiteAccess::CheckHttpName(const std::string& name) {
    if (!CheckName(name)) {
        return false;
    }
    if (!NameStaysInsideRoot(name)) {
        SetError(IDS_SITE_NAME_OUTSIDE, name.c_str());
        return false;
    }
    return true;
}

bool CHttpSiteAccess::Fetch(const std::string& name, CTextBuffer* buffer, int64_t& received) {
    ClearError();
    received = 0;
    if (!CheckHttpName(name)) {
        return false;
    }
    const int32_t start = buffer != nullptr ? buffer->Length() : 0;
    std::string object = name;
    uint16_t port = m_port;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!PrepareHandle()) {
            return false;
        }
        CURL* curl = m_handle->Get();
        const std::string url = Url(port, object);
        std::string headers;
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headers);
        m_handle->DownloadTo(buffer);
        CURLcode code = curl_easy_perform(curl);
        long status = 0;
        if (code == CURLE_OK) {
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        }
        if (code != CURLE_OK || status == 401 || IsRedirect(status)) {
            // Whatever came with a failure or a redirect is no content.
            if (buffer != nullptr) {
                buffer->Truncate(start);
            }
        }
        if (code != CURLE_OK) {
            if (m_handle->BodyTooLarge()) {
                SetError(IDS_SITE_TOO_LARGE, object.c_str());
            } else {
                SetCurlError(code);
            }
            return false;
        }
        if (status == 401) {
            SetAccessDenied(object);
            return false;
        }
        if (!IsRedirect(status)) {
            m_status = status;
            if (!FindHeader(headers, "Content-Type", m_contentType)) {
                m_contentType.clear();
            }
            received = m_handle->BodyBytes();
            return true;
        }
        if (attempt > 0) {
            SetError(IDS_SITE_HTTP_REDIRECT_TWICE, name.c_str(), m_address.Host.c_str());
            return false;
        }
        std::string location;
        if (!FindHeader(headers, "Location", location)) {
            SetError(IDS_SITE_HTTP_NO_LOCATION, m_address.Host.c_str(), object.c_str());
            return false;
        }
        SRedirect target;
        if (!ResolveRedirect(url, location, target) || target.scheme != m_scheme ||
            !EqualsNoCase(target.host, m_address.Host) || target.port == 0) {
            SetError(IDS_SITE_HTTP_REDIRECT_AWAY, object.c_str(), location.c_str(),
                     m_address.Host.c_str());
            return false;
        }
        object = target.object;
        port = target.port;
    }
    return false;
}

bool CHttpSiteAccess::ReadFile(const std::string& name, CTextBuffer& buffer) {
    int64_t received = 0;
    return Fetch(name, &buffer, received);
}

int32_t CHttpSiteAccess::GetFileSize(const std::string& name) {
    ClearError();
    if (!CheckHttpName(name)) {
        return -1;  // refused, not merely empty
    }
    int64_t received = 0;
    if (!Fetch(name, nullptr, received)) {
        return 0;
    }
    if (received > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(received);
}

bool CHttpSiteAccess::ServesHtml(const std::string& name) {
    int64_t received = 0;
    if (!Fetch(name, nullptr, received)) {
        return false;
    }
    const std::string_view type(m_contentType);
    return m_status >= 200 && m_status <= 299 && StartsWithNoCase(type, "text/html") &&
           (type.size() == 9 || type[9] == ';' || type[9] == ' ');
}

bool CHttpSiteAccess::WriteFile(const std::string& name, const CTextBuffer& buffer) {
    ClearError();
    if (!CheckHttpName(name) || !PrepareHandle()) {
        return false;
    }
    CURL* curl = m_handle->Get();
    const std::string url = Url(m_port, name);
    // No "Expect: 100-continue" round trip: servers that do not answer it cost a second each.
    curl_slist* headers = curl_slist_append(nullptr, "Expect:");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    m_handle->UploadFrom(buffer);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    CURLcode code = curl_easy_perform(curl);
    long status = 0;
    if (code == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    if (code != CURLE_OK) {
        SetCurlError(code);
        return false;
    }
    if (status == 401) {
        SetAccessDenied(name);
        return false;
    }
    if (status < 200 || status > 299) {
        SetError(IDS_SITE_HTTP_STATUS, m_address.Host.c_str(), status, "PUT", name.c_str());
        return false;
    }
    return true;
}

bool CHttpSiteAccess::IsDirectory(const std::string& name) {
    ClearError();
    return CheckHttpName(name);
}

bool CHttpSiteAccess::IsReadOnly(const std::string& name) {
    ClearError();
    return CheckHttpName(name);
}

bool CHttpSiteAccess::Exists(const std::string& name) {
    ClearError();
    return CheckHttpName(name);
}

bool CHttpSiteAccess::CreateDirectory(const std::string& name) {
    ClearError();
    if (CheckHttpName(name)) {
        SetError(IDS_SITE_HTTP_NO_DIRECTORIES);
    }
    return false;
}

bool InitNetworkAccess() {
    return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}
