// The page's command handlers. Each writes the record at once and tells the
// sheet that the page changed.
#include "options/driver_option_dialog.h"
#include "platform/mfc/driver_dll.h"
#include "platform/mfc/resource.h"
#include "rtl/rtl.h"

namespace tarnwick {

bool CDriverOptionDialog::OnCommand(int id, int notification) {
    struct CommandEntry {
        int id;
        int notification;
        void (CDriverOptionDialog::*handler)();
    };
    static constexpr CommandEntry kCommands[] = {
        {IDC_UNIDIRECTIONAL, BN_CLICKED, &CDriverOptionDialog::OnClickedUnidirectional},
        {IDC_BIDIRECTIONAL, BN_CLICKED, &CDriverOptionDialog::OnClickedBidirectional},
        {IDC_ENABLE_OPTIONS, BN_CLICKED, &CDriverOptionDialog::OnClickedEnableOptions},
        {IDC_OVERPRINT, CBN_SELCHANGE, &CDriverOptionDialog::OnSelChangeOverprint},
        {IDC_CUT_SHEET, BN_CLICKED, &CDriverOptionDialog::OnClickedCutSheet},
        {IDC_CALIBRATION, BN_CLICKED, &CDriverOptionDialog::OnClickedCalibration},
        {IDC_RESTORE_DEFAULTS, BN_CLICKED, &CDriverOptionDialog::OnClickedRestoreDefaults},
        {IDC_PAGE_SPACING, CBN_SELCHANGE, &CDriverOptionDialog::OnSelChangePageSpacing},
        {IDC_DRY_TIME, CBN_SELCHANGE, &CDriverOptionDialog::OnSelChangeDryTime},
        {IDC_CROP_MARK, BN_CLICKED, &CDriverOptionDialog::OnClickedCropMark},
        {IDC_ADVANCE, BN_CLICKED, &CDriverOptionDialog::OnClickedAdvance},
        {IDC_COLOR_BAR, CBN_SELCHANGE, &CDriverOptionDialog::OnSelChangeColorBar},
    };
    for (const CommandEntry& entry : kCommands) {
        if (entry.id == id && entry.notification == notification) {
            (this->*entry.handler)();
            return true;
        }
    }
    return CPropertyPage::OnCommand(id, notification);
}

void CDriverOptionDialog::StoreSelection(uint8_t PrinterSettings::*field, const CComboBox& combo) {
    const int position = combo.GetCurSel();
    if (m_pSettings == nullptr || position == CB_ERR) return;
    m_pSettings->*field = static_cast<uint8_t>(position);
    SetModified();
}

void CDriverOptionDialog::StoreCheck(uint8_t PrinterSettings::*field, const CButton& button) {
    if (m_pSettings == nullptr) return;
    m_pSettings->*field = button.GetCheck() != BST_UNCHECKED ? 1 : 0;
    SetModified();
}

void CDriverOptionDialog::OnClickedUnidirectional() {
    ModuleStateScope moduleState;
    if (m_pSettings == nullptr) return;
    m_pSettings->printDirection = 0;
    SetModified();
}

void CDriverOptionDialog::OnClickedBidirectional() {
    ModuleStateScope moduleState;
    if (m_pSettings == nullptr) return;
    m_pSettings->printDirection = 1;
    SetModified();
}

void CDriverOptionDialog::OnClickedEnableOptions() {
    ModuleStateScope moduleState;
    if (m_pSettings == nullptr) return;
    m_pSettings->driverOptionsOff = m_chkEnable.GetCheck() != BST_UNCHECKED ? 0 : 1;
    SetModified();
    RefreshControls();
}

void CDriverOptionDialog::OnSelChangeOverprint() {
    ModuleStateScope moduleState;
    StoreSelection(&PrinterSettings::overprint, m_cbOverprint);
}

void CDriverOptionDialog::OnClickedCutSheet() {
    ModuleStateScope moduleState;
    StoreCheck(&PrinterSettings::cutSheet, m_chkCutSheet);
}

void CDriverOptionDialog::OnClickedCalibration() {
    ModuleStateScope moduleState;
    StoreCheck(&PrinterSettings::mediaFeedCalibration, m_chkCalibration);
}

void CDriverOptionDialog::OnClickedRestoreDefaults() {
    ModuleStateScope moduleState;
    if (m_pSettings == nullptr) return;
    RTL::ResetSettings(m_pSettings);
    SetModified();
    RefreshControls();
}

void CDriverOptionDialog::OnSelChangePageSpacing() {
    ModuleStateScope moduleState;
    StoreSelection(&PrinterSettings::pageSpacing, m_cbSpacing);
}

void CDriverOptionDialog::OnSelChangeDryTime() {
    ModuleStateScope moduleState;
    StoreSelection(&PrinterSettings::dryTime, m_cbDryTime);
}

void CDriverOptionDialog::OnClickedCropMark() {
    ModuleStateScope moduleState;
    StoreCheck(&PrinterSettings::cropMark, m_chkCropMark);
}

void CDriverOptionDialog::OnClickedAdvance() {
    ModuleStateScope moduleState;
    StoreCheck(&PrinterSettings::advanceAfterPrint, m_chkAdvance);
    if (m_pSettings != nullptr) ApplyCutSheetRule();
}

void CDriverOptionDialog::OnSelChangeColorBar() {
    ModuleStateScope moduleState;
    StoreSelection(&PrinterSettings::colorBar, m_cbColorBar);
}

}  // namespace tarnwick
