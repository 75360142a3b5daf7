// Timing through Google Benchmark: one measurement at a time, fixed iterations and
// repetitions, every repetition kept so that the report can take the median.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::bench {

struct Samples {
    std::vector<double> seconds;  // per iteration, one entry per repetition
    std::string error;            // set when the work reported a failure

    bool ok() const { return error.empty() && !seconds.empty(); }
    double Median() const;
};

struct Work {
    std::function<bool()> run;     // the timed work; false stops the measurement
    std::function<void()> before;  // optional, untimed, before every iteration
};

// Calls benchmark::Initialize once with the program name only, so no command line flag of
// Google Benchmark changes what is measured.
void InitTiming(const char* argv0);

Samples Measure(const std::string& name, int repetitions, int iterations, const Work& work);

}  // namespace tarnwick::bench
