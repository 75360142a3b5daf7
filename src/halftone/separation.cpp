#include "halftone/separation.h"

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <pugixml.hpp>

namespace tarnwick::halftone {
namespace {

// Profiles and transforms are freed however a step fails.
struct ProfileCloser {
    void operator()(void* profile) const {
        if (profile) cmsCloseProfile(profile);
    }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
    void operator()(void* transform) const {
        if (transform) cmsDeleteTransform(transform);
    }
};
using Transform = std::unique_ptr<void, TransformDeleter>;
struct PipelineDeleter {
    void operator()(cmsPipeline* pipeline) const {
        if (pipeline) cmsPipelineFree(pipeline);
    }
};
using Pipeline = std::unique_ptr<cmsPipeline, PipelineDeleter>;

struct Cargo {
    void* transform;
    BuiltinCmyk builtin;
};

// Lab -> CMYK: the device values of sRGB, complemented, with grey-component replacement.
cmsInt32Number LabToCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* data) {
    const auto* cargo = static_cast<const Cargo*>(data);
    cmsCIELab lab;
    cmsLabEncoded2FloatV2(&lab, in);
    std::array<double, 3> rgb{};
    cmsDoTransform(cargo->transform, &lab, rgb.data(), 1);
    std::array<double, 3> cmy{};
    for (std::size_t i = 0; i < 3; ++i) cmy[i] = 1.0 - std::clamp(rgb[i], 0.0, 1.0);
    const BuiltinCmyk& b = cargo->builtin;
    const double grey = std::min({cmy[0], cmy[1], cmy[2]});
    double k = grey > b.gcrStart ? b.gcrStrength * (grey - b.gcrStart) / (1.0 - b.gcrStart) : 0.0;
    k = std::min(k, static_cast<double>(b.blackLimit));
    for (std::size_t i = 0; i < 3; ++i) {
        out[i] = static_cast<cmsUInt16Number>(std::clamp(cmy[i] - k, 0.0, 1.0) * 65535.0 + 0.5);
    }
    out[3] = static_cast<cmsUInt16Number>(k * 65535.0 + 0.5);
    return 1;
}

// CMYK -> Lab, the forward direction of the same model, so the profile can also be a proof
// or input profile.
cmsInt32Number CmykToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* data) {
    const auto* cargo = static_cast<const Cargo*>(data);
    const double k = in[3] / 65535.0;
    std::array<double, 3> rgb{};
    for (std::size_t i = 0; i < 3; ++i) {
        rgb[i] = std::clamp(1.0 - in[i] / 65535.0 - k, 0.0, 1.0);
    }
    cmsCIELab lab;
    cmsDoTransform(cargo->transform, rgb.data(), &lab, 1);
    cmsFloat2LabEncodedV2(out, &lab);
    return 1;
}

bool AddClut(cmsHPROFILE profile, cmsTagSignature tag, int grid, int in, int out,
             cmsSAMPLER16 sampler, Cargo& cargo) {
    Pipeline pipeline(cmsPipelineAlloc(nullptr, in, out));
    if (!pipeline) return false;
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, grid, in, out, nullptr);
    if (!clut) return false;
    if (!cmsPipelineInsertStage(pipeline.get(), cmsAT_END, clut)) {
        cmsStageFree(clut);
        return false;
    }
    return cmsStageSampleCLut16bit(clut, sampler, &cargo, 0) &&
           cmsWriteTag(profile, tag, pipeline.get());
}

Profile BuildBuiltin(const BuiltinCmyk& builtin) {
    Profile srgb(cmsCreate_sRGBProfile());
    Profile lab(cmsCreateLab4Profile(nullptr));
    Profile profile(cmsCreateProfilePlaceholder(nullptr));
    if (!srgb || !lab || !profile) return nullptr;
    cmsSetProfileVersion(profile.get(), 2.1);
    cmsSetDeviceClass(profile.get(), cmsSigOutputClass);
    cmsSetColorSpace(profile.get(), cmsSigCmykData);
    cmsSetPCS(profile.get(), cmsSigLabData);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    const bool described = description &&
                           cmsMLUsetASCII(description, "en", "US", "Tarnwick built-in CMYK") &&
                           cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, description);
    if (description) cmsMLUfree(description);
    if (!described || !cmsWriteTag(profile.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ())) {
        return nullptr;
    }
    Transform labToRgb(cmsCreateTransform(lab.get(), TYPE_Lab_DBL, srgb.get(), TYPE_RGB_DBL,
                                          INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
    Transform rgbToLab(cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL,
                                          INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
    if (!labToRgb || !rgbToLab) return nullptr;
    Cargo toCmyk{labToRgb.get(), builtin};
    Cargo toLab{rgbToLab.get(), builtin};
    if (!AddClut(profile.get(), cmsSigBToA0Tag, 33, 3, 4, LabToCmyk, toCmyk) ||
        !AddClut(profile.get(), cmsSigAToB0Tag, 9, 4, 3, CmykToLab, toLab)) {
        return nullptr;
    }
    return profile;
}

int IndexOf(const std::vector<std::string>& inks, const std::string& name) {
    for (std::size_t i = 0; i < inks.size(); ++i) {
        if (SameInk(inks[i], name)) return static_cast<int>(i);
    }
    return -1;
}

// Index 0..3 of a process colorant in the CMYK working values, -1 for any other name.
int ProcessIndex(const std::string& name) {
    static const std::array<const char*, 4> kProcess = {"Cyan", "Magenta", "Yellow", "Black"};
    for (std::size_t i = 0; i < kProcess.size(); ++i) {
        if (SameInk(name, kProcess[i])) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

int Channels(PixelFormat format) {
    switch (format) {
        case PixelFormat::kGray8:
            return 1;
        case PixelFormat::kCmyk8:
            return 4;
        case PixelFormat::kRgb8:
            break;
    }
    return 3;
}

std::filesystem::path FindPrinterProfile(const std::filesystem::path& outputDrivers,
                                         const std::string& manufacturer,
                                         const std::string& model) {
    pugi::xml_document doc;
    if (!doc.load_file((outputDrivers / "Ditherparams.xml").c_str())) return {};
    for (const pugi::xml_node entry :
         doc.child("RootElement").child("ManufacturerList").children("Manufacturer")) {
        if (!SameInk(entry.attribute("Name").as_string(), manufacturer)) continue;
        std::string file = entry.attribute("ManufactureXML").as_string();
        if (file.empty()) file = entry.attribute("ManufactureMAPXML").as_string();
        const std::filesystem::path folder = std::filesystem::path(file).parent_path();
        // A model name is a file name here; one that could leave the folder names no profile.
        if (folder.empty() || model.empty() || model.find('/') != std::string::npos ||
            model == "." || model == "..") {
            return {};
        }
        std::error_code ignored;
        const std::filesystem::path candidate = outputDrivers / folder / (model + ".icc");
        if (std::filesystem::is_regular_file(candidate, ignored)) return candidate;
        return {};
    }
    return {};
}

std::vector<uint8_t> BuiltinProfileBytes(const BuiltinCmyk& builtin) {
    const Profile profile = BuildBuiltin(builtin);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return {};
    std::vector<uint8_t> bytes(size);
    if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
    return bytes;
}

std::unique_ptr<Separator> Separator::Create(const SeparationSetup& setup, const InkData& data,
                                             std::vector<std::string>& warnings,
                                             std::string& error) {
    std::unique_ptr<Separator> separator(new Separator());
    Separator& s = *separator;
    s.m_inks = setup.inks;
    s.m_format = setup.format;
    s.m_data = data;
    s.m_slots = {IndexOf(s.m_inks, "Cyan"), IndexOf(s.m_inks, "Magenta"),
                 IndexOf(s.m_inks, "Yellow"), IndexOf(s.m_inks, "Black")};
    s.m_grayOnly =
        s.m_slots.black >= 0 && s.m_slots.cyan < 0 && s.m_slots.magenta < 0 && s.m_slots.yellow < 0;
    std::vector<bool> fed(s.m_inks.size(), false);
    for (const int slot : {s.m_slots.cyan, s.m_slots.magenta, s.m_slots.yellow, s.m_slots.black}) {
        if (slot >= 0) fed[static_cast<std::size_t>(slot)] = true;
    }
    for (const LightSplit& split : s.m_data.lightSplits) {
        const int full = IndexOf(s.m_inks, split.fullInk);
        const int light = IndexOf(s.m_inks, split.lightInk);
        if (full < 0 || light < 0) continue;
        s.m_light.push_back({&split, full, light});
        fed[static_cast<std::size_t>(light)] = true;
    }
    for (const SecondarySplit& split : s.m_data.secondaries) {
        const int ink = IndexOf(s.m_inks, split.ink);
        const int a = ProcessIndex(split.fromA);
        const int b = ProcessIndex(split.fromB);
        if (ink < 0 || a < 0 || b < 0 || s.m_grayOnly) continue;
        s.m_secondary.push_back({&split, ink, a, b});
        fed[static_cast<std::size_t>(ink)] = true;
    }
    for (std::size_t i = 0; i < s.m_inks.size(); ++i) {
        s.m_max.push_back(s.m_data.MaxFor(s.m_inks[i]));
        if (!fed[i])
            warnings.push_back("ink " + s.m_inks[i] + " gets no colour (no rule names it)");
    }

    Profile input;
    if (!setup.inputProfile.empty()) {
        input.reset(cmsOpenProfileFromMem(setup.inputProfile.data(),
                                          static_cast<cmsUInt32Number>(setup.inputProfile.size())));
        if (!input) {
            error = "the embedded ICC profile cannot be read";
            return nullptr;
        }
        const cmsColorSpaceSignature space = cmsGetColorSpace(input.get());
        const cmsColorSpaceSignature expected = setup.format == PixelFormat::kRgb8 ? cmsSigRgbData
                                                : setup.format == PixelFormat::kGray8
                                                    ? cmsSigGrayData
                                                    : cmsSigCmykData;
        if (space != expected) {
            error = "the embedded ICC profile is not for the image's colour space";
            return nullptr;
        }
    } else if (setup.format == PixelFormat::kRgb8) {
        input.reset(cmsCreate_sRGBProfile());
    } else if (setup.format == PixelFormat::kGray8) {
        cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
        if (curve) input.reset(cmsCreateGrayProfile(cmsD50_xyY(), curve));
        if (curve) cmsFreeToneCurve(curve);
    }

    Profile output;
    if (!setup.outputProfile.empty()) {
        output.reset(cmsOpenProfileFromFile(setup.outputProfile.c_str(), "r"));
        if (!output || cmsGetColorSpace(output.get()) != cmsSigCmykData) {
            error = setup.outputProfile.string() + " is no readable CMYK ICC profile";
            return nullptr;
        }
        s.m_profileName = setup.outputProfile.string();
    } else {
        output = BuildBuiltin(s.m_data.builtin);
        s.m_profileName = "built-in CMYK";
    }
    if (!output) {
        error = "littleCMS could not make the built-in CMYK profile";
        return nullptr;
    }
    // CMYK pixels without a profile are the printer's own values (no conversion), except for the
    // Black-only mode, which reads them through the printer's profile.
    if (!input && setup.format == PixelFormat::kCmyk8 && s.m_grayOnly) {
        cmsUInt32Number size = 0;
        std::vector<uint8_t> bytes;
        if (cmsSaveProfileToMem(output.get(), nullptr, &size)) {
            bytes.resize(size);
            if (cmsSaveProfileToMem(output.get(), bytes.data(), &size)) {
                input.reset(cmsOpenProfileFromMem(bytes.data(), size));
            }
        }
    }
    if (!input && setup.format != PixelFormat::kCmyk8) {
        error = "littleCMS could not make the input profile";
        return nullptr;
    }
    const cmsUInt32Number inFormat = setup.format == PixelFormat::kRgb8    ? TYPE_RGB_8
                                     : setup.format == PixelFormat::kGray8 ? TYPE_GRAY_8
                                                                           : TYPE_CMYK_8;
    if (s.m_grayOnly) {
        cmsToneCurve* curve = cmsBuildGamma(nullptr, s.m_data.grayGamma);
        Profile gray(curve ? cmsCreateGrayProfile(cmsD50_xyY(), curve) : nullptr);
        if (curve) cmsFreeToneCurve(curve);
        if (gray && input) {
            s.m_transform = cmsCreateTransform(input.get(), inFormat, gray.get(), TYPE_GRAY_16,
                                               INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
        }
    } else if (input) {
        s.m_transform = cmsCreateTransform(input.get(), inFormat, output.get(), TYPE_CMYK_16,
                                           INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
    }
    if (!s.m_transform && input) {
        error = "littleCMS could not make the transform to " + s.m_profileName;
        return nullptr;
    }
    return separator;
}

Separator::~Separator() {
    if (m_transform) cmsDeleteTransform(m_transform);
}

void Separator::SeparateRow(std::span<const uint8_t> pixels, int width, std::span<float> amounts,
                            std::span<uint16_t> scratch) const {
    const auto w = static_cast<std::size_t>(width);
    std::fill(amounts.begin(), amounts.end(), 0.0f);
    if (m_transform) {
        cmsDoTransform(m_transform, pixels.data(), scratch.data(),
                       static_cast<cmsUInt32Number>(width));
    } else {
        for (std::size_t i = 0; i < w * 4; ++i) {
            scratch[i] = static_cast<uint16_t>(pixels[i] * 257);
        }
    }
    const auto row = [&](int ink) { return amounts.data() + static_cast<std::size_t>(ink) * w; };
    const std::array<int, 4> channels = {m_slots.cyan, m_slots.magenta, m_slots.yellow,
                                         m_slots.black};
    if (!m_grayOnly && m_secondary.empty() &&
        std::all_of(channels.begin(), channels.end(), [](int ink) { return ink >= 0; })) {
        // The usual modes (CMYK, and light inks) a pass per ink over the whole row: the same
        // arithmetic for every pixel, in loops the compiler can vectorise.
        for (std::size_t c = 0; c < 4; ++c) {
            float* out = row(channels[c]);
            const uint16_t* in = scratch.data() + c;
            for (std::size_t x = 0; x < w; ++x) out[x] = in[x * 4] / 65535.0f;
        }
    } else {
        SeparatePixels(scratch, w, amounts);
    }
    // Light inks take from their full ink's amount once all are in place (not in the grey mode,
    // whose one channel is black).
    for (const LightSlot& slot : m_grayOnly ? std::span<const LightSlot>{} : m_light) {
        float* full = row(slot.full);
        float* light = row(slot.light);
        for (std::size_t x = 0; x < w; ++x) {
            const float v = full[x];
            full[x] = slot.split->full(v);
            light[x] = slot.split->light(v);
        }
    }
    LimitInks(amounts, w);
}

// Grey, and modes whose secondary inks take from two channels: pixel by pixel.
void Separator::SeparatePixels(std::span<const uint16_t> scratch, std::size_t w,
                               std::span<float> amounts) const {
    const std::array<int, 4> channels = {m_slots.cyan, m_slots.magenta, m_slots.yellow,
                                         m_slots.black};
    const auto put = [&](int ink, std::size_t x, float value) {
        if (ink >= 0) amounts[static_cast<std::size_t>(ink) * w + x] = value;
    };
    for (std::size_t x = 0; x < w; ++x) {
        if (m_grayOnly) {
            put(m_slots.black, x, 1.0f - scratch[x] / 65535.0f);
        } else {
            std::array<float, 4> cmyk{};
            for (std::size_t c = 0; c < 4; ++c) cmyk[c] = scratch[x * 4 + c] / 65535.0f;
            for (const SecondarySlot& slot : m_secondary) {
                float& a = cmyk[static_cast<std::size_t>(slot.fromA)];
                float& b = cmyk[static_cast<std::size_t>(slot.fromB)];
                const float shared = std::min(a, b);
                const float amount = std::min(slot.split->amount(shared), shared);
                a -= amount;
                b -= amount;
                put(slot.ink, x, amount);
            }
            for (std::size_t c = 0; c < 4; ++c) put(channels[c], x, cmyk[c]);
        }
    }
}

// Each ink at most its limit; above the total limit, the colour inks give way before black,
// which carries the shadows. Pixels go in stretches, ink after ink, so that the loops vectorise;
// each pixel's sums still add its inks in their order.
void Separator::LimitInks(std::span<float> amounts, std::size_t w) const {
    constexpr std::size_t kStretch = 256;
    std::array<float, kStretch> total;
    std::array<float, kStretch> colour;
    const std::size_t inks = m_inks.size();
    for (std::size_t start = 0; start < w; start += kStretch) {
        const std::size_t n = std::min(kStretch, w - start);
        total.fill(0.0f);
        colour.fill(0.0f);
        for (std::size_t i = 0; i < inks; ++i) {
            float* value = amounts.data() + i * w + start;
            const float max = m_max[i];
            for (std::size_t x = 0; x < n; ++x) {
                value[x] = std::clamp(value[x], 0.0f, max);
                total[x] += value[x];
            }
            if (static_cast<int>(i) == m_slots.black) continue;
            for (std::size_t x = 0; x < n; ++x) colour[x] += value[x];
        }
        for (std::size_t x = 0; x < n; ++x) {
            if (total[x] <= m_data.totalLimit) continue;
            const float black = total[x] - colour[x];
            const float room = std::max(0.0f, m_data.totalLimit - black);
            const float scale = colour[x] > 0.0f ? room / colour[x] : 0.0f;
            for (std::size_t i = 0; i < inks; ++i) {
                float& value = amounts[i * w + start + x];
                if (static_cast<int>(i) != m_slots.black) {
                    value *= scale;
                } else if (black > m_data.totalLimit) {
                    value = m_data.totalLimit;
                }
            }
        }
    }
}

}  // namespace tarnwick::halftone
