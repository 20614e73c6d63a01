#include "agent/SiteAccessFactory.h"

#include "agent/AgentSettings.h"
#include "site/CleanUrlAccess.h"
#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "site/LocalSiteAccess.h"

namespace {

std::unique_ptr<CSiteAccess> CreateOwnAccess(const CAgentSettings& agent) {
    auto http = [&agent](const std::string& server) {
        auto access = std::make_unique<CHttpSiteAccess>(server);
        access->SetCaFile(agent.CaFile);
        return access;
    };
    if (agent.IsDynamicSite) {
        return http(agent.DomainName);
    }
    switch (agent.SiteFileType) {
        case kSiteLocal:
            return std::make_unique<CLocalSiteAccess>(agent.RootDirectory);
        case kSiteFtp: {
            auto ftp = std::make_unique<CFtpSiteAccess>(agent.RootDirectory, 0, agent.Username,
                                                        agent.Password);
            ftp->SetTls(agent.CaFile, agent.FtpTls);
            ftp->SetSshKey(agent.SshKey);
            return ftp;
        }
        case kSiteHttp:
            // The user name and password are the FTP login; they are not sent to a web server.
            return http(agent.RootDirectory);
        default:
            return nullptr;
    }
}

}  // namespace

std::unique_ptr<CSiteAccess> CreateSiteAccess(const CAgentSettings& agent) {
    std::unique_ptr<CSiteAccess> access = CreateOwnAccess(agent);
    if (access != nullptr && agent.CleanUrls) {
        return std::make_unique<CCleanUrlAccess>(std::move(access), agent.HomePage);
    }
    return access;
}
