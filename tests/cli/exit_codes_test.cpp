// The tool's exit codes and error lines: 2 for bad usage, 1 for bad input or a failed job,
// always with one clear "ERROR:" line and never a crash.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_fixture.h"

namespace tarnwick::test {
namespace {

class ExitCodeTest : public ToolTest {
  protected:
    // The run failed with `code` and said why in exactly one ERROR line that mentions `what`.
    void ExpectOneError(const ToolResult& result, int code, const std::string& what) {
        EXPECT_EQ(result.signal, 0) << "the tool crashed";
        EXPECT_EQ(result.exitCode, code) << result.err;
        const std::vector<std::string> errors = LinesStartingWith(result.err, "ERROR: ");
        ASSERT_EQ(errors.size(), 1u) << result.err;
        EXPECT_NE(errors[0].find(what), std::string::npos) << errors[0];
    }
};

TEST_F(ExitCodeTest, BadUsageGivesTwo) {
    WritePbm(File("k.pbm"), 8, 1, [](int, int) { return true; });
    const std::string page = "Black=" + File("k.pbm");
    const std::string job = File("job.tkt");
    ExpectOneError(Run({}), 2, "no command");
    ExpectOneError(Run({"frobnicate"}), 2, "unknown command 'frobnicate'");
    ExpectOneError(Run({"print"}), 2, "missing JOB.tkt");
    ExpectOneError(Run({"print", job, "--no-such-option"}), 2, "unknown option --no-such-option");
    ExpectOneError(Run({"print", job, "-o"}), 2, "needs a value");
    ExpectOneError(Run({"print", job, "--print-mode", "two"}), 2, "--print-mode");
    ExpectOneError(Run({"make-job", page}), 2, "missing -o");
    ExpectOneError(Run({"make-job", "-o", job}), 2, "PAGE");
    ExpectOneError(Run({"make-job", "-o", job, "--dpi", "0", page}), 2, "--dpi");
    ExpectOneError(Run({"make-job", "-o", job, "--dpi", "300x", page}), 2, "--dpi");
    ExpectOneError(Run({"make-job", "-o", job, "--option", "Overprint=2", page}), 2,
                   "DriverOptionI=V");
    ExpectOneError(Run({"make-job", "-o", job, "--settings", "18zz", page}), 2, "hex digit");
    ExpectOneError(Run({"make-job", "-o", job, "--color-mode", "Sepia", page}), 2, "Sepia");
    ExpectOneError(Run({"make-job", "-o", job, "Black=" + File("k.pbm") + ",=x.pbm"}), 2,
                   "not NAME=FILE");
    ExpectOneError(Run({"inspect", job, "--depth", "3"}), 2, "--depth");
    ExpectOneError(Run({"params", "--model", "CP52"}), 2, "--manufacturer");
    ExpectOneError(Run({"info", "--list", "--model", "CP52"}), 2, "exclude each other");
    ExpectOneError(Run({"encipher", job}), 2, "IN and OUT");
    EXPECT_FALSE(std::filesystem::exists(job)) << "no usage error may leave a job behind";
}

TEST_F(ExitCodeTest, BadImagesAreRefusedWithOneLineAndNoJob) {
    WriteText(File("bad-header.pbm"), "P7\n8 8\n");
    WriteText(File("no-size.pbm"), "P4\n# only a comment\n");
    WriteText(File("absurd.pbm"), "P4\n2000000 1\n");
    WriteText(File("huge-area.pgm"), "P5\n1000000 1000000 255\n");
    WriteText(File("bad-maxval.pgm"), "P5\n2 2 7\n\x01\x02\x03\x04");
    WriteText(File("short.pbm"), "P4\n16 16\n\xff\xff");
    WriteText(File("text.png"), "not an image at all");
    WriteText(File("bad.jpg"), "\xFF\xD8\xFF\xE0 this is no JPEG");
    // A PNG header announcing 2,000,000 x 1 pixels (its checksum is wrong, too).
    WriteText(File("wide.png"),
              std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\x1E\x84\x80\0\0\0\x01"
                          "\x08\x02\0\0\0\0\0\0\0",
                          33));
    WritePbm(File("a.pbm"), 16, 4, [](int, int) { return true; });
    WritePbm(File("b.pbm"), 17, 4, [](int, int) { return true; });
    WritePpm(File("rgb.ppm"), 4, 4, [](int, int) { return 0u; });

    const struct {
        std::string page;
        std::string what;
    } cases[] = {
        {"Black=" + File("bad-header.pbm"), "bad PNM header"},
        {"Black=" + File("no-size.pbm"), "bad PNM header"},
        {"Black=" + File("absurd.pbm"), "too large"},
        {"Black=" + File("huge-area.pgm"), "too large"},
        {"Black=" + File("bad-maxval.pgm"), "maxval 7"},
        {"Black=" + File("short.pbm"), "truncated"},
        {"Black=" + File("missing.pbm"), "missing.pbm"},
        {"Cyan=" + File("a.pbm") + ",Black=" + File("b.pbm"), "all planes of a page must match"},
        {"Black=" + File("rgb.ppm"), "PBM (P4) or PGM (P5)"},
        {File("text.png"), "not a PNG, TIFF, JPEG or binary PNM image"},
        {File("absurd.pbm"), "too large"},
        {File("bad.jpg"), "bad.jpg: damaged JPEG file"},
        {File("wide.png"), "image size 2000000 x 1 is too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        ExpectOneError(Run({"make-job", "-o", File("job.tkt"), c.page}), 1, c.what);
        EXPECT_FALSE(std::filesystem::exists(File("job.tkt")));
        EXPECT_FALSE(std::filesystem::exists(File("0_job.twj")));
    }
}

TEST_F(ExitCodeTest, FailedJobsGiveOne) {
    WritePbm(File("k.pbm"), 64, 8, [](int x, int y) { return (x + y) % 3 == 0; });
    ASSERT_EQ(Run({"make-job", "-o", File("job.tkt"), "Black=" + File("k.pbm")}).exitCode, 0);

    // A ticket that is too short to be one.
    WriteText(File("short.tkt"), "ticket");
    ExpectOneError(Run({"print", File("short.tkt"), "-o", File("out.prn")}), 1,
                   "is not a job ticket");

    // A ticket without its data file.
    std::filesystem::copy_file(File("job.tkt"), File("lonely.tkt"));
    ExpectOneError(Run({"print", File("lonely.tkt"), "-o", File("out.prn")}), 1,
                   "no job data file");

    // An output that refuses the data: every write is checked.
    const ToolResult full = Run({"print", File("job.tkt"), "-o", "/dev/full"});
    EXPECT_EQ(full.exitCode, 1) << full.err;
    EXPECT_NE(full.err.find("cannot write /dev/full"), std::string::npos) << full.err;
    // The module's own terms stay in the log unless asked for.
    EXPECT_EQ(full.err.find("WriteNdata"), std::string::npos) << full.err;
    const ToolResult verbose = Run({"print", File("job.tkt"), "-o", "/dev/full", "-v"});
    EXPECT_NE(verbose.err.find("ERROR: ABaseRTL::WriteNdata"), std::string::npos) << verbose.err;

    // A damaged data file: the driver refuses it and its log line comes through as an error.
    std::vector<uint8_t> data = ReadBytes(File("0_job.twj"));
    ASSERT_GT(data.size(), 100u);
    data.resize(data.size() - 40);
    WriteBytes(File("0_job.twj"), data);
    const ToolResult damaged = Run({"print", File("job.tkt"), "-o", File("out.prn")});
    EXPECT_EQ(damaged.exitCode, 1) << damaged.err;
    EXPECT_EQ(damaged.signal, 0);
    const std::vector<std::string> errors = LinesStartingWith(damaged.err, "ERROR: ");
    ASSERT_GE(errors.size(), 2u) << damaged.err;
    EXPECT_NE(damaged.err.find("ERROR: job data file truncated"), std::string::npos)
        << "the module's own reason, passed on: " << damaged.err;
    EXPECT_NE(errors.back().find("could not open the job"), std::string::npos) << damaged.err;
}

TEST_F(ExitCodeTest, HelpAndVersionSucceed) {
    const ToolResult version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tarnwick ", 0), 0u) << version.out;
    for (const char* command : {"demo", "make-job", "print", "inspect", "info", "params",
                                "encipher", "decipher", "options"}) {
        const ToolResult help = Run({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_NE(help.out.find(std::string("Usage: tarnwick ") + command), std::string::npos)
            << command << ": " << help.out;
    }
    const ToolResult overview = Run({"--help"});
    EXPECT_EQ(overview.exitCode, 0);
    EXPECT_NE(overview.out.find("make-job"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::test
