// The tool printing a job whose data file the host is still writing (print --follow), alone and
// beside a print of a finished job, of one job id and of another: the named mutexes are shared
// across processes, and neither print may hold what the other waits for.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "cli/cli_fixture.h"
#include "hardening/hardening_support.h"
#include "host/job/job_writer.h"
#include "platform/named_mutex.h"
#include "support/scoped_env.h"
#include "support/stream_rows.h"

namespace tarnwick::test {
namespace {

const TestPage kPage{96, 30, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};

class FollowTest : public ToolTest {
  protected:
    // A CP52 ticket NAME.tkt at 360 dpi without colour bar.
    std::string Ticket(const std::string& name) {
        std::string error;
        EXPECT_TRUE(WriteJobTicket(File(name + ".tkt"), hardening::NamedTicket(360), error))
            << error;
        return File(name + ".tkt");
    }
    // The host of job NAME has written the first rows of the page (all with -1) and goes on with
    // the writer given back.
    std::unique_ptr<JobWriter> Host(const std::string& name, const TestPage& page, int rows) {
        std::string error;
        std::unique_ptr<JobWriter> writer = JobWriter::Create(File("0_" + name + ".twj"), error);
        EXPECT_TRUE(writer) << error;
        if (writer) AppendPage(*writer, page, 0, rows);
        return writer;
    }
    std::vector<std::string> JobId4711() {
        WriteText(File("options.xml"),
                  "<?xml version=\"1.0\"?><RootElement><JobId>4711</JobId></RootElement>");
        return {"--job-options", File("options.xml")};
    }
    ToolEnv Virtual() const {  // every wait of the tool and the driver instant
        ToolEnv env = Env();
        env["TARNWICK_VIRTUAL_CLOCK"] = "1";
        return env;
    }
    // Until the tool has started job 4711: the driver holds its layout mutex from then on.
    void AwaitJobStart(RunningTool& tool) {
        ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
        CMutex layout(false, "QRM_PRINT_MAKELAYOUT4711");
        while (layout.Lock(0) == 1) {
            layout.Unlock();
            ASSERT_FALSE(tool.Exited()) << "the tool ended before it started the job";
            std::this_thread::yield();
        }
    }
};

TEST_F(FollowTest, FollowPrintsEveryPageWhileTheHostWritesThem) {
    // The tool starts before the data file exists.
    std::vector<std::string> args = {"print", "--follow", Ticket("job"), "-o", File("out.prn")};
    for (const std::string& option : JobId4711()) args.push_back(option);
    RunningTool tool(args, Virtual());
    ASSERT_TRUE(tool.started());
    std::unique_ptr<JobWriter> writer = Host("job", kPage, 10);
    ASSERT_TRUE(writer);
    AwaitJobStart(tool);
    // This test is the host: it shares the job's named mutexes with the driver, which gives up
    // the start mutex only while it waits for rows: holding it now, the host knows the driver has
    // used up the rows and is waiting. The last wait is between pages: for the next page, not for
    // the end of the job.
    ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
    CMutex start(false, "QRM_PRINT_START4711");
    ASSERT_TRUE(start.IsValid());
    std::string error;
    for (int part = 0; part < 3; ++part) {
        ASSERT_EQ(start.Lock(), 1);
        if (part < 2) AppendPage(*writer, kPage, 10 + 10 * part, 10);
        if (part == 2) AppendPage(*writer, kPage);
        ASSERT_TRUE(part == 0 || (part == 1 ? writer->EndPage(error) : writer->Finish(error)))
            << error;
        start.Unlock();
    }
    const ToolResult result = tool.Wait();
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
    ASSERT_EQ(pages.size(), 2u);
    for (const StreamPage& page : pages) {
        ASSERT_EQ(page.rows.size(), 30u);
        for (int r = 0; r < 30; ++r) {
            // Sent as Black, Cyan, Magenta, Yellow: colorants 3, 0, 1, 2 of the page.
            std::vector<std::vector<uint8_t>> expected(4, std::vector<uint8_t>(12));
            for (int p = 0; p < 4; ++p) {
                for (int i = 0; i < 12; ++i) expected[p][i] = kPage.content((p + 3) % 4, r, i);
            }
            EXPECT_EQ(page.rows[r].planes, expected) << "row " << r;
        }
    }
}

// A print that waits for its host and a finished job printed meanwhile. With one job id, neither
// may hold what the other waits for, so both finish; without job options each print gets an id
// of its own, so the second does not wait for the first at all.
TEST_F(FollowTest, APrintWaitingForItsHostHoldsUpOnlyPrintsOfItsJobId) {
    for (const bool sharedId : {true, false}) {
        SCOPED_TRACE(sharedId ? "one job id" : "different jobs");
        std::unique_ptr<JobWriter> writer = Host("a", kPage, 10);
        ASSERT_TRUE(writer);
        Host("b", TestPage{96, 5, 0, 0, kPage.colorants}, -1);  // finished as the writer goes
        std::vector<std::string> argsA = {"print", "--follow", Ticket("a"), "-o", File("a.prn")};
        std::vector<std::string> argsB = {"print", Ticket("b"), "-o", File("b.prn")};
        for (const std::string& option : sharedId ? JobId4711() : std::vector<std::string>()) {
            argsA.push_back(option);
            argsB.push_back(option);
        }
        RunningTool printA(argsA, Virtual());
        ASSERT_TRUE(printA.ReadErrorLine().has_value()) << "the first print ended without a word";
        if (sharedId) AwaitJobStart(printA);
        RunningTool printB(argsB, Virtual());
        if (sharedId) {
            // B cannot finish while A holds the layout mutex; once B blocks on a mutex, A must
            // still get its start mutex back.
            EXPECT_TRUE(hardening::SomeoneWaitsFor()) << "the second print never waited";
        } else {
            // A has its page open and waits for rows that only come once B is done.
            const ToolResult resultB = printB.Wait();
            EXPECT_EQ(resultB.exitCode, 0) << resultB.err;
            EXPECT_FALSE(printA.Exited()) << "the first print cannot end before its rows come";
        }
        std::string error;
        AppendPage(*writer, kPage, 10, -1);
        ASSERT_TRUE(writer->Finish(error)) << error;
        const ToolResult resultA = printA.Wait();
        const ToolResult resultB = printB.Wait();
        EXPECT_EQ(resultA.exitCode, 0) << resultA.err;
        EXPECT_EQ(resultB.exitCode, 0) << resultB.err;
        EXPECT_EQ(ReadStreamRows(ReadBytes(File("a.prn"))).at(0).rows.size(), 30u);
        EXPECT_EQ(ReadStreamRows(ReadBytes(File("b.prn"))).at(0).rows.size(), 5u);
    }
}

}  // namespace
}  // namespace tarnwick::test
