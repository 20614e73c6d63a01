// The agent's sheet in its two modes, fixed when it is built: the new-agent wizard (every page,
// shown one at a time, the static or dynamic branch, the jump past the log pages when no log is
// used, Back and Finish on the last page) and the agent property sheet (the pages of a static or
// a dynamic agent as tabs). User-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ui/SiteSheet.h"

class CSiteAlphaProp;
class CSiteBackupProp;
class CSiteDomainProp;
class CSiteDynLocProp;
class CSiteLimitProp;
class CSiteLocationProp;
class CSiteLogProp;
class CSiteRangeProp;
class CSiteSizeLimitProp;
class CSiteThanksProp;
class CSiteTypeProp;

class CNewSiteDialog : public CSiteSheet {
    Q_OBJECT

  public:
    // titleId: the sheet's title (the wizard's, or the property sheet's).
    CNewSiteDialog(int titleId, bool wizard, QWidget* parent = nullptr);
    ~CNewSiteDialog() override;

    bool IsWizard() const { return m_wizard; }
    // The wizard: the static-or-dynamic page holds "Dynamic Site"; the property sheet: the
    // agent it shows is dynamic.
    virtual bool IsDynamic() const;

    // Shows the agent's settings in every page (and keeps them as the base PagesToSettings
    // writes over).
    void SettingsToPages(const CAgentSettings& agent);
    // Adds the pages of the mode (for the property sheet, those of the agent's kind).
    void AddPages();
    // The last wizard page's answer: "Yes - Run the agent" (false for the property sheet).
    bool RunNow() const;

    // The wizard's Finish: receives the settings the pages made; false keeps the wizard open
    // with what was typed (the handler has said why).
    void SetFinishHandler(std::function<bool(CAgentSettings&)> handler) {
        m_finish = std::move(handler);
    }

    // The wizard's move from a page: the page that follows it, or nullptr after the last.
    CSitePropPage* NextPage(const CSitePropPage* page) const;
    // Next: the current page's check, then the next page. Back: the page shown before.
    void Next();
    void Back();
    QPushButton* BackButton() const { return m_back; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* FinishButton() const { return OkButton(); }
    // The pages visited, in order, the current one last.
    std::vector<CSitePropPage*> History() const { return m_history; }

    CSiteDomainProp* DomainPage() const { return m_domain; }
    CSiteTypeProp* TypePage() const { return m_type; }
    CSiteLocationProp* LocationPage() const { return m_location; }
    CSiteDynLocProp* DynLocPage() const { return m_dynLoc; }
    CSiteLogProp* LogPage() const { return m_log; }
    CSiteRangeProp* RangePage() const { return m_range; }
    CSiteAlphaProp* AlphaPage() const { return m_alpha; }
    CSiteLimitProp* LimitPage() const { return m_limit; }
    CSiteSizeLimitProp* SizeLimitPage() const { return m_sizeLimit; }
    CSiteBackupProp* BackupPage() const { return m_backup; }
    CSiteThanksProp* ThanksPage() const { return m_thanks; }

  public slots:
    void accept() override;

  protected:
    // The wizard stores only the pages of the chosen static or dynamic branch.
    bool IsPageStored(const CSitePropPage* page) const override;

  private:
    void ShowPage(CSitePropPage* page);

    bool m_wizard;
    bool m_agentDynamic = false;
    std::unique_ptr<CAgentSettings> m_base;
    std::function<bool(CAgentSettings&)> m_finish;
    std::vector<CSitePropPage*> m_history;
    QPushButton* m_back = nullptr;
    QPushButton* m_next = nullptr;
    CSiteDomainProp* m_domain;
    CSiteTypeProp* m_type;
    CSiteLocationProp* m_location;
    CSiteDynLocProp* m_dynLoc;
    CSiteLogProp* m_log;
    CSiteRangeProp* m_range;
    CSiteAlphaProp* m_alpha;
    CSiteLimitProp* m_limit;
    CSiteSizeLimitProp* m_sizeLimit;
    CSiteBackupProp* m_backup;
    CSiteThanksProp* m_thanks;
};
