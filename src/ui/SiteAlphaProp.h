// The recency-weighting "Statistics" page: three radio buttons for StatWeight 0 to 2. A stored
// "Auto" (3) has no button; it is kept while none is ticked. User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class QButtonGroup;
class QRadioButton;

class CSiteAlphaProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteAlphaProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;

    QRadioButton* WeightRadio(int index) const;

  private:
    QButtonGroup* m_weights;
};
