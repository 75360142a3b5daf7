// What every fuzz entry point needs around one input: a scratch folder, a fake clock so that
// nothing waits for real, quiet logs, scripted message boxes, private named mutexes, and small
// valid jobs to put the fuzzed part into.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/job/job_writer.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/memory_channel.h"
#include "support/message_script.h"
#include "support/scoped_env.h"
#include "tarnwick/printer_driver.h"
#include "tarnwick/records.h"

namespace tarnwick::fuzz {

// Counts broken invariants and names each one on stderr.
class Invariants {
  public:
    explicit Invariants(const char* target) : m_target(target) {}
    void Check(bool holds, const char* what);
    int failures() const { return m_failures; }

  private:
    const char* m_target;
    int m_failures = 0;
};

using ScopedEnv = test::ScopedEnv;

// The process's scratch folder (emptied again after each input) with a private lock folder and
// an empty configuration root, both made current for the run.
class FuzzRun {
  public:
    explicit FuzzRun(std::vector<int> messageAnswers = {});
    ~FuzzRun();

    std::string File(const std::string& name) const { return m_folder + "/" + name; }
    std::string OutputDrivers() const { return m_folder + "/root/OutputDrivers"; }
    FakeClock& Clock() { return m_clock; }
    const std::vector<LogEntry>& Log() const { return m_log->entries(); }
    const std::vector<MessageRequest>& Messages() const { return m_messages->requests(); }

  private:
    std::string m_folder;
    std::optional<ScopedEnv> m_lockDir, m_root;
    FakeClock m_clock;
    std::optional<ScopedClock> m_useClock;
    std::optional<ScopedLogCapture> m_log;
    std::optional<ScopedMessageScript> m_messages;
};

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
std::span<const uint8_t> AsBytes(const std::string& text);
// The data file the driver looks for next to a ticket.
std::string DataFileFor(const std::string& ticketPath);

struct TicketFields {
    std::string model = "CP52";
    int16_t dpi = 180;
    int16_t colorModel = 0;
    bool colorBar = false;
};
// A 3940-byte ticket whose settings area holds the printer's defaults.
std::vector<uint8_t> TicketBytes(const TicketFields& fields);

// Writes the pages; with stopAfterRows >= 0 the last page stops after that many rows and `live`
// gets the file as a reader finds it then, while the host writes.
bool WriteJobData(const std::string& path, const std::vector<PageFormat>& pages,
                  int stopAfterRows = -1, std::vector<uint8_t>* live = nullptr);
// Two small finished pages: four 1-bit inks, then a placed page with a 2-bit ink, a layer and an
// ink no colour mode names.
bool WriteSmallJobData(const std::string& path);
// A host record for the ticket, its data file found under prefix 0.
std::unique_ptr<HostJobRecord> MakeRecord(const std::string& ticketPath);

struct JobOutcome {
    int opened = 0;
    int steps = 0;  // steps that returned 1
    bool stepFailed = false;
    bool finished = false;  // the driver marked the job done after its last step
    int aborted = -1;       // AbortJob's result, -1 when it was not needed
};
// Opens the job, steps it at most maxSteps times and aborts it when it has not finished.
JobOutcome PrintBounded(ABasePrinterDriver& driver, HostJobRecord& job, OutputChannel& out,
                        int maxSteps);

// Whether another thread could take the named mutex now.
bool FreeForOtherThreads(const std::string& name);
// True when both named mutexes of the job id can be taken at once.
bool JobLocksFree(int jobId);
int CountOf(std::span<const uint8_t> haystack, const std::string& needle);

}  // namespace tarnwick::fuzz
