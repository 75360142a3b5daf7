// make-job on pages one inch and a banner long, of the same width, in child processes: its peak
// memory must not grow with the page's length, nor must the print's of the job it wrote.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "job_files.h"
#include "memory_probe.h"
#include "module_print.h"
#include "phases.h"

extern char** environ;

namespace tarnwick::bench {
namespace {

struct ToolRun {
    bool ok = false;
    int64_t peakKiB = 0;
    double seconds = 0;
};

// The tool in a child of a fresh copy of this program (--peak-rss-of), which reports the
// tool's peak resident set from wait4: a child of the bench itself would count its resident set.
ToolRun RunTool(const std::string& self, const std::vector<std::string>& args) {
    std::vector<std::string> all = {self, "--peak-rss-of"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (const std::string& arg : all) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ToolRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char text[128] = {};
    std::size_t got = 0;
    for (ssize_t n = 1; n > 0 && got + 1 < sizeof text; got += static_cast<std::size_t>(n)) {
        n = read(fds[0], text + got, sizeof text - 1 - got);
        if (n <= 0) break;
    }
    close(fds[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) return run;
    long peak = 0;
    int exitCode = -1;
    if (std::sscanf(text, "%ld %lf %d", &peak, &run.seconds, &exitCode) != 3) return run;
    run.ok = exitCode == 0;
    run.peakKiB = peak;
    return run;
}

struct MakeJobPage {
    std::string label;
    std::string image;  // a PBM plane or a PPM colour image
    bool color;
    int width;
    int64_t rows;
};

// A page of cycled rows: a few distinct ones, so that neither file nor stream is trivial.
bool WriteImage(const MakeJobPage& page) {
    std::ofstream out(page.image, std::ios::binary);
    const int rowBytes = page.color ? page.width * 3 : (page.width + 7) / 8;
    out << (page.color ? "P6\n" : "P4\n") << page.width << ' ' << page.rows
        << (page.color ? "\n255\n" : "\n");
    std::vector<std::vector<char>> rows(7, std::vector<char>(static_cast<std::size_t>(rowBytes)));
    uint32_t seed = 12345;
    for (auto& row : rows) {
        for (char& byte : row) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<char>(seed >> 24);
        }
    }
    for (int64_t y = 0; y < page.rows && out; ++y) {
        out.write(rows[static_cast<std::size_t>(y % 7)].data(), rowBytes);
    }
    return static_cast<bool>(out);
}

}  // namespace

void RunMakeJobPhase(BenchState& s) {
    // 36 inches wide: plane pages at 720 dpi one inch, one foot and 100 feet long (10 feet with
    // --quick); colour pages at 180 dpi (their halftoning is the time) one inch and 10 feet (1
    // foot) long.
    const int64_t banner = s.options.quick ? 86'400 : 864'000;
    const int64_t photo = s.options.quick ? 2'160 : 21'600;
    const std::vector<MakeJobPage> pages = {
        {"make-job, 36-inch plane page, 1 inch", s.scratch.File("mj-short.pbm"), false, 25'920,
         720},
        {"make-job, 36-inch plane page, 1 foot", s.scratch.File("mj-foot.pbm"), false, 25'920,
         8'640},
        {"make-job, 36-inch plane page, banner", s.scratch.File("mj-long.pbm"), false, 25'920,
         banner},
        {"make-job, 36-inch colour page, 1 inch", s.scratch.File("mj-short.ppm"), true, 6'480, 180},
        {"make-job, 36-inch colour page, long", s.scratch.File("mj-long.ppm"), true, 6'480, photo},
    };
    std::vector<ToolRun> runs;
    std::vector<PeakRss> prints;
    for (const MakeJobPage& page : pages) {
        Progress("make-job: writing " + page.image);
        if (!WriteImage(page)) {
            s.Problem("cannot write " + page.image);
            return;
        }
        const std::string ticket = page.image + ".tkt";
        Progress("make-job: " + page.label);
        const std::string dpi = page.color ? "180" : "720";
        const std::string image = page.color ? page.image : "Black=" + page.image;
        const ToolRun run =
            RunTool(s.self, {TARNWICK_TOOL_PATH, "make-job", "-q", "-o", ticket, "--model", "CP52",
                             "--color-mode", "Grayscale", "--dpi", dpi, image});
        std::remove(page.image.c_str());
        if (!run.ok) {
            s.Problem("make-job failed on " + page.label);
            return;
        }
        runs.push_back(run);
        const int64_t planeBytes = page.rows * ((page.width + 7) / 8);
        s.report.AddMemory({page.label, page.rows, planeBytes, 0, run.peakKiB});
        const double megapixels = static_cast<double>(page.width) * page.rows / 1e6;
        char note[200];
        std::snprintf(note, sizeof note, "%s: %.0f megapixels in %.2f s wall, %.1f megapixels/s",
                      page.label.c_str(), megapixels, run.seconds, megapixels / run.seconds);
        s.report.AddNote(note);
        if (!page.color) {
            Progress("make-job: printing the job of " + page.label);
            const PeakRss peak = MeasurePrintPeakRss(ModulePath(), ticket);
            if (!peak.ok) {
                s.Problem("print of " + page.label + ": " + peak.error);
                return;
            }
            prints.push_back(peak);
            s.report.AddMemory({"print of the " + page.label.substr(10), page.rows, planeBytes,
                                peak.startKiB, peak.peakKiB});
        }
        RemoveJob(ticket);
    }
    const auto flat = [&](const char* what, const char* base, int64_t shortKiB, int64_t longKiB) {
        const double growth = static_cast<double>(longKiB) / static_cast<double>(shortKiB);
        char text[200];
        std::snprintf(text, sizeof text, "peak RSS of %s within 10%% of the %s page's (%.3fx)",
                      what, base, growth);
        s.report.AddTarget(growth <= 1.10, text);
    };
    flat("make-job on the banner plane page", "1-inch", runs[0].peakKiB, runs[2].peakKiB);
    flat("make-job on the long colour page", "1-inch", runs[3].peakKiB, runs[4].peakKiB);
    // A 1-inch job (2 MB) does not fill the job reader's 4 MiB window; a 1-foot job does.
    flat("the print of the banner", "1-foot", prints[1].peakKiB, prints[2].peakKiB);
}

}  // namespace tarnwick::bench
