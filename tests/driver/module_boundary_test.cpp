// The real module, loaded the way a print host loads it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "support/job_fixture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

// The module as a print host loads it, and a driver from its factory.
struct LoadedModule {
    std::unique_ptr<void, int (*)(void*)> handle{
        dlopen(TARNWICK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL), dlclose};
    test::DriverPtr Create() const {
        auto create = reinterpret_cast<CreateNewPrinterDriverFn>(
            dlsym(handle.get(), "createNewPrinterDriver"));
        return test::DriverPtr(create != nullptr ? create() : nullptr);
    }
};

// The names of the module's symbols as `nm <options>` lists them.
std::set<std::string> ModuleSymbols(const std::string& options) {
    const std::string command = "nm " + options + " " + TARNWICK_MODULE_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    if (pipe == nullptr) return symbols;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type;
        std::getline(fields >> std::ws, name);
        if (!name.empty()) symbols.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    return symbols;
}

TEST(ModuleBoundary, ExportsOnlyTheTwoFactoriesAndShipsNoTestCode) {
    EXPECT_EQ(ModuleSymbols("-D --defined-only"),
              (std::set<std::string>{"createNewPrinterDriver", "createDriverPage"}));
    const std::set<std::string> all = ModuleSymbols("-C --defined-only");
    ASSERT_GT(all.size(), 100u);
    for (const std::string& symbol : all) {
        for (const char* mark : {"Fake", "Capture", "ForTests", "MessageScript", "testing::"}) {
            EXPECT_EQ(symbol.find(mark), std::string::npos) << symbol;
        }
    }
}

// The slots a host asks first, then a generic printer, grayscale, no colour bar, one page of two
// rows: every byte written down by hand.
TEST(ModuleBoundary, WholeJobMatchesTheHandWrittenStream) {
    test::TempDir dir;
    JobTicket ticket = test::DefaultTicket("Generic RTL", 180, 1);
    ticket.settings[13] = 0;
    auto job = test::MakeJob(dir, ticket, {test::TestPage{16, 2, 0, 0, {{"Black"}}}});
    LoadedModule module;
    ASSERT_NE(module.handle, nullptr) << dlerror();
    ASSERT_NE(dlsym(module.handle.get(), "createDriverPage"), nullptr);
    auto driver = module.Create();
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver->GetTypeNumber(), 85);
    EXPECT_FLOAT_EQ(driver->Slot12(), 8.0f);
    char name[256] = {};
    EXPECT_EQ(driver->GetDefaultColorMode(name, nullptr), 2);
    EXPECT_STREQ(name, "CMYKLcLm");
    test::MemoryChannel out;
    ASSERT_EQ(test::RunJob(*driver, *job, out), 3);
    const std::string expected =
        "\x1b"
        "E\x1b%-12345X@PJL SET RESOLUTION=180\n@PJL SET PASSES=4\n@PJL SET BIDIRECTION=ON\n"
        "@PJL SET OVERPRINT=1\n@PJL SET CALIBRATION=0.00\n@PJL SET SPACE=10\n"
        "@PJL ENTER LANGUAGE=RTL\n\x1b*r16S\x1b*r2T\x1b*t180R\x1b*r-4U\x1b*b2M\x1b*r1A"
        "\x1b*b3W\x01\x11\x12\x1b*b3W\x01\x18\x19\x1b*rC\x1b%-12345X"
        "@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
        "E";
    EXPECT_EQ(out.str(), expected);
    // The host's tag reaches every write; the page end is flushed at once.
    for (int64_t tag : out.tags) EXPECT_EQ(tag, 0x1122334455667788);
    EXPECT_EQ(job->m_nDone, -1);
}

// Six inks over several pages: decoding the stream gives back every plane
// row of the job, in the printer's plane order.
TEST(ModuleBoundary, DecodedStreamGivesBackEveryPlaneRow) {
    const std::vector<std::string> inks = {"Cyan",  "Magenta", "Yellow",
                                           "Black", "LCyan",   "LMagenta"};
    const int sentOrder[6] = {3, 0, 1, 2, 4, 5};
    std::vector<test::TestPage> pages;
    for (int p = 0; p < 3; ++p) {
        test::TestPage page{700 + 37 * p, 20 + p, 0, 0, {}};
        for (const auto& ink : inks) page.colorants.push_back({ink});
        // Mixed runs and literals, different on every page, row and ink.
        page.content = [p](int c, int r, int i) {
            const int v = (i / (3 + c)) * 7 + r * 13 + p * 31 + c;
            return static_cast<uint8_t>(i % 5 == 0 ? v : v & 0xF0);
        };
        pages.push_back(page);
    }
    test::TempDir dir;
    JobTicket ticket = test::DefaultTicket("CP52", 180, 2);
    ticket.settings[13] = 0;
    auto job = test::MakeJob(dir, ticket, pages);
    LoadedModule module;
    auto driver = module.Create();
    ASSERT_TRUE(driver);
    test::MemoryChannel out;
    ASSERT_GT(test::RunJob(*driver, *job, out), 0);

    const auto decoded = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(decoded.size(), pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const test::TestPage& page = pages[p];
        ASSERT_EQ(decoded[p].rows.size(), static_cast<std::size_t>(page.height));
        for (int r = 0; r < page.height; ++r) {
            const auto& planes = decoded[p].rows[static_cast<std::size_t>(r)].planes;
            ASSERT_EQ(planes.size(), 6u);
            for (int k = 0; k < 6; ++k) {
                const int c = sentOrder[k];
                std::vector<uint8_t> expected(static_cast<std::size_t>(test::RowBytes(page, c)));
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    expected[i] = page.content(c, r, static_cast<int>(i));
                }
                // Bits past the last pixel of a row are not part of the image.
                if (page.width % 8 != 0) expected.back() &= 0xFF << (8 - page.width % 8);
                ASSERT_EQ(planes[static_cast<std::size_t>(k)], expected)
                    << "page " << p << " row " << r << " plane " << k;
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick
