// Page preparation: which colorant feeds which plane, the pixel repetition,
// the line buffers and the page geometry.
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/arow_base_rtl.h"
#include "engine/owned_color_list.h"
#include "host/aob_list.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/ox_job.h"
#include "host/kv_log.h"
#include "host/xml_tree.h"

namespace tarnwick {
namespace {

constexpr const char* kSource = "PrinterDriver/Common/Xsrc/ARowBaseRTL";
// Page buffers beyond this size mean a corrupt or absurd page.
constexpr int64_t kMaxRowBufSize = int64_t{256} << 20;
// As many rows as one page of a job data file may hold. A page that would send the printer more,
// its top offset included, is absurd; its blank top rows alone would hold up the header step.
constexpr int64_t kMaxDeviceRows = 10'000'000;
// The blank top rows cost the file nothing, so the whole job gets no more of them than one page
// may have rows: output stays bounded by what the file holds.
constexpr int64_t kMaxJobOffsetRows = kMaxDeviceRows;

[[noreturn]] void RefusePage(int line, const char* what) {
    KVLogHelper(kSource, line, 'E').Log("%s", what);
    throw 0;
}

bool IsSupportedPlaneDepth(int bits) {
    return bits == 1 || bits == 2 || bits == 4 || bits == 8;
}

// The first plane whose colour entry carries `name`; with exactly four
// planes the mapping is rotated so that black goes first. Every plane of the
// colour mode is searched: a custom colour mode replaces some entries by
// their order and leaves the others with the colour mode's names.
int PlaneForName(const ColorList& list, int planes, const char* name) {
    for (int j = 0; j < planes && j < list.capacity; ++j) {
        if (strcasecmp(list.entries[j].name, name) == 0) return planes == 4 ? (j + 1) % 4 : j;
    }
    return -1;
}

}  // namespace

int ARowBaseRTL::StartPage() {
    JobContext* ctx = m_pCtx;
    m_pImage = m_pOXJob ? m_pOXJob->GetImage(static_cast<unsigned>(ctx->m_nCurPage)) : nullptr;
    if (m_pImage == nullptr) {
        KVLogHelper(kSource, 273, 'E').Log("ERROR m_pImage == NULL m_nCurPage=%d", ctx->m_nCurPage);
        throw 0;
    }
    FreePageBuffers();

    AObList colorants(0, 10);
    m_pImage->GetColorants(colorants);
    m_pGroupImage = dynamic_cast<AGroupImage*>(m_pImage);
    RememberPageShape(colorants);
    ctx->m_nFullWidth = m_pImage->GetWidth();
    ctx->m_nFullHeight = m_pImage->GetHeight();
    ctx->m_nBitsPerPixel = m_pImage->m_nBitsPerPixel;
    if ((ctx->m_bRemoveOffsetX != 0 || ctx->m_bRemoveOffsetY != 0) && m_pGroupImage != nullptr) {
        int x = 0;
        int y = 0;
        m_pGroupImage->GetOffset(x, y);
        const int removeX = ctx->m_bRemoveOffsetX != 0 ? x : 0;
        const int removeY = ctx->m_bRemoveOffsetY != 0 ? y : 0;
        m_pGroupImage->SetOffset(-removeX, -removeY);
        ctx->m_nOffsetX = removeX;
        ctx->m_nOffsetY = removeY;
    }
    ctx->m_nImageWidth = m_pImage->GetWidth();
    ctx->m_nImageHeight = m_pImage->GetHeight();
    ctx->m_nBytesPerRow =
        static_cast<int32_t>((int64_t{ctx->m_nImageWidth} * ctx->m_nBitsPerPixel + 7) / 8);

    if (ctx->m_nPlanes <= 0 || ctx->m_nPlanes > kMaxPlanes) {
        RefusePage(290, "the colour mode has no usable plane count");
    }
    OwnedColorList colors;
    GetColorList(ctx->m_nColorModel, &colors.list());
    ApplyCustomColorMode(colors.list());
    for (int i = 0; i < ctx->m_nPlanes; ++i) {
        m_pChannel[i].reset();
        ctx->m_nPlaneBits[i] = static_cast<int16_t>(colors.list().entries[i].depth);
        m_nPlaneChannel[i] = -1;
    }
    MapColorants(colors.list(), colorants);

    int baseX = 0;
    int baseY = 0;
    GetBaseResolution(&baseX, &baseY);
    if (ctx->m_nJobResX <= 0 || ctx->m_nJobResY <= 0) {
        RefusePage(330, "the job resolution must be above 0 dpi");
    }
    ctx->m_nScaleX = static_cast<int16_t>(ctx->m_nJobResX < baseX ? baseX / ctx->m_nJobResX : 1);
    ctx->m_nScaleY = static_cast<int16_t>(ctx->m_nJobResY < baseY ? baseY / ctx->m_nJobResY : 1);

    AllocatePageBuffers();
    ComputePageGeometry();
    InitPlaneOrder();
    return 1;
}

void ARowBaseRTL::MapColorants(const ColorList& list, AObList& colorants) {
    JobContext* ctx = m_pCtx;
    int k = 0;
    for (int c = 0; c < colorants.GetCount(); ++c) {
        const AColorant* colorant = colorants.GetAt(c);
        const char* name = colorant->GetName().c_str();
        if (const std::optional<LayerName> layer = SplitLayerName(name)) {
            if (layer->page != m_nPagesDone + 1) continue;
            const std::string base(layer->base);
            for (int m = 0; m < k; ++m) {
                if (m_pChannel[m]->GetName().str() != base) continue;
                m_pChannel[m] = colorants.Release(c);
                const int plane = PlaneForName(list, ctx->m_nPlanes, base.c_str());
                if (plane >= 0) m_nPlaneChannel[plane] = m;
                ctx->m_nPlaneBits[m] = static_cast<int16_t>(m_pChannel[m]->GetBitsPerPixel());
                break;
            }
            continue;
        }
        if (k >= kMaxPlanes) RefusePage(310, "the page has more than 16 colorants");
        m_pChannel[k] = colorants.Release(c);
        const int plane = PlaneForName(list, ctx->m_nPlanes, name);
        if (plane >= 0) m_nPlaneChannel[plane] = k;
        ctx->m_nPlaneBits[k] = static_cast<int16_t>(m_pChannel[k]->GetBitsPerPixel());
        ++k;
    }
    ctx->m_nImageChannels = k;
}

void ARowBaseRTL::ApplyCustomColorMode(ColorList& list) const {
    const char* text = m_pCtx->m_pJob->m_pszCustomColorXml;
    if (text == nullptr || std::strncmp(text, "<?xm", 4) != 0) return;
    AXMLTree tree("RootElement");
    AXMLTreeNode root;
    AXMLTreeNode mode;
    if (!tree.loadXML(text, 1) || !tree.getRootNode(root)) return;
    if (!tree.getChild("CustomColorMode", root, mode)) return;
    // The tree remembers where its last lookup by index stopped, so this walk stays linear in
    // the number of elements, which the job's text sets.
    int children = 0;
    AXMLTreeNode color;
    for (; tree.getChild(children, mode, color); ++children) {
        auto read = [&](const char* element, AString& out) {
            AXMLTreeNode node;
            if (!tree.getChild(element, color, node)) return false;
            out = tree.getValue(node);
            return true;
        };
        AString value;
        // Entries are placed by their 1-based order; one without a usable
        // order has no place to go.
        if (!read("Order", value)) continue;
        const int order = std::atoi(value.c_str());
        if (order < 1 || order > list.capacity) continue;
        ColorEntry entry{};
        entry.print = 1;
        entry.depth = 1;
        if (read("InternalName", value)) {
            std::snprintf(entry.name, sizeof entry.name, "%s", value.c_str());
        }
        if (read("ColorValue", value)) {
            entry.colorValue = static_cast<uint32_t>(std::atoi(value.c_str()));
        }
        if (read("ColorDepth", value)) entry.depth = std::atoi(value.c_str());
        if (read("isSpotColor", value)) entry.isSpot = std::atoi(value.c_str());
        if (read("Print", value)) entry.print = std::atoi(value.c_str());
        list.entries[order - 1] = entry;
    }
    list.count = std::min(children, list.capacity);
}

void ARowBaseRTL::AllocatePageBuffers() {
    JobContext* ctx = m_pCtx;
    const int64_t rowBufSize = int64_t{ctx->m_nScaleX} * ctx->m_nBytesPerRow * 2 + 2048;
    if (rowBufSize > kMaxRowBufSize) RefusePage(345, "the page rows are too long to buffer");
    // ExpandPixels writes without bounds checks, so every plane's expanded
    // row (the whole last source byte included) must fit its buffer.
    for (int i = 0; i < ctx->m_nPlanes; ++i) {
        const int bits = ctx->m_nPlaneBits[i];
        if (!IsSupportedPlaneDepth(bits)) {
            char text[96];
            std::snprintf(text, sizeof text, "plane %d has %d bits per pixel; 1, 2, 4 or 8 work", i,
                          bits);
            RefusePage(350, text);
        }
        const int64_t sourceBytes = (int64_t{ctx->m_nImageWidth} * bits + 7) / 8;
        if (m_nPlaneChannel[i] >= 0) {
            const AColorant& colorant = *m_pChannel[m_nPlaneChannel[i]];
            const int64_t delivered =
                (int64_t{ctx->m_nImageWidth} * colorant.GetBitsPerPixel() + 7) / 8;
            if (sourceBytes * ctx->m_nScaleX > rowBufSize || delivered > rowBufSize ||
                sourceBytes > rowBufSize) {
                RefusePage(355, "a plane row would not fit its line buffer");
            }
        }
    }
    m_nRowBufSize = static_cast<int32_t>(rowBufSize);
    m_pRowBuf = std::make_unique<uint8_t[]>(static_cast<std::size_t>(m_nRowBufSize));
    for (int i = 0; i < ctx->m_nPlanes; ++i) {
        m_planeStorage.push_back(
            std::make_unique<uint8_t[]>(static_cast<std::size_t>(m_nRowBufSize)));
        m_ppPlaneBuf[i] = m_planeStorage.back().get();
    }
}

void ARowBaseRTL::FreePageBuffers() {
    m_pRowBuf.reset();
    m_planeStorage.clear();
    m_ppPlaneBuf.fill(nullptr);
}

bool ARowBaseRTL::IsEmptyPage(const AImage& image) {
    if (const auto* group = dynamic_cast<const AGroupImage*>(&image)) {
        return group->layout().width == 0 || group->layout().colorants.empty();
    }
    AObList colorants(0, 10);
    image.GetColorants(colorants);
    return image.GetWidth() == 0 || colorants.GetCount() == 0;
}

void ARowBaseRTL::RememberPageShape(const AObList& colorants) {
    PageShape& shape = m_pageShape;
    shape.width = m_pImage->GetWidth();
    shape.height = m_pImage->GetHeight();
    shape.offsetX = shape.offsetY = 0;
    if (m_pGroupImage != nullptr) m_pGroupImage->GetOffset(shape.offsetX, shape.offsetY);
    shape.colorants.clear();
    for (int c = 0; c < colorants.GetCount(); ++c) {
        const AColorant* colorant = colorants.GetAt(c);
        shape.colorants.emplace_back(colorant->GetName().str(), colorant->GetBitsPerPixel());
    }
}

void ARowBaseRTL::CheckPageShapeUnchanged() const {
    // Called on a freshly loaded image, before its offset is taken out again.
    const PageShape& was = m_pageShape;
    AObList colorants(0, 10);
    m_pImage->GetColorants(colorants);
    int x = 0;
    int y = 0;
    if (const auto* group = dynamic_cast<const AGroupImage*>(m_pImage)) group->GetOffset(x, y);
    const char* change = nullptr;
    if (x != was.offsetX || y != was.offsetY) {
        change = "its placement";
    } else if (m_pImage->GetWidth() != was.width) {
        change = "its width";
    } else if (m_pImage->GetHeight() > was.height) {
        change = "its height grew";
    } else if (colorants.GetCount() != static_cast<int>(was.colorants.size())) {
        change = "its colorants";
    } else {
        for (int c = 0; c < colorants.GetCount() && change == nullptr; ++c) {
            const AColorant* colorant = colorants.GetAt(c);
            const auto& [name, bits] = was.colorants[static_cast<std::size_t>(c)];
            if (colorant->GetName().str() != name || colorant->GetBitsPerPixel() != bits) {
                change = "its colorants";
            }
        }
    }
    if (change == nullptr) return;
    KVLogHelper(kSource, 960, 'E')
        .Log("the host changed page %d while it was printed (%s); the job cannot go on",
             m_pCtx->m_nCurPage, change);
    throw 0;
}

void ARowBaseRTL::RestoreImageOffset() {
    auto* group = dynamic_cast<AGroupImage*>(m_pImage);
    m_pGroupImage = group;
    if (group != nullptr) group->SetOffset(-m_pCtx->m_nOffsetX, -m_pCtx->m_nOffsetY);
}

void ARowBaseRTL::ComputePageGeometry() {
    JobContext* ctx = m_pCtx;
    // The top offset is part of the height and goes out as blank rows in the header step.
    const int64_t height = int64_t{ctx->m_nFullHeight} * ctx->m_nScaleY;
    if (height > kMaxDeviceRows) RefusePage(365, "the page is too long for the printer");
    if (m_nOffsetRowsSent + int64_t{ctx->m_nOffsetY} * ctx->m_nScaleY > kMaxJobOffsetRows) {
        RefusePage(367,
                   "the blank top margins of the job's pages add up to more than 10000000 rows");
    }
    m_nDevResX = static_cast<int32_t>(static_cast<double>(ctx->m_nJobResX) * ctx->m_nScaleX + 0.5);
    m_nDevResY = static_cast<int32_t>(static_cast<double>(ctx->m_nJobResY) * ctx->m_nScaleY + 0.5);
    m_nDevOffsetY = static_cast<int32_t>(int64_t{ctx->m_nOffsetY} * ctx->m_nScaleY);
    int64_t width = int64_t{ctx->m_nFullWidth} * ctx->m_nScaleX;
    if (width % 8 != 0) width += 8 - width % 8;
    m_nDevWidth = static_cast<int32_t>(width);
    m_nDevHeight = static_cast<int32_t>(height);
}

}  // namespace tarnwick
