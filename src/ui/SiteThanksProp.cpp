#include "ui/SiteThanksProp.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/ResText.h"

CSiteThanksProp::CSiteThanksProp(QWidget* parent) : CSitePropPage(IDS_PAGE_THANKS, parent) {
    AddText(IDS_THANKS_INTRO);
    m_yes = new QRadioButton(ResText(IDS_THANKS_YES), this);
    m_no = new QRadioButton(ResText(IDS_THANKS_NO), this);
    Body()->addWidget(m_yes);
    Body()->addWidget(m_no);
    m_yes->setChecked(true);
}

bool CSiteThanksProp::RunNow() const {
    return m_yes->isChecked();
}
