// The driver's page pause asked on a terminal: the tool waits for the person's answer, and a No
// ends the print as their choice, with the page end the printer needs.
#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "host/job/ox_job.h"
#include "support/stream_rows.h"

namespace tarnwick::test {
namespace {

class PagePauseTest : public ToolTest {};

TEST_F(PagePauseTest, TheQuestionWaitsForTheAnswerOnTheTerminal) {
    JobTicket ticket = DefaultTicket("CP52", 360, 0);
    reinterpret_cast<PrinterSettings*>(ticket.settings.data())->colorBar = 0;
    std::string error;
    ASSERT_TRUE(WriteJobTicket(File("job.tkt"), ticket, error)) << error;
    TestPage page;
    page.width = 64;
    page.height = 4;
    page.colorants = {{"Black"}};
    page.content = [](int, int row, int index) { return static_cast<uint8_t>(row + index); };
    WriteJobData(OXJob::GetFileName(ePrefix0, AFilePath(File("job.tkt").c_str())).c_str(),
                 {page, page});
    WriteText(File("pause.xml"),
              "<?xml version=\"1.0\"?><RootElement><PauseBtwPages>1</PauseBtwPages>"
              "</RootElement>");
    ToolEnv env = Env();
    env["TARNWICK_VIRTUAL_CLOCK"] = "1";
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
        const ToolResult result = RunToolOnTerminal(
            {"print", File("job.tkt"), "-o", File("out.prn"), "--job-options", File("pause.xml")},
            env, question, c.reply);
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
