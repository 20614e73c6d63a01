// The "Site Directories" page of a dynamic site: the home page on the server and the local agent
// directory that receives the instruction files. User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class CSiteDynLocProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteDynLocProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    QLineEdit* HomePageEdit() const { return m_home; }
    QLineEdit* AgentDirEdit() const { return m_agentDir; }
    QPushButton* AgentDirBrowse() const { return m_browse; }

  private:
    QLineEdit* m_home;
    QLineEdit* m_agentDir;
    QPushButton* m_browse;
};
