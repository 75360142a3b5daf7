#include "platform/mfc/data_exchange.h"

namespace tarnwick {

void CDataExchange::Fail(int controlId) {
    if (m_bFailed) return;
    m_bFailed = true;
    m_nFailedId = controlId;
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (dx == nullptr || dx->Failed() || dx->m_pDlgWnd == nullptr) return;
    WindowState* state = dx->m_pDlgWnd->FindChild(id);
    if (state == nullptr) {
        dx->Fail(id);
        return;
    }
    control.Attach(state);
}

}  // namespace tarnwick
