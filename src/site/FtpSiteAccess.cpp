#include "site/FtpSiteAccess.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "base/PathRules.h"
#include "res/StringTable.h"
#include "site/CurlHandle.h"

namespace {

// Keeps a curl_slist for the length of one operation.
class CCommandList {
  public:
    explicit CCommandList(const std::string& command)
        : m_list(curl_slist_append(nullptr, command.c_str())) {}
    ~CCommandList() { curl_slist_free_all(m_list); }
    CCommandList(const CCommandList&) = delete;
    CCommandList& operator=(const CCommandList&) = delete;
    curl_slist* Get() const { return m_list; }

  private:
    curl_slist* m_list;
};

// What a listing search looks for, and the first entry that matched.
template <typename Entry>
struct SListingSearch {
    std::string wanted;  // the entry's file name
    Entry entry;
};

template <typename Entry>
long CompareEntry(const void* info, void* user, int) {
    const auto* item = static_cast<const curl_fileinfo*>(info);
    auto* search = static_cast<SListingSearch<Entry>*>(user);
    Entry& entry = search->entry;
    if (!entry.found && item->filename != nullptr && EqualsNoCase(item->filename, search->wanted)) {
        entry.found = true;
        entry.isDirectory = item->filetype == CURLFILETYPE_DIRECTORY;
        entry.readOnly = (item->flags & CURLFINFOFLAG_KNOWN_PERM) != 0 && (item->perm & 0222) == 0;
        if ((item->flags & CURLFINFOFLAG_KNOWN_SIZE) != 0) {
            entry.size = static_cast<int64_t>(item->size);
        }
    }
    return CURL_CHUNK_BGN_FUNC_SKIP;  // list only, never download
}

// Watches the server's replies for 234, the acceptance of AUTH TLS.
int NoteTlsReply(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type == CURLINFO_HEADER_IN && size >= 4 && std::memcmp(data, "234 ", 4) == 0) {
        *static_cast<bool*>(user) = true;
    }
    return 0;
}

// Collects every entry of a listing but "." and "..".
long CollectEntry(const void* info, void* user, int) {
    const auto* item = static_cast<const curl_fileinfo*>(info);
    auto* entries = static_cast<std::vector<CFtpSiteAccess::SListEntry>*>(user);
    if (item->filename != nullptr && std::strcmp(item->filename, ".") != 0 &&
        std::strcmp(item->filename, "..") != 0) {
        entries->push_back({item->filename, item->filetype == CURLFILETYPE_DIRECTORY});
    }
    return CURL_CHUNK_BGN_FUNC_SKIP;
}

long SkipEntry(const void*, void*, int) {
    return CURL_CHUNK_BGN_FUNC_SKIP;
}

// The URL form of a server path: each segment escaped by libcurl, the inner "/" kept. For FTP a
// leading "/" becomes "%2F", which makes the path absolute on the server; an SFTP URL's path is
// absolute as it stands.
std::string EscapePath(const std::string& path, bool sftp) {
    std::string out;
    std::size_t pos = 0;
    if (!path.empty() && path.front() == '/') {
        out = sftp ? "/" : "%2F";
        pos = 1;
    }
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > pos) {
            char* escaped =
                curl_easy_escape(nullptr, path.data() + pos, static_cast<int>(end - pos));
            if (escaped == nullptr) {
                return std::string();
            }
            out += escaped;
            curl_free(escaped);
        }
        if (end < path.size()) {
            out.push_back('/');
        }
        pos = end + 1;
    }
    return out;
}

bool HasControlChars(const std::string& name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return true;
        }
    }
    return false;
}

// A name without its trailing slashes ("/" stays "/").
std::string WithoutTrailingSlash(std::string name) {
    while (name.size() > 1 && (name.back() == '/' || name.back() == '\\')) {
        name.pop_back();
    }
    return name;
}

// A path as one argument of an SFTP quote command: in double quotes, with '"' and '\' escaped.
std::string QuotedArgument(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// The next blank-separated field of line from pos on; empty at the line's end.
std::string_view NextField(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && line[pos] == ' ') {
        ++pos;
    }
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ') {
        ++pos;
    }
    return line.substr(start, pos - start);
}

bool IsNotThere(CURLcode code) {
    // No such file or directory, an empty directory (no entry matched), or a directory that
    // cannot be entered.
    return code == CURLE_REMOTE_FILE_NOT_FOUND || code == CURLE_FTP_COULDNT_RETR_FILE ||
           code == CURLE_REMOTE_ACCESS_DENIED;
}

}  // namespace

CFtpSiteAccess::CFtpSiteAccess(std::string server, uint16_t port, std::string userName,
                               std::string password)
    : m_server(std::move(server)),
      m_port(port),
      m_userName(std::move(userName)),
      m_password(std::move(password)) {
    m_addressValid =
        m_address.Parse(m_server) &&
        (m_address.Scheme.empty() || m_address.Scheme == "ftp" || m_address.Scheme == "sftp");
    m_sftp = m_addressValid && m_address.Scheme == "sftp";
    if (m_addressValid && m_port == 0) {
        m_port = m_address.Port;
    }
}

CFtpSiteAccess::~CFtpSiteAccess() {
    Disconnect();
}

void CFtpSiteAccess::SetTimeouts(long connectSeconds, long stallSeconds) {
    m_connectTimeout = connectSeconds;
    m_stallTimeout = stallSeconds;
}

std::string CFtpSiteAccess::GetRoot() {
    return m_address.Path + "/";
}

std::string CFtpSiteAccess::ServerPath(const std::string& name) const {
    std::string path = m_address.Path;
    if (name.empty() || name.front() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

std::string CFtpSiteAccess::Url(const std::string& serverPath) const {
    CServerAddress address = m_address;
    address.Port = m_port;
    if (m_sftp) {
        return "sftp://" + address.HostAndPort() + EscapePath(serverPath, true);
    }
    return "ftp://" + address.HostAndPort() + "/" + EscapePath(serverPath, false);
}

std::string CFtpSiteAccess::DirectoryUrl(const std::string& name) const {
    std::string url = Url(ServerPath(name));
    if (url.back() != '/') {
        url.push_back('/');
    }
    return url;
}

std::string CFtpSiteAccess::SessionUrl() const {
    return m_sftp ? Url(ServerPath("/")) : Url("");
}

std::string CFtpSiteAccess::KnownHostsFile() const {
    if (!m_caFile.empty()) {
        return m_caFile;
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.ssh/known_hosts";
}

void CFtpSiteAccess::PrepareHandle(CCurlHandle& handle) const {
    handle.Prepare(m_sftp ? "sftp" : "ftp", m_connectTimeout, m_stallTimeout);
    CURL* curl = handle.Get();
    if (m_sftp) {
        // Without a key libcurl verifies nothing: the server's host key must be the known one.
        curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, KnownHostsFile().c_str());
        long methods = m_password.empty() ? 0L : static_cast<long>(CURLSSH_AUTH_PASSWORD);
        if (!m_sshKey.empty() || methods == 0) {
            methods |= CURLSSH_AUTH_PUBLICKEY;
        }
        curl_easy_setopt(curl, CURLOPT_SSH_AUTH_TYPES, methods);
        if (!m_sshKey.empty()) {
            curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, m_sshKey.c_str());
            curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE, "");  // derived from the key
            curl_easy_setopt(curl, CURLOPT_KEYPASSWD, m_password.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_userName.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str());
        return;
    }
    // AUTH TLS first; the password goes in the clear only to a server that declines it, and
    // never when TLS is required.
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     static_cast<long>(m_tlsRequired ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    handle.TrustCertificates(m_caFile);
    // Active mode, on the control address; over TLS passive, as libcurl 7.88 never finishes the
    // TLS handshake of an active data connection. (It starts that handshake as soon as a data
    // connection is open, before the command that uses it; servers must take that.)
    if (!m_overTls) {
        curl_easy_setopt(curl, CURLOPT_FTPPORT, "-");
    }
    curl_easy_setopt(curl, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, m_stallTimeout);
    curl_easy_setopt(curl, CURLOPT_ACCEPTTIMEOUT_MS, m_connectTimeout * 1000L);
    if (!m_userName.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_userName.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.c_str());
    }
}

void CFtpSiteAccess::SetCurlError(const CCurlHandle& handle, int code) {
    if (m_sftp && code == CURLE_PEER_FAILED_VERIFICATION) {
        SetError(IDS_SITE_SFTP_HOST_KEY, m_server.c_str(), KnownHostsFile().c_str());
    } else if (!m_sftp && code == CURLE_USE_SSL_FAILED) {
        SetError(IDS_SITE_FTP_NO_TLS, m_server.c_str());
    } else {
        SetError(m_sftp ? IDS_SITE_SFTP_ERROR : IDS_SITE_FTP_ERROR, m_server.c_str(),
                 handle.ErrorText(static_cast<CURLcode>(code)).c_str());
    }
}

bool CFtpSiteAccess::Login(CCurlHandle& handle) {
    if (!m_addressValid) {
        SetError(IDS_SITE_FTP_BAD_SERVER, m_server.c_str());
        return false;
    }
    if (!handle.Valid()) {
        SetCurlError(handle, CURLE_OUT_OF_MEMORY);
        return false;
    }
    PrepareHandle(handle);
    CURL* curl = handle.Get();
    m_overTls = false;
    const std::string url = SessionUrl();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    if (!m_sftp) {
        // Opened with wildcard matching on (the login lists nothing): libcurl 7.88 loses every
        // entry of the later listings on a control connection that a plain transfer opened.
        curl_easy_setopt(curl, CURLOPT_WILDCARDMATCH, 1L);
        curl_easy_setopt(curl, CURLOPT_CHUNK_BGN_FUNCTION, SkipEntry);
        // The server's replies reach the debug function only (nothing is printed).
        curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, NoteTlsReply);
        curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &m_overTls);
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    }
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        SetCurlError(handle, code);
        return false;
    }
    return true;
}

bool CFtpSiteAccess::Connect() {
    ClearError();
    Disconnect();
    m_connection = std::make_unique<CCurlHandle>();
    if (!Login(*m_connection)) {
        Disconnect();
        return false;
    }
    return true;
}

void CFtpSiteAccess::Disconnect() {
    m_connection.reset();
}

bool CFtpSiteAccess::EnsureConnected() {
    if (m_connection != nullptr) {
        return true;
    }
    return Connect() && m_connection != nullptr;
}

bool CFtpSiteAccess::TestConnection() {
    ClearError();
    CCurlHandle handle;
    return Login(handle);
}

bool CFtpSiteAccess::RefuseName(const std::string& name) {
    ClearError();
    if (!CheckName(name)) {
        return true;
    }
    // A line break in a name would end the FTP command early and start one of the name's own.
    if (HasControlChars(name)) {
        SetError(IDS_SITE_BAD_NAME, name.c_str());
        return true;
    }
    return false;
}

bool CFtpSiteAccess::ReadFile(const std::string& name, CTextBuffer& buffer) {
    if (RefuseName(name) || !EnsureConnected()) {
        return false;
    }
    PrepareHandle(*m_connection);
    CURL* curl = m_connection->Get();
    const std::string url = Url(ServerPath(name));
    const int32_t start = buffer.Length();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    m_connection->DownloadTo(&buffer);
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        buffer.Truncate(start);
        if (m_connection->BodyTooLarge()) {
            SetError(IDS_SITE_TOO_LARGE, name.c_str());
        } else if (code == CURLE_REMOTE_FILE_NOT_FOUND) {
            // Said here: libcurl's error buffer may hold an earlier, harmless complaint of the
            // same transfer (active mode's address lookup) instead of the server's refusal.
            SetError(IDS_SITE_NOT_FOUND, name.c_str());
        } else {
            SetCurlError(*m_connection, code);
        }
        return false;
    }
    return true;
}

bool CFtpSiteAccess::WriteFile(const std::string& name, const CTextBuffer& buffer) {
    if (RefuseName(name) || !EnsureConnected()) {
        return false;
    }
    PrepareHandle(*m_connection);
    CURL* curl = m_connection->Get();
    const std::string url = Url(ServerPath(name));
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    m_connection->UploadFrom(buffer);
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        SetCurlError(*m_connection, code);
        return false;
    }
    return true;
}

bool CFtpSiteAccess::FindEntry(const std::string& name, SEntry& entry) {
    entry = SEntry();
    const std::string clean = WithoutTrailingSlash(name);
    SListingSearch<SEntry> search;
    search.wanted = FileNameOf(clean);
    if (search.wanted.empty()) {
        return true;
    }
    std::string url = DirectoryUrl(DirectoryOf(clean));
    if (m_sftp) {
        CTextBuffer listing;
        if (!ReadSftpListing(url, listing)) {
            return false;
        }
        FindListedEntry(listing.View(), search.wanted, entry);
        return true;
    }
    PrepareHandle(*m_connection);
    CURL* curl = m_connection->Get();
    url.push_back('*');
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WILDCARDMATCH, 1L);
    curl_easy_setopt(curl, CURLOPT_CHUNK_BGN_FUNCTION, CompareEntry<SEntry>);
    curl_easy_setopt(curl, CURLOPT_CHUNK_DATA, &search);
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK && !IsNotThere(code)) {
        SetCurlError(*m_connection, code);
        return false;
    }
    entry = search.entry;
    return true;
}

bool CFtpSiteAccess::ListDirectory(const std::string& name, std::vector<SListEntry>& entries) {
    entries.clear();
    if (RefuseName(name) || !EnsureConnected()) {
        return false;
    }
    std::string url = DirectoryUrl(WithoutTrailingSlash(name));
    if (m_sftp) {
        // libcurl matches wildcards over FTP only: SFTP gets the long listing, read here.
        CTextBuffer listing;
        if (!ReadSftpListing(url, listing)) {
            return false;
        }
        ForEachListedEntry(listing.View(), [&](std::string_view entryName, const SEntry& entry) {
            if (entryName != "." && entryName != "..") {
                entries.push_back({std::string(entryName), entry.isDirectory});
            }
            return true;
        });
        return true;
    }
    PrepareHandle(*m_connection);
    CURL* curl = m_connection->Get();
    url.push_back('*');
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WILDCARDMATCH, 1L);
    curl_easy_setopt(curl, CURLOPT_CHUNK_BGN_FUNCTION, CollectEntry);
    curl_easy_setopt(curl, CURLOPT_CHUNK_DATA, &entries);
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK && !IsNotThere(code)) {
        entries.clear();
        SetCurlError(*m_connection, code);
        return false;
    }
    return true;
}

bool CFtpSiteAccess::IsDirectory(const std::string& name) {
    if (name.empty() || name == "/" || name == "\\") {
        ClearError();
        return true;
    }
    SEntry entry;
    return !RefuseName(name) && EnsureConnected() && FindEntry(name, entry) && entry.found &&
           entry.isDirectory;
}

bool CFtpSiteAccess::IsReadOnly(const std::string& name) {
    SEntry entry;
    return !RefuseName(name) && EnsureConnected() && FindEntry(name, entry) && entry.found &&
           entry.readOnly;
}

bool CFtpSiteAccess::Exists(const std::string& name) {
    SEntry entry;
    return !RefuseName(name) && EnsureConnected() && FindEntry(name, entry) && entry.found;
}

int32_t CFtpSiteAccess::GetFileSize(const std::string& name) {
    if (RefuseName(name)) {
        return -1;
    }
    if (!EnsureConnected()) {
        return 0;
    }
    curl_off_t size = -1;
    if (!m_sftp) {
        PrepareHandle(*m_connection);
        CURL* curl = m_connection->Get();
        const std::string url = Url(ServerPath(name));
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        CURLcode code = curl_easy_perform(curl);
        if (code != CURLE_OK) {
            if (IsNotThere(code)) {
                SetError(IDS_SITE_NOT_FOUND, name.c_str());
            } else {
                SetCurlError(*m_connection, code);
            }
            return -1;
        }
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size) != CURLE_OK) {
            size = -1;
        }
    }
    if (size < 0) {
        // A server without the SIZE command, and SFTP (whose size libcurl gives for a directory
        // as well, and not for an empty file): the listing tells.
        SEntry entry;
        if (!FindEntry(name, entry)) {
            return -1;
        }
        if (!entry.found || entry.isDirectory || entry.size < 0) {
            SetError(IDS_SITE_NOT_FOUND, name.c_str());
            return -1;
        }
        size = entry.size;
    }
    if (size > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(size);
}

bool CFtpSiteAccess::CreateDirectory(const std::string& name) {
    if (RefuseName(name) || !EnsureConnected()) {
        return false;
    }
    PrepareHandle(*m_connection);
    CURL* curl = m_connection->Get();
    const std::string path = ServerPath(WithoutTrailingSlash(name));
    const std::string url = SessionUrl();
    CCommandList commands(m_sftp ? "mkdir " + QuotedArgument(path) : "MKD " + path);
    if (commands.Get() == nullptr) {
        SetCurlError(*m_connection, CURLE_OUT_OF_MEMORY);
        return false;
    }
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_QUOTE, commands.Get());
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) {
        SetCurlError(*m_connection, code);
        return false;
    }
    return true;
}

void CFtpSiteAccess::ForEachListedEntry(
    std::string_view listing,
    const std::function<bool(std::string_view name, const SEntry& entry)>& each) {
    while (!listing.empty()) {
        std::size_t end = listing.find('\n');
        std::string_view line = listing.substr(0, end);
        listing.remove_prefix(end == std::string_view::npos ? listing.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::size_t pos = 0;
        const std::string_view mode = NextField(line, pos);
        std::string_view size;
        for (int field = 1; field < 8; ++field) {
            std::string_view value = NextField(line, pos);
            if (field == 4) {
                size = value;
            }
        }
        // One blank separates the date from the name.
        if (mode.size() != 10 || pos + 1 >= line.size() || size.empty() ||
            size.find_first_not_of("0123456789") != std::string_view::npos || size.size() > 18) {
            continue;
        }
        std::string_view name = line.substr(pos + 1);
        if (mode[0] == 'l') {
            name = name.substr(0, name.find(" -> "));
        }
        SEntry entry;
        entry.found = true;
        entry.isDirectory = mode[0] == 'd';
        entry.readOnly = mode[2] != 'w' && mode[5] != 'w' && mode[8] != 'w';
        entry.size = 0;
        for (char c : size) {
            entry.size = entry.size * 10 + (c - '0');
        }
        if (!each(name, entry)) {
            return;
        }
    }
}

bool CFtpSiteAccess::FindListedEntry(std::string_view listing, std::string_view wanted,
                                     SEntry& entry) {
    entry = SEntry();
    ForEachListedEntry(listing, [&](std::string_view name, const SEntry& listed) {
        if (!EqualsNoCase(name, wanted)) {
            return true;
        }
        entry = listed;
        return false;
    });
    return entry.found;
}

bool CFtpSiteAccess::ReadSftpListing(const std::string& url, CTextBuffer& listing) {
    PrepareHandle(*m_connection);
    CURL* curl = m_connection->Get();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    m_connection->DownloadTo(&listing);
    CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK && !IsNotThere(code)) {
        SetCurlError(*m_connection, code);
        return false;
    }
    return true;
}
