// Jobs that do not simply run to their end: the tool interrupted while printing, and the tool
// printing a job whose data file the host is still writing.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
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
    TestPage page;
    page.width = width;
    page.height = height;
    page.colorants = {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}};
    page.content = Noise;
    return page;
}

class AbortFollowTest : public ToolTest {
  protected:
    std::string WriteTicket(const JobTicket& ticket) {
        const std::string path = File("job.tkt");
        std::string error;
        EXPECT_TRUE(WriteJobTicket(path, ticket, error)) << error;
        return path;
    }
    std::string DataFile(const std::string& ticket) {
        return OXJob::GetFileName(ePrefix0, AFilePath(ticket.c_str())).c_str();
    }
    // Two jobs for a CP52 without colour bar: a.tkt, whose host has written 10 of the 30 rows
    // of kStalledPage and goes on only through the writer returned, and b.tkt, a finished job of
    // 5 rows. Null (with a test failure) when they cannot be written.
    std::unique_ptr<JobWriter> StalledAndFinishedJobs() {
        JobTicket ticket = DefaultTicket("CP52", 360, 0);
        reinterpret_cast<PrinterSettings*>(ticket.settings.data())->colorBar = 0;
        std::string error;
        if (!WriteJobTicket(File("a.tkt"), ticket, error) ||
            !WriteJobTicket(File("b.tkt"), ticket, error)) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        std::unique_ptr<JobWriter> writer = JobWriter::Create(DataFile(File("a.tkt")), error);
        if (!writer) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        AppendPage(*writer, kStalledPage, 0, 10);
        WriteJobData(DataFile(File("b.tkt")), {CmykPage(96, 5)});
        return writer;
    }
    const TestPage kStalledPage = CmykPage(96, 30);
};

TEST_F(AbortFollowTest, InterruptSendsTheAbortPageEnd) {
    // Large enough that printing it takes far longer than the signal takes to arrive.
    const std::string ticket = WriteTicket(DefaultTicket("CP52", 90, 0));
    WriteJobData(DataFile(ticket), {CmykPage(4000, 2000), CmykPage(4000, 2000),
                                    CmykPage(4000, 2000), CmykPage(4000, 2000)});
    WriteText(File("out.prn"), "yesterday's stream");
    // A printer (here the pipe of stdout) gets the abort page end; a file is left as it was.
    for (const std::string& output : {File("out.prn"), std::string("-")}) {
        SCOPED_TRACE(output);
        RunningTool tool({"print", ticket, "-o", output}, Env());
        ASSERT_TRUE(tool.started());
        const std::optional<std::string> first = tool.ReadErrorLine();
        ASSERT_TRUE(first.has_value()) << "the tool ended without a word";
        EXPECT_EQ(*first, "INFO: Printing page 1, 0% complete.");
        tool.Signal(SIGINT);
        const ToolResult result = tool.Wait();
        EXPECT_EQ(result.signal, 0) << result.err;
        EXPECT_EQ(result.exitCode, 130) << result.err;
        EXPECT_NE(result.err.find("Aborted"), std::string::npos) << result.err;
        if (output != "-") {
            const std::vector<uint8_t> bytes = ReadBytes(File("out.prn"));
            EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "yesterday's stream");
            EXPECT_TRUE(Leftovers().empty());
            continue;
        }
        const std::vector<uint8_t> stream(result.out.begin(), result.out.end());
        EXPECT_TRUE(EndsWith(stream, kAbortPageEnd)) << "the printer must get the abort page end";
        EXPECT_EQ(CountOf(stream, "\x1b*r1A"), 1) << "aborted on the first page";
        EXPECT_LT(stream.size(), 4u * 2000 * 2 * 6 * 1000) << "the job did not run to its end";

        // The inspector takes the aborted page for what it is, not for a damaged one.
        WriteBytes(File("aborted.prn"), stream);
        const ToolResult inspected = Run({"inspect", File("aborted.prn"), "--json"});
        EXPECT_EQ(inspected.exitCode, 0) << inspected.out;
        EXPECT_NE(inspected.out.find("\"aborted\": true"), std::string::npos) << inspected.out;
    }
}

TEST_F(AbortFollowTest, FollowPrintsEveryPageWhileTheHostWritesThem) {
    constexpr int kWidth = 96;
    constexpr int kHeight = 30;
    JobTicket ticket = DefaultTicket("CP52", 360, 0);
    reinterpret_cast<PrinterSettings*>(ticket.settings.data())->colorBar = 0;
    const std::string ticketPath = WriteTicket(ticket);
    WriteText(File("options.xml"),
              "<?xml version=\"1.0\"?><RootElement><JobId>4711</JobId></RootElement>");

    // The tool starts before the data file exists; TARNWICK_VIRTUAL_CLOCK makes every wait of
    // the tool and the driver instant.
    ToolEnv env = Env();
    env["TARNWICK_VIRTUAL_CLOCK"] = "1";
    RunningTool tool({"print", "--follow", ticketPath, "-o", File("out.prn"), "--job-options",
                      File("options.xml")},
                     env);
    ASSERT_TRUE(tool.started());

    // This test is the host: it shares the job's named mutexes with the driver.
    ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
    CMutex start(false, "QRM_PRINT_START4711");
    CMutex layout(false, "QRM_PRINT_MAKELAYOUT4711");
    ASSERT_TRUE(start.IsValid() && layout.IsValid());

    const TestPage page = CmykPage(kWidth, kHeight);
    std::string error;
    std::unique_ptr<JobWriter> writer = JobWriter::Create(DataFile(ticketPath), error);
    ASSERT_TRUE(writer) << error;
    AppendPage(*writer, page, 0, 10);  // the page shows with its first rows

    // The driver holds the layout mutex from the start of the job on ...
    while (layout.Lock(0) == 1) {
        layout.Unlock();
        ASSERT_FALSE(tool.Exited()) << "the tool ended before it started the job";
        std::this_thread::yield();
    }
    // ... and gives up the start mutex only while it waits for rows: holding it now, the host
    // knows the driver has used up the ten rows and is waiting.
    ASSERT_EQ(start.Lock(), 1);
    AppendPage(*writer, page, 10, 10);
    start.Unlock();
    ASSERT_EQ(start.Lock(), 1);
    AppendPage(*writer, page, 20, 10);
    ASSERT_TRUE(writer->EndPage(error)) << error;
    start.Unlock();
    // A pause between pages: the driver has printed all there is and waits for the next page,
    // not for the end of the job.
    ASSERT_EQ(start.Lock(), 1);
    AppendPage(*writer, page);
    ASSERT_TRUE(writer->Finish(error)) << error;
    start.Unlock();

    const ToolResult result = tool.Wait();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
    ASSERT_EQ(pages.size(), 2u);
    // Sent as Black, Cyan, Magenta, Yellow: colorants 3, 0, 1, 2 of the page.
    constexpr int kSentColorant[] = {3, 0, 1, 2};
    for (int r = 0; r < 2 * kHeight; ++r) {
        const std::vector<StreamRow>& rows = pages[static_cast<std::size_t>(r / kHeight)].rows;
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(kHeight));
        const StreamRow& row = rows[static_cast<std::size_t>(r % kHeight)];
        ASSERT_EQ(row.planes.size(), 4u);
        for (int p = 0; p < 4; ++p) {
            std::vector<uint8_t> expected(kWidth / 8);
            for (int i = 0; i < kWidth / 8; ++i) {
                expected[static_cast<std::size_t>(i)] = Noise(kSentColorant[p], r % kHeight, i);
            }
            EXPECT_EQ(row.planes[static_cast<std::size_t>(p)], expected)
                << "row " << r << " plane " << p;
        }
    }
}

// Two prints of one job id, one of them waiting for its host while the other starts: neither
// may hold what the other waits for, so both finish.
TEST_F(AbortFollowTest, TwoPrintsOfOneJobIdBothFinishWhileOneWaits) {
    const std::string ticketA = File("a.tkt");
    const std::string ticketB = File("b.tkt");
    std::unique_ptr<JobWriter> writer = StalledAndFinishedJobs();
    ASSERT_TRUE(writer);
    WriteText(File("options.xml"),
              "<?xml version=\"1.0\"?><RootElement><JobId>4711</JobId></RootElement>");

    ToolEnv env = Env();
    env["TARNWICK_VIRTUAL_CLOCK"] = "1";
    RunningTool a(
        {"print", "--follow", ticketA, "-o", File("a.prn"), "--job-options", File("options.xml")},
        env);
    ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
    CMutex layout(false, "QRM_PRINT_MAKELAYOUT4711");
    while (layout.Lock(0) == 1) {  // until A has started its job
        layout.Unlock();
        ASSERT_FALSE(a.Exited()) << "the first print ended before it started the job";
        std::this_thread::yield();
    }
    RunningTool b({"print", ticketB, "-o", File("b.prn"), "--job-options", File("options.xml")},
                  env);
    // B cannot finish while A holds the layout mutex; once B blocks on a mutex (a waiting flock
    // shows in /proc/locks), A must still get its start mutex back.
    auto someoneWaits = [] {
        std::ifstream locks("/proc/locks");
        std::string line;
        while (std::getline(locks, line)) {
            if (line.find("-> FLOCK") != std::string::npos) return true;
        }
        return false;
    };
    while (!someoneWaits()) {
        ASSERT_FALSE(b.Exited()) << "the second print ended while the first held its mutex";
        std::this_thread::yield();
    }
    std::string error;
    AppendPage(*writer, kStalledPage, 10, -1);
    ASSERT_TRUE(writer->Finish(error)) << error;
    const ToolResult resultA = a.Wait();
    const ToolResult resultB = b.Wait();
    EXPECT_EQ(resultA.exitCode, 0) << resultA.err;
    EXPECT_EQ(resultB.exitCode, 0) << resultB.err;
    EXPECT_EQ(ReadStreamRows(ReadBytes(File("a.prn"))).at(0).rows.size(), 30u);
    EXPECT_EQ(ReadStreamRows(ReadBytes(File("b.prn"))).at(0).rows.size(), 5u);
}

// Without job options each print gets a job id of its own, so a print that waits for its host
// does not hold up an unrelated print (with the shared id 0, the second would wait for the first).
TEST_F(AbortFollowTest, PrintsOfDifferentJobsRunSideBySide) {
    const std::string ticketA = File("a.tkt");
    const std::string ticketB = File("b.tkt");
    std::unique_ptr<JobWriter> writer = StalledAndFinishedJobs();
    ASSERT_TRUE(writer);

    ToolEnv env = Env();
    env["TARNWICK_VIRTUAL_CLOCK"] = "1";
    RunningTool a({"print", "--follow", ticketA, "-o", File("a.prn")}, env);
    ASSERT_TRUE(a.ReadErrorLine().has_value()) << "the first print ended without a word";
    // A has its page open and waits for rows that only come once B is done.
    const ToolResult b = RunTool({"print", ticketB, "-o", File("b.prn")}, env);
    EXPECT_EQ(b.exitCode, 0) << b.err;
    EXPECT_FALSE(a.Exited()) << "the first print cannot end before its rows are written";
    std::string error;
    AppendPage(*writer, kStalledPage, 10, -1);
    ASSERT_TRUE(writer->Finish(error)) << error;
    const ToolResult resultA = a.Wait();
    EXPECT_EQ(resultA.exitCode, 0) << resultA.err;
    EXPECT_EQ(ReadStreamRows(ReadBytes(File("a.prn"))).at(0).rows.size(), 30u);
}

// The host stalls in the middle of a page: the driver keeps waiting one wait per step, and a
// signal ends the print with the abort page end after the rows that were there.
TEST_F(AbortFollowTest, InterruptWhileWaitingForRowsSendsTheAbortPageEnd) {
    JobTicket ticket = DefaultTicket("CP52", 360, 0);
    reinterpret_cast<PrinterSettings*>(ticket.settings.data())->colorBar = 0;
    const std::string ticketPath = WriteTicket(ticket);
    std::string error;
    std::unique_ptr<JobWriter> writer = JobWriter::Create(DataFile(ticketPath), error);
    ASSERT_TRUE(writer) << error;
    AppendPage(*writer, CmykPage(96, 30), 0, 10);
    ToolEnv env = Env();
    env["TARNWICK_VIRTUAL_CLOCK"] = "1";
    // Standard output stands for a printer: it gets every byte as it goes.
    RunningTool tool({"print", "--follow", ticketPath, "-o", "-"}, env);
    ASSERT_TRUE(tool.started());
    const std::optional<std::string> line = tool.ReadErrorLine();
    ASSERT_TRUE(line.has_value()) << "the tool ended without a word";
    tool.Signal(SIGINT);
    const ToolResult result = tool.Wait();
    EXPECT_EQ(result.exitCode, 130) << result.err;
    const std::vector<uint8_t> stream(result.out.begin(), result.out.end());
    EXPECT_TRUE(EndsWith(stream, kAbortPageEnd)) << "the printer must get the abort page end";
    const std::vector<StreamPage> pages = ReadStreamRows(stream);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_LE(pages[0].rows.size(), 10u);
}

TEST_F(AbortFollowTest, InterruptWhileWaitingForTheDataFile) {
    const std::string ticket = WriteTicket(DefaultTicket("CP52", 360, 0));
    ToolEnv env = Env();
    env["TARNWICK_VIRTUAL_CLOCK"] = "1";
    RunningTool tool({"print", "--follow", ticket, "-o", File("out.prn")}, env);
    const std::optional<std::string> line = tool.ReadErrorLine();
    ASSERT_TRUE(line.has_value());
    EXPECT_NE(line->find("Waiting for the job data file"), std::string::npos) << *line;
    tool.Signal(SIGTERM);
    const ToolResult result = tool.Wait();
    EXPECT_EQ(result.exitCode, 130) << result.err;
    EXPECT_FALSE(std::filesystem::exists(File("out.prn"))) << "nothing was printed";
}

}  // namespace
}  // namespace tarnwick::test
