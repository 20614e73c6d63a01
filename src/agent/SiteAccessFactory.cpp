#include "agent/SiteAccessFactory.h"

#include "agent/AgentSettings.h"
#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "site/LocalSiteAccess.h"

std::unique_ptr<CSiteAccess> CreateSiteAccess(const CAgentSettings& agent) {
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
            return ftp;
        }
        case kSiteHttp:
            // The user name and password are the FTP login; they are not sent to a web server.
            return http(agent.RootDirectory);
        default:
            return nullptr;
    }
}
