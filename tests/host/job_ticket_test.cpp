// Editing a job's settings in its ticket.
#include "host/job_ticket.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "support/job_fixture.h"

namespace tarnwick {
namespace {

std::vector<char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(JobTicketSettings, EditedSettingsReplaceOnlyTheOptionArea) {
    test::TempDir dir;
    const std::string path = dir.file("job.tkt");
    JobTicket ticket = test::DefaultTicket("Coldstream SP-1400C", 720, 2);
    ticket.calibrationText = "feed~0.5";
    std::string error;
    ASSERT_TRUE(WriteJobTicket(path, ticket, error)) << error;
    // Bytes past the header belong to the host and must survive.
    {
        std::ofstream tail(path, std::ios::binary | std::ios::app);
        tail << "host data";
    }
    const std::vector<char> before = FileBytes(path);

    std::string model;
    SettingsArea area{};
    ASSERT_TRUE(ReadTicketSettings(path, model, area, error)) << error;
    EXPECT_EQ(model, "Coldstream SP-1400C");
    EXPECT_EQ(area.settings.tag, 24);
    area.settings.overprint = 2;
    area.rest[100] = 0x77;
    ASSERT_TRUE(WriteTicketSettings(path, area, error)) << error;

    const std::vector<char> after = FileBytes(path);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        const bool inArea = i >= job_header::kSettings && i < job_header::kSettings + 256;
        if (!inArea) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    SettingsArea reread{};
    ASSERT_TRUE(ReadTicketSettings(path, model, reread, error));
    EXPECT_EQ(reread.settings.overprint, 2);
    EXPECT_EQ(reread.rest[100], 0x77);
}

TEST(JobTicketSettings, ShortOrMissingTicketsAreRefusedUntouched) {
    test::TempDir dir;
    const std::string path = dir.file("short.tkt");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(kJobHeaderSize - 1, 'x');
    }
    std::string model;
    SettingsArea area{};
    std::string error;
    EXPECT_FALSE(ReadTicketSettings(path, model, area, error));
    EXPECT_NE(error.find("3940"), std::string::npos);
    EXPECT_FALSE(WriteTicketSettings(path, area, error));
    EXPECT_EQ(std::filesystem::file_size(path), kJobHeaderSize - 1);
    EXPECT_FALSE(WriteTicketSettings(dir.file("absent.tkt"), area, error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.tkt")));
}

}  // namespace
}  // namespace tarnwick
