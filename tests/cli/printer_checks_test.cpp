// What the tool accepts for a printer model: only the driver's models (in any case), and only
// the resolutions, print modes, colour modes, option values and plane depths the driver reports
// for the model. Each refusal names the allowed values and leaves no job behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_fixture.h"
#include "host/job_ticket.h"

namespace tarnwick::test {
namespace {

constexpr const char* kModelList = "Generic RTL\nASBRU_V3C\nCP52\nCP52-LM\nColdstream SP-1400C\n";

class PrinterCheckTest : public ToolTest {
  protected:
    void SetUp() override {
        ToolTest::SetUp();
        WritePbm(File("k.pbm"), 16, 2, [](int x, int) { return x % 2 == 0; });
    }
    std::string Page() const { return "Black=" + File("k.pbm"); }
    // The model the ticket names after make-job with the given model argument.
    std::string TicketModel(const std::string& model) {
        const ToolResult result =
            Run({"make-job", "-o", File("job.tkt"), "--model", model, "--color-mode", "0", Page()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        JobTicket ticket;
        std::string error;
        EXPECT_TRUE(ReadJobTicket(File("job.tkt"), ticket, error)) << error;
        return ticket.printerModel;
    }
};

TEST_F(PrinterCheckTest, ModelsAreListedAndMatchedWithoutRegardToCase) {
    for (const auto& args : {std::vector<std::string>{"info"}, {"info", "--list"}}) {
        const ToolResult list = Run(args);
        EXPECT_EQ(list.exitCode, 0) << list.err;
        EXPECT_EQ(list.out, kModelList);
    }
    EXPECT_EQ(TicketModel("cp52"), "CP52");
    EXPECT_EQ(TicketModel("coldstream sp-1400c"), "Coldstream SP-1400C");
    EXPECT_EQ(TicketModel("GENERIC RTL"), "Generic RTL");
    const ToolResult info = Run({"info", "--model", "cp52-lm"});
    EXPECT_NE(info.out.find("Model: CP52-LM\n"), std::string::npos) << info.out;
}

TEST_F(PrinterCheckTest, ValuesThePrinterDoesNotTakeAreRefusedWithTheAllowedOnes) {
    ASSERT_EQ(Run({"make-job", "-o", File("cp52.tkt"), "--color-mode", "0", Page()}).exitCode, 0);
    ASSERT_EQ(
        Run({"make-job", "-o", File("lm.tkt"), "--model", "CP52-LM", "--color-mode", "0", Page()})
            .exitCode,
        0);
    const std::string job = File("job.tkt");
    const std::vector<std::string> makeJob = {"make-job", "-o", job};
    auto with = [&](std::vector<std::string> args, bool page = true) {
        args.insert(args.begin(), makeJob.begin(), makeJob.end());
        if (page) args.push_back(Page());
        return args;
    };
    const struct {
        std::vector<std::string> args;
        std::string what;
    } cases[] = {
        {with({"--model", "CP-52"}),
         "--model 'CP-52' is no printer model of the driver; known models: Generic RTL, "
         "ASBRU_V3C, CP52, CP52-LM, Coldstream SP-1400C"},
        {with({"--model", "cp52x"}), "known models:"},
        {{"info", "--model", "cp 52"}, "known models:"},
        {{"params", "--model", "Plotter", "--manufacturer", "Tarnwick Imaging"}, "known models:"},
        {with({"--dpi", "361"}),
         "--dpi 361: the CP52 prints at 180, 360, 540, 720 dpi, or at 180 dpi divided by a whole "
         "number"},
        {with({"--dpi", "360x720"}), "--dpi 360x720: the CP52 prints at"},
        {with({"--dpi", "100"}), "--dpi 100: the CP52 prints at"},
        {with({"--model", "CP52-LM", "--dpi", "180"}), "the CP52-LM prints at 360, 720 dpi"},
        {with({"--color-mode", "9"}),
         "--color-mode '9': the CP52 offers 0 CMYK, 1 Grayscale, 2 CMYKLcLm, 3 CMYKOrGr"},
        {with({"--color-mode", "Sepia"}), "offers 0 CMYK"},
        {with({"--option", "DriverOption3=200"}), "takes 0 "},
        {with({"--model", "Coldstream SP-1400C", "--option", "DriverOption6=0"}),
         "has the options DriverOption0"},
        {{"print", File("cp52.tkt"), "-o", File("o.prn"), "--print-mode", "7"},
         "--print-mode 7: the CP52 offers 0 NORMAL, 1 SUPER, 2 DRAFT, 3 FAST, 4 FINE2, 5 FINE, "
         "6 PHOTO"},
        {{"print", File("cp52.tkt"), "-o", File("o.prn"), "--print-mode", "-1"}, "offers 0 NORMAL"},
        {{"print", File("cp52.tkt"), "-o", File("o.prn"), "--print-mode", "99"}, "offers 0 NORMAL"},
        {{"print", File("lm.tkt"), "-o", File("o.prn"), "--print-mode", "2"},
         "the CP52-LM offers 0 NORMAL, 1 SUPER"},
        {{"print", File("cp52.tkt"), "-o", File("o.prn"), "--job-id", "-3"}, "--job-id"},
        {{"params", "--model", "CP52", "--manufacturer", "Tarnwick Imaging", "--print-mode", "7"},
         "offers 0 NORMAL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[c.args.size() / 2]);
        const ToolResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        const std::vector<std::string> errors = LinesStartingWith(result.err, "ERROR: ");
        ASSERT_EQ(errors.size(), 1u) << result.err;
        EXPECT_NE(errors[0].find(c.what), std::string::npos) << errors[0];
        EXPECT_FALSE(std::filesystem::exists(job));
        EXPECT_FALSE(std::filesystem::exists(File("o.prn")));
    }
}

// The shipped colour modes take 1-bit planes: deeper PGM planes would reach the printer as the
// first half or eighth of each row.
TEST_F(PrinterCheckTest, PlaneDepthsTheColourModeDoesNotTakeAreRefused) {
    for (const int maxval : {3, 15, 255}) {
        SCOPED_TRACE(maxval);
        WritePgm(File("k.pgm"), 16, 2, maxval, [](int x, int) { return x % 2; });
        const ToolResult result =
            Run({"make-job", "-o", File("job.tkt"), "--color-mode", "0", "Black=" + File("k.pgm")});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        const int bits = maxval == 3 ? 2 : maxval == 15 ? 4 : 8;
        EXPECT_NE(result.err.find("ERROR: colorant Black has " + std::to_string(bits) +
                                  "-bit pixels, but colour mode CMYK takes 1-bit planes: give a "
                                  "PBM (P4)"),
                  std::string::npos)
            << result.err;
        EXPECT_FALSE(std::filesystem::exists(File("job.tkt")));
    }
}

}  // namespace
}  // namespace tarnwick::test
