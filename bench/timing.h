// Timing through Google Benchmark. Measurements take turns: every round runs one repetition of
// each, in the order they were added, so that a busy spell of a shared machine spreads over all
// of them instead of spoiling one, and the ratios between them compare like with like. The
// figures come from the thread's CPU time (kernel time of its system calls and page faults
// included); the wall clock, which also counts the time other processes had the core, is kept
// alongside for the record.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnwick::bench {

struct Samples {
    // Per iteration, one entry per repetition.
    std::vector<double> cpuSeconds;
    std::vector<double> wallSeconds;
    std::string error;  // set when the work reported a failure

    bool ok() const { return error.empty() && !cpuSeconds.empty(); }
    double MedianCpu() const { return Median(cpuSeconds); }
    double MedianWall() const { return Median(wallSeconds); }
    static double Median(std::vector<double> values);
};

struct Work {
    Work(std::function<bool()> r, std::function<void()> b = {}, std::function<void()> a = {})
        : run(std::move(r)), before(std::move(b)), after(std::move(a)) {}

    std::function<bool()> run;     // the timed work; false stops the measurement
    std::function<void()> before;  // optional, untimed, before every iteration
    std::function<void()> after;   // optional, untimed, after every iteration
};

// Calls benchmark::Initialize once with the program name only, so no command line flag of
// Google Benchmark changes what is measured.
void InitTiming(const char* argv0);

class Schedule {
  public:
    using Done = std::function<void(const Samples&)>;

    // done gets the samples once every round has run.
    void Add(std::string name, int iterations, Work work, Done done);
    // onRound is told the number of each round as it starts.
    void Run(int rounds, const std::function<void(int)>& onRound);

  private:
    struct Entry {
        std::string name;
        int iterations;
        Work work;
        Done done;
        Samples samples;
    };
    std::vector<Entry> m_entries;
};

}  // namespace tarnwick::bench
