// What the user may ask of a printer model, checked against what the driver reports for it:
// the model name itself, its resolutions, print modes, colour modes and option values. Each
// refusal throws UsageError naming the values that are allowed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tarnwick/printer_driver.h"

namespace tarnwick::cli {

// The name that stands for a printer without a plot language.
inline constexpr const char* kGenericModel = "Generic RTL";

// The models the driver tells apart, the generic printer first.
const std::vector<std::string>& KnownModels();

// "Generic RTL, ASBRU_V3C, ..." for messages and the model list.
std::string KnownModelList();

// The driver's spelling of a model typed in any case; throws for a name it does not know.
std::string MatchModel(const std::string& typed);

// A resolution one of the model's print modes prints at.
void CheckResolution(ABasePrinterDriver& driver, const std::string& model, int xDpi, int yDpi);

// A print mode index the model offers.
void CheckPrintMode(ABasePrinterDriver& driver, const std::string& model, int32_t printMode);

// A colour mode (number or name) the model offers; returns its index.
int32_t CheckColorMode(ABasePrinterDriver& driver, const std::string& model,
                       const std::string& text);

// Every "DriverOptionI=V" names an option of the model and one of its menu values.
void CheckOptionValues(ABasePrinterDriver& driver, const std::string& model,
                       const std::vector<std::string>& pairs);

}  // namespace tarnwick::cli
