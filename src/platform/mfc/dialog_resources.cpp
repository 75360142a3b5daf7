// The module's dialog resources: the driver options dialog.
#include "platform/message_box.h"
#include "platform/mfc/dialog_template.h"
#include "platform/mfc/resource.h"

namespace tarnwick {
namespace {

using K = ControlKind;
constexpr unsigned kList = style::kVScroll;

constexpr ControlTemplate kDriverOptionsControls[] = {
    {IDOK, K::PushButton, "OK", style::kDefaultButton, {22, 210, 50, 14}},
    {IDCANCEL, K::PushButton, "Cancel", 0, {78, 210, 50, 14}},
    {IDC_RESTORE_DEFAULTS, K::PushButton, "Restore Defaults", 0, {134, 210, 100, 14}},
    {IDC_ENABLE_OPTIONS, K::CheckBox, "Enable driver options", 0, {15, 10, 129, 10}},
    {IDC_OVERPRINT_LABEL, K::StaticText, "Overprint:", 0, {27, 28, 80, 8}},
    {IDC_OVERPRINT, K::DropDownList, "", kList, {111, 26, 80, 66}},
    {IDC_SPACING_LABEL, K::StaticText, "Page spacing:", 0, {27, 44, 80, 8}},
    {IDC_PAGE_SPACING, K::DropDownList, "", kList, {111, 42, 80, 70}},
    {IDC_COLOR_BAR_LABEL, K::StaticText, "Color bar:", 0, {27, 60, 80, 8}},
    {IDC_COLOR_BAR, K::DropDownList, "", kList, {111, 58, 80, 92}},
    {IDC_DRY_TIME_LABEL, K::StaticText, "Dry time:", 0, {27, 76, 80, 8}},
    {IDC_DRY_TIME, K::DropDownList, "", kList, {111, 74, 80, 92}},
    {IDC_DIRECTION_GROUP, K::GroupBox, "Print direction", 0, {23, 93, 203, 35}},
    {IDC_UNIDIRECTIONAL, K::RadioButton, "Unidirectional", style::kGroup, {44, 111, 73, 10}},
    {IDC_BIDIRECTIONAL, K::RadioButton, "Bidirectional", 0, {140, 111, 73, 10}},
    {IDC_CALIBRATION, K::CheckBox, "Media feed calibration", 0, {27, 136, 141, 10}},
    {IDC_CUT_SHEET, K::CheckBox, "Cut sheet after printing", 0, {27, 152, 141, 10}},
    {IDC_CROP_MARK, K::CheckBox, "Print crop mark", 0, {27, 168, 141, 10}},
    {IDC_ADVANCE, K::CheckBox, "Advance after print", 0, {27, 184, 141, 10}},
};

constexpr DialogTemplate kDialogs[] = {
    {IDD_DRIVER_OPTIONS, "Driver Options", "MS Sans Serif", 8, 250, 231,
     style::kPopup | style::kCaption | style::kSysMenu | style::kModalFrame,
     kDriverOptionsControls},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& dialog : kDialogs) {
        if (dialog.id == id) return &dialog;
    }
    return nullptr;
}

}  // namespace tarnwick
