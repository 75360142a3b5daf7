#include "timing.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace tarnwick::bench {
namespace {

// Keeps the repetitions and reports nothing: the bench prints one table of its own.
class Collector : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            if (run.error_occurred) {
                samples.error = run.error_message;
                continue;
            }
            if (run.iterations > 0) {
                samples.seconds.push_back(run.real_accumulated_time /
                                          static_cast<double>(run.iterations));
            }
        }
    }

    Samples samples;
};

}  // namespace

double Samples::Median() const {
    if (seconds.empty()) return 0;
    std::vector<double> s = seconds;
    std::sort(s.begin(), s.end());
    const std::size_t n = s.size();
    return n % 2 == 1 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

void InitTiming(const char* argv0) {
    int argc = 1;
    char* argv[] = {const_cast<char*>(argv0), nullptr};
    benchmark::Initialize(&argc, argv);
}

Samples Measure(const std::string& name, int repetitions, int iterations, const Work& work) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [&work](benchmark::State& state) {
                                     for (auto _ : state) {
                                         if (work.before) {
                                             state.PauseTiming();
                                             work.before();
                                             state.ResumeTiming();
                                         }
                                         if (!work.run()) {
                                             state.SkipWithError("the measured work failed");
                                             break;
                                         }
                                     }
                                 })
        ->Iterations(iterations)
        ->Repetitions(repetitions)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::ClearRegisteredBenchmarks();
    return collector.samples;
}

}  // namespace tarnwick::bench
