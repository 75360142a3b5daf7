// The printer application's side of PAPPL: the driver callback that describes a model from the
// driver's answers, and the raster callbacks that run a RasterJob for each job.
#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "ipp_choices.h"
#include "model_description.h"

namespace tarnwick::app {

// Every model the application offers, described once at start-up; lives for the process.
struct Catalog {
    std::vector<ModelDescription> models;
    std::vector<std::string> descriptions;        // "Tarnwick CP52", for PAPPL's driver list
    std::vector<pappl_pr_driver_t> papplDrivers;  // names and descriptions point into the above

    const ModelDescription* Find(const char* driverName) const;
};

// Loads the module and asks it about its models; false with error set when it cannot.
bool BuildCatalog(Catalog& catalog, std::string& error);

struct PageLayout;

// The raster path of a job, for documents the application renders itself: the same steps as
// PAPPL's raster callbacks, each false (with the job's state message set) when the job failed.
bool BeginRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool BeginRasterPage(pappl_job_t* job, const PageLayout& layout, unsigned page);
bool WriteRasterLine(pappl_job_t* job, const unsigned char* line);
bool EndRasterPage(pappl_job_t* job);
bool EndRasterJob(pappl_job_t* job);

// The highest resolution at which printers take raster documents (default 360 dpi); their
// lowest resolution is always taken. Set before any printer is made.
void SetRasterMaxDpi(int dpi);

// The model of a printer, or of the job's printer; null for a printer of another application.
const ModelDescription* ModelOf(pappl_printer_t* printer);
const ModelDescription* ModelOf(pappl_job_t* job);

// The printer's defaults of the model's vendor attributes.
VendorValues PrinterDefaults(pappl_printer_t* printer, const ModelDescription& model);

// A failure the job's state message carries, with a reason IPP clients understand; false.
bool FailJob(pappl_job_t* job, const std::string& message);

// pappl_pr_driver_cb_t; data is the Catalog.
bool DescribePrinter(pappl_system_t* system, const char* driverName, const char* deviceUri,
                     const char* deviceId, pappl_pr_driver_data_t* data, ipp_t** attrs,
                     void* catalog);

}  // namespace tarnwick::app
