// Jobs that do not simply run to their end: the tool interrupted while printing or waiting, the
// tool printing a job whose data file the host is still writing, prints of one job id and of
// different ones side by side, and the page pause asked on a terminal.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/cli_fixture.h"
#include "host/job/job_writer.h"
#include "host/job/ox_job.h"
#include "platform/named_mutex.h"
#include "support/scoped_env.h"
#include "support/stream_rows.h"

namespace tarnwick::test {
namespace {

constexpr char kAbortPageEnd[] =
    "\x1b*rC\x1b%0B!PG;\x1b%-12345X@PJL\n@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\x1b"
    "E";

uint8_t Noise(int colorant, int row, int index) {
    uint32_t v = static_cast<uint32_t>(colorant * 7919 + row * 104729 + index * 31);
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    return static_cast<uint8_t>(v >> 24);
}

TestPage CmykPage(int width, int height) {
    return {width, height, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}, Noise};
}

class AbortFollowTest : public ToolTest {
  protected:
    // A ticket for a CP52 (at 360 dpi without colour bar unless told), and its data file's name.
    std::string Ticket(const std::string& name, int16_t dpi = 360, bool colorBar = false) {
        JobTicket ticket = DefaultTicket("CP52", dpi, 0);
        if (!colorBar) reinterpret_cast<PrinterSettings*>(ticket.settings.data())->colorBar = 0;
        std::string error;
        EXPECT_TRUE(WriteJobTicket(File(name), ticket, error)) << error;
        return File(name);
    }
    static std::string DataFile(const std::string& ticket) {
        return OXJob::GetFileName(ePrefix0, AFilePath(ticket.c_str())).c_str();
    }
    // The host's half-written job: the writer that goes on with it, rows 0 to 9 written.
    std::unique_ptr<JobWriter> Stalled(const std::string& ticket, const TestPage& page) {
        std::string error;
        std::unique_ptr<JobWriter> writer = JobWriter::Create(DataFile(ticket), error);
        EXPECT_TRUE(writer) << error;
        if (writer) AppendPage(*writer, page, 0, 10);
        return writer;
    }
    std::string JobOptions(const std::string& content) {
        WriteText(File("options.xml"),
                  "<?xml version=\"1.0\"?><RootElement>" + content + "</RootElement>");
        return File("options.xml");
    }
    // Every wait of the tool and the driver instant.
    ToolEnv Virtual() const {
        ToolEnv env = Env();
        env["TARNWICK_VIRTUAL_CLOCK"] = "1";
        return env;
    }
    const TestPage kStalledPage = CmykPage(96, 30);
};

TEST_F(AbortFollowTest, InterruptWhilePrintingOrWaitingSendsTheAbortPageEnd) {
    const struct {
        const char* name;
        bool follow;
        int stage;  // 0: no data file yet, 1: 10 of 30 rows written, 2: a large finished job
        std::string output;
        int signal;
        std::string firstLine;
        std::string last;     // said on stderr
        std::size_t maxRows;  // of the one page sent to a printer
    } rows[] = {
        // Large enough that printing it takes far longer than the signal takes to arrive.
        {"to a file", false, 2, "out.prn", SIGINT, "INFO: Printing page 1, 0% complete.", "Aborted",
         0},
        // A printer (here the pipe of stdout) gets the abort page end; a file is left as it was.
        {"to a printer", false, 2, "-", SIGINT, "INFO: Printing page 1, 0% complete.", "Aborted",
         3999},
        // The host stalls in the middle of a page: the driver keeps waiting one wait per step.
        {"waiting for rows", true, 1, "-", SIGINT, "", "Aborted", 10},
        {"waiting for the data file", true, 0, "out.prn", SIGTERM, "Waiting for the job data file",
         "Interrupted before printing began.", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string ticket = Ticket("job.tkt", row.stage == 2 ? 90 : 360, row.stage == 2);
        std::filesystem::remove(DataFile(ticket));
        std::unique_ptr<JobWriter> writer;
        if (row.stage == 1) writer = Stalled(ticket, CmykPage(96, 30));
        if (row.stage == 2) WriteJobData(DataFile(ticket), std::vector(4, CmykPage(4000, 2000)));
        WriteText(File("out.prn"), "yesterday's stream");
        const std::string output = row.output == "-" ? "-" : File(row.output);
        std::vector<std::string> args = {"print", ticket, "-o", output};
        if (row.follow) args.insert(args.begin() + 1, "--follow");
        RunningTool tool(args, row.follow ? Virtual() : Env());
        ASSERT_TRUE(tool.started());
        const std::optional<std::string> first = tool.ReadErrorLine();
        ASSERT_TRUE(first.has_value()) << "the tool ended without a word";
        EXPECT_NE(first->find(row.firstLine), std::string::npos) << *first;
        tool.Signal(row.signal);
        const ToolResult result = tool.Wait();
        EXPECT_EQ(result.signal, 0) << result.err;
        EXPECT_EQ(result.exitCode, 130) << result.err;
        EXPECT_NE(result.err.find(row.last), std::string::npos) << result.err;
        const std::vector<uint8_t> kept = ReadBytes(File("out.prn"));
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "yesterday's stream");
        EXPECT_TRUE(Leftovers().empty());
        if (output != "-") continue;
        EXPECT_TRUE(result.out.ends_with(kAbortPageEnd)) << "the printer must get the abort end";
        const std::vector<uint8_t> stream(result.out.begin(), result.out.end());
        const std::vector<StreamPage> pages = ReadStreamRows(stream);
        ASSERT_EQ(pages.size(), 1u) << "aborted on the first page";
        EXPECT_LE(pages[0].rows.size(), row.maxRows) << "the job did not run to its end";
        // The inspector takes the aborted page for what it is, not for a damaged one.
        WriteBytes(File("aborted.prn"), stream);
        const ToolResult inspected = Run({"inspect", File("aborted.prn"), "--json"});
        EXPECT_EQ(inspected.exitCode, 0) << inspected.out;
        EXPECT_NE(inspected.out.find("\"aborted\": true"), std::string::npos) << inspected.out;
    }
}

TEST_F(AbortFollowTest, FollowPrintsEveryPageWhileTheHostWritesThem) {
    const std::string ticket = Ticket("job.tkt");
    // The tool starts before the data file exists.
    RunningTool tool({"print", "--follow", ticket, "-o", File("out.prn"), "--job-options",
                      JobOptions("<JobId>4711</JobId>")},
                     Virtual());
    ASSERT_TRUE(tool.started());
    // This test is the host: it shares the job's named mutexes with the driver.
    ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
    CMutex start(false, "QRM_PRINT_START4711");
    CMutex layout(false, "QRM_PRINT_MAKELAYOUT4711");
    ASSERT_TRUE(start.IsValid() && layout.IsValid());
    std::unique_ptr<JobWriter> writer = Stalled(ticket, kStalledPage);
    ASSERT_TRUE(writer);
    // The driver holds the layout mutex from the start of the job on ...
    while (layout.Lock(0) == 1) {
        layout.Unlock();
        ASSERT_FALSE(tool.Exited()) << "the tool ended before it started the job";
        std::this_thread::yield();
    }
    // ... and gives up the start mutex only while it waits for rows: holding it now, the host
    // knows the driver has used up the rows and is waiting. The last wait is between pages: for
    // the next page, not for the end of the job.
    std::string error;
    for (int part = 0; part < 3; ++part) {
        ASSERT_EQ(start.Lock(), 1);
        if (part < 2) AppendPage(*writer, kStalledPage, 10 + 10 * part, 10);
        if (part == 1) {
            ASSERT_TRUE(writer->EndPage(error)) << error;
        }
        if (part == 2) {
            AppendPage(*writer, kStalledPage);
            ASSERT_TRUE(writer->Finish(error)) << error;
        }
        start.Unlock();
    }
    const ToolResult result = tool.Wait();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
    ASSERT_EQ(pages.size(), 2u);
    for (const StreamPage& page : pages) {
        ASSERT_EQ(page.rows.size(), 30u);
        for (int r = 0; r < 30; ++r) {
            ASSERT_EQ(page.rows[r].planes.size(), 4u);
            // Sent as Black, Cyan, Magenta, Yellow: colorants 3, 0, 1, 2 of the page.
            for (int p = 0; p < 4; ++p) {
                std::vector<uint8_t> expected(12);
                for (int i = 0; i < 12; ++i) expected[i] = Noise((p + 3) % 4, r, i);
                EXPECT_EQ(page.rows[r].planes[p], expected) << "row " << r << " plane " << p;
            }
        }
    }
}

// A print that waits for its host and a finished job printed meanwhile. With one job id, neither
// may hold what the other waits for, so both finish; without job options each print gets an id
// of its own, so the second does not wait for the first at all.
TEST_F(AbortFollowTest, APrintWaitingForItsHostHoldsUpOnlyPrintsOfItsJobId) {
    for (const bool sharedId : {true, false}) {
        SCOPED_TRACE(sharedId ? "one job id" : "different jobs");
        const std::string a = Ticket("a.tkt");
        const std::string b = Ticket("b.tkt");
        std::filesystem::remove(DataFile(a));
        std::unique_ptr<JobWriter> writer = Stalled(a, kStalledPage);
        ASSERT_TRUE(writer);
        WriteJobData(DataFile(b), {CmykPage(96, 5)});
        std::vector<std::string> options;
        if (sharedId) options = {"--job-options", JobOptions("<JobId>4711</JobId>")};
        std::vector<std::string> argsA = {"print", "--follow", a, "-o", File("a.prn")};
        std::vector<std::string> argsB = {"print", b, "-o", File("b.prn")};
        argsA.insert(argsA.end(), options.begin(), options.end());
        argsB.insert(argsB.end(), options.begin(), options.end());
        RunningTool printA(argsA, Virtual());
        ASSERT_TRUE(printA.ReadErrorLine().has_value()) << "the first print ended without a word";
        if (sharedId) {
            ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
            CMutex layout(false, "QRM_PRINT_MAKELAYOUT4711");
            while (layout.Lock(0) == 1) {  // until A has started its job
                layout.Unlock();
                ASSERT_FALSE(printA.Exited()) << "the first print ended before it started the job";
                std::this_thread::yield();
            }
        }
        RunningTool printB(argsB, Virtual());
        if (sharedId) {
            // B cannot finish while A holds the layout mutex; once B blocks on a mutex (a waiting
            // flock shows in /proc/locks), A must still get its start mutex back.
            const auto someoneWaits = [] {
                std::ifstream locks("/proc/locks");
                for (std::string line; std::getline(locks, line);) {
                    if (line.find("-> FLOCK") != std::string::npos) return true;
                }
                return false;
            };
            while (!someoneWaits()) {
                ASSERT_FALSE(printB.Exited()) << "the second print ended while the first held it";
                std::this_thread::yield();
            }
        } else {
            // A has its page open and waits for rows that only come once B is done.
            const ToolResult resultB = printB.Wait();
            EXPECT_EQ(resultB.exitCode, 0) << resultB.err;
            EXPECT_FALSE(printA.Exited()) << "the first print cannot end before its rows come";
        }
        std::string error;
        AppendPage(*writer, kStalledPage, 10, -1);
        ASSERT_TRUE(writer->Finish(error)) << error;
        const ToolResult resultA = printA.Wait();
        const ToolResult resultB = printB.Wait();
        EXPECT_EQ(resultA.exitCode, 0) << resultA.err;
        EXPECT_EQ(resultB.exitCode, 0) << resultB.err;
        EXPECT_EQ(ReadStreamRows(ReadBytes(File("a.prn"))).at(0).rows.size(), 30u);
        EXPECT_EQ(ReadStreamRows(ReadBytes(File("b.prn"))).at(0).rows.size(), 5u);
    }
}

// The driver's page pause asked on a terminal: the tool waits for the person's answer, and a No
// ends the print as their choice, with the page end the printer needs.
TEST_F(AbortFollowTest, ThePagePauseWaitsForTheAnswerOnTheTerminal) {
    const std::string ticket = Ticket("job.tkt");
    TestPage page{64, 4, 0, 0, {{"Black"}}};
    WriteJobData(DataFile(ticket), {page, page});
    ToolEnv env = Virtual();
    // English, whatever the machine's language: the sample glossary only serves German users.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) env[name] = std::nullopt;
    env["LANG"] = "C.UTF-8";
    const std::string question = "next page? [y/n] ";
    const struct {
        std::string reply;
        int exitCode;
        std::size_t pages;
        std::string said;
    } cases[] = {
        {"n\n", 3, 1, "Stopped after 1 page: the answer to the page pause was No"},
        {"maybe\nno\n", 3, 1, "Please answer y or n"},
        {"y\n", 0, 2, "Printed 2 pages"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        RunningTool tool({"print", ticket, "-o", File("out.prn"), "--job-options",
                          JobOptions("<PauseBtwPages>1</PauseBtwPages>")},
                         env, {}, true);
        EXPECT_TRUE(tool.Answer(question, c.reply));
        const ToolResult result = tool.Wait();
        EXPECT_FALSE(result.hung) << result.out;
        EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
        EXPECT_NE(result.out.find("Do you want to continue printing the " + question),
                  std::string::npos)
            << result.out;
        EXPECT_NE(result.out.find(c.said), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find("ERROR"), std::string::npos) << result.out;
        // Only the pages before the No have rows.
        std::size_t rows = 0;
        for (const StreamPage& printed : ReadStreamRows(ReadBytes(File("out.prn")))) {
            rows += printed.rows.size();
        }
        EXPECT_EQ(rows, c.pages * 4);
    }
}

}  // namespace
}  // namespace tarnwick::test
