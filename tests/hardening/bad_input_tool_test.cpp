// The catalogue rows of docs/bad-inputs.md that go through the tarnwick tool: whatever the bad
// input, the tool ends by itself with a clear message, and every file that was there before is
// as it was, with no temporary file left beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/cli_fixture.h"
#include "tarnwick/records.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// A watchdog for tools that would hang on the fault: far longer than a refusal takes.
constexpr int kWatchdogMillis = 10'000;
// The long inspections are silent for a few seconds, more under the sanitizer.
constexpr int kSilentWorkMillis = 90'000;

// Type, permissions and content of a file, to tell that it was left alone.
struct FileState {
    bool exists = false;
    mode_t mode = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
    FileState state;
    struct stat st {};
    state.exists = ::lstat(path.c_str(), &st) == 0;
    state.mode = st.st_mode;
    if (state.exists && S_ISREG(st.st_mode)) state.bytes = ReadBytes(path);
    return state;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

const TestPage kPage{16, 4, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};

class BadToolInput : public ToolTest {
  protected:
    // A printable job, job.tkt and 0_job.twj, and yesterday's stream in out.prn.
    void MakeJob(const std::vector<TestPage>& pages = {kPage}) {
        std::string error;
        ASSERT_TRUE(WriteJobTicket(File("job.tkt"), DefaultTicket("CP52", 180), error)) << error;
        WriteJobData(File("0_job.twj"), pages);
        WriteBytes(File("out.prn"), Bytes("yesterday's stream"));
    }

    // Runs the tool under a watchdog and checks that it ended by itself, as expected, and that
    // the watched files are as they were.
    void ExpectRefused(const std::vector<std::string>& args, int exitCode,
                       const std::string& message, const std::vector<std::string>& watched,
                       ToolLimits limits = {}) {
        std::vector<FileState> before;
        for (const std::string& path : watched) before.push_back(StateOf(path));
        limits.stallMillis = kWatchdogMillis;
        const ToolResult result = RunTool(args, Env(), limits);
        EXPECT_FALSE(result.hung) << "the tool hung";
        EXPECT_EQ(result.signal, 0) << result.err;
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        for (std::size_t i = 0; i < watched.size(); ++i) {
            EXPECT_TRUE(StateOf(watched[i]) == before[i]) << watched[i] << " was changed";
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>()) << "temporary files were left";
    }
};

TEST_F(BadToolInput, FailedMakeJobLeavesEveryFileAsItWas) {
    WritePbm(File("k.pbm"), 8, 2, [](int x, int) { return x < 4; });
    const std::string good = "Black=" + File("k.pbm");
    const std::string bad = "Black=" + File("none.pbm");
    const auto readOnly = [&] {
        fs::permissions(File("job.tkt"), fs::perms::owner_read);
        fs::permissions(File("0_job.twj"), fs::perms::owner_read);
    };
    struct Case {
        std::function<void()> setup;  // over an existing job
        std::string ticket;
        std::string page;
        std::string message;
    };
    const Case cases[] = {
        {[] {}, File("job.tkt"), bad, "none.pbm"},
        {readOnly, File("job.tkt"), bad, ::geteuid() == 0 ? "none.pbm" : "job.tkt is read-only"},
        {[] {}, "/dev/null", good, "/dev/null exists and is not a regular file"},
        {[&] { fs::remove(File("job.tkt")), ::mkfifo(File("job.tkt").c_str(), 0600); },
         File("job.tkt"), good, "job.tkt exists and is not a regular file"},
        {[&] { fs::remove(File("0_job.twj")), fs::create_directory(File("0_job.twj")); },
         File("job.tkt"), good, "0_job.twj exists and is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        for (const char* name : {"job.tkt", "0_job.twj"}) fs::remove(File(name));
        MakeJob();
        c.setup();
        ExpectRefused({"make-job", "-o", c.ticket, c.page}, 1, c.message,
                      {c.ticket, File("job.tkt"), File("0_job.twj"), "/dev/0_null.twj"});
    }
    // Should the refusal ever be lost, no data file may stay among the devices.
    if (fs::is_regular_file("/dev/0_null.twj")) fs::remove("/dev/0_null.twj");
}

TEST_F(BadToolInput, RefusedOrFailedPrintLeavesItsOutputAsItWas) {
    TestPage seventeen{8, 2, 0, 0, {}};
    for (int i = 0; i < 17; ++i) seventeen.colorants.push_back({"Ink" + std::to_string(i)});
    const auto noData = [&] { fs::rename(File("0_job.twj"), File("data.away")); };
    struct Case {
        std::function<void()> setup;  // over a printable job
        std::string output;
        std::string message;
    };
    const Case cases[] = {
        {noData, File("out.prn"), "no job data file"},
        {[&] {
             WriteJobData(File("0_job.twj"), {kPage, seventeen});
         },
         File("out.prn"), "failed on page 2; " + File("out.prn") + " is unchanged"},
        {[] {}, File("job.tkt"), "is the job's own file"},
        {[] {}, File("0_job.twj"), "is the job's own file"},
        {[&] { fs::create_symlink(File("job.tkt"), File("link.prn")); }, File("link.prn"),
         "is the job's own file " + File("job.tkt")},
        {noData, File("0_job.twj"), "is the job's own file"},  // not written yet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output + ": " + c.message);
        for (const char* name : {"link.prn", "data.away"}) fs::remove(File(name));
        MakeJob();
        c.setup();
        ExpectRefused({"print", File("job.tkt"), "-o", c.output}, 1, c.message,
                      {File("out.prn"), File("job.tkt"), File("0_job.twj")});
    }
}

TEST_F(BadToolInput, ValuesOutOfRangeAreRefusedNamingTheField) {
    WritePbm(File("k.pbm"), 8, 2, [](int x, int) { return x < 4; });
    const std::string page = "Black=" + File("k.pbm");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"--option", "DriverOption3=200"}, 2, "Page Spacing takes 0 to 10"},
        {{"--option", "DriverOption1=3"}, 2, "Overprint takes 0 to 2"},
        {{"--settings", "18 00 00 00 C8"},
         2,
         "Overprint (settings byte 4) is 200, out of its range 0 to 2"},
        {{"--calibration", "feed~1.996"},
         2,
         "the value 1.996 would be sent as 2.00, outside the calibration range -1.99 to 1.99"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = {"make-job", "-o", File("new.tkt"), page};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ExpectRefused(args, c.exitCode, c.message, {File("new.tkt"), File("0_new.twj")});
    }
    // A ticket whose settings byte is out of range is refused before the output is touched.
    MakeJob();
    std::vector<uint8_t> ticket = ReadBytes(File("job.tkt"));
    ticket.at(job_header::kSettings + 13) = 128;
    WriteBytes(File("job.tkt"), ticket);
    ExpectRefused({"print", File("job.tkt"), "-o", File("out.prn")}, 1,
                  "Color Bar (settings byte 13) is 128, out of its range 0 to 2",
                  {File("out.prn")});
}

TEST_F(BadToolInput, FifosAreRefusedAtOnce) {
    MakeJob();
    const auto fifo = [&](const std::string& name) {
        EXPECT_EQ(::mkfifo(File(name).c_str(), 0600), 0) << name;
        return File(name);
    };
    std::string error;
    ASSERT_TRUE(WriteJobTicket(File("piped.tkt"), DefaultTicket("CP52"), error)) << error;
    fifo("0_piped.twj");
    // A configuration root whose parameter files are FIFOs.
    const std::string root = File("root");
    fs::copy(std::string(TARNWICK_SOURCE_DATADIR), root, fs::copy_options::recursive);
    for (const char* name : {"Ditherparams.xml", "ScreeningParams.xml"}) {
        fs::remove(root + "/OutputDrivers/" + name);
        fifo("root/OutputDrivers/" + std::string(name));
    }
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{"print", "--follow", File("piped.tkt"), "-o", File("out.prn")},
         1,
         "the job data file " + File("0_piped.twj") + " is not a regular file"},
        {{"print", File("piped.tkt"), "-o", File("out.prn")}, 1, "is not a regular file"},
        {{"print", fifo("fifo.tkt"), "-o", File("out.prn")}, 1, "is not a job ticket"},
        {{"print", File("job.tkt"), "--job-options", fifo("options.xml")},
         1,
         "options.xml: not a regular file"},
        {{"make-job", "-o", File("new.tkt"), fifo("image.png")},
         1,
         "image.png: not a regular file"},
        {{"make-job", "-o", File("new.tkt"), "Black=" + fifo("plane.pbm")},
         1,
         "plane.pbm: not a regular file"},
        {{"inspect", fifo("stream.prn")}, 1, "stream.prn is not a regular file"},
        // The dither query falls back (result 0), the screens to the eight defaults.
        {{"--config-root", root, "params", "--model", "CP52", "--manufacturer", "Fellgate"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        ExpectRefused(c.args, c.exitCode, c.message, {File("out.prn"), File("new.tkt")});
    }
}

// A PNG's height, from its header.
uint32_t PngHeight(const std::vector<uint8_t>& png) {
    if (png.size() < 24 || std::memcmp(png.data() + 1, "PNG", 3) != 0) return 0;
    return uint32_t{png[20]} << 24 | uint32_t{png[21]} << 16 | uint32_t{png[22]} << 8 | png[23];
}

void WriteStream(const std::string& path, const std::string& head, const std::string& repeated,
                 int times, const std::string& tail) {
    std::string stream = head;
    for (int i = 0; i < times; ++i) stream += repeated;
    WriteBytes(path, Bytes(stream + tail));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressLimitWorks = false;  // the sanitizer reserves terabytes of address space
#else
constexpr bool kAddressLimitWorks = true;
#endif

constexpr uint64_t kMiB = 1 << 20;

// 942,000 empty pages once made the preview's fitting loop run forever (the gaps alone were
// over its budget), and a page of more rows than libpng writes left an empty PNG.
TEST_F(BadToolInput, PreviewEndsWithinItsBudgetOrLeavesNoFile) {
    WriteStream(File("empty.prn"), "", "\x1b*rA\x1b*rC", 942'000, "");
    WriteStream(File("tall.prn"), "\x1b*r8S\x1b*r1100000T\x1b*b2M\x1b*r1A", "\x1b*b0W", 1'100'000,
                "\x1b*rC");
    WriteStream(File("none.prn"), "@PJL SET RESOLUTION=360\n", "", 0, "");
    struct Case {
        std::string stream;
        int exitCode;
        std::string message;
        uint32_t height;  // of the preview; 0: none is written, an old one stays
    };
    const Case cases[] = {
        {"empty.prn", 1, "the preview " + File("p.png") + " shows the first 1000 of 942000 pages",
         1000 + 999 * 16},
        {"tall.prn", 0, "", 550'000},
        {"none.prn", 1, "no preview: the stream holds no raster page", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stream);
        WriteBytes(File("p.png"), Bytes("yesterday's preview"));
        const ToolResult result = RunTool(
            {"inspect", File(c.stream), "--preview", File("p.png")}, Env(),
            {.addressSpace = kAddressLimitWorks ? 96 * kMiB : 0, .stallMillis = kSilentWorkMillis});
        EXPECT_FALSE(result.hung);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        const std::vector<uint8_t> png = ReadBytes(File("p.png"));
        if (c.height == 0) {
            EXPECT_EQ(png, Bytes("yesterday's preview"));
        } else {
            EXPECT_EQ(PngHeight(png), c.height);
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>());
    }
}

// A TIFF of the largest size an image may have (100 million pixels), deflated to a few hundred
// kilobytes, once took 690 MB; an inspection kept 550 bytes per page.
TEST_F(BadToolInput, HostileInputStaysUnderItsAddressLimit) {
    if (!kAddressLimitWorks) GTEST_SKIP() << "no address space limit under the sanitizer";
    constexpr uint32_t kSide = 10'000;
    TIFF* tiff = TIFFOpen(File("big.tif").c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kSide);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kSide);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 1);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
    std::vector<uint8_t> row(kSide * 3, 0xC0);
    for (uint32_t y = 0; y < kSide; ++y) ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
    TIFFClose(tiff);
    WriteStream(File("empty.prn"), "", "\x1b*rA\x1b*rC", 1'000'000, "");

    struct Case {
        std::vector<std::string> args;
        uint64_t limit;
        std::string message;
    };
    const Case cases[] = {
        // 300 MB of RGB and the bands; the job data file may not grow past 1 MiB, so the
        // tool stops at its first rows, once the image has been read.
        {{"make-job", "-o", File("job.tkt"), File("big.tif")}, 440 * kMiB, "File too large"},
        {{"inspect", File("empty.prn")}, 64 * kMiB, "no source width"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ToolResult result =
            RunTool(c.args, Env(),
                    {.addressSpace = c.limit, .fileSize = kMiB, .stallMillis = kSilentWorkMillis});
        EXPECT_EQ(result.signal, 0) << result.err;
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE((result.out + result.err).find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("bad_alloc"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace tarnwick::test
