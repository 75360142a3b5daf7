#include "stream_check.h"

#include <algorithm>
#include <cstring>

#include "support/reference_packbits.h"

namespace tarnwick::bench {
namespace {

constexpr uint8_t kEsc = 0x1B;

}  // namespace

bool TransferReader::Next(std::span<const uint8_t>& data, char& end, std::string& error) {
    static constexpr uint8_t kPrefix[] = {kEsc, '*', 'b'};
    const auto* const first = m_stream.data();
    const auto* const last = first + m_stream.size();
    for (;;) {
        const auto* at = std::search(first + m_pos, last, std::begin(kPrefix), std::end(kPrefix));
        if (at == last) return false;
        const auto* p = at + sizeof kPrefix;
        std::size_t count = 0;
        const auto* digits = p;
        while (p < last && *p >= '0' && *p <= '9' && p - digits < 10) {
            count = count * 10 + static_cast<std::size_t>(*p - '0');
            ++p;
        }
        if (p == last) {
            error = "stream ends inside a command";
            return false;
        }
        const char letter = static_cast<char>(*p++);
        m_pos = static_cast<std::size_t>(p - first);
        if (letter != 'V' && letter != 'W') continue;
        if (static_cast<std::size_t>(last - p) < count) {
            error = "a transfer runs past the end of the stream";
            return false;
        }
        data = {p, count};
        end = letter;
        m_pos += count;
        return true;
    }
}

bool ReferenceRows::Build(const Page& page, std::string& error) {
    m_bytes.clear();
    m_start.clear();
    m_bytes.reserve(static_cast<std::size_t>(page.bytes()) +
                    static_cast<std::size_t>(page.bytes() / 64));
    std::vector<uint8_t> decoded;
    for (int64_t k = 0; k < page.planeRows(); ++k) {
        const std::size_t at = m_bytes.size();
        m_start.push_back(at);
        test::ReferencePackBits(page.PlaneRowAt(k), m_bytes);
        const std::span<const uint8_t> packed(m_bytes.data() + at, m_bytes.size() - at);
        const auto row = page.PlaneRowAt(k);
        if (!test::UnpackBits(packed, decoded) || decoded.size() != row.size() ||
            !std::equal(decoded.begin(), decoded.end(), row.begin())) {
            error = "the reference encoding of plane row " + std::to_string(k) +
                    " does not decode back to the row";
            return false;
        }
    }
    m_start.push_back(m_bytes.size());
    return true;
}

std::span<const uint8_t> ReferenceRows::Packed(int plane, int row) const {
    const std::size_t k = static_cast<std::size_t>(row) * kPlanes + static_cast<std::size_t>(plane);
    return {m_bytes.data() + m_start[k], m_start[k + 1] - m_start[k]};
}

StreamCheck CheckStream(std::span<const uint8_t> stream, const Page& page, int64_t rows,
                        std::span<const int8_t> planeOrder, const ReferenceRows& reference) {
    StreamCheck result;
    TransferReader reader(stream);
    std::span<const uint8_t> data;
    char end = 0;
    const auto fail = [&](int64_t row, std::size_t k, const std::string& what) {
        result.error =
            "row " + std::to_string(row) + ", transfer " + std::to_string(k) + ": " + what;
        return result;
    };
    for (int64_t r = 0; r < rows; ++r) {
        const int pageRow = static_cast<int>(r % page.rows());
        for (std::size_t k = 0; k < planeOrder.size(); ++k) {
            if (!reader.Next(data, end, result.error)) {
                return fail(r, k, result.error.empty() ? "missing" : result.error);
            }
            const char expectedEnd = k + 1 == planeOrder.size() ? 'W' : 'V';
            if (end != expectedEnd) return fail(r, k, std::string("ends with ") + end);
            const auto expected = reference.Packed(planeOrder[k], pageRow);
            if (data.size() != expected.size() ||
                std::memcmp(data.data(), expected.data(), data.size()) != 0) {
                return fail(r, k, "differs from the reference encoding");
            }
        }
        ++result.rows;
    }
    if (reader.Next(data, end, result.error)) return fail(rows, 0, "more rows than the page has");
    if (!result.error.empty()) return result;
    result.ok = true;
    return result;
}

}  // namespace tarnwick::bench
