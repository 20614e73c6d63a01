#include "ui/SiteThanksProp.h"

#include <QRadioButton>

#include "ui/ResText.h"

CSiteThanksProp::CSiteThanksProp(QWidget* parent) : CSitePropPage(IDS_PAGE_THANKS, parent) {
    AddText(IDS_THANKS_INTRO);
    m_yes = AddRadio(IDS_THANKS_YES);
    m_no = AddRadio(IDS_THANKS_NO);
    m_yes->setChecked(true);
}

bool CSiteThanksProp::RunNow() const {
    return m_yes->isChecked();
}
