#include "ui/SiteMapDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"
#include "ui/SiteTreeCtrl.h"

CSiteMapDialog::CSiteMapDialog(CAgentSettings& agent, QWidget* parent)
    : QDialog(parent), m_tree(new CSiteTreeCtrl(this)) {
    setWindowTitle(ResText(IDS_SITE_MAP_CAPTION));
    auto* buttons = new QDialogButtonBox(this);
    m_choose = buttons->addButton(ResText(IDS_SITE_MAP_CHOOSE), QDialogButtonBox::AcceptRole);
    buttons->addButton(ResText(IDS_SITE_MAP_CANCEL), QDialogButtonBox::RejectRole);
    m_choose->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    resize(300, 360);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSiteMapDialog::Choose);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, &CSiteMapDialog::Choose);
    m_tree->Fill(agent.SiteMap.get(), QString::fromUtf8(ShownText(agent.DomainName)));
}

void CSiteMapDialog::Choose() {
    m_chosen.clear();
    if (CSitePage* page = m_tree->SelectedPage())
        m_chosen.push_back(page);
    accept();
}
