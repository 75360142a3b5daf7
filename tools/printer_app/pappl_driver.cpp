#include "pappl_driver.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "host_kit/module_loader.h"
#include "ipp_choices.h"
#include "raster_job.h"
#include "rtl/printer_models.h"

namespace tarnwick::app {
namespace {

// The application's choices where the driver has no answer: the roll widths and lengths it
// accepts, and the margins it keeps (hundredths of millimetres).
constexpr const char* kRollMax = "roll_max_64x3937in";  // 64 inches by 100 metres
constexpr const char* kRollMin = "roll_min_4x4in";
constexpr int kMargin = 500;
// Raster documents (PWG and Apple raster, and the images PAPPL rasterises) come at most at this
// resolution unless the server is told otherwise: a banner at 720 dpi is gigabytes of pixels on
// the wire. PDF documents are rendered here, at any resolution of the printer.
int g_rasterMaxDpi = 360;
// The sizes offered by name besides the roll: the ones print dialogs and the IPP Everywhere
// samples use, then the large formats posters are made in.
constexpr const char* kNamedMedia[] = {
    "na_letter_8.5x11in", "iso_a4_210x297mm", "na_index-4x6_4x6in", "iso_a3_297x420mm",
    "iso_a2_420x594mm",   "iso_a1_594x841mm", "iso_a0_841x1189mm",  "na_arch-e_36x48in",
};
constexpr const char* kDefaultMedia = "iso_a1_594x841mm";

// The catalog the raster callbacks read; set once before the server runs.
const Catalog* g_catalog = nullptr;

struct JobState {
    std::unique_ptr<RasterJob> raster;
    bool failed = false;
};

JobState* StateOf(pappl_job_t* job) {
    return static_cast<JobState*>(papplJobGetData(job));
}

bool StartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    return BeginRasterJob(job, options, device);
}

}  // namespace

void SetRasterMaxDpi(int dpi) {
    g_rasterMaxDpi = dpi;
}

const ModelDescription* ModelOf(pappl_printer_t* printer) {
    return g_catalog == nullptr ? nullptr : g_catalog->Find(papplPrinterGetDriverName(printer));
}

const ModelDescription* ModelOf(pappl_job_t* job) {
    return ModelOf(papplJobGetPrinter(job));
}

VendorValues PrinterDefaults(pappl_printer_t* printer, const ModelDescription& model) {
    VendorValues values;
    ipp_t* defaults = papplPrinterGetDriverAttributes(printer);
    for (const VendorAttribute& attribute : model.vendorAttributes) {
        const char* value = ippGetString(
            ippFindAttribute(defaults, (attribute.name + "-default").c_str(), IPP_TAG_ZERO), 0,
            nullptr);
        if (value != nullptr) values.emplace_back(attribute.name, value);
    }
    ippDelete(defaults);
    return values;
}

bool FailJob(pappl_job_t* job, const std::string& message) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message.c_str());
    papplJobSetMessage(job, "%s", message.c_str());
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
    return false;
}

bool BeginRasterJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    const ModelDescription* model = ModelOf(job);
    if (model == nullptr)
        return FailJob(job, "the printer's driver is not one of this application's");
    JobRequest request;
    request.monochrome = options->print_color_mode == PAPPL_COLOR_MODE_MONOCHROME ||
                         options->print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL;
    request.quality = static_cast<int>(options->print_quality);
    for (int i = 0; i < options->num_vendor; ++i) {
        request.vendor.emplace_back(options->vendor[i].name, options->vendor[i].value);
    }
    // The printer's defaults for what the job leaves open (PAPPL does not pass them on).
    for (auto& [name, value] : PrinterDefaults(papplJobGetPrinter(job), *model)) {
        const bool given = std::any_of(request.vendor.begin(), request.vendor.end(),
                                       [&](const auto& pair) { return pair.first == name; });
        if (!given) request.vendor.emplace_back(std::move(name), std::move(value));
    }
    // The spool file's name is the job's own; the ticket and data file go beside it.
    char path[1024];
    const int fd = papplJobOpenFile(job, path, sizeof path, nullptr, "tkt", "w");
    if (fd < 0)
        return FailJob(job, std::string("cannot make the job's spool file: ") + strerror(errno));
    ::close(fd);
    ::unlink(path);
    std::string base = path;
    base.erase(base.size() - 4);
    const std::string jobId =
        std::to_string((::getpid() % 20000) * 100000 + papplJobGetID(job) % 100000);
    JobOutput output;
    output.write = [device](const uint8_t* data, std::size_t length) {
        return papplDeviceWrite(device, data, length) == static_cast<ssize_t>(length);
    };
    output.flush = [device] { papplDeviceFlush(device); };
    output.status = [job](const std::string& message) {
        papplJobSetMessage(job, "%s", message.c_str());
    };
    auto state = std::make_unique<JobState>();
    state->raster =
        std::make_unique<RasterJob>(*model, std::move(request), base, jobId, std::move(output));
    papplJobSetData(job, state.release());
    return true;
}

namespace {

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned page) {
    JobState* state = StateOf(job);
    if (state == nullptr) return false;
    const cups_page_header2_t& header = options->header;
    PageLayout layout;
    layout.width = static_cast<int>(header.cupsWidth);
    layout.height = static_cast<int>(header.cupsHeight);
    layout.dpiX = static_cast<int>(header.HWResolution[0]);
    layout.dpiY = static_cast<int>(header.HWResolution[1]);
    layout.bitsPerColor = static_cast<int>(header.cupsBitsPerColor);
    switch (header.cupsColorSpace) {
        case CUPS_CSPACE_SW:
        case CUPS_CSPACE_W:
            layout.format = halftone::PixelFormat::kGray8;
            break;
        case CUPS_CSPACE_K:
            layout.format = halftone::PixelFormat::kGray8;
            layout.inverted = true;
            break;
        case CUPS_CSPACE_SRGB:
        case CUPS_CSPACE_RGB:
        case CUPS_CSPACE_ADOBERGB:
            layout.format = halftone::PixelFormat::kRgb8;
            break;
        case CUPS_CSPACE_CMYK:
            layout.format = halftone::PixelFormat::kCmyk8;
            break;
        default:
            state->failed = true;
            return FailJob(job, "page " + std::to_string(page) + " is in colour space " +
                                    std::to_string(header.cupsColorSpace) +
                                    ", which the printer does not take");
    }
    const bool grey = layout.format == halftone::PixelFormat::kGray8;
    if (!(layout.bitsPerColor == 8 || (layout.bitsPerColor == 1 && grey))) {
        state->failed = true;
        return FailJob(job, "page " + std::to_string(page) + " has " +
                                std::to_string(layout.bitsPerColor) +
                                "-bit colours; the printer takes 8-bit colour or grey");
    }
    if (layout.bitsPerColor == 1) layout.inverted = false;  // a set bit is black in both
    return BeginRasterPage(job, layout, page);
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned,
               const unsigned char* line) {
    return WriteRasterLine(job, line);
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
    return EndRasterPage(job);
}

bool EndJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
    return EndRasterJob(job);
}

}  // namespace

bool BeginRasterPage(pappl_job_t* job, const PageLayout& layout, unsigned page) {
    JobState* state = StateOf(job);
    if (state == nullptr || state->failed) return false;
    std::string error;
    if (!state->raster->StartPage(layout, error)) {
        state->failed = true;
        return FailJob(job, error);
    }
    papplJobSetMessage(job, "Printing page %u", page);
    return true;
}

bool WriteRasterLine(pappl_job_t* job, const unsigned char* line) {
    JobState* state = StateOf(job);
    if (state == nullptr || state->failed) return false;
    std::string error;
    if (!state->raster->WriteLine(line, error)) {
        state->failed = true;
        return FailJob(job, error);
    }
    return true;
}

bool EndRasterPage(pappl_job_t* job) {
    JobState* state = StateOf(job);
    if (state == nullptr || state->failed) return false;
    std::string error;
    if (!state->raster->EndPage(error)) {
        state->failed = true;
        return FailJob(job, error);
    }
    return true;
}

bool EndRasterJob(pappl_job_t* job) {
    std::unique_ptr<JobState> state(StateOf(job));
    papplJobSetData(job, nullptr);
    if (!state) return false;
    const bool canceled = papplJobIsCanceled(job) || state->failed;
    std::string error;
    const bool printed = state->raster->Finish(canceled, error);
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%llu bytes sent to the printer%s",
                static_cast<unsigned long long>(state->raster->bytesSent()),
                canceled ? ", ending with the abort page end" : "");
    if (!printed) return FailJob(job, error);
    return !state->failed;
}

namespace {

// The inks of all the model's colour modes, each once, in the driver's order.
std::vector<std::string> AllInks(const ModelDescription& model) {
    std::vector<std::string> inks;
    for (const ColorModeInfo& mode : model.colorModes) {
        for (const std::string& ink : mode.inks) {
            if (std::find(inks.begin(), inks.end(), ink) == inks.end()) inks.push_back(ink);
        }
    }
    return inks;
}

// What IPP Everywhere clients expect to find and PAPPL does not add by itself: the inks as
// supplies of unknown level (the printer reports none), one rendering intent (the separation's
// own), and the sheet-back and overrides answers of a one-sided roll printer.
void AddEverywhereAttributes(const ModelDescription& model, ipp_t* attrs) {
    const std::vector<std::string> inks = AllInks(model);
    ipp_attribute_t* supply = nullptr;
    ipp_attribute_t* description = nullptr;
    for (std::size_t i = 0; i < inks.size(); ++i) {
        const std::string value = "index=" + std::to_string(i + 1) +
                                  ";class=supplyThatIsConsumed;type=ink;unit=percent;"
                                  "maxcapacity=100;level=-2;colorantname=" +
                                  Keyword(inks[i]) + ";";
        const std::string text = inks[i] + " ink";
        if (supply == nullptr) {
            supply = ippAddOctetString(attrs, IPP_TAG_PRINTER, "printer-supply", value.data(),
                                       static_cast<int>(value.size()));
            description = ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_TEXT,
                                       "printer-supply-description", nullptr, text.c_str());
        } else {
            ippSetOctetString(attrs, &supply, ippGetCount(supply), value.data(),
                              static_cast<int>(value.size()));
            ippSetString(attrs, &description, ippGetCount(description), text.c_str());
        }
    }
    ippAddBoolean(attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
    const char* overrides[] = {"document-number", "pages"};
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "overrides-supported", 2, nullptr,
                  overrides);
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr,
                 "auto");
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported",
                 nullptr, "auto");
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr,
                 "normal");
}

ipp_t* DriverAttributes(const ModelDescription& model, pappl_pr_driver_data_t* data) {
    ipp_t* attrs = ippNew();
    AddEverywhereAttributes(model, attrs);
    data->num_vendor = 0;
    // PAPPL keeps pointers to the names: the model's own, which live as long as the catalog.
    for (const VendorAttribute& attribute : model.vendorAttributes) {
        if (data->num_vendor >= PAPPL_MAX_VENDOR) break;
        data->vendor[data->num_vendor++] = attribute.name.c_str();
        std::vector<const char*> values;
        for (const std::string& value : attribute.values) values.push_back(value.c_str());
        ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD,
                      (attribute.name + "-supported").c_str(), static_cast<int>(values.size()),
                      nullptr, values.data());
        ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, (attribute.name + "-default").c_str(),
                     nullptr, values[static_cast<std::size_t>(attribute.defaultValue)]);
    }
    return attrs;
}

}  // namespace

const ModelDescription* Catalog::Find(const char* driverName) const {
    if (driverName == nullptr) return nullptr;
    for (const ModelDescription& model : models) {
        if (model.driverName == driverName) return &model;
    }
    return nullptr;
}

bool BuildCatalog(Catalog& catalog, std::string& error) {
    std::unique_ptr<hostkit::DriverModule> module = hostkit::DriverModule::Open("", error);
    if (!module) return false;
    std::vector<std::string> models = {"Generic RTL"};
    for (const std::string_view model : NamedModels()) models.emplace_back(model);
    catalog.models = DescribeModels(module->driver(), models);
    for (ModelDescription& model : catalog.models) model.vendorAttributes = VendorAttributes(model);
    if (catalog.models.empty()) {
        error = "the driver describes none of its printer models";
        return false;
    }
    for (const ModelDescription& model : catalog.models) {
        catalog.descriptions.push_back("Tarnwick " + model.model);
    }
    for (std::size_t i = 0; i < catalog.models.size(); ++i) {
        catalog.papplDrivers.push_back({catalog.models[i].driverName.c_str(),
                                        catalog.descriptions[i].c_str(), nullptr, nullptr});
    }
    g_catalog = &catalog;
    return true;
}

bool DescribePrinter(pappl_system_t*, const char* driverName, const char*, const char*,
                     pappl_pr_driver_data_t* data, ipp_t** attrs, void* catalogData) {
    const auto* catalog = static_cast<const Catalog*>(catalogData);
    const ModelDescription* model = catalog->Find(driverName);
    if (model == nullptr) return false;

    data->rstartjob_cb = StartJob;
    data->rstartpage_cb = StartPage;
    data->rwriteline_cb = WriteLine;
    data->rendpage_cb = EndPage;
    data->rendjob_cb = EndJob;
    data->format = "application/vnd.hp-rtl";
    snprintf(data->make_and_model, sizeof data->make_and_model, "Tarnwick %s",
             model->model.c_str());
    data->ppm = 1;
    data->ppm_color = 1;
    data->kind = PAPPL_KIND_LARGE_FORMAT | PAPPL_KIND_PHOTO | PAPPL_KIND_DOCUMENT;
    data->orient_default = IPP_ORIENT_NONE;
    data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_COLOR;
    if (model->MonochromeMode() >= 0) data->color_supported |= PAPPL_COLOR_MODE_MONOCHROME;
    data->color_default = PAPPL_COLOR_MODE_COLOR;
    data->content_default = PAPPL_CONTENT_AUTO;
    data->quality_default = IPP_QUALITY_NORMAL;
    data->scaling_default = PAPPL_SCALING_AUTO;
    data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8 | PAPPL_PWG_RASTER_TYPE_SRGB_8;
    data->duplex = PAPPL_DUPLEX_NONE;
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;

    const std::vector<int> dpis = model->Resolutions();
    data->num_resolution = 0;
    for (const int dpi : dpis) {
        if (data->num_resolution >= PAPPL_MAX_RESOLUTION) break;
        if (data->num_resolution > 0 && dpi > g_rasterMaxDpi) break;
        data->x_resolution[data->num_resolution] = dpi;
        data->y_resolution[data->num_resolution] = dpi;
        ++data->num_resolution;
    }
    // The first print mode's resolution is the printer's default, if raster documents may come
    // at it; else the highest they may come at.
    data->x_default = data->y_default = data->x_resolution[data->num_resolution - 1];
    for (int i = 0; i < data->num_resolution; ++i) {
        if (data->x_resolution[i] == model->printModes.front().dpiX) {
            data->x_default = data->y_default = data->x_resolution[i];
        }
    }

    data->left_right = kMargin;
    data->bottom_top = kMargin;
    data->num_media = 0;
    data->media[data->num_media++] = kRollMax;
    data->media[data->num_media++] = kRollMin;
    for (const char* media : kNamedMedia) data->media[data->num_media++] = media;
    data->num_source = 1;
    data->source[0] = "main-roll";
    std::memset(&data->media_default, 0, sizeof data->media_default);
    pwg_media_t* size = pwgMediaForPWG(kDefaultMedia);
    snprintf(data->media_default.size_name, sizeof data->media_default.size_name, "%s",
             kDefaultMedia);
    data->media_default.size_width = size->width;
    data->media_default.size_length = size->length;
    data->media_default.left_margin = data->media_default.right_margin = kMargin;
    data->media_default.top_margin = data->media_default.bottom_margin = kMargin;
    snprintf(data->media_default.source, sizeof data->media_default.source, "main-roll");
    snprintf(data->media_default.type, sizeof data->media_default.type, "stationery");
    data->media_ready[0] = data->media_default;
    data->tracking_supported = PAPPL_MEDIA_TRACKING_CONTINUOUS;
    data->num_type = 2;
    data->type[0] = "stationery";
    data->type[1] = "photographic";
    data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    *attrs = DriverAttributes(*model, data);
    return true;
}

}  // namespace tarnwick::app
