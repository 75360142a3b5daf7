#include "options/driver_option_dialog.h"

#include <string>

#include "platform/mfc/afx_message_box.h"
#include "platform/mfc/data_exchange.h"
#include "platform/mfc/driver_dll.h"
#include "platform/mfc/load_string.h"
#include "platform/mfc/resource.h"
#include "platform/mfc/string_table.h"
#include "rtl/printer_models.h"

namespace tarnwick {

CDriverOptionDialog::CDriverOptionDialog(CWnd* /*parent*/, PrinterSettings* settings,
                                         const char* modelName)
    : CPropertyPage(IDD_DRIVER_OPTIONS), m_pSettings(settings), m_pszModel(modelName) {}

CDriverOptionDialog::~CDriverOptionDialog() = default;

void CDriverOptionDialog::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_COLOR_BAR, m_cbColorBar);
    DDX_Control(dx, IDC_ADVANCE, m_chkAdvance);
    DDX_Control(dx, IDC_CROP_MARK, m_chkCropMark);
    DDX_Control(dx, IDC_DRY_TIME, m_cbDryTime);
    DDX_Control(dx, IDC_PAGE_SPACING, m_cbSpacing);
    DDX_Control(dx, IDC_CALIBRATION, m_chkCalibration);
    DDX_Control(dx, IDC_CUT_SHEET, m_chkCutSheet);
    DDX_Control(dx, IDC_OVERPRINT, m_cbOverprint);
    DDX_Control(dx, IDC_ENABLE_OPTIONS, m_chkEnable);
}

int CDriverOptionDialog::OnInitDialog() {
    ModuleStateScope moduleState;
    CPropertyPage::OnInitDialog();
    const int modelClass = DetectModelClass();
    LoadList(IDS_OVERPRINT, "IDS_OVERPRINT", m_cbOverprint);
    LoadList(IDS_SPACE, "IDS_SPACE", m_cbSpacing);
    LoadList(IDS_COLORBAR, "IDS_COLORBAR", m_cbColorBar);
    if (modelClass != kModelGeneric) {
        LoadList(IDS_DRY_TIME, "IDS_DRY_TIME", m_cbDryTime);
    } else {
        // A generic printer has no drying time, crop mark or advance.
        HideControl(IDC_DRY_TIME);
        HideControl(IDC_DRY_TIME_LABEL);
        HideControl(IDC_CROP_MARK);
        HideControl(IDC_ADVANCE);
    }
    RefreshControls();
    // The host's sheet has its own OK and Cancel.
    HideControl(IDOK);
    HideControl(IDCANCEL);
    return 1;
}

int CDriverOptionDialog::OnSetActive() {
    ModuleStateScope moduleState;
    if (!CPropertyPage::OnSetActive()) return 0;
    DetectModelClass();
    RefreshControls();
    return 1;
}

int CDriverOptionDialog::OnKillActive() {
    ModuleStateScope moduleState;
    return CPropertyPage::OnKillActive();
}

int CDriverOptionDialog::DetectModelClass() {
    const int modelClass = tarnwick::DetectModelClass(m_pszModel);
    if (m_pSettings != nullptr) m_pSettings->modelClass = static_cast<uint8_t>(modelClass);
    return modelClass;
}

void CDriverOptionDialog::RefreshControls() {
    if (m_pSettings == nullptr) return;
    const PrinterSettings& s = *m_pSettings;
    // Any nonzero switch counts as off, so the box and the controls agree.
    const bool enabled = s.driverOptionsOff == 0;
    m_chkEnable.SetCheck(enabled ? BST_CHECKED : BST_UNCHECKED);
    CWnd* const optionControls[] = {
        GetDlgItem(IDC_UNIDIRECTIONAL),
        GetDlgItem(IDC_BIDIRECTIONAL),
        &m_cbOverprint,
        &m_cbSpacing,
        &m_cbColorBar,
        &m_cbDryTime,
        &m_chkCalibration,
        &m_chkCropMark,
        &m_chkAdvance,
    };
    for (CWnd* control : optionControls) {
        if (control != nullptr) control->EnableWindow(enabled);
    }
    if (!enabled) {
        // The controls keep what they show.
        m_chkCutSheet.EnableWindow(false);
        return;
    }
    CheckRadioButton(IDC_UNIDIRECTIONAL, IDC_BIDIRECTIONAL, IDC_UNIDIRECTIONAL + s.printDirection);
    m_chkCalibration.SetCheck(s.mediaFeedCalibration);
    m_chkCropMark.SetCheck(s.cropMark);
    m_chkAdvance.SetCheck(s.advanceAfterPrint);
    m_cbOverprint.SetCurSel(s.overprint);
    m_cbSpacing.SetCurSel(s.pageSpacing);
    m_cbColorBar.SetCurSel(s.colorBar);
    m_cbDryTime.SetCurSel(s.dryTime);
    ApplyCutSheetRule();
}

void CDriverOptionDialog::ApplyCutSheetRule() {
    // Cutting only makes sense once the sheet has been advanced; the record
    // keeps its choice for when advancing is switched on again.
    if (m_pSettings->advanceAfterPrint != 0) {
        m_chkCutSheet.EnableWindow(true);
        m_chkCutSheet.SetCheck(m_pSettings->cutSheet);
    } else {
        m_chkCutSheet.EnableWindow(false);
        m_chkCutSheet.SetCheck(BST_UNCHECKED);
    }
}

void CDriverOptionDialog::FillComboFromList(CComboBox& combo, const char* list) {
    if (list == nullptr) return;
    const std::string text(list);
    const int count = CountListItems(text.c_str());
    // No item is longer than the whole text.
    std::string item(text.size() + 1, '\0');
    for (int i = 0; i < count; ++i) {
        GetListItem(i, text.c_str(), item.data());
        combo.AddString(item.c_str());
    }
}

void CDriverOptionDialog::LoadList(int stringId, const char* stringName, CComboBox& combo) {
    std::string text;
    if (!LoadString(stringId, text)) {
        AfxMessageBox(std::string("Error Loading String: ") + stringName);
        text.clear();
    }
    FillComboFromList(combo, text.c_str());
}

void CDriverOptionDialog::HideControl(int id) {
    if (CWnd* control = GetDlgItem(id)) control->ShowWindow(SW_HIDE);
}

}  // namespace tarnwick
