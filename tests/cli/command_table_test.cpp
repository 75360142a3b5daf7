// Runs the command table (commands.txt beside this file): each section gets a folder of its own,
// its lines run in order, and every command is checked for its exit code and its words. A run that
// fails (exit 1 or 2) must leave every file of the folder as it was, and no run may leave a
// temporary file behind, crash or hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
#include "host/job_ticket.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

const fs::path kHere = fs::path(__FILE__).parent_path();

struct Line {
    int number;
    std::vector<std::string> words;
};

struct Section {
    std::string name;
    std::vector<Line> lines;
};

void PrintTo(const Section& section, std::ostream* out) {
    *out << section.name;
}

// Blanks separate words; "..." quotes one, with the escapes \n, \e, \", \\ and \xHH.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] != '"') {
            const std::size_t end = line.find(' ', i);
            word = line.substr(i, end - i);
            i = end == std::string::npos ? line.size() : end;
        } else {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] != '\\' || i + 1 >= line.size()) {
                    word += line[i];
                    continue;
                }
                const char c = line[++i];
                if (c == 'x' && i + 2 < line.size()) {
                    word += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    word += c == 'n' ? '\n' : c == 'e' ? '\x1b' : c;
                }
            }
            ++i;
        }
        words.push_back(word);
    }
    return words;
}

std::vector<Section> ReadTable() {
    std::vector<Section> sections;
    std::ifstream in(kHere / "commands.txt");
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            sections.push_back({line.substr(1, line.find(']') - 1), {}});
        } else if (!sections.empty()) {
            sections.back().lines.push_back({number, Words(line)});
        }
    }
    return sections;
}

// A page of the `job` line: WIDTHxHEIGHT:Ink,Ink...
TestPage PageOf(const std::string& word) {
    TestPage page;
    page.width = std::stoi(word);
    page.height = std::stoi(word.substr(word.find('x') + 1));
    std::istringstream inks(word.substr(word.find(':') + 1));
    for (std::string ink; std::getline(inks, ink, ',');) page.colorants.push_back({ink});
    return page;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressLimitWorks = false;  // the sanitizer reserves terabytes of address space
#else
constexpr bool kAddressLimitWorks = true;
#endif

class CommandTable : public ToolTest, public ::testing::WithParamInterface<Section> {
  protected:
    std::string Expand(std::string word) const {
        std::vector<std::pair<std::string, std::string>> names(m_vars.begin(), m_vars.end());
        names.insert(names.end(), {{"$T", Dir()},
                                   {"$DATA", TARNWICK_SOURCE_DATADIR},
                                   {"$FILES", (kHere / "files").string()}});
        for (const auto& [name, value] : names) {
            for (std::size_t at = 0; (at = word.find(name, at)) != std::string::npos;) {
                word.replace(at, name.size(), value);
                at += value.size();
            }
        }
        return word;
    }
    std::string Dir() const { return fs::path(File("x")).parent_path(); }

    // Type, permissions and content of every file of the folder but the lock files.
    std::map<std::string, std::pair<mode_t, std::vector<uint8_t>>> Snapshot() const {
        std::map<std::string, std::pair<mode_t, std::vector<uint8_t>>> files;
        for (const auto& entry : fs::recursive_directory_iterator(Dir())) {
            if (entry.path().string().rfind(lockDir(), 0) == 0) continue;
            struct stat st {};
            ::lstat(entry.path().c_str(), &st);
            files[entry.path()] = {
                st.st_mode, S_ISREG(st.st_mode) ? ReadBytes(entry.path()) : std::vector<uint8_t>()};
        }
        return files;
    }

    // A line that prepares files or checks one; false when it is a command.
    bool Prepare(const std::vector<std::string>& w) {
        const std::string& what = w[0];
        if (what == "set") {
            m_vars["$" + w[1]] = w[2];
        } else if (what == "limit") {  // address space [file size] of later commands, in MiB
            m_limits.addressSpace = kAddressLimitWorks ? std::stoull(w[1]) << 20 : 0;
            m_limits.fileSize = w.size() > 2 ? std::stoull(w[2]) << 20 : 0;
        } else if (what == "write") {  // PATH TEXT [REPEATED COUNT [TAIL]]
            std::string text = w[2];
            for (int i = w.size() > 4 ? std::stoi(w[4]) : 0; i > 0; --i) text += w[3];
            WriteText(w[1], text + (w.size() > 5 ? w[5] : ""));
        } else if (what == "keep") {  // PATH AFTER NEEDLE N: up to N bytes past NEEDLE past AFTER
            const std::vector<uint8_t> bytes = ReadBytes(w[1]);
            const std::string text(bytes.begin(), bytes.end());
            const std::size_t at = text.find(w[3], text.find(w[2]));
            EXPECT_NE(at, std::string::npos) << w[2] << " ... " << w[3];
            if (at != std::string::npos) WriteText(w[1], text.substr(0, at + std::stoul(w[4])));
        } else if (what == "copy") {
            fs::copy(w[1], w[2], fs::copy_options::recursive);
        } else if (what == "mkdir") {
            fs::create_directories(w[1]);
        } else if (what == "mkfifo") {
            EXPECT_EQ(::mkfifo(w[1].c_str(), 0600), 0);
        } else if (what == "symlink") {
            fs::create_symlink(w[1], w[2]);
        } else if (what == "rm") {
            fs::remove_all(w[1]);
        } else if (what == "readonly") {
            fs::permissions(w[1], fs::perms::owner_read);
        } else if (what == "cut") {  // drops the last N bytes
            fs::resize_file(w[1], fs::file_size(w[1]) - std::stoul(w[2]));
        } else if (what == "absent") {
            EXPECT_FALSE(fs::exists(fs::symlink_status(w[1]))) << w[1];
        } else if (what == "contains") {
            const std::vector<uint8_t> bytes = ReadBytes(w[1]);
            EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(w[2]), std::string::npos);
        } else if (what == "same") {
            EXPECT_EQ(ReadBytes(w[1]), ReadBytes(w[2]));
        } else if (what == "png") {  // PATH WIDTH HEIGHT, either may be *
            std::vector<uint8_t> png = ReadBytes(w[1]);
            EXPECT_EQ(std::string(png.begin(), png.begin() + std::min<long>(png.size(), 4)),
                      "\x89PNG");
            png.resize(std::max<std::size_t>(png.size(), 24));
            for (const std::size_t at : {16u, 20u}) {
                const uint32_t value = uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 |
                                       uint32_t{png[at + 2]} << 8 | png[at + 3];
                const std::string& want = w[at == 16 ? 2 : 3];
                if (want != "*") {
                    EXPECT_EQ(value, std::stoul(want)) << (at == 16 ? "width" : "height");
                }
            }
        } else if (what == "job") {  // TICKET MODEL DPI [bar=N] [resy=N] [byte=I:V] [PAGE...]
            JobTicket ticket = DefaultTicket(w[2], static_cast<int16_t>(std::stoi(w[3])));
            std::vector<TestPage> pages;
            for (std::size_t i = 4; i < w.size(); ++i) {
                const std::string value = w[i].substr(w[i].find('=') + 1);
                if (w[i].rfind("bar=", 0) == 0) {
                    ticket.settings[13] = static_cast<uint8_t>(std::stoi(value));
                } else if (w[i].rfind("resy=", 0) == 0) {
                    ticket.resY = static_cast<int16_t>(std::stoi(value));
                } else if (w[i].rfind("byte=", 0) == 0) {
                    ticket.settings.at(std::stoul(value)) =
                        static_cast<uint8_t>(std::stoi(value.substr(value.find(':') + 1)));
                } else {
                    pages.push_back(PageOf(w[i]));
                }
            }
            std::string error;
            EXPECT_TRUE(WriteJobTicket(w[1], ticket, error)) << error;
            const fs::path ticketPath = w[1];
            if (!pages.empty()) {
                WriteJobData(fs::path(ticketPath)
                                 .replace_filename("0_" + ticketPath.stem().string() + ".twj"),
                             pages);
            }
        } else {
            return false;
        }
        return true;
    }

    // One check of a result: `what` and its text.
    static void Check(const ToolResult& r, const std::string& what, const std::string& text) {
        const std::vector<std::string> errors = LinesStartingWith(r.err, "ERROR: ");
        if (what == "error") {
            ASSERT_EQ(errors.size(), 1u) << r.err;
            EXPECT_NE(errors[0].find(text), std::string::npos) << errors[0];
        } else if (what == "lasterror") {
            ASSERT_FALSE(errors.empty()) << r.err;
            EXPECT_NE(errors.back().find(text), std::string::npos) << errors.back();
        } else if (what == "stderr" || what == "!stderr") {
            EXPECT_EQ(r.err.find(text) != std::string::npos, what[0] != '!') << r.err;
        } else if (what == "stdout" || what == "!stdout") {
            EXPECT_EQ(r.out.find(text) != std::string::npos, what[0] != '!') << r.out;
        } else if (what == "stdout=") {
            EXPECT_EQ(r.out, text);
        } else if (what == "json") {
            JsonValue json;
            EXPECT_TRUE(ParseJson(r.out, json)) << r.out;
            EXPECT_NE(r.out.find(text), std::string::npos) << r.out;
        } else {
            ADD_FAILURE() << "unknown check " << what;
        }
    }

    std::map<std::string, std::string> m_vars;
    ToolLimits m_limits{.stallMillis = 90'000};  // long inspections are silent for seconds
};

TEST_P(CommandTable, EveryCommandGivesItsExitCodeAndWords) {
    ToolResult result;
    for (const Line& line : GetParam().lines) {
        SCOPED_TRACE("commands.txt:" + std::to_string(line.number));
        std::vector<std::string> w;
        for (const std::string& word : line.words) w.push_back(Expand(word));
        if (w[0] == "unprivileged") {
            if (::geteuid() == 0) continue;
            w.erase(w.begin());
        }
        if (Prepare(w)) continue;
        if (w[0] == "+") {  // another check of the command before
            Check(result, w[1], w.size() > 2 ? w[2] : "");
            continue;
        }
        const std::size_t args = w[1] == "-" ? 2 : 3;
        ASSERT_GE(w.size(), args) << "a line needs an exit code, a check and a command";
        const auto before = Snapshot();
        const std::vector<std::string> command(w.begin() + static_cast<long>(args), w.end());
        result = RunTool(command, Env(), m_limits);
        EXPECT_FALSE(result.hung);
        EXPECT_EQ(result.signal, 0) << result.err;
        EXPECT_EQ(result.exitCode, std::stoi(w[0])) << result.out << result.err;
        if (args == 3) Check(result, w[1], w[2]);
        EXPECT_EQ(result.err.find("bad_alloc"), std::string::npos) << result.err;
        // A failure keeps every file; inspect's faults still give a preview.
        const bool preview = std::find(w.begin(), w.end(), "--preview") != w.end();
        if ((result.exitCode == 1 || result.exitCode == 2) && !preview) {
            EXPECT_TRUE(Snapshot() == before) << "a failed command changed a file";
        }
        EXPECT_EQ(Leftovers(), std::vector<std::string>()) << "temporary files were left";
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, CommandTable, ::testing::ValuesIn(ReadTable()),
                         [](const ::testing::TestParamInfo<Section>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace tarnwick::test
