// The "Domain Name" page: the agent's description and the site's domain name, both required.
// User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class CSiteDomainProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteDomainProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    QLineEdit* DescriptionEdit() const { return m_description; }
    QLineEdit* DomainEdit() const { return m_domain; }

  private:
    QLineEdit* m_description;
    QLineEdit* m_domain;
};
