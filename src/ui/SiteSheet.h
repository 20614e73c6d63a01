// A property sheet of agent pages: any subset of the pages, in the order added, loaded from an
// agent and stored into it as the agent property sheet does (the path normalisation included),
// without an Apply button. OK makes each page that checks on OK the current one in turn and runs
// its check; the first that fails stays open and current, and the sheet stays. The new-agent
// wizard is one, shown page by page. User-interface thread.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

class CAgentSettings;
class CSitePropPage;
class CUserPrompt;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTabBar;

class CSiteSheet : public QDialog {
    Q_OBJECT

  public:
    explicit CSiteSheet(const QString& title, QWidget* parent = nullptr);
    ~CSiteSheet() override;

    // Appends a page; the sheet owns it.
    void AddPage(CSitePropPage* page);
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    CSitePropPage* Page(int index) const { return m_pages[index]; }
    // The first page of that class, or nullptr.
    template <class Page>
    Page* FindPage() const {
        for (CSitePropPage* page : m_pages) {
            if (auto* p = qobject_cast<Page*>(page))
                return p;
        }
        return nullptr;
    }
    CSitePropPage* CurrentPage() const;
    void SetCurrentPage(CSitePropPage* page);

    // The OK button (its text may be replaced), and the Cancel button.
    QPushButton* OkButton() const;
    QPushButton* CancelButton() const;

    // Shows the agent's settings in every page.
    void SettingsToPages(const CAgentSettings& agent);
    // Writes every page into the agent, then normalises its paths (local paths keep their
    // leading "/"). StatAccumulate stays what the agent holds.
    void PagesToSettings(CAgentSettings& agent) const;

    // The OK-time checks: each page that checks on OK, in page order, is made current and
    // checked; false at the first failure, that page current.
    bool CheckPages();

    // The messages and questions of the checks (the sheet's message boxes unless replaced;
    // borrowed).
    CUserPrompt& Prompt() const { return *m_prompt; }

  public slots:
    void accept() override;

  protected:
    // Presentation as a wizard: no page tabs, a heading with the page's title instead.
    void SetWizardLook();
    // Whether PagesToSettings writes this page (all pages unless a sheet says otherwise).
    virtual bool IsPageStored(const CSitePropPage* page) const;
    QDialogButtonBox* Buttons() const { return m_buttons; }

  private:
    std::vector<CSitePropPage*> m_pages;
    std::unique_ptr<CUserPrompt> m_ownPrompt;
    CUserPrompt* m_prompt;
    QTabBar* m_tabs;
    QLabel* m_heading;
    QStackedWidget* m_stack;
    QDialogButtonBox* m_buttons;
};
