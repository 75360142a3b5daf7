// The printer's "Driver Options" page in PAPPL's web interface: the driver's own options page on
// the printer's settings record, whose settings are the printer's vendor defaults.
#pragma once

#include <pappl/pappl.h>

namespace tarnwick::app {

// pappl_pr_create_cb_t: adds the page to every printer made (new or from the saved state); data
// is the Catalog.
void AddOptionsPage(pappl_printer_t* printer, void* catalog);

}  // namespace tarnwick::app
