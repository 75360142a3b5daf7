// One test per row of docs/bad-inputs.md: each bad input gets the refusal the table promises (the
// log line, the result, m_nDone), never a crash or a hang, and nothing already sent is lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "hardening/hardening_support.h"
#include "host/job/job_format.h"
#include "platform/clock.h"
#include "rtl/rtl.h"
#include "support/fake_clock.h"
#include "support/log_capture.h"
#include "support/message_script.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using test::TestPage;

const TestPage kGoodPage{16, 3, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
}

// Where the second page starts in a file whose first page is kGoodPage: the file header, then
// the page header with four colorant entries, then three rows of four 2-byte inks.
constexpr std::size_t kSecondPage = 64 + 32 + 4 * 68 + 3 * 8;

int RowBytesOf(const TestPage& page) {
    int bytes = 0;
    for (int c = 0; c < static_cast<int>(page.colorants.size()); ++c) {
        bytes += test::RowBytes(page, c);
    }
    return bytes;
}

JobTicket NamedTicket(int16_t dpi = 180) {
    JobTicket ticket = test::DefaultTicket("CP52", dpi, 0);
    ticket.settings[13] = 0;  // no colour bar
    return ticket;
}

class Catalogue : public ::testing::Test {
  protected:
    // Opens the job and steps it until it ends or a step fails; returns the failing step's
    // result (0) or 1 when the job ran to its end.
    int Print(HostJobRecord& job) {
        if (driver.OpenJob(&job, &out) == 0) return -1;
        for (int step = 0; step < 1000 && job.m_nDone != -1; ++step) {
            if (driver.PrintStep(nullptr, nullptr, nullptr) == 0) return 0;
        }
        return 1;
    }

    // The stream of a job of only the good page: what must survive a bad second page.
    std::vector<uint8_t> GoodStream(int16_t dpi = 180) {
        test::TempDir other;
        auto job = test::MakeJob(other, NamedTicket(dpi), {kGoodPage});
        test::MemoryChannel good;
        CDriver d;
        EXPECT_GT(test::RunJob(d, *job, good), 0);
        return good.bytes;
    }

    // A job whose second page is `bad`, refused when its turn comes: the first page is kept
    // whole, the failed step says why, and the abort ends the stream.
    void ExpectSecondPageRefused(const TestPage& bad, const std::vector<std::string>& lines,
                                 int16_t dpi = 180) {
        SCOPED_TRACE(lines.front());
        const std::vector<uint8_t> good = GoodStream(dpi);
        test::TempDir jobDir;
        auto job = test::MakeJob(jobDir, NamedTicket(dpi), {kGoodPage, bad});
        test::MemoryChannel channel;
        CDriver d;
        ScopedLogCapture log;
        ASSERT_EQ(d.OpenJob(job.get(), &channel), 1);
        int result = 1;
        for (int step = 0; step < 10 && result == 1; ++step) {
            result = d.PrintStep(nullptr, nullptr, nullptr);
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(hardening::LogTexts(log.entries()), lines);
        EXPECT_EQ(channel.bytes, good);
        EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_TRUE(hardening::EndsWith(channel.bytes, hardening::kNamedAbortEnd));
        EXPECT_TRUE(fuzz::JobLocksFree(0));
    }

    FakeClock clock;
    ScopedClock useClock{&clock};
    hardening::PrivateLocks locks;
    ScopedMessageScript messages;
    test::TempDir dir;
    test::MemoryChannel out;
    CDriver driver;
};

// ---- The job ticket ----

class TicketCatalogue : public Catalogue {
  protected:
    // Writes a ticket of `size` bytes (a good ticket's first bytes) next to a good data file.
    std::unique_ptr<HostJobRecord> JobWithTicketOf(std::size_t size) {
        auto job = test::MakeJob(dir, NamedTicket(), {kGoodPage});
        const std::vector<uint8_t> full = ReadAll(job->path);
        EXPECT_EQ(full.size(), kJobHeaderSize);
        std::vector<uint8_t> bytes = full;
        bytes.resize(size, 0);
        WriteAll(job->path, bytes, size);
        return job;
    }

    void ExpectShortTicketRefused(std::size_t size) {
        auto job = JobWithTicketOf(size);
        ScopedLogCapture log;
        EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_EQ(hardening::LogTexts(log.entries()),
                  std::vector<std::string>{"job ticket " + std::string(job->path) +
                                           " is shorter than 3940 bytes"});
        EXPECT_TRUE(out.bytes.empty());
        EXPECT_EQ(std::filesystem::file_size(job->path), size);  // the ticket is left as it was
        EXPECT_TRUE(fuzz::JobLocksFree(0));
    }
};

TEST_F(TicketCatalogue, EmptyTicketIsRefusedAtOpen) {
    ExpectShortTicketRefused(0);
}

TEST_F(TicketCatalogue, TicketOneByteShortIsRefusedAtOpen) {
    ExpectShortTicketRefused(kJobHeaderSize - 1);
}

TEST_F(TicketCatalogue, TicketOfExactlyItsHeaderSizePrints) {
    auto job = JobWithTicketOf(kJobHeaderSize);
    EXPECT_EQ(Print(*job), 1);
    EXPECT_EQ(job->m_nDone, -1);
    EXPECT_EQ(out.bytes, GoodStream());
}

TEST_F(TicketCatalogue, TicketThatCannotBeOpenedIsRefused) {
    auto job = test::MakeHostRecord(dir.file("missing/job.tkt"));
    ScopedLogCapture log;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    EXPECT_EQ(job->m_nDone, -1);
    EXPECT_EQ(
        hardening::LogTexts(log.entries()),
        std::vector<std::string>{"cannot open the job ticket " + dir.file("missing/job.tkt")});
}

TEST_F(TicketCatalogue, SettingsByteOutOfItsRangeRefusesTheJobAtOpen) {
    JobTicket ticket = NamedTicket();
    reinterpret_cast<PrinterSettings*>(ticket.settings.data())->pageSpacing = 200;
    auto job = test::MakeJob(dir, ticket, {kGoodPage});
    ScopedLogCapture log;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    EXPECT_EQ(job->m_nDone, -1);
    const auto texts = hardening::LogTexts(log.entries());
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.front().find("Page Spacing (settings byte 3) is 200"), std::string::npos)
        << texts.front();
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_TRUE(fuzz::JobLocksFree(0));
}

TEST_F(TicketCatalogue, TicketFullOfFFBytesRefusesItsFirstPage) {
    auto job = JobWithTicketOf(kJobHeaderSize);
    WriteAll(job->path, std::vector<uint8_t>(kJobHeaderSize, 0xFF), kJobHeaderSize);
    ScopedLogCapture log;
    EXPECT_EQ(Print(*job), 0);
    EXPECT_EQ(hardening::LogTexts(log.entries()),
              (std::vector<std::string>{"the job resolution must be above 0 dpi", "Exception"}));
    EXPECT_TRUE(out.bytes.empty());
    EXPECT_EQ(driver.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(job->m_nDone, -1);
    // The model name of 0xFF bytes names no known model: a generic printer's page end.
    EXPECT_EQ(out.str(),
              "\x1b*rC\x1b%-12345X@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
              "E");
    EXPECT_TRUE(fuzz::JobLocksFree(0));
}

// ---- The job data file ----

// Two pages of 16 x 3 pixels, four 1-bit inks: 2 bytes per ink and row, 8 per row.
constexpr std::size_t kPage0 = 64, kTable0 = kPage0 + 32, kRows0 = kTable0 + 4 * 68,
                      kPage1 = kSecondPage, kTable1 = kPage1 + 32, kRows1 = kTable1 + 4 * 68,
                      kFileSize = kRows1 + 3 * 8;

class DataFileCatalogue : public Catalogue {
  protected:
    void SetUp() override {
        job = test::MakeJob(dir, NamedTicket(), {kGoodPage, kGoodPage});
        dataFile = fuzz::DataFileFor(job->path);
        good = ReadAll(dataFile);
        ASSERT_EQ(good.size(), kFileSize);
    }

    // Opens the job on the bytes; the refusal's log line, or "" when it opened.
    std::string OpenRefusal(const std::vector<uint8_t>& bytes, std::size_t size) {
        WriteAll(dataFile, bytes, size);
        job->m_nDone = 0;
        CDriver d;
        test::MemoryChannel channel;
        ScopedLogCapture log;
        if (d.OpenJob(job.get(), &channel) != 0) return "";
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_TRUE(channel.bytes.empty());
        EXPECT_TRUE(fuzz::JobLocksFree(0));
        EXPECT_EQ(log.entries().size(), 1u);
        return log.entries().empty() ? "(no log line)" : log.entries().back().text;
    }

    std::unique_ptr<HostJobRecord> job;
    std::string dataFile;
    std::vector<uint8_t> good;
};

TEST_F(DataFileCatalogue, MissingDataFileIsRefusedAtOpen) {
    std::filesystem::remove(dataFile);
    ScopedLogCapture log;
    EXPECT_EQ(driver.OpenJob(job.get(), &out), 0);
    EXPECT_EQ(job->m_nDone, -1);
    EXPECT_EQ(hardening::LogTexts(log.entries()),
              std::vector<std::string>{"no job data file for " + std::string(job->path)});
}

TEST_F(DataFileCatalogue, CutAtEveryStructuralBoundaryIsRefusedAtOpen) {
    const std::pair<std::size_t, const char*> cuts[] = {
        {0, "truncated in its header (0 of 64 bytes)"},
        {kPage0 - 1, "truncated in its header"},
        {kPage0, "page count 2 exceeds what a file of 64 bytes can hold"},
        {kTable0 + 68 + 10, "truncated in page 0 colorant table"},
        {kTable0 + 3 * 68 + 67, "truncated in page 0 colorant table"},
        {kRows0 + 1, "truncated in page 0 rows"},
        {kRows0 + 8 + 1, "truncated in page 0 rows"},
        {kRows0 + 16 + 1, "truncated in page 0 rows"},
        {kPage1 + 10, "truncated in page 1 header"},
        {kTable1 + 2 * 68 + 4, "truncated in page 1 colorant table"},
        {kRows1 + 1, "truncated in page 1 rows"},
        {kRows1 + 8 + 1, "truncated in page 1 rows"},
        {kFileSize - 1, "truncated in page 1 rows"},
    };
    for (const auto& [size, message] : cuts) {
        const std::string refusal = OpenRefusal(good, size);
        EXPECT_NE(refusal.find(message), std::string::npos) << size << ": " << refusal;
        EXPECT_EQ(refusal.rfind("job data file", 0), 0u) << refusal;
    }
    EXPECT_EQ(OpenRefusal(good, kFileSize), "");
}

TEST_F(DataFileCatalogue, CutAtRandomOffsetsIsRefusedAtOpen) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> offset(0, kFileSize - 1);
    for (int i = 0; i < 200; ++i) {
        const std::size_t size = offset(random);
        EXPECT_EQ(OpenRefusal(good, size).rfind("job data file", 0), 0u) << "size " << size;
    }
}

TEST_F(DataFileCatalogue, AbsurdSizesCountsAndOffsetsAreRefusedAtOpen) {
    const struct {
        std::size_t at;
        int32_t value;
        const char* message;
    } patches[] = {
        {kPage1 + job_format::kPageWidthAt, 1'000'001, "page 1 width 1000001 is out of range"},
        {kPage1 + job_format::kPageWidthAt, -1, "page 1 width -1 is out of range"},
        {kPage1 + job_format::kPageHeightAt, 10'000'001, "page 1 height 10000001 is out of range"},
        {kPage1 + job_format::kPageHeightAt, 1'000'000, "truncated in page 1 rows"},
        {kPage1 + job_format::kPageOffsetXAt, 1'000'001, "page 1 offset x 1000001 is out of range"},
        {kPage1 + job_format::kPageOffsetYAt, -7, "page 1 offset y -7 is out of range"},
        {kPage1 + job_format::kPageColorantCountAt, 65, "page 1 colorant count 65 is out of range"},
        {kPage1 + job_format::kPageRowBytesAt, 0x7FFFFFFF, "page 1 row size 2147483647 does not"},
        {kTable1, 32, "page 1 colorant 0 has 32 bits per pixel"},
        {job_format::kCountsAt + 12, 1'000'001, "page count 1000001 is out of range"},
        {job_format::kCountsAt + 12, 100'000, "page count 100000 exceeds what a file"},
        {job_format::kCountsAt + 8, -1, "count of written rows -1 is out of range"},
        {job_format::kFileHeaderSizeAt, 1 << 30, "header size 1073741824 is out of range"},
    };
    for (const auto& patch : patches) {
        std::vector<uint8_t> bytes = good;
        job_format::StoreI32(&bytes[patch.at], patch.value);
        const std::string refusal = OpenRefusal(bytes, bytes.size());
        EXPECT_NE(refusal.find(patch.message), std::string::npos)
            << "expected: " << patch.message << "\ngot: " << refusal;
    }
}

TEST_F(Catalogue, PageWiderThanTheCommandBufferIsRefusedBeforeItsFirstByte) {
    ExpectSecondPageRefused(TestPage{1'000'000, 1, 0, 0, {{"Black"}}},
                            {"plane row of 125000 bytes exceeds the command buffer",
                             "SendHeader Return FALSE", "Exception"});
    // The placement counts: a narrow page placed at the far right is as wide.
    ExpectSecondPageRefused(TestPage{16, 1, 1'000'000, 0, {{"Black"}}},
                            {"plane row of 125002 bytes exceeds the command buffer",
                             "SendHeader Return FALSE", "Exception"});
}

TEST_F(Catalogue, PageTooLongForThePrinterIsRefused) {
    // At 1 dpi every row goes out 180 times: ten million rows and as many blank ones on top
    // would be 3.6 billion device rows.
    ExpectSecondPageRefused(TestPage{8, 1, 0, 10'000'000, {{"Black"}}},
                            {"the page is too long for the printer", "Exception"}, 1);
    // One row more than ten million device rows, nearly all of them the blank top offset.
    ExpectSecondPageRefused(TestPage{16, 1, 0, 55'556, {{"Black"}}},
                            {"the page is too long for the printer", "Exception"}, 1);
    // Top margins cost the file nothing, so they are bounded for the whole job too.
    test::TempDir jobDir;
    auto job = test::MakeJob(
        jobDir, NamedTicket(),
        {TestPage{16, 1, 0, 5'000'000, {{"Black"}}}, TestPage{16, 1, 0, 5'000'001, {{"Black"}}}});
    ScopedLogCapture log;
    EXPECT_EQ(Print(*job), 0);
    EXPECT_EQ(hardening::LogTexts(log.entries()),
              (std::vector<std::string>{
                  "the blank top margins of the job's pages add up to more than 10000000 rows",
                  "Exception"}));
    EXPECT_EQ(test::CountOf(out.bytes, "\x1b*r1A"), 1) << "only the first page started";
}

TEST_F(Catalogue, UnknownColorantsPrintAsBlankPlanes) {
    auto job = test::MakeJob(dir, NamedTicket(), {TestPage{16, 3, 0, 0, {{"Foo"}, {"Bar"}}}});
    EXPECT_EQ(Print(*job), 1);
    const auto pages = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 3u);
    for (const test::StreamRow& row : pages[0].rows) {
        ASSERT_EQ(row.planes.size(), 4u);
        for (const auto& plane : row.planes) EXPECT_EQ(plane, std::vector<uint8_t>(2, 0));
    }
}

// Rows of a page without width or colorants take no bytes of the file, so such a page could
// claim ten million rows in 32 bytes: it prints as nothing, and the job goes on.
TEST_F(Catalogue, PagesThatCannotHoldADotPrintAsNothing) {
    const TestPage empties[] = {{0, 1, 0, 0, {{"Black"}}}, {16, 1, 0, 0, {}}};
    for (const TestPage& empty : empties) {
        ASSERT_EQ(RowBytesOf(empty), 0);
        test::TempDir jobDir;
        auto job = test::MakeJob(jobDir, NamedTicket(), {kGoodPage, empty});
        const std::string data = fuzz::DataFileFor(job->path);
        std::vector<uint8_t> bytes = ReadAll(data);
        job_format::StoreI32(&bytes[kSecondPage + job_format::kPageHeightAt], 10'000'000);
        job_format::StoreI32(&bytes[job_format::kCountsAt + 8], 10'000'000);
        WriteAll(data, bytes, bytes.size());
        ScopedLogCapture log;
        out.bytes.clear();
        EXPECT_EQ(Print(*job), 1);
        EXPECT_EQ(out.bytes, GoodStream());
        EXPECT_EQ(hardening::LogTexts(log.entries()),
                  std::vector<std::string>{
                      "page 1 has no width or no colorants; nothing of it is printed"});
    }
}

TEST_F(Catalogue, MoreThan16ColorantsAreRefused) {
    TestPage many{8, 1, 0, 0, {}};
    for (int i = 0; i < 17; ++i) many.colorants.push_back({"Ink" + std::to_string(i)});
    ExpectSecondPageRefused(many, {"the page has more than 16 colorants", "Exception"});
}

// ---- Option texts ----

constexpr uint8_t kFill = 0x5A;

class OptionCatalogue : public Catalogue {
  protected:
    RTL& Engine() { return *dynamic_cast<RTL*>(driver.Engine()); }
};

// The pairs a cut text still holds complete enough to read: "DriverOption<i>=<digits>".
std::vector<std::pair<int, int>> PairsIn(const std::string& text) {
    std::vector<std::pair<int, int>> pairs;
    static const std::string key = "DriverOption";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        std::size_t p = at + key.size();
        const std::size_t indexEnd = text.find('=', p);
        if (indexEnd == std::string::npos || indexEnd == p) break;
        const std::size_t valueEnd = text.find_first_not_of("0123456789", indexEnd + 1);
        const std::string value = text.substr(indexEnd + 1, valueEnd - indexEnd - 1);
        if (value.empty()) break;
        pairs.emplace_back(std::stoi(text.substr(p, indexEnd - p)), std::stoi(value));
    }
    return pairs;
}

TEST_F(OptionCatalogue, OptionTextCutAtEveryByteAppliesOnlyWhatItHolds) {
    const std::string full =
        "DriverOption0=1;DriverOption1=2;DriverOption2=0;DriverOption3=10;DriverOption4=0;"
        "DriverOption5=2;DriverOption6=3;DriverOption7=0";
    uint8_t PrinterSettings::*const fields[] = {&PrinterSettings::cutSheet,
                                                &PrinterSettings::overprint,
                                                &PrinterSettings::printDirection,
                                                &PrinterSettings::pageSpacing,
                                                &PrinterSettings::mediaFeedCalibration,
                                                &PrinterSettings::colorBar,
                                                &PrinterSettings::dryTime,
                                                &PrinterSettings::advanceAfterPrint};
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        const std::string text = full.substr(0, cut);
        std::vector<uint8_t> area(kSettingsAreaSize, kFill);
        ASSERT_EQ(Engine().ApplyDriverOptions(text.c_str(), area.data(), "CP52"), 1);

        PrinterSettings expected;
        std::memset(&expected, kFill, sizeof expected);
        for (const auto& [index, value] : PairsIn(text)) {
            expected.*fields[index] = static_cast<uint8_t>(value);
        }
        EXPECT_EQ(std::memcmp(area.data(), &expected, sizeof expected), 0) << "cut at " << cut;
        EXPECT_TRUE(std::all_of(area.begin() + sizeof(PrinterSettings), area.end(),
                                [](uint8_t b) { return b == kFill; }))
            << "cut at " << cut;
    }
}

TEST_F(OptionCatalogue, BinaryOptionTextCutAtEveryByteFillsOnlyTheBytesItHolds) {
    std::string hex;
    for (int i = 0; i < 200; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", (i * 37 + 5) & 0xFF);
        hex += pair;
    }
    const std::string head = "DriverOptionBinary=";
    for (std::size_t cut = 0; cut <= hex.size(); ++cut) {
        const std::string text = head + hex.substr(0, cut);
        std::vector<uint8_t> area(kSettingsAreaSize, kFill);
        ASSERT_EQ(driver.ParseDriverOptions(text.c_str(), area.data(), nullptr), 1);
        for (std::size_t i = 0; i < kSettingsAreaSize; ++i) {
            uint8_t expected = kFill;
            if (2 * i + 1 < cut) {
                expected = static_cast<uint8_t>((i * 37 + 5) & 0xFF);
            } else if (2 * i < cut) {
                expected = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 1), nullptr, 16));
            }
            ASSERT_EQ(area[i], expected) << "cut at " << cut << ", byte " << i;
        }
    }
}

TEST_F(OptionCatalogue, GarbageOptionTextChangesNothing) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(1, 255);
    for (int i = 0; i < 100; ++i) {
        std::string text(static_cast<std::size_t>(1 + i * 10), ' ');
        for (char& c : text) c = static_cast<char>(byte(random));
        std::vector<uint8_t> area(kSettingsAreaSize, kFill);
        ASSERT_EQ(Engine().ApplyDriverOptions(text.c_str(), area.data(), "CP52"), 1);
        EXPECT_EQ(area, std::vector<uint8_t>(kSettingsAreaSize, kFill));
    }
    // A definition string of nothing but entries stays within the host's 1024 bytes.
    std::vector<char> definition(1024, ':');
    definition.back() = '\0';
    const std::vector<uint8_t> values(1023, 4);
    ABaseRTL::InsertOptionValues(definition.data(), values.data());
    EXPECT_EQ(std::string(definition.data()).size(), 1023u);
    EXPECT_EQ(std::string(definition.data(), 4), ":4,:");
}

}  // namespace
}  // namespace tarnwick
