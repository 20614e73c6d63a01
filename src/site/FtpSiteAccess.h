// Site access to an FTP or SFTP server over libcurl. The object logs in on its first file
// operation (or Connect) and keeps that connection open for every later operation until
// Disconnect or destruction. FTP transfers are binary, in active mode. An FTP connection turns to
// TLS (AUTH TLS, certificates verified) whenever the server offers it, or must, when so set; data
// connections are then passive and private (PROT P). SFTP verifies the server's host key against
// a known-hosts file and logs in with a key file or a password. One thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "site/ServerAddress.h"
#include "site/SiteAccess.h"

class CCurlHandle;

class CFtpSiteAccess : public CSiteAccess {
  public:
    // server: the server's address as the settings give it: "host", "host:port",
    // "ftp://host[:port][/dir]" or "sftp://host[:port]/dir"; a directory makes the site's "/"
    // that directory on the server. An FTP directory is taken from the server's root, an SFTP
    // one from the server's file system root ("/~/dir" for one below the login's home).
    // port: 0 takes the address's port, else the protocol's default (21). An empty user name
    // logs in anonymously (the password is then not used).
    CFtpSiteAccess(std::string server, uint16_t port, std::string userName, std::string password);
    // Disconnects.
    ~CFtpSiteAccess() override;

    CFtpSiteAccess(const CFtpSiteAccess&) = delete;
    CFtpSiteAccess& operator=(const CFtpSiteAccess&) = delete;

    // Every file operation connects first (EnsureConnected) and fails when it cannot: false,
    // or 0 for GetFileSize. A failed read leaves the buffer as it was.
    bool ReadFile(const std::string& name, CTextBuffer& buffer) override;
    // Stores the file on the server (not atomically: the server writes it in place).
    bool WriteFile(const std::string& name, const CTextBuffer& buffer) override;
    // True for "/", "" and "\" without asking the server; otherwise whether the parent's listing
    // holds the name (ignoring case) as a directory.
    bool IsDirectory(const std::string& name) override;
    // Whether the parent's listing holds the name with no write permission bit at all.
    bool IsReadOnly(const std::string& name) override;
    // Whether the parent's listing holds the name (ignoring case).
    bool Exists(const std::string& name) override;
    // The file's size as the server reports it; -1 when the server has no such file (or it is
    // a directory), 0 when no connection can be had.
    int32_t GetFileSize(const std::string& name) override;
    // Creates one directory (not its parents).
    bool CreateDirectory(const std::string& name) override;
    // "/", or the address's directory followed by "/".
    std::string GetRoot() override;

    // One entry of a directory listing.
    struct SListEntry {
        std::string name;  // the file name, without the directory
        bool isDirectory = false;
    };
    // Lists the directory name ("/" for the site's root) afresh from the server, in the
    // server's order, without "." and "..". A directory that is empty or absent gives no
    // entries and true; false (error recorded) when no connection can be had or the listing
    // fails otherwise.
    bool ListDirectory(const std::string& name, std::vector<SListEntry>& entries);

    // Logs in on a connection of its own, closes it again, and tells whether that worked. The
    // stored connection is neither used nor changed.
    bool TestConnection();
    // Closes the stored connection, if any.
    void Disconnect();
    // Opens the stored connection (logging in). On failure disconnects and returns false.
    bool Connect();
    // True at once when connected; else Connect.
    bool EnsureConnected();
    bool IsConnected() const { return m_connection != nullptr; }

    // Time-outs in seconds: connecting (including the server's data connection in active
    // mode), and a transfer or an answer that makes no progress. 30 and 60 unless set.
    void SetTimeouts(long connectSeconds, long stallSeconds);
    // caFile: the bundle of trusted certificates, empty for the system's store; for SFTP the
    // known-hosts file that holds the server's host key, empty for ~/.ssh/known_hosts.
    // required: the FTP login fails, before the user name and password are sent, when the server
    // does not take the connection to TLS. Applies from the next connection on.
    void SetTls(std::string caFile, bool required) {
        m_caFile = std::move(caFile);
        m_tlsRequired = required;
    }
    // SFTP: the private key file to log in with (its public key is derived from it), the
    // password then unlocking it if it is encrypted; empty for a login by password. With
    // neither key nor password libcurl's default key (~/.ssh/id_rsa) is tried. Applies from the
    // next connection on.
    void SetSshKey(std::string keyFile) { m_sshKey = std::move(keyFile); }

    // A directory entry as a listing shows it.
    struct SEntry {
        bool found = false;
        bool isDirectory = false;
        bool readOnly = false;  // no write permission bit at all
        int64_t size = -1;      // -1 when the listing shows none
    };
    // Finds the entry named wanted (ignoring case) in an SFTP listing as libcurl passes it on:
    // the server's long form, one "ls -l" line per entry (mode, links, owner, group, size, three
    // date fields, name; a link's name followed by " -> " and its target). Lines of another form
    // are passed over. False when no line names the entry.
    static bool FindListedEntry(std::string_view listing, std::string_view wanted, SEntry& entry);
    // Calls each(name, entry) for every line of such a listing that names an entry, in the
    // listing's order, until each returns false.
    static void ForEachListedEntry(
        std::string_view listing,
        const std::function<bool(std::string_view name, const SEntry& entry)>& each);

  private:
    // Why a file operation cannot go ahead, recorded; false when it can.
    bool RefuseName(const std::string& name);
    std::string Url(const std::string& serverPath) const;
    // The URL of the operations that name no file (the login, a quote command): the login
    // directory for FTP, the site's root for SFTP.
    std::string SessionUrl() const;
    // The URL of the directory name, ending in "/": SFTP lists it so, and an FTP wildcard
    // pattern must follow a literal "/" (the root's own "/" is escaped, "%2F").
    std::string DirectoryUrl(const std::string& name) const;
    std::string ServerPath(const std::string& name) const;
    void PrepareHandle(CCurlHandle& handle) const;
    // Logs in on handle; false (error recorded) on failure.
    bool Login(CCurlHandle& handle);
    // Finds name (ignoring case) in a fresh listing of its parent directory. False when the
    // listing failed for another reason than the directory being absent or empty (error
    // recorded).
    bool FindEntry(const std::string& name, SEntry& entry);
    // SFTP: the long listing of the directory at url into listing. An absent directory gives an
    // empty listing; false (error recorded) when the listing fails otherwise.
    bool ReadSftpListing(const std::string& url, CTextBuffer& listing);
    // Records a libcurl failure of the stored connection.
    void SetCurlError(const CCurlHandle& handle, int code);
    std::string KnownHostsFile() const;

    std::string m_server;
    uint16_t m_port;
    std::string m_userName;
    std::string m_password;
    std::unique_ptr<CCurlHandle> m_connection;  // open while connected
    CServerAddress m_address;
    bool m_addressValid = false;
    long m_connectTimeout = 30;
    long m_stallTimeout = 60;
    std::string m_caFile;
    bool m_tlsRequired = false;
    bool m_sftp = false;  // the address is an "sftp://" one
    std::string m_sshKey;
    // Whether the last login turned the control connection to TLS.
    bool m_overTls = false;
};
