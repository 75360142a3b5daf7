// The driver's options slot: resets or edits the settings record, the edit
// running in the modal options dialog.
#include <cstring>

#include "driver/cdriver.h"
#include "options/driver_option_dialog_qz.h"
#include "platform/message_box.h"
#include "platform/mfc/driver_dll.h"
#include "rtl/rtl.h"

namespace tarnwick {
namespace {

enum OptionsAction : int32_t {
    kResetAndEdit = 1,
    kReset = 2,
    kEdit = 3,
};

}  // namespace

// `settings` is the start of the host's 256-byte settings area.
int CDriver::ShowOptionsDialog(PrinterSettings* settings, int32_t action, PrintSetup* setup,
                               void* parentWindow) {
    ModuleStateScope moduleState;
    try {
        if (settings == nullptr) return 0;
        if (setup != nullptr) ResolveListIndex(setup, setup->media, &setup->media);
        if (ABaseRTL* engine = Engine()) engine->SetPrintSettings(setup);
        switch (action) {
            case kResetAndEdit:
                RTL::ResetSettings(settings);
                break;
            case kReset:
                RTL::ResetSettings(settings);
                return 1;
            case kEdit:
                break;
            default:
                return 0;
        }
        if (settings->tag != kSettingsTag) RTL::ResetSettings(settings);

        uint8_t saved[kSettingsAreaSize];
        std::memcpy(saved, settings, sizeof saved);

        CWnd hostWindow;
        hostWindow.SetNativeHandle(parentWindow);
        // The setup begins with the model name.
        CDriverOptionDialogQZ dialog(&hostWindow, settings,
                                     setup != nullptr ? setup->modelName : nullptr);
        if (dialog.DoModal() != IDOK) std::memcpy(settings, saved, sizeof saved);
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace tarnwick
