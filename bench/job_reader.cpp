#include "job_reader.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "host/aob_list.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/ox_job.h"

namespace tarnwick::bench {

bool ReadJobPage(const std::string& dataFile, int64_t& bytes, std::string& error) {
    bytes = 0;
    OXJob job(0);
    if (!job.Load(dataFile.c_str())) {
        error = job.lastError();
        return false;
    }
    AImage* image = job.GetImage(0);
    if (image == nullptr) {
        error = "the job has no page";
        return false;
    }
    AObList colorants;
    image->GetColorants(colorants);
    int64_t widest = 0;
    for (int c = 0; c < colorants.GetCount(); ++c) {
        widest = std::max(
            widest, (int64_t{image->GetWidth()} * colorants.GetAt(c)->GetBitsPerPixel() + 7) / 8);
    }
    std::vector<uint8_t> row(static_cast<std::size_t>(widest));
    for (int r = 0; r < image->GetHeight(); ++r) {
        for (int c = 0; c < colorants.GetCount(); ++c) {
            const AColorant* colorant = colorants.GetAt(c);
            if (image->ReadRows(colorant, r, 1, row.data(), 0) == 0) {
                error = "row " + std::to_string(r) + " could not be read";
                return false;
            }
            bytes += (int64_t{image->GetWidth()} * colorant->GetBitsPerPixel() + 7) / 8;
        }
    }
    return true;
}

}  // namespace tarnwick::bench
