#include "ui/SiteLimitProp.h"

#include <QCheckBox>
#include <QLineEdit>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"

namespace {

// The switches in check order.
bool CAgentSettings::*const kSwitches[8] = {
    &CAgentSettings::CacheHTML,  &CAgentSettings::CacheASP,   &CAgentSettings::CacheImages,
    &CAgentSettings::CacheAudio, &CAgentSettings::CacheVideo, &CAgentSettings::CacheShockwave,
    &CAgentSettings::CacheJava,  &CAgentSettings::CacheCGI};
const int kTexts[8] = {IDS_TYPES_HTML,  IDS_TYPES_ASP,       IDS_TYPES_IMAGES, IDS_TYPES_AUDIO,
                       IDS_TYPES_VIDEO, IDS_TYPES_SHOCKWAVE, IDS_TYPES_JAVA,   IDS_TYPES_CGI};

}  // namespace

CSiteLimitProp::CSiteLimitProp(QWidget* parent) : CSitePropPage(IDS_PAGE_FILE_TYPES, parent) {
    AddText(IDS_TYPES_INTRO);
    for (int i = 0; i < 7; ++i)
        m_checks[i] = AddCheck(kTexts[i]);
    m_suffix = AddEdit(IDS_TYPES_OTHER);
    m_checks[7] = AddCheck(kTexts[7]);
}

void CSiteLimitProp::SettingsToPage(const CAgentSettings& agent) {
    for (int i = 0; i < 8; ++i)
        m_checks[i]->setChecked(agent.*kSwitches[i]);
    m_suffix->setText(QString::fromStdString(agent.CacheSuffix));
}

void CSiteLimitProp::PageToSettings(CAgentSettings& agent) const {
    for (int i = 0; i < 8; ++i)
        agent.*kSwitches[i] = m_checks[i]->isChecked();
    agent.CacheSuffix = m_suffix->text().toStdString();
}
