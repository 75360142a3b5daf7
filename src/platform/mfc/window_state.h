// What the window system keeps for one window of a dialog: the state that
// the page reads and writes through its control wrappers, and that a front
// end draws.
#pragma once

#include <string>
#include <vector>

namespace tarnwick {

enum class ControlKind {
    Dialog,
    PushButton,
    CheckBox,     // automatic: a click toggles it
    RadioButton,  // automatic: a click checks it and clears its group
    GroupBox,
    StaticText,
    DropDownList,
};

// Style flags of a dialog or control, as far as this layer uses them.
namespace style {
inline constexpr unsigned kGroup = 1u << 0;          // first control of a group
inline constexpr unsigned kDefaultButton = 1u << 1;  // the button Enter presses
inline constexpr unsigned kVScroll = 1u << 2;        // list with a vertical scroll bar
inline constexpr unsigned kPopup = 1u << 8;
inline constexpr unsigned kCaption = 1u << 9;
inline constexpr unsigned kSysMenu = 1u << 10;
inline constexpr unsigned kModalFrame = 1u << 11;
}  // namespace style

// Notification codes of a command, and other values of the window system.
inline constexpr int BN_CLICKED = 0;
inline constexpr int CBN_SELCHANGE = 1;
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int CB_ERR = -1;

// A rectangle in dialog units.
struct DialogRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct WindowState {
    int id = 0;
    ControlKind kind = ControlKind::StaticText;
    std::string text;
    unsigned style = 0;
    DialogRect rect;
    bool enabled = true;
    bool visible = true;
    int check = BST_UNCHECKED;       // buttons
    std::vector<std::string> items;  // lists
    int curSel = CB_ERR;             // lists: selected position or CB_ERR
};

}  // namespace tarnwick
