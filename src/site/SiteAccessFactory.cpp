#include "site/SiteAccessFactory.h"

#include "agent/AgentSettings.h"
#include "site/LocalSiteAccess.h"

std::unique_ptr<CSiteAccess> CreateSiteAccess(const CAgentSettings& agent) {
    if (!agent.IsDynamicSite && agent.SiteFileType == kSiteLocal) {
        return std::make_unique<CLocalSiteAccess>(agent.RootDirectory);
    }
    // FTP and HTTP access arrive with their libcurl sources.
    return nullptr;
}
