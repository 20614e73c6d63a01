// The wizard's last page: run the new agent now, or later. User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class QRadioButton;

class CSiteThanksProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteThanksProp(QWidget* parent = nullptr);
    // The page holds no setting.
    void SettingsToPage(const CAgentSettings&) override {}
    void PageToSettings(CAgentSettings&) const override {}

    bool RunNow() const;
    QRadioButton* YesRadio() const { return m_yes; }
    QRadioButton* NoRadio() const { return m_no; }

  private:
    QRadioButton* m_yes;
    QRadioButton* m_no;
};
