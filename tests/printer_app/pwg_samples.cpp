// Makes the PWG raster sample files that ipptool's ipp-everywhere.test prints, for the
// resolutions and raster types given: pwg_samples FOLDER DPI TYPE... (TYPE: sgray_8, srgb_8).
// Photos are gradients; documents are lines of black bars on white, two pages for "document-".
// pwg_samples --banner FILE DPI WIDTH LENGTH (inches) writes one long sRGB page, line by line.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Sample {
    const char* name;   // e.g. "color.jpg-4x6"
    const char* media;  // PWG media name
    int pages;
    bool photo;
    unsigned repeat = 1;  // rows that share one line of pixels
};

constexpr Sample kSamples[] = {
    {"color.jpg-4x6", "na_index-4x6_4x6in", 1, true},
    {"gray.jpg-4x6", "na_index-4x6_4x6in", 1, true},
    {"document-a4", "iso_a4_210x297mm", 2, false},
    {"document-letter", "na_letter_8.5x11in", 2, false},
    {"onepage-a4", "iso_a4_210x297mm", 1, false},
    {"onepage-letter", "na_letter_8.5x11in", 1, false},
};

bool Write(const std::string& path, const Sample& sample, const char* type, int dpi,
           pwg_media_t* media) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
    cups_page_header2_t header;
    bool ok = raster != nullptr && media != nullptr &&
              cupsRasterInitPWGHeader(&header, media, type, dpi, dpi, "one-sided", "normal") != 0;
    header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount] = static_cast<unsigned>(sample.pages);
    const unsigned channels = header.cupsBitsPerPixel / 8;
    std::vector<unsigned char> line(header.cupsBytesPerLine);
    for (int page = 0; ok && page < sample.pages; ++page) {
        ok = cupsRasterWriteHeader2(raster, &header) != 0;
        for (unsigned y = 0; ok && y < header.cupsHeight; ++y) {
            for (unsigned x = 0; y % sample.repeat == 0 && x < header.cupsWidth; ++x) {
                for (unsigned c = 0; c < channels; ++c) {
                    unsigned char value = 255;
                    if (sample.photo) {
                        value = static_cast<unsigned char>(
                            ((c + 1) * x + y) * 255 /
                            ((c + 1) * header.cupsWidth + header.cupsHeight));
                    } else if (y % (dpi / 3) < static_cast<unsigned>(dpi / 12) &&
                               x > header.cupsWidth / 10 &&
                               x < header.cupsWidth * (8 - page) / 10) {
                        value = 0;  // a line of "text", three to the inch
                    }
                    line[x * channels + c] = value;
                }
            }
            ok = cupsRasterWritePixels(raster, line.data(), header.cupsBytesPerLine) ==
                 header.cupsBytesPerLine;
        }
    }
    if (raster != nullptr) cupsRasterClose(raster);
    return ::close(fd) == 0 && ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 6 && std::string(argv[1]) == "--banner") {
        const Sample banner{"banner", "", 1, true, 64};
        pwg_media_t* size = pwgMediaForSize(static_cast<int>(std::atof(argv[4]) * 2540),
                                            static_cast<int>(std::atof(argv[5]) * 2540));
        return Write(argv[2], banner, "srgb_8", std::atoi(argv[3]), size) ? 0 : 1;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: pwg_samples FOLDER DPI TYPE...\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int dpi = std::atoi(argv[2]);
    for (int i = 3; i < argc; ++i) {
        std::string kind = argv[i];  // sgray_8 -> sgray-8 in the names
        kind[kind.find('_')] = '-';
        const std::string dir =
            folder + "/pwg-raster-samples-" + std::to_string(dpi) + "dpi/" + kind;
        std::filesystem::create_directories(dir);
        for (const Sample& sample : kSamples) {
            const std::string path =
                dir + "/" + sample.name + "-" + kind + "-" + std::to_string(dpi) + "dpi.pwg";
            if (!Write(path, sample, argv[i], dpi, pwgMediaForPWG(sample.media))) {
                std::fprintf(stderr, "pwg_samples: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    }
    return 0;
}
