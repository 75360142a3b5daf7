// PDF documents, rendered with Poppler a band of rows at a time, so that memory does not grow
// with the page: each page prints as wide as the media's printable width allows (never wider
// than the page at its own size when print-scaling is none), as long as its content. The
// resolution follows print-quality over all of the printer's print modes: draft the lowest,
// normal the first print mode's, high the highest.
#pragma once

#include <pappl/pappl.h>

namespace tarnwick::app {

// pappl_mime_filter_cb_t for application/pdf.
bool PrintPdf(pappl_job_t* job, pappl_device_t* device, void* data);

}  // namespace tarnwick::app
