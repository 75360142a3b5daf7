#include "halftone/ink_data.h"

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>

namespace tarnwick::halftone {
namespace {

bool ReadCurve(const pugi::xml_node& node, const char* what, Curve& curve, std::string& error) {
    for (const pugi::xml_node point : node.children("Point")) {
        const pugi::xml_attribute in = point.attribute("In");
        const pugi::xml_attribute out = point.attribute("Out");
        if (!in || !out) {
            error = std::string(what) + ": a Point needs In and Out";
            return false;
        }
        const float x = in.as_float(-1.0f);
        const float y = out.as_float(-1.0f);
        if (x < 0.0f || x > 1.0f || y < 0.0f || y > 1.0f) {
            error = std::string(what) + ": Point values must lie in 0 to 1";
            return false;
        }
        if (!curve.points.empty() && x <= curve.points.back().first) {
            error = std::string(what) + ": Point In values must rise";
            return false;
        }
        curve.points.emplace_back(x, y);
    }
    if (curve.points.size() < 2) {
        error = std::string(what) + ": a curve needs at least two points";
        return false;
    }
    return true;
}

bool Fraction(const pugi::xml_node& node, const char* name, float low, float high, float& value,
              std::string& error) {
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) return true;
    value = attribute.as_float(-1.0f);
    if (value < low || value > high) {
        error = std::string(node.name()) + " " + name + " must lie in " + std::to_string(low) +
                " to " + std::to_string(high);
        return false;
    }
    return true;
}

}  // namespace

bool SameInk(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

float InkData::MaxFor(const std::string& ink) const {
    for (const InkLimit& limit : limits) {
        if (SameInk(limit.ink, ink)) return limit.max;
    }
    return 1.0f;
}

std::optional<InkData> LoadInkData(const std::string& path, std::string& error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    if (!parsed) {
        error = path + ": " + parsed.description();
        return std::nullopt;
    }
    const pugi::xml_node root = doc.child("Halftone");
    if (!root) {
        error = path + ": no Halftone element";
        return std::nullopt;
    }
    InkData data;
    std::string why;
    const pugi::xml_node builtin = root.child("BuiltinCmyk");
    const pugi::xml_node limits = root.child("InkLimits");
    bool ok = Fraction(builtin, "GcrStart", 0.0f, 0.99f, data.builtin.gcrStart, why) &&
              Fraction(builtin, "GcrStrength", 0.0f, 1.0f, data.builtin.gcrStrength, why) &&
              Fraction(builtin, "BlackLimit", 0.0f, 1.0f, data.builtin.blackLimit, why) &&
              Fraction(root.child("Gray"), "Gamma", 0.1f, 10.0f, data.grayGamma, why) &&
              Fraction(limits, "Total", 0.1f, 16.0f, data.totalLimit, why);
    for (const pugi::xml_node ink : limits.children("Ink")) {
        InkLimit limit{ink.attribute("Name").as_string(), 1.0f};
        ok = ok && !limit.ink.empty() && Fraction(ink, "Max", 0.0f, 1.0f, limit.max, why);
        if (limit.ink.empty()) why = "InkLimits: an Ink needs a Name";
        data.limits.push_back(limit);
    }
    for (const pugi::xml_node split : root.children("LightSplit")) {
        LightSplit light{
            split.attribute("Ink").as_string(), split.attribute("Light").as_string(), {}, {}};
        if (ok && (light.fullInk.empty() || light.lightInk.empty())) {
            why = "LightSplit needs Ink and Light";
            ok = false;
        }
        ok = ok && ReadCurve(split.child("Full"), "LightSplit Full", light.full, why) &&
             ReadCurve(split.child("Light"), "LightSplit Light", light.light, why);
        data.lightSplits.push_back(std::move(light));
    }
    for (const pugi::xml_node split : root.children("SecondarySplit")) {
        SecondarySplit secondary{split.attribute("Ink").as_string(),
                                 split.attribute("FromA").as_string(),
                                 split.attribute("FromB").as_string(),
                                 {}};
        if (ok && (secondary.ink.empty() || secondary.fromA.empty() || secondary.fromB.empty())) {
            why = "SecondarySplit needs Ink, FromA and FromB";
            ok = false;
        }
        ok = ok && ReadCurve(split, "SecondarySplit", secondary.amount, why);
        data.secondaries.push_back(std::move(secondary));
    }
    if (!ok) {
        error = path + ": " + why;
        return std::nullopt;
    }
    return data;
}

}  // namespace tarnwick::halftone
