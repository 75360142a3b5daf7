#include "platform/mfc/cproperty_page.h"

#include <utility>

namespace tarnwick {

CPropertyPage::CPropertyPage(int templateId, int captionId)
    : CDialog(templateId), m_nCaptionId(captionId) {}

bool CPropertyPage::Create() {
    if (!CreateFromTemplate()) return false;
    OnInitDialog();
    return true;
}

int CPropertyPage::OnSetActive() {
    return UpdateData(false) ? 1 : 0;
}

int CPropertyPage::OnKillActive() {
    return UpdateData(true) ? 1 : 0;
}

void CPropertyPage::OnOK() {
    SetModified(false);
}

void CPropertyPage::OnCancel() {
    SetModified(false);
}

void CPropertyPage::SetModified(bool changed) {
    m_bModified = changed;
    if (m_modifiedListener) m_modifiedListener(changed);
}

void CPropertyPage::SetModifiedListener(std::function<void(bool)> listener) {
    m_modifiedListener = std::move(listener);
}

}  // namespace tarnwick
