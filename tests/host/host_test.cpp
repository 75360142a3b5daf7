// The host's helpers: paths, text and numbers in the C locale, colour names, lists, the log, the
// job ticket's settings, XML and its enciphered form. Input-to-output cases: host_cases.txt.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cli/cli_fixture.h"
#include "host/afile_path.h"
#include "host/aob_list.h"
#include "host/astring.h"
#include "host/c_locale.h"
#include "host/job/colorant.h"
#include "host/job_ticket.h"
#include "host/kv_log.h"
#include "host/locale_switcher.h"
#include "host/ox_colors.h"
#include "host/xml_cipher.h"
#include "host/xml_tree.h"
#include "rtl/text_table.h"
#include "support/comma_locale.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

using test::PrintedInLocale;

const char* Arg(const std::string& text) {
    return text == "(null)" ? nullptr : text.c_str();
}

std::string Write(const test::TempDir& dir, const char* name, const std::vector<uint8_t>& data) {
    std::ofstream(dir.file(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<long>(data.size()));
    return dir.file(name);
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(HostHelpers, CaseTable) {
    const std::string here = std::filesystem::path(__FILE__).parent_path().string() + "/";
    for (const test::TableRow& r : test::ReadTable(__FILE__, "host_cases.txt")) {
        SCOPED_TRACE(r.where);
        const std::string& op = r[0];
        const bool no = r.words.back() == "-", yes = r.words.back() == "1";
        if (op == "path") {
            AFilePath text(r[1].c_str()), string(r[1].c_str());
            text += Arg(r[2]);
            string += AString(Arg(r[2]));
            EXPECT_EQ(std::tuple(std::string(text.c_str()), string.GetFullPath().str()),
                      std::tuple(r[3], r[3]));
        } else if (op == "exists") {
            const AFilePath p(r[1].empty() ? "" : (here + r[1]).c_str());
            EXPECT_EQ(std::tuple(p.exists() != 0, p.isDirectory() != 0),
                      std::tuple(r[2] == "1", yes));
        } else if (op == "root") {
            EXPECT_EQ(ChooseConfigurationRoot(Arg(r[1]), r[2] == "." ? here : r[2], r[3]),
                      r[4] == "." ? here : r[4]);
        } else if (op == "ink") {
            EXPECT_STREQ(GetOxColorName(r.Int(1)), r[2].c_str());
        } else if (op == "color") {
            EXPECT_EQ(GetOxColorValue(Arg(r[1])), uint32_t(std::stoul(r[2], nullptr, 16)));
        } else if (op == "find") {
            EXPECT_EQ(AString(r[1].c_str()).Find(Arg(r[2])), r.Int(3));
        } else if (op == "append") {
            AString text("old"), string(Arg(r[1]));
            text = Arg(r[1]);
            text += Arg(r[2]);
            string += AString(Arg(r[2]));
            EXPECT_EQ(std::tuple(text.str(), string.str()), std::tuple(r[3], r[3]));
        } else if (op == "less") {
            const AString a(r[1].c_str()), b(r[2].c_str());
            EXPECT_EQ(std::tuple(a < b, a < r[2].c_str(), r[1].c_str() < b),
                      std::tuple(yes, yes, yes));
        } else if (op == "equal") {
            const AString a(r[1].c_str()), b(Arg(r[2]));
            EXPECT_EQ(std::tuple(a == b, a == Arg(r[2]), a != b), std::tuple(yes, yes, !yes));
        } else if (op == "int") {
            int v = 123;
            EXPECT_EQ(ScanIntC(Arg(r[1]), &v), !no);
            EXPECT_EQ(v, no ? 123 : r.Int(2));
        } else if (op == "double") {
            bool ok = no;
            EXPECT_DOUBLE_EQ(ParseDoubleC(Arg(r[1]), &ok), no ? 0.0 : r.Real(2));
            EXPECT_EQ(ok, !no);
        } else if (op == "float") {
            float f = 9.0f;
            EXPECT_EQ(ScanFloatC(Arg(r[1]), &f), !no);
            EXPECT_FLOAT_EQ(f, no ? 9.0f : float(r.Real(2)));
        } else if (op == "xml") {
            AXMLTree tree("RootElement");
            AXMLTreeNode root;
            ASSERT_NE(tree.loadXML("<RootElement/>", 1), 0);
            EXPECT_EQ(tree.loadXML(Arg(r[1]), 1), 0);
            EXPECT_FALSE(tree.lastError().empty());
            EXPECT_EQ(tree.getRootNode(root), 0);
        } else {
            const std::vector<uint8_t> data = test::HexBytes(r[op == "cipher" ? 2 : 1]);
            std::vector<uint8_t> plain{'o', 'l', 'd'};
            std::string error;
            const bool cipher = op == "cipher";
            EXPECT_EQ(DecipherXml(data, plain, error), cipher) << error;
            EXPECT_EQ(plain, cipher ? Bytes(r[1]) : std::vector<uint8_t>{});
            EXPECT_EQ(cipher ? EncipherXml(plain) : data, data);  // the same bytes again
            EXPECT_NE(error.find(cipher ? "" : r[2]), std::string::npos) << error;
        }
    }
    EXPECT_DOUBLE_EQ(ParseDoubleC("0.25", nullptr), 0.25);
    EXPECT_EQ(FormatC("%.2f|%d|%s", 1.25, -3, "x"), "1.25|-3|x");
    EXPECT_EQ(FormatC("%s", std::string(3000, 'a').c_str()).size(), 3000u);
}

using CLocaleUnderComma = test::CommaLocaleTest;

TEST_F(CLocaleUnderComma, HelpersAndTheSwitcherUseTheDecimalPoint) {
    bool ok = false;
    EXPECT_EQ(ParseDoubleC("0.5", &ok), 0.5);
    EXPECT_TRUE(ok);
    float f = 0;
    EXPECT_TRUE(ScanFloatC("2.75", &f));
    EXPECT_EQ(f, 2.75f);
    EXPECT_EQ(FormatC("%.2f", 1.25), "1.25");
    EXPECT_EQ(PrintedInLocale(1.25), "1,25");  // FormatC put the thread's locale back
    {
        ALocaleSwitcher outer;
        EXPECT_EQ(PrintedInLocale(1.25), "1.25");
        EXPECT_EQ(std::strtod("0.5", nullptr), 0.5);
        {
            ALocaleSwitcher inner;
            EXPECT_EQ(PrintedInLocale(1.25), "1.25");
        }
        EXPECT_EQ(PrintedInLocale(1.25), "1.25");  // the inner scope restored the outer one
    }
    EXPECT_EQ(PrintedInLocale(1.25), "1,25");
    EXPECT_EQ(uselocale(locale_t{}), m_comma);
}

// Counts its destructions, to see who owns it.
class CountedColorant : public AColorant {
  public:
    CountedColorant(const char* name, int* destroyed)
        : AColorant(AString(name), 1, 0), m_destroyed(destroyed) {}
    ~CountedColorant() override { ++*m_destroyed; }

  private:
    int* m_destroyed;
};

TEST(HostHelpers, ListOwnsEntriesAndHandsThemOutOnRelease) {
    int destroyed = 0;
    std::unique_ptr<AColorant> released;
    {
        AObList list(0, 10);
        list.AddTail(std::make_unique<CountedColorant>("Cyan", &destroyed));
        list.AddTail(std::make_unique<CountedColorant>("Black", &destroyed));
        ASSERT_EQ(list.GetCount(), 2);
        EXPECT_EQ(list.GetAt(1)->GetName(), "Black");
        EXPECT_EQ(list.GetAt(2), nullptr);
        EXPECT_EQ(list.GetAt(-1), nullptr);
        released = list.Release(0);
        ASSERT_NE(released, nullptr);
        EXPECT_EQ(released->GetName(), "Cyan");
        EXPECT_EQ(list.GetCount(), 2);  // the slot stays, empty
        EXPECT_EQ(list.GetAt(0), nullptr);
        EXPECT_EQ(list.Release(0), nullptr);
        EXPECT_EQ(list.Release(7), nullptr);
    }
    EXPECT_EQ(destroyed, 1);  // the list destroyed what it still held
    released.reset();
    EXPECT_EQ(destroyed, 2);
}

TEST(HostHelpers, LogEntriesCarryTheSiteOfTheirThreadsHelper) {
    {
        ScopedLogCapture capture;
        KVLogHelper mine("MainUnit", 1, 'E');
        std::thread([] { KVLogHelper("WorkerUnit", 2, 'W').Log("worker"); }).join();
        KVLogHelper::Log("main");
        {
            ScopedLogCapture inner;  // captures nest and restore their predecessor
            KVLogHelper("PrinterDriver/Common/Xsrc/ABaseRTL", 114, 'E')
                .Log("ABaseRTL::%s %d\n", "Write", 7);
            ASSERT_EQ(inner.entries().size(), 1u);
            const LogEntry& e = inner.entries()[0];
            // the trailing line break is dropped
            EXPECT_EQ(std::tuple(e.source, e.line, e.text),
                      std::tuple("PrinterDriver/Common/Xsrc/ABaseRTL", 114, "ABaseRTL::Write 7"));
        }
        ASSERT_EQ(capture.entries().size(), 2u);
        const LogEntry &worker = capture.entries()[0], &main = capture.entries()[1];
        EXPECT_EQ(std::tuple(worker.source, worker.level), std::tuple("WorkerUnit", 'W'));
        EXPECT_EQ(std::tuple(main.source, main.line, main.level), std::tuple("MainUnit", 1, 'E'));
    }
    LogSink previous = SetLogSink(nullptr);
    ::testing::internal::CaptureStderr();
    KVLogHelper("Unit/Name", 42, 'E').Log("failed %d", 3);
    const std::string written = ::testing::internal::GetCapturedStderr();
    SetLogSink(std::move(previous));
    EXPECT_EQ(written, "E Unit/Name:42: failed 3\n");
}

TEST(HostHelpers, EditedTicketSettingsReplaceOnlyTheOptionArea) {
    test::TempDir dir;
    const std::string path = dir.file("job.tkt");
    JobTicket ticket = test::DefaultTicket("Coldstream SP-1400C", 720, 2);
    ticket.calibrationText = "feed~0.5";
    std::string error, model;
    ASSERT_TRUE(WriteJobTicket(path, ticket, error)) << error;
    std::ofstream(path, std::ios::binary | std::ios::app) << "host data";  // the host's, kept
    const std::vector<uint8_t> before = test::ReadBytes(path);
    SettingsArea area{};
    ASSERT_TRUE(ReadTicketSettings(path, model, area, error)) << error;
    EXPECT_EQ(std::tuple(model, area.settings.tag), std::tuple("Coldstream SP-1400C", 24));
    area.settings.overprint = 2;
    area.rest[100] = 0x77;
    ASSERT_TRUE(WriteTicketSettings(path, area, error)) << error;
    std::vector<uint8_t> after = test::ReadBytes(path);
    SettingsArea reread{};
    ASSERT_TRUE(ReadTicketSettings(path, model, reread, error));
    EXPECT_EQ(std::tuple(reread.settings.overprint, reread.rest[100]), std::tuple(2, 0x77));
    ASSERT_EQ(after.size(), before.size());
    std::copy_n(before.begin() + job_header::kSettings, 256, after.begin() + job_header::kSettings);
    EXPECT_EQ(after, before);

    // Short or missing tickets are refused, untouched.
    const std::string shortTicket = dir.file("short.tkt");
    std::ofstream(shortTicket, std::ios::binary) << std::string(kJobHeaderSize - 1, 'x');
    EXPECT_FALSE(ReadTicketSettings(shortTicket, model, area, error));
    EXPECT_NE(error.find("3940"), std::string::npos);
    EXPECT_FALSE(WriteTicketSettings(shortTicket, area, error));
    EXPECT_EQ(std::filesystem::file_size(shortTicket), kJobHeaderSize - 1);
    EXPECT_FALSE(WriteTicketSettings(dir.file("absent.tkt"), area, error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.tkt")));
}

const char* const kDoc =
    "<?xml version=\"1.0\"?>\n"
    "<RootElement version=\"2\">\n"
    "  <!-- comment --><?pi data?>loose text\n"
    "  <Mode name=\"draft\">fast<Extra/></Mode>\n"
    "  <Mode name=\"fine\"/>\n"
    "  <Other><![CDATA[raw <text>]]></Other>\n"
    "</RootElement>\n";

TEST(XmlTree, ElementChildrenNamesAttributesAndValues) {
    AXMLTree tree("RootElement");
    AXMLTreeNode root, child, mode, out;
    ASSERT_NE(tree.loadXML(kDoc, 1), 0) << tree.lastError();
    ASSERT_NE(tree.getRootNode(root), 0);
    EXPECT_EQ(std::tuple(tree.getName(root).str(), tree.getChildCount(root)),
              std::tuple("RootElement", 3));  // elements only
    ASSERT_NE(tree.getChild(0, root, child), 0);
    EXPECT_EQ(tree.getAttribute(child, "name"), "draft");
    ASSERT_NE(tree.getChild(2, root, child), 0);
    EXPECT_EQ(std::tuple(tree.getName(child).str(), tree.getValue(child).str()),
              std::tuple("Other", "raw <text>"));
    // Out of range or not found: result 0, out still the node found before.
    EXPECT_EQ(tree.getChild(3, root, child) + tree.getChild(-1, root, child) +
                  tree.getChild("Missing", root, child) + tree.getChild("mode", root, child) +
                  tree.getChild(nullptr, root, child),
              0);
    EXPECT_EQ(tree.getName(child), "Other");
    ASSERT_NE(tree.getChild("Mode", root, mode), 0);  // the first of the name
    EXPECT_EQ(std::tuple(tree.getAttribute(mode, "name").str(), tree.getValue(mode).str(),
                         tree.getChildCount(mode), tree.getAttribute(mode, "absent").str(),
                         tree.getAttribute(mode, nullptr).str()),
              std::tuple("draft", "fast", 1, "", ""));
    EXPECT_EQ(tree.getValue(root).Find("loose text"), 0);  // text, yet not a child
    const AXMLTreeNode empty;
    EXPECT_EQ(tree.getChild("Mode", empty, out) + tree.getChild(0, empty, out) +
                  tree.getChildCount(empty),
              0);
    EXPECT_TRUE(out.IsEmpty());
    EXPECT_EQ(tree.getName(empty).str() + tree.getAttribute(empty, "name").str() +
                  tree.getValue(empty).str(),
              "");
    ASSERT_NE(tree.loadXML("<Other/>", 1), 0);  // the root name is not checked
    EXPECT_TRUE(tree.lastError().empty());
}

TEST(XmlTree, FilesPlainAndEncipheredLoadOrAreRefusedWithAReason) {
    test::TempDir dir;
    std::ofstream(dir.file("ok.xml")) << kDoc;
    std::ofstream(dir.file("broken.xml")) << "<RootElement><a></RootElement>";
    // Sparse: costs no disk space.
    const int fd = ::open(dir.file("huge.xml").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 * 1024 * 1024 + 1), 0);
    ::close(fd);
    const std::vector<uint8_t> enciphered = EncipherXml(Bytes("<RootElement a=\"1\"/>"));
    std::vector<uint8_t> damaged = enciphered;
    damaged.back() ^= 0x40;
    const std::string plainPath = Write(dir, "plain.xml", Bytes("<RootElement a=\"1\"/>"));

    AXMLTree tree("RootElement");
    AEnXMLTree enTree("RootElement");
    AXMLTreeNode root;
    ASSERT_NE(tree.loadFromFile(dir.file("ok.xml").c_str(), 1), 0) << tree.lastError();
    ASSERT_NE(tree.getRootNode(root), 0);
    EXPECT_EQ(tree.getAttribute(root, "version"), "2");
    ASSERT_NE(enTree.loadFromFileEn(Write(dir, "good.enx", enciphered).c_str(), 1), 0)
        << enTree.lastError();
    ASSERT_NE(enTree.getRootNode(root), 0);
    EXPECT_EQ(enTree.getAttribute(root, "a"), "1");
    const std::tuple<AXMLTree*, std::string, const char*> refused[] = {
        {&tree, dir.file("missing.xml"), "missing.xml"},
        {&tree, dir.path(), ""},  // a folder
        {&tree, dir.file("broken.xml"), "broken.xml"},
        {&tree, dir.file("huge.xml"), "larger than the limit of 64 MiB"},
        {&enTree, plainPath, "not an enciphered configuration file"},
        {&enTree, Write(dir, "damaged.enx", damaged), "checksum mismatch"},
        {&enTree, dir.file("missing.enx"), "missing.enx"},
        // Intact cipher around text that is not XML: the XML error comes through.
        {&enTree, Write(dir, "junk.enx", EncipherXml(Bytes("<a><b></a>"))), "XML error"}};
    for (const auto& [which, path, reason] : refused) {
        EXPECT_EQ(which == &tree ? tree.loadFromFile(path.c_str(), 1)
                                 : enTree.loadFromFileEn(path.c_str(), 1),
                  0)
            << path;
        EXPECT_FALSE(which->lastError().empty()) << path;
        EXPECT_NE(which->lastError().find(reason), std::string::npos) << which->lastError();
        EXPECT_EQ(which->getRootNode(root), 0) << path;  // the earlier document is gone
    }
    EXPECT_EQ(tree.loadFromFile(nullptr, 1), 0);

    // The file round trip and a plain file refused: the tool's command table ([Cipher]).
    std::string error;
    EXPECT_FALSE(EncipherFile(dir.file("none").c_str(), dir.file("out.enx").c_str(), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tarnwick
