// Makes the PWG raster sample files that ipptool's ipp-everywhere.test prints, for the
// resolutions and raster types given: pwg_samples FOLDER DPI TYPE... (TYPE: sgray_8, srgb_8).
// Photos are gradients; documents are lines of black bars on white, two pages for "document-".
// pwg_samples --banner FILE DPI WIDTH LENGTH (inches) writes one long sRGB page, line by line;
// --banner-ppm writes the same pixels as a binary PPM (for the bench's make-job).
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

// A photo's sample of channel c at (x, y): gradients across and down, a slope per channel.
unsigned char PhotoValue(unsigned c, unsigned x, unsigned y, unsigned width, unsigned height) {
    return static_cast<unsigned char>(((c + 1) * x + y) * 255 / ((c + 1) * width + height));
}

bool WritePpm(const std::string& path, unsigned width, unsigned height, unsigned repeat) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    std::fprintf(file, "P6\n%u %u\n255\n", width, height);
    std::vector<unsigned char> line(width * 3);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; y % repeat == 0 && x < width; ++x) {
            for (unsigned c = 0; c < 3; ++c) line[x * 3 + c] = PhotoValue(c, x, y, width, height);
        }
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) break;
    }
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

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
                        value = PhotoValue(c, x, y, header.cupsWidth, header.cupsHeight);
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
    if (argc == 6 && std::string(argv[1]) == "--banner-ppm") {
        const double dpi = std::atof(argv[3]);
        return WritePpm(argv[2], static_cast<unsigned>(std::atof(argv[4]) * dpi),
                        static_cast<unsigned>(std::atof(argv[5]) * dpi), 64)
                   ? 0
                   : 1;
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
