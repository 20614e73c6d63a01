// The "File Types" page: which kinds of files the visitor's browser may pre-cache, further
// extensions, and links to scripts. User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class CSiteLimitProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteLimitProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;

    // The check of a switch, in the order HTML, ASP, graphics, audio, video, Shockwave, Java,
    // CGI.
    QCheckBox* TypeCheck(int index) const { return m_checks[index]; }
    QLineEdit* SuffixEdit() const { return m_suffix; }

  private:
    QCheckBox* m_checks[8];
    QLineEdit* m_suffix;
};
