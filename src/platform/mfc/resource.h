// Ids of the module's dialog resource and its controls.
#pragma once

namespace tarnwick {

inline constexpr int IDD_DRIVER_OPTIONS = 129;

// OK and Cancel carry IDOK (1) and IDCANCEL (2).
inline constexpr int IDC_RESTORE_DEFAULTS = 1000;
inline constexpr int IDC_ENABLE_OPTIONS = 1001;
inline constexpr int IDC_UNIDIRECTIONAL = 1006;
inline constexpr int IDC_BIDIRECTIONAL = 1007;
inline constexpr int IDC_CALIBRATION = 1008;
inline constexpr int IDC_CUT_SHEET = 1009;
inline constexpr int IDC_OVERPRINT = 1010;
inline constexpr int IDC_PAGE_SPACING = 1011;
inline constexpr int IDC_DRY_TIME_LABEL = 1012;
inline constexpr int IDC_COLOR_BAR_LABEL = 1013;
inline constexpr int IDC_DRY_TIME = 1014;
inline constexpr int IDC_CROP_MARK = 1015;
inline constexpr int IDC_ADVANCE = 1016;
inline constexpr int IDC_COLOR_BAR = 1017;
inline constexpr int IDC_DIRECTION_GROUP = 10002;
inline constexpr int IDC_OVERPRINT_LABEL = 10003;
inline constexpr int IDC_SPACING_LABEL = 10004;

}  // namespace tarnwick
