// The measured pages, and the checks that come before any timing: the project's encoder and row
// path against the reference encoder, libtiff's strips decoded back to the rows.
#include <tiffio.h>

#include <cstdio>
#include <cstring>

#include "channels.h"
#include "phases.h"
#include "row_path.h"
#include "rtl/packbits.h"
#include "support/reference_packbits.h"
#include "tiff_peer.h"

namespace tarnwick::bench {
namespace {

constexpr PageKind kKinds[] = {PageKind::kOrdered, PageKind::kDiffused, PageKind::kSparse,
                               PageKind::kRandom};

std::string Label(const Page& page) {
    return std::string(PageKindName(page.kind())) + " " + std::to_string(page.dpi());
}

// Every plane row through PackBitsEncode equals its reference encoding, which decodes back to
// the row (ReferenceRows::Build checked that).
bool CheckEncoder(const PageEntry& e, std::string& error) {
    std::vector<uint8_t> out(PackBitsWorstCase(static_cast<std::size_t>(e.page.rowBytes())));
    for (int r = 0; r < e.page.rows(); ++r) {
        for (int p = 0; p < kPlanes; ++p) {
            const int n = PackBitsEncode(out.data(), e.page.Row(p, r), e.page.rowBytes());
            const auto expected = e.reference.Packed(p, r);
            if (static_cast<std::size_t>(n) != expected.size() ||
                std::memcmp(out.data(), expected.data(), expected.size()) != 0) {
                error = "PackBitsEncode differs from the reference at row " + std::to_string(r) +
                        ", plane " + std::to_string(p);
                return false;
            }
        }
    }
    return true;
}

// libtiff really compressed every strip, and each decodes back to its row.
bool CheckPeer(const Page& page, std::string& error) {
    TiffPeer peer(COMPRESSION_PACKBITS);
    if (!peer.EncodePage(page, error)) return false;
    std::vector<uint8_t> decoded;
    for (std::size_t k = 0; k < peer.StripCount(); ++k) {
        const auto row = page.PlaneRowAt(static_cast<int64_t>(k));
        if (!test::UnpackBits(peer.Strip(k), decoded) || decoded.size() != row.size() ||
            std::memcmp(decoded.data(), row.data(), row.size()) != 0) {
            error = "libtiff strip " + std::to_string(k) + " does not decode to its row";
            return false;
        }
    }
    return true;
}

bool CheckRowPath(const PageEntry& e, std::string& error) {
    KeepingChannel out;
    RowPath path(e.page, out);
    if (!path.Start(error)) return false;
    if (!path.SendPage()) {
        error = "SendAllColorData refused a row";
        return false;
    }
    const StreamCheck check =
        CheckStream(out.bytes, e.page, e.page.rows(), path.PlaneOrder(), e.reference);
    if (!check.ok) error = "row path stream: " + check.error;
    return check.ok;
}

}  // namespace

PageList MakeCheckedPages(BenchState& s) {
    PageList pages;
    for (const int dpi : {720, 1440}) {
        for (const PageKind kind : kKinds) {
            pages.push_back(
                std::make_unique<PageEntry>(MakePage(kind, dpi, RollRowBytes(dpi), RollRows(dpi))));
        }
    }
    pages.push_back(std::make_unique<PageEntry>(
        MakePage(PageKind::kZeros, 720, RollRowBytes(720), RollRows(720))));

    for (auto& e : pages) {
        const std::string label = Label(e->page);
        Progress("checking " + label);
        std::string error;
        if (!e->reference.Build(e->page, error)) {
            s.Problem(label + ": " + error);
            continue;
        }
        e->encoderMatches = CheckEncoder(*e, error);
        if (!e->encoderMatches) s.Problem(label + ": " + error);
        if (e->page.kind() != PageKind::kZeros) {
            if (!CheckPeer(e->page, error)) s.Problem(label + ": " + error);
            e->rowPathMatches = CheckRowPath(*e, error);
            if (!e->rowPathMatches) s.Problem(label + ": " + error);
        }
        char ink[160];
        std::snprintf(ink, sizeof ink, "%s page: %d rows of 6 x %d bytes, %.1f%% ink",
                      label.c_str(), e->page.rows(), e->page.rowBytes(),
                      100.0 * e->page.InkShare());
        s.report.AddNote(ink);
    }
    return pages;
}

}  // namespace tarnwick::bench
