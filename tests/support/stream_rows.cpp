#include "support/stream_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <span>

#include "rtl/packbits_decode.h"

namespace tarnwick::test {

std::vector<StreamPage> ReadStreamRows(const std::vector<uint8_t>& s) {
    std::vector<StreamPage> pages(1);
    StreamRow row;
    std::size_t i = 0;
    while (i + 2 < s.size()) {
        if (s[i] != 0x1B || s[i + 1] != '*') {
            ++i;
            continue;
        }
        if (s[i + 2] == 'r' && i + 3 < s.size() && s[i + 3] == 'C') {
            pages.emplace_back();
            i += 4;
            continue;
        }
        if (s[i + 2] != 'b') {
            i += 2;
            continue;
        }
        std::size_t j = i + 3;
        std::size_t count = 0;
        while (j < s.size() && std::isdigit(s[j])) count = count * 10 + (s[j++] - '0');
        if (j >= s.size()) break;
        const uint8_t kind = s[j++];
        if (kind != 'V' && kind != 'W') {
            i = j;
            continue;
        }
        if (j + count > s.size()) {
            ADD_FAILURE() << "row data runs past the stream at " << i;
            break;
        }
        std::vector<uint8_t> plane(count * 64 + 16);
        const auto r = PackBitsDecode(std::span(s.data() + j, count), plane);
        EXPECT_TRUE(r.ok()) << PackBitsErrorText(r.error);
        plane.resize(r.produced);
        row.planes.push_back(std::move(plane));
        if (kind == 'W') {
            pages.back().rows.push_back(std::move(row));
            row = StreamRow{};
        }
        i = j + count;
    }
    // Pages end with "ESC *r C"; what follows the last one is no page.
    if (pages.back().rows.empty()) pages.pop_back();
    return pages;
}

int CountOf(const std::vector<uint8_t>& stream, const std::string& needle) {
    int n = 0;
    auto it = stream.begin();
    while ((it = std::search(it, stream.end(), needle.begin(), needle.end())) != stream.end()) {
        ++n;
        ++it;
    }
    return n;
}

}  // namespace tarnwick::test
