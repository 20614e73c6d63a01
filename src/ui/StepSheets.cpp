#include "ui/StepSheets.h"

#include <QPushButton>
#include <initializer_list>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"
#include "ui/SiteAlphaProp.h"
#include "ui/SiteBackupProp.h"
#include "ui/SiteDomainProp.h"
#include "ui/SiteDynLocProp.h"
#include "ui/SiteLimitProp.h"
#include "ui/SiteLocationProp.h"
#include "ui/SiteLogProp.h"
#include "ui/SiteRangeProp.h"
#include "ui/SiteSizeLimitProp.h"

namespace {

// Adds the pages, names the OK button and shows the agent's settings.
void Complete(CSiteSheet& sheet, std::initializer_list<CSitePropPage*> pages, int okText,
              const CAgentSettings& agent) {
    for (CSitePropPage* page : pages) {
        if (page != nullptr)
            sheet.AddPage(page);
    }
    sheet.OkButton()->setText(ResText(okText));
    sheet.SettingsToPages(agent);
}

}  // namespace

CPProcessMapDialog::CPProcessMapDialog(const CAgentSettings& agent, QWidget* parent)
    : CSiteSheet(ResText(IDS_PROCESS_SITE_MAP), parent) {
    CSitePropPage* location = agent.IsDynamicSite
                                  ? static_cast<CSitePropPage*>(new CSiteDynLocProp(this))
                                  : new CSiteLocationProp(this);
    Complete(*this, {new CSiteDomainProp(this), location}, IDS_PROCESS_MAP, agent);
}

CPProcessLogDialog::CPProcessLogDialog(const CAgentSettings& agent, QWidget* parent)
    : CSiteSheet(ResText(IDS_PROCESS_SITE_LOG), parent) {
    Complete(*this, {new CSiteLogProp(this), new CSiteRangeProp(this), new CSiteAlphaProp(this)},
             IDS_PROCESS_LOG, agent);
}

CPSynthesizeSiteDialog::CPSynthesizeSiteDialog(const CAgentSettings& agent, QWidget* parent)
    : CSiteSheet(ResText(IDS_EMBED_JAVA), parent) {
    // A dynamic site is not backed up: its pages are the server's.
    Complete(*this,
             {new CSiteLimitProp(this), new CSiteSizeLimitProp(this),
              agent.IsDynamicSite ? nullptr : new CSiteBackupProp(this)},
             IDS_EMBED_JAVA_BUTTON, agent);
}
