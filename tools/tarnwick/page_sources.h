// The pages make-job can write: colorant planes read from PBM/PGM files, and colour images
// separated into the inks of the colour mode and halftoned by the job's halftoning stage.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host_kit/halftone_job.h"
#include "job_builder.h"
#include "raster_image.h"

namespace tarnwick::cli {

using namespace hostkit;  // the host kit is the tool's own vocabulary

struct NamedPlaneFile {
    std::string colorant;
    std::string path;
};

// One colorant per file, in the order given. All files must have the same size.
std::unique_ptr<PageSource> LoadPlanePage(const std::vector<NamedPlaneFile>& files,
                                          std::string& error);

// Each of the job's inks becomes a colorant of the plane depth its dither levels need.
std::unique_ptr<PageSource> LoadColorPage(const std::string& path, const JobHalftoning& halftoning,
                                          std::string& error);

// What a PAGE argument asks for: planes ("NAME=FILE[,NAME=FILE]...") or a colour image path.
struct PageArgument {
    std::vector<NamedPlaneFile> planes;  // empty for a colour image
    std::string imagePath;
};

// A PAGE argument is a list of planes when it starts with a colorant name and "=" (letters,
// digits and "_", beginning with a letter); anything else is the path of a colour image.
// Throws UsageError for a malformed plane list.
PageArgument ParsePageArgument(const std::string& text);

}  // namespace tarnwick::cli
