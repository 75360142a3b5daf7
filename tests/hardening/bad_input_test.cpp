// Runs the bad-input catalogue (bad_inputs.txt beside this file): spoilt job files and pages
// through the driver, hostile XML as job options, and option texts. Each section is one test with
// its own folder. (Hostile configuration trees are sections of cli/commands.txt.)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <ranges>

#include "cli/cli_fixture.h"
#include "cli/table_script.h"
#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "hardening/hardening_support.h"
#include "host/job/job_format.h"
#include "rtl/rtl.h"
#include "support/log_capture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (const auto part : std::views::split(text, separator))
        parts.emplace_back(part.begin(), part.end());
    return parts;
}

std::vector<test::TestPage> Pages(const std::string& word) {  // "-" for none
    std::vector<test::TestPage> pages;
    for (const std::string& page : Split(word, '/')) {
        if (page != "-") pages.push_back(test::PageOf(page));
    }
    return pages;
}

// ticket|data : cut:SIZE | byte:AT:VALUE | i32:AT:VALUE | ff | rm; ticket:missing
void Poke(HostJobRecord& job, const std::string& poke) {
    const std::vector<std::string> p = Split(poke, ':');
    const std::string path = p[0] == "ticket" ? job.path : fuzz::DataFileFor(job.path);
    if (p[1] == "missing") {  // the job's ticket named in a folder that is not there
        std::snprintf(job.path, sizeof job.path, "%s/missing/job.tkt",
                      std::filesystem::path(path).parent_path().c_str());
        return;
    }
    if (p[1] == "rm") {
        std::filesystem::remove(path);
        return;
    }
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    if (p[1] == "cut") bytes.resize(std::stoul(p[2]));
    if (p[1] == "ff") std::fill(bytes.begin(), bytes.end(), 0xFF);
    if (p[1] == "byte") bytes.at(std::stoul(p[2])) = static_cast<uint8_t>(std::stoi(p[3]));
    if (p[1] == "i32") job_format::StoreI32(&bytes.at(std::stoul(p[2])), std::stoi(p[3]));
    ASSERT_TRUE(fuzz::WriteBytes(path, bytes));
}

class BadInput : public hardening::JobTest, public ::testing::WithParamInterface<test::Script> {
  protected:
    // refused|fails|prints DPI PAGES SENT POKES LOG [END]
    void Job(const std::vector<std::string>& w) {
        const JobTicket ticket = hardening::NamedTicket(static_cast<int16_t>(std::stoi(w[1])));
        std::vector<uint8_t> sent;
        if (w[3] != "-")
            sent = hardening::PrintUndisturbed(*test::MakeJob(dir, ticket, Pages(w[3]))).bytes;
        auto job = test::MakeJob(dir, ticket, Pages(w[2]));
        if (w[4] == "data:cut:every") {
            std::vector<std::string> each = w;
            for (auto n = std::filesystem::file_size(fuzz::DataFileFor(job->path)); n-- > 0;) {
                each[4] = "data:cut:" + std::to_string(n);
                Job(each);
                if (HasFailure()) return;
            }
            return;
        }
        for (const std::string& poke : Split(w[4], '/')) {
            if (poke != "-") Poke(*job, poke);
        }
        const std::vector<uint8_t> ticketBytes = test::ReadBytes(job->path);
        test::MemoryChannel out;
        CDriver driver;
        ScopedLogCapture log;
        const int descriptors = hardening::OpenDescriptors();
        const int opened = driver.OpenJob(job.get(), &out);
        if (w[0] == "refused") {
            EXPECT_EQ(opened, 0);
            EXPECT_TRUE(log.entries().size() == 1 &&
                        log.entries()[0].text.find(w[5]) != std::string::npos)
                << hardening::Joined(log.entries());
        } else {
            ASSERT_EQ(opened, 1) << hardening::Joined(log.entries());
            EXPECT_EQ(hardening::StepToTheEnd(driver, *job), w[0] == "prints" ? 1 : 0);
            EXPECT_EQ(hardening::Joined(log.entries()), w[5]);
            EXPECT_TRUE(out.bytes == sent) << "what was sent before the end";
            if (w[0] == "fails") {
                EXPECT_EQ(driver.AbortJob(nullptr, nullptr, nullptr), 1);
                EXPECT_TRUE(out.str().ends_with(w.size() > 6 ? w[6] : hardening::kNamedAbortEnd));
            }
        }
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_TRUE(w[0] != "refused" || out.bytes.empty());
        EXPECT_EQ(test::ReadBytes(job->path), ticketBytes) << "the ticket is left as it was";
        EXPECT_TRUE(fuzz::JobLocksFree(0));
        EXPECT_EQ(hardening::OpenDescriptors(), descriptors) << "a descriptor outlived the job";
    }

    // options JOBID LOCKID PAGE XML [CHANNEL]
    void Options(const std::vector<std::string>& w) {
        const test::TestPage page = test::PageOf(w[3]);
        auto job = test::MakeJob(dir, hardening::NamedTicket(), {page, page});
        job->m_pszCustomColorXml = w[4].c_str();
        test::MemoryChannel out;
        CDriver d;
        ScopedLogCapture log;
        ASSERT_GT(test::RunJob(d, *job, out), 0);
        const auto& engine = dynamic_cast<ARowBaseRTL&>(*d.Engine());
        EXPECT_EQ(engine.JobId().str(), w[1]);
        EXPECT_TRUE(w.size() < 6 || engine.PlaneChannel(2) == std::stoi(w[5]));
        const auto pages = test::ReadStreamRows(out.bytes);
        ASSERT_EQ(pages.size(), 2u);
        for (const auto& p : pages) EXPECT_EQ(p.rows.size(), static_cast<std::size_t>(page.height));
        EXPECT_TRUE(fuzz::JobLocksFree(std::stoi(w[2])));
        EXPECT_EQ(hardening::Joined(log.entries()), "");
    }
};

TEST_P(BadInput, EveryInputGetsItsRefusalOrItsAnswer) {
    test::ScriptVars vars;
    vars.values["$T"] = dir.path();
    for (const test::TableRow& row : GetParam().rows) {
        SCOPED_TRACE(row.where);
        const std::vector<std::string> w = vars.Expand(row.words);
        if (vars.Set(w)) continue;
        if (w[0] == "refused" || w[0] == "fails" || w[0] == "prints") {
            Job(w);
        } else if (w[0] == "options") {
            Options(w);
        } else if (w[0] == "apply" || w[0] == "parse") {  // TEXT HEX
            CDriver d;
            std::vector<uint8_t> area(kSettingsAreaSize, 0x5A), expected = test::HexBytes(w[2]);
            expected.resize(kSettingsAreaSize, 0x5A);
            EXPECT_EQ(w[0] == "parse" ? d.ParseDriverOptions(w[1].c_str(), area.data(), nullptr)
                                      : dynamic_cast<RTL&>(*d.Engine())
                                            .ApplyDriverOptions(w[1].c_str(), area.data(), "CP52"),
                      1);
            EXPECT_EQ(area, expected);
        } else if (w[0] == "definition") {  // TEXT VALUE LENGTH START
            std::vector<char> definition(1024, '\0');
            std::memcpy(definition.data(), w[1].data(), std::min<std::size_t>(w[1].size(), 1023));
            const std::vector<uint8_t> values(1023, static_cast<uint8_t>(std::stoi(w[2])));
            ABaseRTL::InsertOptionValues(definition.data(), values.data());
            EXPECT_EQ(std::strlen(definition.data()), std::stoul(w[3]));
            EXPECT_EQ(std::string(definition.data()).substr(0, w[4].size()), w[4]);
        } else {
            ADD_FAILURE() << "unknown operation " << w[0];
        }
    }
    EXPECT_TRUE(messages.requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInput,
                         ::testing::ValuesIn(test::ReadScripts(__FILE__, "bad_inputs.txt")),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarnwick
