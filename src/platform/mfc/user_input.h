// What a person does to a dialog, with the behaviour the window system adds
// before the dialog hears of it: an automatic check box toggles, an
// automatic radio button checks itself and clears the rest of its group, a
// list takes the new selection. Then the command goes to OnCommand. A
// control that is missing, hidden, disabled or of the wrong kind takes no
// input: the call returns false and nothing happens.
#pragma once

namespace tarnwick {

class CDialog;

// A click on a push button, check box or radio button.
bool ClickButton(CDialog& dialog, int id);

// Picking item `index` of a drop-down list.
bool ChooseListItem(CDialog& dialog, int id, int index);

}  // namespace tarnwick
