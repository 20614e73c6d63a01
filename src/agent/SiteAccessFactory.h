// Builds the access object for an agent's site from its settings. Any thread; the caller owns
// the result.
#pragma once

#include <memory>

#include "site/SiteAccess.h"

class CAgentSettings;

// A dynamic site is read over HTTP at DomainName; otherwise SiteFileType decides: 0 local disk
// at RootDirectory, 1 FTP at RootDirectory (with Username and Password), 2 HTTP at
// RootDirectory. Any other value gives nullptr. The FTP and HTTP addresses may name a port
// ("host:port"); the FTP one may also name the site's directory on the server. HTTP addresses
// may be "https://" ones; CaFile names the trusted certificates of HTTPS and FTP over TLS, and
// FtpTls makes TLS required for FTP. FTP addresses may be "sftp://" ones: CaFile then names the
// known-hosts file and SshKey the key to log in with.
// With CleanUrls on, that object is wrapped in a CCleanUrlAccess.
std::unique_ptr<CSiteAccess> CreateSiteAccess(const CAgentSettings& agent);
