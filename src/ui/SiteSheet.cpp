#include "ui/SiteSheet.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "agent/AgentChecks.h"
#include "agent/AgentSettings.h"
#include "ui/MessagePrompt.h"
#include "ui/ResText.h"
#include "ui/SitePropPage.h"

CSiteSheet::CSiteSheet(const QString& title, QWidget* parent)
    : QDialog(parent),
      m_ownPrompt(std::make_unique<CMessagePrompt>(this)),
      m_prompt(m_ownPrompt.get()),
      m_tabs(new QTabBar(this)),
      m_heading(new QLabel(this)),
      m_stack(new QStackedWidget(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(title);
    // Room for the longest page (its explanations wrap) and the tabs of the full sheet.
    setMinimumSize(680, 540);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    QFont bold = m_heading->font();
    bold.setWeight(QFont::Bold);
    m_heading->setFont(bold);
    m_heading->hide();
    layout->addWidget(m_heading);
    layout->addWidget(m_stack, 1);
    layout->addWidget(m_buttons);
    m_tabs->setDrawBase(true);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && index < PageCount())
            SetCurrentPage(m_pages[index]);
    });
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CSiteSheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CSiteSheet::~CSiteSheet() = default;

void CSiteSheet::AddPage(CSitePropPage* page) {
    page->ApplyCaptions();
    m_pages.push_back(page);
    m_stack->addWidget(page);
    m_tabs->addTab(page->Title());
    if (m_pages.size() == 1)
        SetCurrentPage(page);
}

CSitePropPage* CSiteSheet::CurrentPage() const {
    return qobject_cast<CSitePropPage*>(m_stack->currentWidget());
}

void CSiteSheet::SetCurrentPage(CSitePropPage* page) {
    const auto it = std::find(m_pages.begin(), m_pages.end(), page);
    if (it == m_pages.end())
        return;
    const int index = static_cast<int>(it - m_pages.begin());
    {
        QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(index);
    }
    m_heading->setText(page->Title());
    if (m_stack->currentWidget() != page) {
        m_stack->setCurrentWidget(page);
        page->OnSetActive();
    }
}

QPushButton* CSiteSheet::OkButton() const {
    return m_buttons->button(QDialogButtonBox::Ok);
}

QPushButton* CSiteSheet::CancelButton() const {
    return m_buttons->button(QDialogButtonBox::Cancel);
}

void CSiteSheet::SettingsToPages(const CAgentSettings& agent) {
    for (CSitePropPage* page : m_pages)
        page->SettingsToPage(agent);
}

void CSiteSheet::PagesToSettings(CAgentSettings& agent) const {
    for (CSitePropPage* page : m_pages) {
        if (IsPageStored(page))
            page->PageToSettings(agent);
    }
    NormalizeAgentPaths(agent);
}

bool CSiteSheet::CheckPages() {
    for (CSitePropPage* page : m_pages) {
        if (!page->ChecksOnOk())
            continue;
        SetCurrentPage(page);
        if (!page->CheckPage(*m_prompt))
            return false;
    }
    return true;
}

void CSiteSheet::accept() {
    if (CheckPages())
        QDialog::accept();
}

void CSiteSheet::SetWizardLook() {
    m_tabs->hide();
    m_heading->show();
}

bool CSiteSheet::IsPageStored(const CSitePropPage*) const {
    return true;
}
