// A dialog resource as data: the dialog's frame and the controls it is made
// of, positions in dialog units.
#pragma once

#include <span>
#include <string_view>

#include "platform/mfc/window_state.h"

namespace tarnwick {

struct ControlTemplate {
    int id;
    ControlKind kind;
    std::string_view text;
    unsigned style;
    DialogRect rect;
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    std::string_view fontName;
    int fontPointSize;
    int width;   // dialog units
    int height;  // dialog units
    unsigned style;
    std::span<const ControlTemplate> controls;
};

// The module's dialog resource with that id, or null. Defined next to the
// module's resources.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace tarnwick
