#include "page_sources.h"

#include <algorithm>
#include <cctype>

#include "args.h"
#include "image_loader.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kMaxColorantName = 63;

class PlanePage : public PageSource {
  public:
    PlanePage(std::vector<ColorantFormat> colorants, std::vector<std::unique_ptr<RowImage>> planes)
        : m_colorants(std::move(colorants)), m_planes(std::move(planes)) {}

    int width() const override { return m_planes.front()->width(); }
    int height() const override { return m_planes.front()->height(); }
    const std::vector<ColorantFormat>& colorants() const override { return m_colorants; }

    bool NextRow(std::vector<std::vector<uint8_t>>& rows, std::string& error) override {
        rows.resize(m_planes.size());
        for (std::size_t i = 0; i < m_planes.size(); ++i) {
            rows[i].resize(m_planes[i]->RowBytes());
            if (!m_planes[i]->NextRow(rows[i], error)) return false;
        }
        return true;
    }

  private:
    std::vector<ColorantFormat> m_colorants;
    std::vector<std::unique_ptr<RowImage>> m_planes;
};

class ColorPage : public PageSource {
  public:
    ColorPage(std::unique_ptr<RowImage> image, const std::vector<std::string>& inkNames,
              std::unique_ptr<halftone::Pipeline> pipeline)
        : m_image(std::move(image)),
          m_pipeline(std::move(pipeline)),
          m_band(m_image->RowBytes() * static_cast<std::size_t>(m_pipeline->bandRows())) {
        for (const std::string& name : inkNames) m_colorants.push_back({name, m_pipeline->bits()});
    }

    int width() const override { return m_image->width(); }
    int height() const override { return m_image->height(); }
    const std::vector<ColorantFormat>& colorants() const override { return m_colorants; }

    // A band of rows is read and halftoned at a time, in order, which error diffusion needs.
    bool NextRow(std::vector<std::vector<uint8_t>>& rows, std::string& error) override {
        if (m_next >= m_bandStart + m_bandRows) {
            m_bandStart = m_next;
            m_bandRows = std::min(m_pipeline->bandRows(), m_image->height() - m_next);
            const std::size_t stride = m_image->RowBytes();
            for (int r = 0; r < m_bandRows; ++r) {
                const auto row =
                    std::span(m_band).subspan(static_cast<std::size_t>(r) * stride, stride);
                if (!m_image->NextRow(row, error)) return false;
            }
            m_pipeline->Band(m_band, m_bandRows);
        }
        rows.resize(m_colorants.size());
        for (std::size_t i = 0; i < m_colorants.size(); ++i) {
            const std::span<const uint8_t> packed = m_pipeline->Packed(i, m_next - m_bandStart);
            rows[i].assign(packed.begin(), packed.end());
        }
        ++m_next;
        return true;
    }

  private:
    std::unique_ptr<RowImage> m_image;
    std::unique_ptr<halftone::Pipeline> m_pipeline;
    std::vector<uint8_t> m_band;  // bandRows RGB rows
    std::vector<ColorantFormat> m_colorants;
    int m_next = 0;  // the next row handed out
    int m_bandStart = 0;
    int m_bandRows = 0;
};

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// Length of the colorant name at the start of text when "=" follows it, else 0.
std::size_t NameBeforeEquals(std::string_view text) {
    if (text.empty() || !IsNameStart(text[0])) return 0;
    std::size_t n = 1;
    while (n < text.size() && IsNameChar(text[n])) ++n;
    return n < text.size() && text[n] == '=' ? n : 0;
}

}  // namespace

std::unique_ptr<PageSource> LoadPlanePage(const std::vector<NamedPlaneFile>& files,
                                          std::string& error) {
    std::vector<ColorantFormat> colorants;
    std::vector<std::unique_ptr<RowImage>> planes;
    for (const NamedPlaneFile& file : files) {
        std::unique_ptr<RowImage> plane = OpenPlane(file.path, error);
        if (!plane) return nullptr;
        if (!planes.empty() && (plane->width() != planes.front()->width() ||
                                plane->height() != planes.front()->height())) {
            error = file.path + ": size " + std::to_string(plane->width()) + " x " +
                    std::to_string(plane->height()) + " differs from " + files.front().path + " (" +
                    std::to_string(planes.front()->width()) + " x " +
                    std::to_string(planes.front()->height()) + "); all planes of a page must match";
            return nullptr;
        }
        colorants.push_back({file.colorant, plane->bits()});
        planes.push_back(std::move(plane));
    }
    if (planes.empty()) {
        error = "a page needs at least one plane";
        return nullptr;
    }
    return std::make_unique<PlanePage>(std::move(colorants), std::move(planes));
}

std::unique_ptr<PageSource> LoadColorPage(const std::string& path, const JobHalftoning& halftoning,
                                          std::string& error) {
    std::unique_ptr<RowImage> image = OpenColorImage(path, error);
    if (!image) return nullptr;
    std::unique_ptr<halftone::Pipeline> pipeline = halftoning.MakePipeline(
        image->width(), BandRowsFor(image->width()), image->iccProfile(), error);
    if (!pipeline) {
        error = path + ": " + error;
        return nullptr;
    }
    return std::make_unique<ColorPage>(std::move(image), halftoning.inks(), std::move(pipeline));
}

PageArgument ParsePageArgument(const std::string& text) {
    PageArgument page;
    if (NameBeforeEquals(text) == 0) {
        page.imagePath = text;
        return page;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t nameLength = NameBeforeEquals(item);
        if (nameLength == 0) {
            throw UsageError("page '" + text + "': '" + item + "' is not NAME=FILE");
        }
        if (nameLength > kMaxColorantName) {
            throw UsageError("page '" + text + "': colorant name longer than 63 characters");
        }
        const std::string path = item.substr(nameLength + 1);
        if (path.empty()) throw UsageError("page '" + text + "': no file for " + item);
        page.planes.push_back({item.substr(0, nameLength), path});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return page;
}

}  // namespace tarnwick::cli
