// The "Site Map" dialog: the tree of an agent's pages, from which the user chooses one page
// ("Choose" or a double click). Choosing a directory chooses nothing. Reads the agent's page
// graph (borrowed) while it is open; user-interface thread only.
#pragma once

#include <QDialog>
#include <vector>

class CAgentSettings;
class CSitePage;
class CSiteTreeCtrl;
class QPushButton;

class CSiteMapDialog : public QDialog {
    Q_OBJECT

  public:
    // agent: borrowed; its page graph (may be null) and DomainName are shown.
    explicit CSiteMapDialog(CAgentSettings& agent, QWidget* parent = nullptr);

    // The pages chosen (at most one), valid after the dialog ended with OK.
    const std::vector<CSitePage*>& Chosen() const { return m_chosen; }
    CSiteTreeCtrl* Tree() const { return m_tree; }
    QPushButton* ChooseButton() const { return m_choose; }

  private:
    void Choose();

    CSiteTreeCtrl* m_tree;
    QPushButton* m_choose;
    std::vector<CSitePage*> m_chosen;
};
