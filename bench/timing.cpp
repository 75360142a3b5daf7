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
                const auto n = static_cast<double>(run.iterations);
                samples.cpuSeconds.push_back(run.cpu_accumulated_time / n);
                samples.wallSeconds.push_back(run.real_accumulated_time / n);
            }
        }
    }

    Samples samples;
};

// One repetition of `iterations` iterations of the work, as a Google Benchmark run.
Samples MeasureOnce(const std::string& name, int iterations, const Work& work) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [&work](benchmark::State& state) {
                                     for (auto _ : state) {
                                         if (work.before) {
                                             state.PauseTiming();
                                             work.before();
                                             state.ResumeTiming();
                                         }
                                         const bool ok = work.run();
                                         if (work.after) {
                                             state.PauseTiming();
                                             work.after();
                                             state.ResumeTiming();
                                         }
                                         if (!ok) {
                                             state.SkipWithError("the measured work failed");
                                             break;
                                         }
                                     }
                                 })
        ->Iterations(iterations)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::ClearRegisteredBenchmarks();
    return collector.samples;
}

}  // namespace

double Samples::Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void InitTiming(const char* argv0) {
    int argc = 1;
    char* argv[] = {const_cast<char*>(argv0), nullptr};
    benchmark::Initialize(&argc, argv);
}

void Schedule::Add(std::string name, int iterations, Work work, Done done) {
    m_entries.push_back({std::move(name), iterations, std::move(work), std::move(done), {}});
}

void Schedule::Run(int rounds, const std::function<void(int)>& onRound) {
    for (int round = 1; round <= rounds; ++round) {
        onRound(round);
        for (Entry& e : m_entries) {
            if (!e.samples.error.empty()) continue;  // failed before: not run again
            const Samples one = MeasureOnce(e.name, e.iterations, e.work);
            if (!one.ok()) {
                e.samples.error = one.error.empty() ? "no timing" : one.error;
                continue;
            }
            e.samples.cpuSeconds.push_back(one.cpuSeconds.front());
            e.samples.wallSeconds.push_back(one.wallSeconds.front());
        }
    }
    for (Entry& e : m_entries) e.done(e.samples);
}

}  // namespace tarnwick::bench
