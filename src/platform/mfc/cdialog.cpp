#include "platform/mfc/cdialog.h"

#include "platform/message_box.h"
#include "platform/mfc/data_exchange.h"
#include "platform/mfc/modal_runner.h"

namespace tarnwick {

CDialog::CDialog(int templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParent(parent) {}

CDialog::~CDialog() = default;

bool CDialog::CreateFromTemplate() {
    const DialogTemplate* dialogTemplate = FindDialogTemplate(m_nIDTemplate);
    if (dialogTemplate == nullptr) return false;
    m_pTemplate = dialogTemplate;
    if (!m_ownState) m_ownState = std::make_unique<WindowState>();
    WindowState& self = *m_ownState;
    self = WindowState{};
    self.id = dialogTemplate->id;
    self.kind = ControlKind::Dialog;
    self.text = std::string(dialogTemplate->caption);
    self.style = dialogTemplate->style;
    self.rect = DialogRect{0, 0, dialogTemplate->width, dialogTemplate->height};
    std::size_t position = 0;
    for (const ControlTemplate& control : dialogTemplate->controls) {
        CreateChild(position++, control);
    }
    Attach(m_ownState.get());
    return true;
}

int CDialog::DoModal() {
    if (!CreateFromTemplate()) return -1;
    m_bEnded = false;
    m_nModalResult = 0;
    OnInitDialog();
    const int runnerResult = RunModal(*this);
    if (!m_bEnded) EndDialog(runnerResult);
    return m_nModalResult;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bEnded = true;
}

int CDialog::OnInitDialog() {
    UpdateData(false);
    return 1;
}

void CDialog::OnOK() {
    // A failed exchange keeps the dialog open, as the window system does.
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED) return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!IsCreated()) return false;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

void CDialog::DoDataExchange(CDataExchange*) {}

}  // namespace tarnwick
