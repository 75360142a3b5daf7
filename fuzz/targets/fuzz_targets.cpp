// The fuzz harness (fuzz_support.h) and the entry points over it. What the product writes into is a
// heap block of exactly the host's size, so that the sanitizer sees a write past it.
#include "fuzz_targets.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/glossary.h"
#include "engine/arow_base_rtl.h"
#include "fuzz_support.h"
#include "host/afile_path.h"
#include "host/aob_list.h"
#include "host/file_bytes.h"
#include "host/job/colorant.h"
#include "host/job/image.h"
#include "host/job/ox_job.h"
#include "host/job_ticket.h"
#include "host/xml_cipher.h"
#include "host/xml_tree.h"
#include "inspect/preview_renderer.h"
#include "inspect/report_format.h"
#include "inspect/stream_inspector.h"
#include "platform/named_mutex.h"
#include "rtl/rtl.h"
#include "support/job_fixture.h"
#include "support/reference_packbits.h"
#include "support/stream_rows.h"
#include "support/temp_dir.h"

namespace tarnwick::fuzz {
namespace fs = std::filesystem;

// One folder per process: making and removing one per input would cost more than most inputs,
// and a configuration root made anew would be read anew.
FuzzRun::FuzzRun(std::vector<int> messageAnswers)
    : folder([] {
          static const test::TempDir dir;
          ::mkdir(dir.file("locks").c_str(), 0700);  // the named mutexes refuse a shared folder
          fs::create_directories(dir.file("root/OutputDrivers"));
          return dir.path();
      }()),
      messages(std::move(messageAnswers)) {}

FuzzRun::~FuzzRun() {
    std::error_code ec;
    for (const std::string& scratch : {folder, OutputDrivers()}) {
        for (const auto& entry : fs::directory_iterator(scratch, ec)) {
            const auto name = entry.path().filename();
            if (name != "locks" && name != "root") fs::remove_all(entry.path(), ec);
        }
    }
}

bool WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::string error;
    return WriteFileBytes(path.c_str(), bytes, error);
}

std::string DataFileFor(const std::string& ticketPath) {
    return OXJob::GetFileName(ePrefix0, AFilePath(ticketPath.c_str())).c_str();
}

int PrintJob(Invariants& check, FuzzRun& run, std::span<const uint8_t> ticket, const char* options,
             int maxSteps, bool smallJob) {
    const std::string path = run.Ticket();
    check.Check(WriteBytes(path, ticket), "the run's files can be written");
    // Four 1-bit inks, then a placed page: a 2-bit ink, a layer, an ink no colour mode names.
    if (smallJob) {
        test::WriteJobData(DataFileFor(path),
                           {{24, 3, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}},
                            {20, 2, 3, 2, {{"Black", 2}, {"Black_l_2", 2}, {"Unnamed"}}}});
    }
    const auto record = test::MakeHostRecord(path);
    HostJobRecord& job = *record;
    job.m_pszCustomColorXml = options;
    test::MemoryChannel out;
    CDriver driver;
    const int opened = driver.OpenJob(&job, &out);
    bool stepFailed = false;
    for (int steps = 0; opened != 0 && steps < maxSteps && job.m_nDone != -1; ++steps) {
        if ((stepFailed = driver.PrintStep(nullptr, nullptr, nullptr) == 0)) break;
    }
    const bool finished = opened != 0 && !stepFailed && job.m_nDone == -1;
    check.Check(opened == 0 || finished || driver.AbortJob(nullptr, nullptr, nullptr) != 0,
                "an abort succeeds while the channel works");
    check.Check(opened == 1 || job.m_nDone == -1, "a job that fails to open is done");
    check.Check(opened != 0 || out.bytes.empty(), "a job that fails to open sends nothing");
    check.Check(opened != 0 || !run.log.entries().empty(), "a job that fails to open says why");
    check.Check(!stepFailed || !run.log.entries().empty() || !run.messages.requests().empty(),
                "a failed step says why or asked the user");
    check.Check(!finished || !smallJob || test::CountOf(out.bytes, "\x1b*rC") == 2,
                "a finished job ends both pages");
    auto* engine = dynamic_cast<ARowBaseRTL*>(driver.Engine());
    check.Check(engine != nullptr && !engine->HoldsStartLock() && !engine->HoldsLayoutLock(),
                "the engine holds no mutex once the job is over");
    check.Check(JobLocksFree(engine ? std::atoi(engine->JobId().c_str()) : 0),
                "the job's named mutexes are free once it is over");
    return opened;
}

bool FreeForOtherThreads(const std::string& name) {
    // The owning thread may always take its mutex again, so only another thread can tell.
    bool free = false;
    std::thread([&] {
        CMutex mutex(false, name.c_str());
        if ((free = mutex.Lock(0) == 1)) mutex.Unlock();
    }).join();
    return free;
}

bool JobLocksFree(int jobId) {
    return FreeForOtherThreads("QRM_PRINT_START" + std::to_string(jobId)) &&
           FreeForOtherThreads("QRM_PRINT_MAKELAYOUT" + std::to_string(jobId));
}

namespace {

// A CP52 ticket at 180 dpi, colour model 2, whose settings area holds the printer's defaults.
std::vector<uint8_t> TicketBytes(bool colorBar) {
    JobTicket ticket = test::DefaultTicket("CP52", 180, 2);
    ticket.settings[offsetof(PrinterSettings, colorBar)] = colorBar ? 1 : 0;
    return EncodeJobTicket(ticket);
}

constexpr uint8_t kFill = 0xA5;

std::unique_ptr<uint8_t[]> Filled(std::size_t n) {
    auto block = std::make_unique<uint8_t[]>(n);
    std::fill_n(block.get(), n, kFill);
    return block;
}

bool Untouched(const std::unique_ptr<uint8_t[]>& block, std::size_t from, std::size_t to) {
    return std::all_of(block.get() + from, block.get() + to, [](uint8_t b) { return b == kFill; });
}

// The job data target's reads of a page's rows.
struct Reader {
    Invariants& check;
    int64_t budget = int64_t{4} << 20;  // row bytes per input, so that absurd widths stay quick

    int Read(AImage& image, const AColorant& colorant, int row, int rowCount, int64_t rowBytes) {
        const auto bytes = static_cast<std::size_t>(rowBytes * rowCount);
        budget -= rowBytes * rowCount;
        auto buffer = Filled(bytes);
        const int result = image.ReadRows(&colorant, row, rowCount, buffer.get(), 0);
        check.Check(result != 0 || Untouched(buffer, 0, bytes),
                    "a refused read leaves the destination untouched");
        return result;
    }

    void Colorant(AImage& image, const AColorant& colorant, bool complete) {
        const int height = image.GetHeight();
        const int64_t rowBytes = (int64_t{image.GetWidth()} * colorant.GetBitsPerPixel() + 7) / 8;
        for (int row : {0, 1, height / 2, height - 1}) {
            if (row < 0 || row >= height || budget < rowBytes) continue;
            const int result = Read(image, colorant, row, 1, rowBytes);
            check.Check(!complete || result == 1, "every row of a complete page reads");
        }
        if (budget < 2 * rowBytes) return;
        for (int row : {-1, height, INT_MAX}) {
            check.Check(Read(image, colorant, row, 1, rowBytes) == 0,
                        "rows outside the page are not available");
        }
        check.Check(height <= 0 || Read(image, colorant, height - 1, 2, rowBytes) == 0,
                    "a read running past the last row is refused");
    }

    void Page(OXJob& job, unsigned page) {
        auto* image = dynamic_cast<AGroupImage*>(job.GetImage(page));
        check.Check(image != nullptr, "every page the file announces has an image");
        if (image == nullptr) return;
        const bool complete = job.m_bWriting == 0 || static_cast<int>(page) < job.m_nWritePage;
        AObList colorants(0, 10);
        image->GetColorants(colorants);
        int x = 0, y = 0;
        image->GetOffset(x, y);
        // As placed in the file, then with the placement dropped as the engine does.
        for (const auto& [dx, dy] : {std::pair{0, 0}, std::pair{-x, -y}}) {
            image->SetOffset(dx, dy);
            check.Check(image->GetWidth() >= 0 && image->GetHeight() >= 0,
                        "page sizes are not negative");
            for (int c = 0; c < std::min(colorants.GetCount(), 4); ++c) {
                Colorant(*image, *colorants.GetAt(c), complete);
            }
        }
        check.Check(budget <= 0 || Read(*image, AColorant("Stranger", 1, 99), 0, 1, 1) == 0,
                    "a colorant of another page is not available");
    }
};

// The files the parts of an input fill, in order, and whether each is enciphered.
constexpr std::pair<const char*, bool> kFiles[] = {{"Ditherparams.xml", false},
                                                   {"ScreeningParams.xml", false},
                                                   {"TarnwickImaging/TarnwickImaging.xml", true},
                                                   {"Fellgate/ModelMap.xml", true},
                                                   {"Fellgate/CP52.xml", true},
                                                   {"OxGlossary.xml", false}};

constexpr const char* kPausePhrase = "Do you want to continue printing the next page?";

// The queries of one print setup.
void Query(Invariants& check, ABasePrinterDriver& driver, const char* model,
           const char* manufacturer, int media, int mode, int colorMode) {
    PrintSetup setup{};
    std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model);
    std::snprintf(setup.manufacturerName, sizeof setup.manufacturerName, "%s", manufacturer);
    setup.media = media;
    setup.printMode = setup.resolution = mode;
    setup.colorMode = colorMode;
    auto dither = std::make_unique<DitherParamRecord>();
    const int read = driver.LoadDitherParams(model, manufacturer, &setup, dither.get(), nullptr);
    check.Check(read == 0 || read == 1, "the dither query answers 0 or 1");
    check.Check(dither->inkCount >= 0 && dither->inkCount <= kDitherInks,
                "the dither defaults keep to the record's inks");
    auto screens = std::make_unique<ScreeningRecord>();
    check.Check(driver.LoadScreeningParams(screens.get(), &setup) == 1,
                "the screening query always has an answer");
    check.Check(screens->count >= 0 && screens->count <= kMaxScreenEntries,
                "the screen count fits the record");
    for (int i = 0; i < std::clamp(screens->count, 0, kMaxScreenEntries); ++i) {
        const ScreenEntry& e = screens->entries[i];
        check.Check(std::memchr(e.shapeName, '\0', sizeof e.shapeName) != nullptr &&
                        std::memchr(e.colorName, '\0', sizeof e.colorName) != nullptr,
                    "screen names end within their fields");
    }
}

// Reads the first 4096 elements (256 children each at most) as the configuration readers do.
int Walk(const AXMLTree& tree) {
    AXMLTreeNode root;
    if (!tree.getRootNode(root)) return 0;
    int seen = 0;
    for (std::vector<AXMLTreeNode> pending{root}; !pending.empty() && seen < 4096; ++seen) {
        const AXMLTreeNode node = pending.back();
        pending.pop_back();
        (void)tree.getName(node);
        (void)tree.getAttribute(node, "ID");
        (void)tree.getValue(node);
        for (int i = 0; i < std::min(tree.getChildCount(node), 256); ++i) {
            AXMLTreeNode child;
            if (tree.getChild(i, node, child)) pending.push_back(child);
        }
    }
    return seen;
}

// Checks the order of what the inspector hands to a sink.
struct OrderCheck : inspect::RowSink {
    explicit OrderCheck(Invariants& c) : check(c) {}
    void OnPageStart(const inspect::PageReport&) override {
        check.Check(!inPage, "a page starts only after the last one ended");
        inPage = true;
        ++pages;
    }
    void OnRow(std::span<const std::span<const uint8_t>> planes) override {
        check.Check(inPage, "rows come only inside a page");
        for (const auto& plane : planes) {
            check.Check(plane.size() <= (inspect::kMaxRasterWidth * 8 + 7) / 8,
                        "a plane row is at most 1,000,000 px");
        }
    }
    void OnPageEnd() override {
        check.Check(inPage, "a page ends only after it started");
        inPage = false;
    }
    Invariants& check;
    bool inPage = false;
    int pages = 0;
};

}  // namespace

// The job ticket: the small job opens or fails cleanly, whatever the host left there.

int FuzzJobTicket(const uint8_t* data, size_t size) {
    Invariants check{"job_ticket"};
    FuzzRun run;
    // Enough steps for both pages (start, rows, end each) and some slack.
    if (PrintJob(check, run, {data, size}, nullptr, 16) != 0) {
        check.Check(size >= kJobHeaderSize, "a ticket shorter than its header is refused");
    }
    return check.failures;
}

// The job options XML (JobId, PauseBtwPages, CustomColorMode) of the small job.

int FuzzJobOptionsXml(const uint8_t* data, size_t size) {
    Invariants check{"job_options_xml"};
    FuzzRun run({IDYES, IDNO});  // a pause between pages is answered Yes once, then No
    std::string xml(reinterpret_cast<const char*>(data), size);
    // Only texts that start like an XML declaration are read as options.
    if (xml.compare(0, 4, "<?xm") != 0) xml.insert(0, "<?xml version=\"1.0\"?>");
    check.Check(PrintJob(check, run, TicketBytes(true), xml.c_str(), 24) == 1,
                "job options never keep a job from opening");
    return check.failures;
}

// The job data file: refused with a reason, or every page reads back within its rows; small ones
// are printed.

int FuzzJobData(const uint8_t* data, size_t size) {
    Invariants check{"job_data"};
    FuzzRun run;
    const std::string path = DataFileFor(run.Ticket());
    check.Check(WriteBytes(path, {data, size}), "the run's files can be written");
    if (check.failures != 0) return check.failures;
    bool print = false;  // at most eight pages of at most 2048 pixels each way
    {
        OXJob job(0);
        if (job.Load(path.c_str()) == 0) {
            check.Check(!job.lastError().empty(), "a refused file says why");
            check.Check(job.m_nJobPages == 0 && job.GetImage(0) == nullptr,
                        "a refused file has no pages");
        } else {
            check.Check(job.m_nJobPages >= 0, "the page count is not negative");
            Reader reader{check};
            for (unsigned p = 0; p < std::min(unsigned(job.m_nJobPages), 16u); ++p) {
                reader.Page(job, p);
            }
            check.Check(job.GetImage(unsigned(job.m_nJobPages)) == nullptr,
                        "no page past the count");
            print = job.m_nJobPages <= 8;
            for (int p = 0; p < job.m_nJobPages && print; ++p) {
                auto* image = dynamic_cast<AGroupImage*>(job.GetImage(unsigned(p)));
                print = image && image->GetWidth() <= 2048 && image->GetHeight() <= 2048;
            }
        }
    }
    if (print) {
        // A host that says it is still writing never adds a row: after a few waits its file goes
        // away, which ends the job.
        int waits = 0;
        run.clock.onSleep = [&](uint32_t) {
            if (++waits == 3) std::remove(path.c_str());
        };
        run.clock.SetAutoAdvance(40);
        PrintJob(check, run, TicketBytes(false), nullptr, 48, false);
        run.clock.onSleep = nullptr;
    }
    return check.failures;
}

// The option texts the host hands back: pairs, binary, and the definition string.

int FuzzOptionText(const uint8_t* data, size_t size) {
    Invariants check{"option_text"};
    FuzzRun run;
    // The host's texts end at their first NUL.
    const std::string text(reinterpret_cast<const char*>(data),
                           std::find(data, data + size, uint8_t{0}) - data);
    CDriver driver;
    auto& engine = dynamic_cast<RTL&>(*driver.Engine());

    for (int n : {1, 8, 14}) {
        check.Check(ABaseRTL::ParseDriverOptionPairs(text.c_str(), Filled(n).get(), n) == 1,
                    "the pair parser always answers 1");
    }
    for (const char* model : {"CP52", "Generic RTL", static_cast<const char*>(nullptr)}) {
        auto area = Filled(kSettingsAreaSize);
        check.Check(engine.ApplyDriverOptions(text.c_str(), area.get(), model) == 1,
                    "options apply to a settings record");
        check.Check(Untouched(area, sizeof(PrinterSettings), kSettingsAreaSize),
                    "options never reach past the settings record");
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model ? model : "");
        check.Check(
            driver.ParseDriverOptions(text.c_str(), Filled(kSettingsAreaSize).get(), &setup) == 1,
            "the driver's option slot answers 1");
    }

    constexpr std::size_t kBinaryBytes = 200;  // that "DriverOptionBinary" fills at most
    auto area = Filled(kSettingsAreaSize);
    engine.ParseDriverOptions(("DriverOptionBinary=" + text).c_str(), area.get(), nullptr);
    check.Check(Untouched(area, kBinaryBytes, kSettingsAreaSize),
                "binary options fill at most 200 bytes");
    // Two hex digits per byte: bytes beyond the text's end keep their value.
    check.Check(Untouched(area, std::min(kBinaryBytes, (text.size() + 1) / 2), kBinaryBytes),
                "binary options stop at the end of the text");

    // The host's 1024-byte buffer; one value per option entry (a colon), at most 1023 of them.
    constexpr std::size_t kDefinition = 1024;
    auto definition = std::make_unique<char[]>(kDefinition);
    std::snprintf(definition.get(), kDefinition, "%s", text.c_str());
    auto values = std::make_unique<uint8_t[]>(kDefinition);
    for (std::size_t i = 0; i < kDefinition; ++i) values[i] = static_cast<uint8_t>(i % 7);
    ABaseRTL::InsertOptionValues(definition.get(), values.get());
    check.Check(std::memchr(definition.get(), '\0', kDefinition) != nullptr,
                "the definition string stays terminated within its buffer");
    return check.failures;
}

// The configuration files (the input split at NUL bytes) asked through the engine.

int FuzzConfigFiles(const uint8_t* data, size_t size) {
    Invariants check{"config_files"};
    FuzzRun run;
    std::vector<std::string> parts;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size) + '\0');
    for (std::string part; std::getline(in, part, '\0');) parts.push_back(part);
    for (size_t i = 0; i < std::min(parts.size(), std::size(kFiles)); ++i) {
        const auto path = fs::path(run.OutputDrivers()) / kFiles[i].first;
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        // Enciphered files are enciphered here, so that the input reaches their XML.
        const std::span plain(reinterpret_cast<const uint8_t*>(parts[i].data()), parts[i].size());
        const auto bytes =
            kFiles[i].second ? EncipherXml(plain) : std::vector(plain.begin(), plain.end());
        check.Check(WriteBytes(path.string(), bytes), "the run's files can be written");
        if (check.failures != 0) return check.failures;
    }
    ClearGlossaryCache();
    {
        CDriver driver;
        Query(check, driver, "CP52", "Tarnwick Imaging", 0, 0, 0);
        Query(check, driver, "CP52", "Fellgate Systems", 1, 5, 2);
        Query(check, driver, "Generic RTL", "", 2, 2, 1);
        const AString translated = Translate(AString(kPausePhrase));
        check.Check(parts.size() >= std::size(kFiles) || translated.str() == kPausePhrase,
                    "without a glossary a phrase stays");
        for (const MessageRequest& message : run.messages.requests()) {
            check.Check(!message.text.empty(), "a message box says something");
        }
    }
    // The glossary is kept for the life of the process; the next input brings its own.
    ClearGlossaryCache();
    return check.failures;
}

// The input as an enciphered file, where only an intact encipherment is accepted, and as the plain
// text of one, which must read as the same text stored plain.

int FuzzEncipheredXml(const uint8_t* data, size_t size) {
    Invariants check{"enciphered_xml"};
    FuzzRun run;
    const std::span<const uint8_t> input(data, size);
    std::vector<uint8_t> plain;
    std::string error;
    const bool intact = DecipherXml(input, plain, error);
    check.Check(!intact || EncipherXml(plain) == std::vector<uint8_t>(data, data + size),
                "an accepted file is exactly the encipherment of its text");
    check.Check(intact || (!error.empty() && plain.empty()),
                "a refused file says why and gives nothing");
    // The input stored as is, and its encipherment.
    const std::string stored = run.File("stored.xml"), enciphered = run.File("enciphered.xml");
    check.Check(WriteBytes(stored, input) && WriteBytes(enciphered, EncipherXml(input)),
                "the run's files can be written");
    if (check.failures != 0) return check.failures;
    AEnXMLTree tree("RootElement");
    const int loaded = tree.loadFromFileEn(stored.c_str(), 1);
    check.Check(intact || loaded == 0, "a file the decipherer refuses does not load");
    check.Check(loaded != 0 || !tree.lastError().empty(), "a failed load says why");
    Walk(tree);
    // The input as plain text: enciphered, it must load exactly when it loads stored plain.
    AEnXMLTree viaCipher("RootElement");
    AXMLTree direct("RootElement");
    check.Check(
        viaCipher.loadFromFileEn(enciphered.c_str(), 1) == direct.loadFromFile(stored.c_str(), 1),
        "enciphering does not change whether a text loads");
    check.Check(Walk(viaCipher) == Walk(direct), "enciphering does not change the tree");
    return check.failures;
}

// The stream inspector: the same report whole or in pieces, rows only in pages, a bounded preview.

int FuzzInspectStream(const uint8_t* data, size_t size) {
    Invariants check{"inspect_stream"};
    const std::span<const uint8_t> bytes(data, size);
    inspect::InspectOptions options;
    options.depth = size == 0 ? 1 : 1 << (data[size - 1] % 4);  // the last byte picks the depth
    OrderCheck order(check);
    const inspect::StreamReport report = inspect::InspectBytes(bytes, options, &order);
    check.Check(!order.inPage, "every page the sink saw start also ended");
    check.Check(order.pages == static_cast<int>(report.pages.size()),
                "the sink saw every page of the report");
    check.Check(report.bytes == size, "the report counts every byte");
    check.Check(
        report.faults.size() <= inspect::kMaxFaults && report.faultCount >= report.faults.size(),
        "faults are kept up to the limit and all counted");
    for (std::size_t i = 0; i < report.pages.size(); ++i) {
        check.Check(report.pages[i].number == static_cast<int>(i) + 1, "pages are numbered");
    }
    // The same bytes in pieces of 1 to 7 bytes.
    inspect::StreamInspector inspector(options);
    inspect::StreamScanner scanner(inspector);
    for (std::size_t at = 0, piece = 1; at < size; at += piece, piece = piece % 7 + 1) {
        scanner.Feed(bytes.subspan(at, std::min(piece, size - at)));
    }
    scanner.Finish();
    check.Check(inspect::FormatReportJson(report, "") ==
                    inspect::FormatReportJson(inspector.Finish(size), ""),
                "a stream fed in pieces gives the same report");

    inspect::PreviewOptions preview;
    preview.maxWidth = 300;
    preview.maxPixels = 200'000;
    inspect::PreviewRenderer renderer(report, preview);
    inspect::InspectBytes(bytes, options, &renderer);
    check.Check(renderer.width() <= preview.maxWidth, "the preview keeps to its width");
    check.Check(static_cast<int64_t>(renderer.width()) * renderer.height() <=
                    preview.maxPixels + int64_t{preview.gap} * preview.maxWidth *
                                            static_cast<int64_t>(report.pages.size()),
                "the preview keeps to its pixel budget");
    return check.failures;
}

// PackBitsEncode on the bytes as one row: the reference's packets, within the worst case.

int FuzzPackBits(const uint8_t* data, size_t size) {
    const std::string broken = test::CheckPackBitsEncode(std::span(data, size));
    if (!broken.empty())
        std::fprintf(stderr, "PackBitsEncode on %zu bytes: %s\n", size, broken.c_str());
    return broken.empty() ? 0 : 1;
}

}  // namespace tarnwick::fuzz
