// The engine only ever sees private copies of the host's records.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "driver/abase_printer_driver_imp.h"
#include "rtl/rtl.h"

namespace tarnwick {
namespace {

class SpyEngine : public RTL {
  public:
    int GetDefaultColorMode(char*, PrintSetup* setup) override {
        seenSetup = setup;
        if (setup != nullptr) {
            seenMedia = setup->media;
            seenText = setup->text != nullptr ? setup->text : "<null>";
            seenModel = setup->modelName;
            // The engine may scribble on its copy; the host must not notice.
            setup->colorMode = 99;
            if (setup->text != nullptr) setup->text[0] = 'X';
        }
        return 5;
    }
    int GetPrintModes(const char*, PrintModeEntry* current, PrintModeList*, int32_t*) override {
        seenEntry = current;
        seenIndex = current->index;
        seenName = current->name;
        current->index = 1234;
        return 1;
    }
    int Op21(Word, PrintModeList* list, int32_t*) override {
        for (int i : listIndexes) {
            PrintModeEntry e{};
            e.index = i;
            list->push_back(e);
        }
        return 0;
    }

    PrintSetup* seenSetup = nullptr;
    int32_t seenMedia = 0;
    std::string seenText;
    std::string seenModel;
    PrintModeEntry* seenEntry = nullptr;
    int32_t seenIndex = 0;
    std::string seenName;
    std::vector<int> listIndexes;
};

class SpyDriver : public ABasePrinterDriverImp {
  public:
    SpyDriver() {
        auto spy = std::make_unique<SpyEngine>();
        engine = spy.get();
        m_pEngine = std::move(spy);
    }
    int ShowOptionsDialog(PrinterSettings*, int32_t, PrintSetup*, void*) override { return 0; }
    SpyEngine* engine;
};

TEST(PrivateCopy, RecordsAreCopiedWithTheirOwnText) {
    SpyDriver d;
    PrintSetup host{};
    std::snprintf(host.modelName, sizeof host.modelName, "CP52");
    char text[] = "owned text";
    host.text = text;
    host.media = 3;
    host.colorMode = 2;
    EXPECT_EQ(d.GetDefaultColorMode(nullptr, &host), 5);
    EXPECT_NE(d.engine->seenSetup, &host);
    EXPECT_EQ(std::tuple(d.engine->seenText, d.engine->seenModel, d.engine->seenMedia),
              std::tuple("owned text", "CP52", 3));
    const char* const hostText = host.text;  // packed field: read it by value
    EXPECT_EQ(std::tuple(std::string(hostText), hostText, host.colorMode),
              std::tuple("owned text", text, 2));
    host.text = nullptr;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenText, "<null>");
    // No record: the engine gets one of zeros.
    d.GetDefaultColorMode(nullptr, nullptr);
    ASSERT_NE(d.engine->seenSetup, nullptr);
    EXPECT_EQ(std::tuple(d.engine->seenText, d.engine->seenModel, d.engine->seenMedia),
              std::tuple("<null>", "", 0));

    PrintModeEntry entry{};
    entry.index = 2;
    std::snprintf(entry.name, sizeof entry.name, "DRAFT");
    d.GetPrintModes("CP52", &entry, nullptr, nullptr);
    EXPECT_NE(d.engine->seenEntry, &entry);
    EXPECT_EQ(std::tuple(d.engine->seenIndex, d.engine->seenName, entry.index),
              std::tuple(2, "DRAFT", 2));
    d.GetPrintModes("CP52", nullptr, nullptr, nullptr);
    EXPECT_EQ(std::tuple(d.engine->seenIndex, d.engine->seenName), std::tuple(-1, ""));
}

// -101 names the second-to-last entry of the engine's list (the only one when it has one), the
// other placeholders its last; an empty list passes the placeholder unchanged.
TEST(PrivateCopy, MediaPlaceholdersResolveAgainstTheEngineList) {
    struct Row {
        std::vector<int> list;
        int32_t media, seen;
    } rows[] = {{{}, -101, -101},
                {{10, 11, 12}, -100, 12},
                {{10, 11, 12}, -102, 12},
                {{10, 11, 12}, -101, 11},
                {{10}, -101, 10}};
    SpyDriver d;
    for (const Row& row : rows) {
        d.engine->listIndexes = row.list;
        PrintSetup host{};
        host.media = row.media;
        d.GetDefaultColorMode(nullptr, &host);
        EXPECT_EQ(d.engine->seenMedia, row.seen) << row.media;
        EXPECT_EQ(host.media, row.media);
    }
}

}  // namespace
}  // namespace tarnwick
