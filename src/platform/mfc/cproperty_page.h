// A page of a property sheet. The sheet (the host's) makes the page window
// with Create and tells the page when it becomes active or is left.
#pragma once

#include <functional>

#include "platform/mfc/cdialog.h"

namespace tarnwick {

class CPropertyPage : public CDialog {
  public:
    // captionId 0: the page takes the caption of its template.
    explicit CPropertyPage(int templateId, int captionId = 0);

    // Makes the page window from the template and runs OnInitDialog; false
    // when the template does not exist.
    bool Create();

    // 1 when the page has a window and its controls are bound, else 0.
    virtual int OnSetActive();
    // Takes the data from the controls: 1 when that worked, else 0.
    virtual int OnKillActive();
    // The page's own part of OK and Cancel: the changes are no longer pending.
    // Neither ends a modal loop; a modal form adds the dialog's part.
    void OnOK() override;
    void OnCancel() override;

    // Marks the page as changed, so the sheet can enable its Apply button.
    void SetModified(bool changed = true);
    bool IsModified() const { return m_bModified; }
    // Told about every SetModified; the sheet's hook.
    void SetModifiedListener(std::function<void(bool)> listener);

    int CaptionId() const { return m_nCaptionId; }

  private:
    int m_nCaptionId;
    bool m_bModified = false;
    std::function<void(bool)> m_modifiedListener;
};

}  // namespace tarnwick
