#include "ui/SiteDynLocProp.h"

#include <QLineEdit>
#include <QPushButton>

#include "agent/AgentChecks.h"
#include "ui/ResText.h"

CSiteDynLocProp::CSiteDynLocProp(QWidget* parent) : CSitePropPage(IDS_PAGE_DIRECTORIES, parent) {
    AddText(IDS_DYN_INTRO);
    m_home = AddEdit(IDS_DYN_HOME_PAGE);
    m_agentDir = AddEdit(IDS_DYN_AGENT_DIR, nullptr, &m_browse);
    BrowseFolderInto(m_browse, m_agentDir, IDS_CHOOSE_WORKDIR);
}

void CSiteDynLocProp::SettingsToPage(const CAgentSettings& agent) {
    m_home->setText(QString::fromStdString(agent.HomePage));
    m_agentDir->setText(QString::fromStdString(agent.FilesDirectory));
}

void CSiteDynLocProp::PageToSettings(CAgentSettings& agent) const {
    agent.HomePage = m_home->text().toStdString();
    agent.FilesDirectory = m_agentDir->text().toStdString();
}

bool CSiteDynLocProp::CheckPage(CUserPrompt& prompt) {
    return CheckDynamicLocationPage(m_home->text().toStdString(), m_agentDir->text().toStdString(),
                                    prompt);
}
