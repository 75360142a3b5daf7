// The driver options page on the web. The page itself, made by the driver module, keeps the
// controls, their enabling rules and the settings record; this face only draws its controls as
// an HTML form and plays a submitted form back to it as the clicks and choices a person makes
// in the window, so the web and the window cannot disagree.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/mfc/cdialog.h"

namespace tarnwick::app {

// Form fields as the browser sends them, in order.
using FormFields = std::vector<std::pair<std::string, std::string>>;

// The visible controls as rows of a <table class="form">, each input named after its control,
// disabled where the page disables it; then the page's push buttons and a hidden list of the
// controls that were open to input, so a form only works what its user could see.
std::string OptionsFormHtml(const CDialog& page);

// Delivers the form's differences from the page's controls to the page, repeating while a change
// opens controls that the form also changes (the cut switch opens only once advancing is on).
// A push button in the form is clicked alone. Returns whether anything was delivered.
bool ApplyOptionsForm(CDialog& page, const FormFields& form);

}  // namespace tarnwick::app
