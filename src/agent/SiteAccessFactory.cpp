#include "agent/SiteAccessFactory.h"

#include "agent/AgentSettings.h"
#include "site/CleanUrlAccess.h"
#include "site/FtpSiteAccess.h"
#include "site/HttpSiteAccess.h"
#include "site/LocalSiteAccess.h"

namespace {

std::unique_ptr<CSiteAccess> CreateOwnAccess(const CAgentSettings& agent) {
    if (agent.IsDynamicSite) {
        return std::make_unique<CHttpSiteAccess>(agent.DomainName);
    }
    switch (agent.SiteFileType) {
        case kSiteLocal:
            return std::make_unique<CLocalSiteAccess>(agent.RootDirectory);
        case kSiteFtp:
            return std::make_unique<CFtpSiteAccess>(agent.RootDirectory, 0, agent.Username,
                                                    agent.Password);
        case kSiteHttp:
            // The user name and password are the FTP login; they are not sent to a web server.
            return std::make_unique<CHttpSiteAccess>(agent.RootDirectory);
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
