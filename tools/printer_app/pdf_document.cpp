#include "pdf_document.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "model_description.h"
#include "pappl_driver.h"
#include "raster_job.h"

namespace tarnwick::app {
namespace {

constexpr int kBandRows = 64;
constexpr double kPointsPerInch = 72.0;

struct PageGeometry {
    int width = 0;       // pixels across
    int height = 0;      // rows
    double scale = 1.0;  // rendering resolution = scale x printer resolution
};

int ResolutionFor(const ModelDescription& model, ipp_quality_t quality) {
    const std::vector<int> dpis = model.Resolutions();
    if (quality == IPP_QUALITY_DRAFT) return dpis.front();
    if (quality == IPP_QUALITY_HIGH) return dpis.back();
    return model.printModes.front().dpiX;
}

// The page fitted to the media's printable width (the roll's length follows the content).
PageGeometry Fit(const poppler::rectf& box, const pappl_pr_options_t& options, int dpi) {
    const double dpiX = dpi;
    const double dpiY = dpi;
    const double printable =
        (options.media.size_width - options.media.left_margin - options.media.right_margin) /
        2540.0;  // inches
    const double pageWidth = box.width() / kPointsPerInch;
    const double pageHeight = box.height() / kPointsPerInch;
    PageGeometry geometry;
    geometry.scale = printable > 0 && pageWidth > 0 ? printable / pageWidth : 1.0;
    if (options.print_scaling == PAPPL_SCALING_NONE) geometry.scale = std::min(geometry.scale, 1.0);
    geometry.width = static_cast<int>(std::lround(pageWidth * geometry.scale * dpiX));
    geometry.height = static_cast<int>(std::lround(pageHeight * geometry.scale * dpiY));
    return geometry;
}

bool PrintPages(pappl_job_t* job, poppler::document& document, pappl_pr_options_t& options,
                int dpi) {
    const bool grey = options.print_color_mode == PAPPL_COLOR_MODE_MONOCHROME ||
                      options.print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL;
    poppler::page_renderer renderer;
    renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
    renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
    // 0xAARRGGBB words for colour: the one layout Poppler documents across its versions.
    renderer.set_image_format(grey ? poppler::image::format_gray8 : poppler::image::format_argb32);
    const int pages = document.pages();
    for (int index = 0; index < pages; ++index) {
        if (papplJobIsCanceled(job)) return true;
        const auto number = static_cast<unsigned>(index + 1);
        if (options.first_page > 0 && number < options.first_page) continue;
        if (options.last_page > 0 && number > options.last_page) break;
        std::unique_ptr<poppler::page> page(document.create_page(index));
        if (!page) return FailJob(job, "page " + std::to_string(index + 1) + " cannot be read");
        const PageGeometry geometry = Fit(page->page_rect(poppler::media_box), options, dpi);
        PageLayout layout;
        layout.width = geometry.width;
        layout.height = geometry.height;
        layout.dpiX = dpi;
        layout.dpiY = dpi;
        layout.format = grey ? halftone::PixelFormat::kGray8 : halftone::PixelFormat::kRgb8;
        if (!BeginRasterPage(job, layout, static_cast<unsigned>(index + 1))) return false;
        papplJobSetImpressionsCompleted(job, 1);
        const double xres = geometry.scale * layout.dpiX;
        const double yres = geometry.scale * layout.dpiY;
        std::vector<unsigned char> rgb(grey ? 0 : static_cast<std::size_t>(layout.width) * 3);
        for (int y = 0; y < layout.height && !papplJobIsCanceled(job); y += kBandRows) {
            const int rows = std::min(kBandRows, layout.height - y);
            const poppler::image band =
                renderer.render_page(page.get(), xres, yres, 0, y, layout.width, rows);
            if (!band.is_valid() || band.width() < layout.width || band.height() < rows) {
                return FailJob(job, "page " + std::to_string(index + 1) + " cannot be rendered");
            }
            for (int row = 0; row < rows; ++row) {
                const auto* line = reinterpret_cast<const unsigned char*>(
                    band.const_data() + static_cast<std::ptrdiff_t>(row) * band.bytes_per_row());
                if (!grey) {
                    const auto* words = reinterpret_cast<const uint32_t*>(line);
                    for (int x = 0; x < layout.width; ++x) {
                        rgb[3 * x] = static_cast<unsigned char>(words[x] >> 16);
                        rgb[3 * x + 1] = static_cast<unsigned char>(words[x] >> 8);
                        rgb[3 * x + 2] = static_cast<unsigned char>(words[x]);
                    }
                    line = rgb.data();
                }
                if (!WriteRasterLine(job, line)) return false;
            }
        }
        if (!EndRasterPage(job)) return false;
    }
    return true;
}

}  // namespace

bool PrintPdf(pappl_job_t* job, pappl_device_t* device, void*) {
    const char* filename = papplJobGetFilename(job);
    std::unique_ptr<poppler::document> document(
        poppler::document::load_from_file(filename != nullptr ? filename : ""));
    if (!document || document->is_locked()) {
        return FailJob(job, "the document is not a PDF file this printer can open");
    }
    papplJobSetImpressions(job, document->pages());
    pappl_pr_options_t* options =
        papplJobCreatePrintOptions(job, static_cast<unsigned>(document->pages()), true);
    if (options == nullptr) return FailJob(job, "the job's options cannot be read");
    const ModelDescription* model = ModelOf(job);
    bool printed = model != nullptr && BeginRasterJob(job, options, device);
    if (printed) {
        printed =
            PrintPages(job, *document, *options, ResolutionFor(*model, options->print_quality));
    }
    // The job ends either way, so that the printer is not left inside a page.
    printed = EndRasterJob(job) && printed;
    papplJobDeletePrintOptions(options);
    return printed;
}

}  // namespace tarnwick::app
