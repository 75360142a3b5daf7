// tarnwick print: prints a job through the driver into a file or stdout.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "commands.h"
#include "console.h"
#include "exit_codes.h"
#include "host/file_bytes.h"
#include "host/job_ticket.h"
#include "interrupt.h"
#include "module_options.h"
#include "print_session.h"
#include "printer_choice.h"

namespace tarnwick::cli {
namespace {

constexpr const char* kUsage =
    "Usage: tarnwick print JOB.tkt [options]\n"
    "Prints the job through the driver module, as a print host does, and writes the printer\n"
    "stream. Progress goes to stderr: a bar on a terminal, otherwise lines such as\n"
    "\"INFO: Printing page 2, 45% complete.\". SIGINT or SIGTERM aborts the job properly (the\n"
    "printer gets the abort page end); a second signal ends the tool at once.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT.prn|-  where the stream goes (default: stdout, not a terminal). A\n"
    "                          file is written beside its name and replaces it only when the\n"
    "                          print completed: a refused, failed or interrupted print leaves\n"
    "                          it unchanged. Stdout, devices and FIFOs are written directly.\n"
    "                          The job's own ticket or data file is refused.\n"
    "  --join-mode N           join mode for the host record (default 0)\n"
    "  --print-mode N          print mode index (default 0); it must be one of the ticket's\n"
    "                          model's print modes (see tarnwick info), else the print is\n"
    "                          refused with the modes it offers\n"
    "  --job-options FILE      job options XML (job id, page pause, custom colour mode)\n"
    "  --job-id N              the job id (0 to 2147483647): prints of one id wait for each\n"
    "                          other, prints of different ids run side by side. Without it\n"
    "                          and without a JobId in the job options, each print gets an id\n"
    "                          of its own (the tool's process id)\n"
    "  --follow                the job data file is still being written: wait until it holds a\n"
    "                          page, then print while the host goes on writing (a data file\n"
    "                          that is not a regular file, e.g. a FIFO, is refused at once)\n"
    "  -q, --quiet             no progress\n"
    "  -v, --verbose           also the module's log lines in its own terms (such as\n"
    "                          \"SendHeader Return FALSE\"), which are otherwise left out: the\n"
    "                          tool's own ERROR line says what failed\n"
    "\n"
    "The driver's page pause question (PauseBtwPages in the job options) is asked on the\n"
    "terminal when standard input is one (y or n); otherwise TARNWICK_MESSAGE_ANSWER=no\n"
    "answers it No, and anything else Yes. A No ends the print after the page before it, with\n"
    "the page end the printer needs, and exit status 3.\n"
    "\n"
    "Exit status: 0 printed, 1 failed, 2 bad usage, 3 stopped by a No, 130 aborted.\n";

const std::array<OptionDef, 10> kOptions = {{{"output", 'o', true},
                                             {"print-mode", 0, true},
                                             {"join-mode", 0, true},
                                             {"job-options", 0, true},
                                             {"job-id", 0, true},
                                             {"follow", 0, false},
                                             {"quiet", 'q', false},
                                             {"verbose", 'v', false},
                                             kModuleOption,
                                             kConfigRootOption}};

constexpr std::size_t kMaxJobOptionsBytes = 1 << 20;

bool ReadJobOptions(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFileBytes(path.c_str(), kMaxJobOptionsBytes, bytes, error)) {
        Console::Get().Error("cannot read the job options: " + error);
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    if (text.find('\0') != std::string::npos) {
        Console::Get().Error("the job options " + path + " are not text");
        return false;
    }
    return true;
}

// The driver serialises prints that share a job id, and a job without one has id 0; so the
// id the user names (or the job options carry) is kept and every other print gets its own.
std::string WithJobId(const std::string& xml, const std::optional<std::string>& jobId) {
    constexpr std::string_view kOpen = "<JobId>";
    constexpr std::string_view kClose = "</JobId>";
    constexpr std::string_view kRootEnd = "</RootElement>";
    const std::size_t open = xml.find(kOpen);
    if (!jobId && open != std::string::npos) return xml;
    const std::string id = jobId ? *jobId : std::to_string(::getpid());
    const std::string element = std::string(kOpen) + id + std::string(kClose);
    if (xml.empty()) return "<?xml version=\"1.0\"?><RootElement>" + element + "</RootElement>";
    if (open != std::string::npos) {
        const std::size_t close = xml.find(kClose, open);
        if (close != std::string::npos) {
            return xml.substr(0, open) + element + xml.substr(close + kClose.size());
        }
    }
    const std::size_t rootEnd = xml.rfind(kRootEnd);
    if (rootEnd == std::string::npos) return xml;  // not job options the driver reads anyway
    return xml.substr(0, rootEnd) + element + xml.substr(rootEnd);
}

}  // namespace

int RunPrint(CommandArgs argv) {
    const ParsedArgs args = ParseArgs(argv, kOptions);
    if (args.Has("help")) return WriteOut(kUsage) ? kExitOk : kExitFailure;
    args.ExpectPositionals(1, 1, "JOB.tkt");

    PrintRequest request;
    request.ticketPath = args.positionals()[0];
    request.outPath = args.Get("output").value_or("-");
    if (request.outPath.empty()) throw UsageError("-o needs a file name or -");
    if (request.outPath == "-" && ::isatty(1) == 1) {
        throw UsageError("refusing to write printer data to a terminal; give -o FILE");
    }
    if (const auto mode = args.Get("print-mode")) {
        request.printMode =
            static_cast<int32_t>(ParseInteger(*mode, "--print-mode", INT32_MIN, INT32_MAX));
    }
    if (const auto mode = args.Get("join-mode")) {
        request.joinMode =
            static_cast<int32_t>(ParseInteger(*mode, "--join-mode", INT32_MIN, INT32_MAX));
    }
    request.follow = args.Has("follow");
    request.quiet = args.Has("quiet");
    request.verbose = args.Has("verbose");
    if (const auto path = args.Get("job-options")) {
        if (!ReadJobOptions(*path, request.jobOptionsXml)) return kExitFailure;
    }
    std::optional<std::string> jobId = args.Get("job-id");
    if (jobId) jobId = std::to_string(ParseInteger(*jobId, "--job-id", 0, INT32_MAX));
    request.jobOptionsXml = WithJobId(request.jobOptionsXml, jobId);

    std::string error;
    InstallInterruptHandlers();
    // The driver's questions (the page pause) are asked on the terminal when there is one.
    if (::isatty(0) == 1) ::setenv("TARNWICK_MESSAGE_ANSWER", "ask", 0);
    std::unique_ptr<DriverModule> module = OpenDriverModule(args);
    if (!module) return kExitFailure;
    // A ticket that cannot be read is reported by the print itself.
    if (JobTicket ticket; ReadJobTicket(request.ticketPath, ticket, error)) {
        CheckPrintMode(module->driver(), ticket.printerModel, request.printMode);
    }
    Console& console = Console::Get();
    const PrintOutcome outcome = PrintJob(module->driver(), request, console);
    if (outcome.exitCode == kExitOk && !request.quiet) {
        console.Info("Printed " + std::to_string(outcome.pages) +
                     (outcome.pages == 1 ? " page, " : " pages, ") + std::to_string(outcome.bytes) +
                     " bytes to " + (request.outPath == "-" ? "stdout" : request.outPath) + ".");
    }
    return outcome.exitCode;
}

}  // namespace tarnwick::cli
