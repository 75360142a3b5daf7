#include "bench_state.h"

#include <cstdio>

namespace tarnwick::bench {

void BenchState::Problem(const std::string& what) {
    problems.push_back(what);
    Progress("problem: " + what);
}

void Progress(const std::string& text) {
    std::fprintf(stderr, "[bench] %s\n", text.c_str());
}

RowSource CycledRows(const Page& page, int rowBytes) {
    return [&page, rowBytes](int plane, int64_t row) {
        return page.PlaneRow(plane, static_cast<int>(row % page.rows()))
            .first(static_cast<std::size_t>(rowBytes));
    };
}

}  // namespace tarnwick::bench
