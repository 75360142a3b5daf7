#include "support/stream_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "inspect/stream_inspector.h"
#include "rtl/packbits_decode.h"

namespace tarnwick::test {
namespace {

// Keeps the rows the inspector decodes, page by page.
class RowCollector : public inspect::RowSink {
  public:
    void OnPageStart(const inspect::PageReport&) override { pages.emplace_back(); }
    void OnRow(std::span<const std::span<const uint8_t>> planes) override {
        StreamRow row;
        if (planes.empty()) row.planes.emplace_back();  // a blank row: one empty transfer
        for (const auto& plane : planes) row.planes.emplace_back(plane.begin(), plane.end());
        pages.back().rows.push_back(std::move(row));
    }
    void OnPageEnd() override {}

    std::vector<StreamPage> pages;
};

// Faults of the row data itself, as opposed to a stream that merely ends early or oddly.
bool RowDataFault(const std::string& message) {
    for (const char* what : {"row transfer announces", "longer than",
                             PackBitsErrorText(PackBitsError::kLiteralOverrunsInput),
                             PackBitsErrorText(PackBitsError::kRepeatOverrunsInput)}) {
        if (message.find(what) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::vector<StreamPage> ReadStreamRows(const std::vector<uint8_t>& stream) {
    // Eight bits per pixel makes the declared width in pixels the limit in bytes, which holds
    // every plane row whatever depth the job printed.
    RowCollector rows;
    const inspect::StreamReport report = inspect::InspectBytes(stream, {.depth = 8}, &rows);
    for (const inspect::Fault& fault : report.faults) {
        if (RowDataFault(fault.message))
            ADD_FAILURE() << "at " << fault.offset << ": " << fault.message;
    }
    return std::move(rows.pages);
}

int CountOf(const std::vector<uint8_t>& stream, const std::string& needle) {
    int n = 0;
    for (auto it = stream.begin();
         (it = std::search(it, stream.end(), needle.begin(), needle.end())) != stream.end(); ++it) {
        ++n;
    }
    return n;
}

}  // namespace tarnwick::test
