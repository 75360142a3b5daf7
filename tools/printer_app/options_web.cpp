#include "options_web.h"

#include <memory>
#include <mutex>
#include <string>

#include "host_kit/module_loader.h"
#include "ipp_choices.h"
#include "options_form.h"
#include "pappl_driver.h"

namespace tarnwick::app {
namespace {

constexpr const char* kPageName = "driver-options";
constexpr const char* kTitle = "Driver Options";

// The page code of the module runs on one thread at a time, as on the window system's thread.
std::mutex& PageMutex() {
    static std::mutex mutex;
    return mutex;
}

FormFields ReadForm(pappl_client_t* client, std::string& status) {
    cups_option_t* form = nullptr;
    const int count = papplClientGetForm(client, &form);
    FormFields fields;
    if (count == 0) {
        status = "Invalid form data.";
    } else if (!papplClientIsValidForm(client, count, form)) {
        status = "Invalid form submission.";
    } else {
        for (int i = 0; i < count; ++i) fields.emplace_back(form[i].name, form[i].value);
    }
    cupsFreeOptions(count, form);
    return fields;
}

// The record's settings as the printer's vendor defaults (which PAPPL keeps across restarts).
bool SaveSettings(pappl_printer_t* printer, ABasePrinterDriver& driver,
                  const ModelDescription& model, const SettingsArea& area) {
    cups_option_t* options = nullptr;
    int count = 0;
    for (const auto& [name, value] : SettingsValues(driver, model, area)) {
        count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
    }
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    const bool saved = papplPrinterSetDriverDefaults(printer, &data, count, options);
    cupsFreeOptions(count, options);
    return saved;
}

// Works the page on the printer's record with what the client sent, if anything; the form's
// rows, or "" with status saying why there are none.
std::string WorkPage(pappl_client_t* client, pappl_printer_t* printer,
                     const ModelDescription& model, std::string& status) {
    const bool posted = papplClientGetMethod(client) == HTTP_STATE_POST;
    FormFields fields;
    if (posted) fields = ReadForm(client, status);
    std::lock_guard lock(PageMutex());
    std::string error;
    std::unique_ptr<hostkit::DriverModule> module = hostkit::DriverModule::Open("", error);
    if (!module) {
        status = error;
        return {};
    }
    SettingsArea area = model.defaultSettings;
    const auto choice = ChooseSettings(model, PrinterDefaults(printer, model), error);
    if (choice) ApplySettings(module->driver(), model, *choice, area);
    std::unique_ptr<CPropertyPage> page =
        module->OpenOptionsPage(area.settings, model.model.c_str(), error);
    if (!page) {
        status = error;
        return {};
    }
    if (!fields.empty() && ApplyOptionsForm(*page, fields)) {
        status = SaveSettings(printer, module->driver(), model, area) ? "Changes saved."
                                                                      : "Bad printer defaults.";
    }
    return OptionsFormHtml(*page);
}

bool ServePage(pappl_client_t* client, void* data) {
    auto* printer = static_cast<pappl_printer_t*>(data);
    if (!papplClientHTMLAuthorize(client)) return true;
    const ModelDescription* model = ModelOf(printer);
    std::string status = "This printer's driver is not one of this application's.";
    const std::string rows = model != nullptr ? WorkPage(client, printer, *model, status) : "";
    papplClientHTMLPrinterHeader(client, printer, kTitle, 0, nullptr, nullptr);
    if (!status.empty()) {
        papplClientHTMLPuts(client, "<div class=\"banner\">");
        papplClientHTMLEscape(client, status.c_str(), status.size());
        papplClientHTMLPuts(client, "</div>\n");
    }
    if (!rows.empty()) {
        papplClientHTMLStartForm(client, papplClientGetURI(client), false);
        papplClientHTMLPuts(client, "<table class=\"form\"><tbody>\n");
        papplClientHTMLPuts(client, rows.c_str());
        papplClientHTMLPuts(client, "</tbody></table></form>\n");
    }
    papplClientHTMLPrinterFooter(client);
    return true;
}

}  // namespace

void AddOptionsPage(pappl_printer_t* printer, void*) {
    if (ModelOf(printer) == nullptr) return;
    char path[256];
    papplPrinterGetPath(printer, kPageName, path, sizeof path);
    papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path, "text/html", ServePage,
                                   printer);
    papplPrinterAddLink(
        printer, kTitle, path,
        static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
}

}  // namespace tarnwick::app
