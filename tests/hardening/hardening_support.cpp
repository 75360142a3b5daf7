#include "hardening/hardening_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "driver/cdriver.h"
#include "host/xml_cipher.h"

namespace tarnwick::hardening {

PrivateLocks::PrivateLocks() : m_env("TARNWICK_LOCK_DIR", m_dir.file("locks")) {
    ::mkdir(m_dir.file("locks").c_str(), 0700);
}

PrivateConfigRoot::PrivateConfigRoot() : m_env("TARNWICK_ROOT", m_dir.path()) {
    std::filesystem::create_directories(m_dir.file("OutputDrivers"));
}

void PrivateConfigRoot::Write(const std::string& relative, const std::string& text,
                              bool enciphered) const {
    const std::filesystem::path path = m_dir.file("OutputDrivers/" + relative);
    std::filesystem::create_directories(path.parent_path());
    const std::span<const uint8_t> plain = fuzz::AsBytes(text);
    ASSERT_TRUE(enciphered ? fuzz::WriteBytes(path.string(), EncipherXml(plain))
                           : fuzz::WriteBytes(path.string(), plain))
        << path;
}

bool StartsWith(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool EndsWith(const std::vector<uint8_t>& bytes, const std::string& suffix) {
    return bytes.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), bytes.end() - suffix.size());
}

std::unique_ptr<HostJobRecord> SmallNamedJob(const test::TempDir& dir, int pages, int rows) {
    JobTicket ticket = test::DefaultTicket("CP52", 180, 0);
    ticket.settings[13] = 0;  // no colour bar
    const test::TestPage page{16, rows, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};
    return test::MakeJob(dir, ticket, std::vector<test::TestPage>(pages, page));
}

GoodRun PrintUndisturbed(HostJobRecord& job) {
    test::MemoryChannel out;
    CDriver driver;
    EXPECT_GT(test::RunJob(driver, job, out), 0);
    job.m_nDone = 0;
    return {out.bytes, static_cast<int>(out.writeSizes.size())};
}

int OpenDescriptors() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

std::vector<std::string> LogTexts(const std::vector<LogEntry>& entries) {
    std::vector<std::string> texts;
    for (const LogEntry& e : entries) texts.push_back(e.text);
    return texts;
}

}  // namespace tarnwick::hardening
