// Runs the command table (commands.txt beside this file): each section gets a folder of its own,
// its lines run in order, and every command is checked for its exit code and its words. A run that
// fails (exit 1 or 2) must leave every file of the folder as it was, and no run may leave a
// temporary file behind, crash or hang.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <thread>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
#include "cli/table_script.h"
#include "hardening/hardening_support.h"
#include "host/job/job_writer.h"
#include "platform/named_mutex.h"
#include "support/scoped_env.h"
#include "support/stream_rows.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressLimitWorks = false;  // the sanitizer reserves terabytes of address space
#else
constexpr bool kAddressLimitWorks = true;
#endif

// The data file of a ticket: 0_<name>.twj beside it.
std::string DataPath(const std::string& ticket) {
    return fs::path(ticket).replace_filename("0_" + fs::path(ticket).stem().string() + ".twj");
}

class CommandTable : public ToolTest, public ::testing::WithParamInterface<Script> {
  protected:
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
        if (m_vars.Set(w)) {
        } else if (what == "limit") {  // address space [file size] of later commands, in MiB
            m_limits.addressSpace = kAddressLimitWorks ? std::stoull(w[1]) << 20 : 0;
            m_limits.fileSize = w.size() > 2 ? std::stoull(w[2]) << 20 : 0;
        } else if (what == "stdin") {
            m_limits.input = w[1];
        } else if (what == "env") {
            m_env[w[1]] = w[2] == "-" ? std::nullopt : std::optional(w[2]);
        } else if (what == "signal" || what == "answer") {
            m_next = w;
        } else if (what == "write") {
            WriteText(w[1], TextOf(w, 2));
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
        } else if (what == "save") {
            WriteText(w[1], m_result.out);
        } else if (what == "absent") {
            EXPECT_FALSE(fs::exists(fs::symlink_status(w[1]))) << w[1];
        } else if (what == "contains") {
            const std::vector<uint8_t> bytes = ReadBytes(w[1]);
            EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(w[2]), std::string::npos);
        } else if (what == "at") {  // PATH OFFSET TEXT [REPEATED COUNT]
            const std::string want = TextOf(w, 3);
            const std::vector<uint8_t> bytes = ReadBytes(w[1]);
            const std::size_t at = std::min<std::size_t>(std::stoul(w[2]), bytes.size());
            EXPECT_EQ(std::string(bytes.begin() + at, bytes.end()).substr(0, want.size()), want);
        } else if (what == "size") {
            EXPECT_EQ(fs::file_size(w[1]), std::stoul(w[2]));
        } else if (what == "same") {
            EXPECT_EQ(ReadBytes(w[1]), ReadBytes(w[2]));
        } else if (what == "png") {  // PATH WIDTH HEIGHT, either may be *
            std::vector<uint8_t> png = ReadBytes(w[1]);
            png.resize(std::max<std::size_t>(png.size(), 24));
            EXPECT_EQ(std::string(png.begin(), png.begin() + 4), "\x89PNG");
            for (const std::size_t i : {2u, 3u}) {  // the width at byte 16, the height at 20
                const uint8_t* p = &png[8 + 4 * i];
                const uint32_t value = uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3];
                EXPECT_TRUE(w[i] == "*" || value == std::stoul(w[i])) << value;
            }
        } else if (what == "rows" || what == "rowsbelow" || what == "row" || what == "dots") {
            CheckRows(w, ReadStreamRows(ReadBytes(w[1])));
        } else if (what == "job") {  // TICKET MODEL DPI [resy=N] [byte=I:V] [PAGE...]
            JobTicket ticket = DefaultTicket(w[2], static_cast<int16_t>(std::stoi(w[3])));
            std::vector<TestPage> pages;
            for (std::size_t i = 4; i < w.size(); ++i) {
                const std::string value = w[i].substr(w[i].find('=') + 1);
                if (w[i].rfind("resy=", 0) == 0) {
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
            if (!pages.empty()) WriteJobData(DataPath(w[1]), pages);
        } else if (what == "stalled") {  // TICKET PAGE ROWS: the host is still writing the page
            std::string error;
            std::unique_ptr<JobWriter>& writer = m_writers[w[1]];
            writer = JobWriter::Create(DataPath(w[1]), error);
            EXPECT_TRUE(writer) << error;
            if (writer) AppendPage(*writer, PageOf(w[2]), 0, std::stoi(w[3]));
        } else if (what == "append") {  // TICKET PAGE FIRST COUNT: the host writes more rows
            AppendPage(*m_writers.at(w[1]), PageOf(w[2]), std::stoi(w[3]), std::stoi(w[4]));
        } else if (what == "finish") {
            std::string error;
            EXPECT_TRUE(m_writers.at(w[1])->Finish(error)) << error;
        } else if (what == "lock" || what == "unlock") {  // NAME: the job's named mutex, shared
            ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
            std::unique_ptr<CMutex>& mutex = m_mutexes[w[1]];
            if (!mutex) mutex = std::make_unique<CMutex>(false, w[1].c_str());
            EXPECT_EQ(what == "lock" ? mutex->Lock() : mutex->Unlock(), 1) << w[1];
        } else if (what == "held") {  // NAME: until the first tool started holds it
            ScopedEnv sharedLocks("TARNWICK_LOCK_DIR", lockDir());
            CMutex mutex(false, w[1].c_str());
            while (mutex.Lock(0) == 1 && !m_started.front()->Exited()) {
                mutex.Unlock();
                std::this_thread::yield();
            }
            EXPECT_FALSE(m_started.front()->Exited()) << "the tool ended before it took " << w[1];
        } else if (what == "waiting") {
            EXPECT_TRUE(hardening::SomeoneWaitsFor()) << "no tool waits for a named mutex";
        } else if (what == "start") {  // TEXT|- COMMAND...: in the background, once it says TEXT
            m_started.push_back(std::make_unique<RunningTool>(
                std::vector<std::string>(w.begin() + 2, w.end()), CommandEnv(), m_limits));
            const std::optional<std::string> first =
                w[1] == "-" ? std::nullopt : m_started.back()->ReadErrorLine();
            EXPECT_TRUE(w[1] == "-" || (first && first->find(w[1]) != std::string::npos))
                << first.value_or("the tool ended without a word");
        } else if (what == "running") {
            EXPECT_FALSE(m_started.front()->Exited()) << "the first tool started has ended";
        } else if (what == "wait") {  // EXIT: the first tool started ends with it
            const ToolResult result = m_started.front()->Wait();
            m_started.pop_front();
            EXPECT_FALSE(result.hung);
            EXPECT_EQ(result.exitCode, std::stoi(w[1])) << result.err;
            ExpectNoLeftovers();
        } else {
            return false;
        }
        return true;
    }

    // rows PATH N...: the pages' row counts; rowsbelow PATH N: the first page has fewer;
    // row PATH I HEX...: the planes of row I of the first page; dots PATH MIN MAX: the set bits of
    // its rows, each of one plane.
    static void CheckRows(const std::vector<std::string>& w, const std::vector<StreamPage>& pages) {
        std::vector<std::string> counts;
        for (const StreamPage& page : pages) counts.push_back(std::to_string(page.rows.size()));
        if (w[0] == "rows") {
            EXPECT_EQ(counts, std::vector<std::string>(w.begin() + 2, w.end()));
            return;
        }
        ASSERT_FALSE(pages.empty());
        EXPECT_TRUE(w[0] != "rowsbelow" || pages[0].rows.size() < std::stoul(w[2]));
        if (w[0] == "row") {
            std::vector<std::vector<uint8_t>> planes;
            for (std::size_t i = 3; i < w.size(); ++i) planes.push_back(HexBytes(w[i]));
            EXPECT_EQ(pages[0].rows.at(std::stoul(w[2])).planes, planes);
        }
        if (w[0] == "dots") {
            int dots = 0;
            for (const StreamRow& row : pages[0].rows) {
                ASSERT_EQ(row.planes.size(), 1u);
                for (const uint8_t byte : row.planes[0]) dots += __builtin_popcount(byte);
            }
            EXPECT_TRUE(dots >= std::stoi(w[2]) && dots <= std::stoi(w[3])) << dots;
        }
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
        } else if (what == "stderr" || what == "!stderr" || what == "stdout" || what == "!stdout") {
            const std::string& output = what.ends_with("err") ? r.err : r.out;
            EXPECT_EQ(output.find(text) != std::string::npos, what[0] != '!') << output;
        } else if (what == "stdout=") {
            EXPECT_EQ(r.out, text);
        } else if (what == "stdout$") {
            EXPECT_TRUE(r.out.ends_with(text));
        } else if (what == "json") {
            JsonValue json;
            EXPECT_TRUE(ParseJson(r.out, json)) << r.out;
            EXPECT_NE(r.out.find(text), std::string::npos) << r.out;
        } else {
            ADD_FAILURE() << "unknown check " << what;
        }
    }

    // Runs a command; after "signal SIG TEXT" it gets SIG once its first stderr line shows TEXT,
    // after "answer PROMPT REPLY" it runs on a terminal that answers the prompt.
    ToolResult Execute(const std::vector<std::string>& command) {
        const std::vector<std::string> next = std::exchange(m_next, {});
        RunningTool tool(command, CommandEnv(), m_limits, !next.empty() && next[0] == "answer");
        if (!next.empty() && next[0] == "signal") {
            const std::optional<std::string> first = tool.ReadErrorLine();
            EXPECT_TRUE(first && first->find(next[2]) != std::string::npos)
                << first.value_or("the tool ended without a word");
            tool.Signal(next[1] == "INT" ? SIGINT : SIGTERM);
        }
        EXPECT_TRUE(next.empty() || next[0] != "answer" || tool.Answer(next[1], next[2]));
        return tool.Wait();
    }

    // A tool still running in the background may have its output half written.
    void ExpectNoLeftovers() const {
        const std::vector<std::string> none;
        EXPECT_EQ(m_started.empty() ? Leftovers() : none, none) << "temporary files were left";
    }

    ToolEnv CommandEnv() const {
        ToolEnv env = Env();
        for (const auto& [name, value] : m_env) env[name] = value;
        return env;
    }

    ScriptVars m_vars;
    ToolEnv m_env;
    std::vector<std::string> m_next;  // a signal or an answer for the next command
    std::map<std::string, std::unique_ptr<JobWriter>> m_writers;  // by ticket
    std::map<std::string, std::unique_ptr<CMutex>> m_mutexes;
    std::deque<std::unique_ptr<RunningTool>> m_started;  // in the background, oldest first
    ToolResult m_result;
    ToolLimits m_limits{.stallMillis = 90'000};  // long inspections are silent for seconds
};

TEST_P(CommandTable, EveryCommandGivesItsExitCodeAndWords) {
    m_vars.values = {{"$T", Dir()},
                     {"$DATA", TARNWICK_SOURCE_DATADIR},
                     {"$FILES", fs::path(__FILE__).parent_path() / "files"}};
    for (const TableRow& row : GetParam().rows) {
        SCOPED_TRACE(row.where);
        std::vector<std::string> w = m_vars.Expand(row.words);
        if (w[0] == "unprivileged") {
            if (::geteuid() == 0) continue;
            w.erase(w.begin());
        }
        if (Prepare(w) || HasFatalFailure()) continue;
        if (w[0] == "+") {  // another check of the command before
            Check(m_result, w[1], w.size() > 2 ? w[2] : "");
            continue;
        }
        const std::size_t args = w[1] == "-" ? 2 : 3;
        ASSERT_GE(w.size(), args) << "a line needs an exit code, a check and a command";
        const auto before = Snapshot();
        m_result = Execute({w.begin() + static_cast<long>(args), w.end()});
        EXPECT_FALSE(m_result.hung);
        EXPECT_EQ(m_result.signal, 0) << m_result.err;
        EXPECT_EQ(m_result.exitCode, std::stoi(w[0])) << m_result.out << m_result.err;
        if (args == 3) Check(m_result, w[1], w[2]);
        EXPECT_EQ(m_result.err.find("bad_alloc"), std::string::npos) << m_result.err;
        // A failure keeps every file; inspect's faults still give a preview.
        const bool preview = std::find(w.begin(), w.end(), "--preview") != w.end();
        if ((m_result.exitCode == 1 || m_result.exitCode == 2) && !preview) {
            EXPECT_TRUE(Snapshot() == before) << "a failed command changed a file";
        }
        ExpectNoLeftovers();
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, CommandTable,
                         ::testing::ValuesIn(ReadScripts(__FILE__, "commands.txt")),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tarnwick::test
