// The driver options page: edits a PrinterSettings record in place. The
// host embeds it in its own property sheet (createDriverPage); the modal
// form is CDriverOptionDialogQZ. Every command writes the record at once and
// RefreshControls rebuilds the controls from the record, so the page keeps
// no option values of its own.
#pragma once

#include "platform/mfc/cbutton.h"
#include "platform/mfc/ccombobox.h"
#include "platform/mfc/cproperty_page.h"
#include "tarnwick/records.h"

namespace tarnwick {

class CDriverOptionDialog : public CPropertyPage {
  public:
    // Neither pointer is owned; the record must outlive the page. The parent
    // is not used by the page: the host's sheet places it.
    CDriverOptionDialog(CWnd* parent, PrinterSettings* settings, const char* modelName);
    ~CDriverOptionDialog() override;

    int OnInitDialog() override;
    int OnSetActive() override;
    int OnKillActive() override;
    bool OnCommand(int id, int notification) override;

    // Writes the model class of the model name into the record and returns
    // it (the class alone when there is no record).
    int DetectModelClass();
    // Shows the record in the controls; see the cut sheet rule inside.
    void RefreshControls();
    // Adds the items of a comma list to the list box; null or empty adds
    // nothing.
    static void FillComboFromList(CComboBox& combo, const char* list);

    PrinterSettings* Settings() const { return m_pSettings; }
    const char* ModelName() const { return m_pszModel; }

  protected:
    void DoDataExchange(CDataExchange* dx) override;

    CComboBox m_cbColorBar;
    CButton m_chkAdvance;
    CButton m_chkCropMark;
    CComboBox m_cbDryTime;
    CComboBox m_cbSpacing;
    CButton m_chkCalibration;
    CButton m_chkCutSheet;
    CComboBox m_cbOverprint;
    CButton m_chkEnable;
    PrinterSettings* m_pSettings;
    const char* m_pszModel;

  private:
    // Loads the string resource into the list; a missing one is reported by
    // name and leaves the list empty.
    void LoadList(int stringId, const char* stringName, CComboBox& combo);
    void HideControl(int id);
    // Stores a list's selection into a field of the record; a list without a
    // selection leaves the field alone.
    void StoreSelection(uint8_t PrinterSettings::*field, const CComboBox& combo);
    void StoreCheck(uint8_t PrinterSettings::*field, const CButton& button);
    void ApplyCutSheetRule();

    void OnClickedUnidirectional();
    void OnClickedBidirectional();
    void OnClickedEnableOptions();
    void OnSelChangeOverprint();
    void OnClickedCutSheet();
    void OnClickedCalibration();
    void OnClickedRestoreDefaults();
    void OnSelChangePageSpacing();
    void OnSelChangeDryTime();
    void OnClickedCropMark();
    void OnClickedAdvance();
    void OnSelChangeColorBar();
};

}  // namespace tarnwick
