// The printer application's side of PAPPL: the driver callback that describes a model from the
// driver's answers, and the raster callbacks that run a RasterJob for each job.
#pragma once

#include <pappl/pappl.h>

#include <string>
#include <vector>

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

// pappl_pr_driver_cb_t; data is the Catalog.
bool DescribePrinter(pappl_system_t* system, const char* driverName, const char* deviceUri,
                     const char* deviceId, pappl_pr_driver_data_t* data, ipp_t** attrs,
                     void* catalog);

}  // namespace tarnwick::app
