// The engine only ever sees private copies of the host's records.
#include <gtest/gtest.h>

#include <cstring>

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

TEST(PrivateCopy, SetupIsCopiedWithItsOwnText) {
    SpyDriver d;
    PrintSetup host{};
    std::snprintf(host.modelName, sizeof host.modelName, "CP52");
    char text[] = "owned text";
    host.text = text;
    host.media = 3;
    host.colorMode = 2;
    EXPECT_EQ(d.GetDefaultColorMode(nullptr, &host), 5);
    EXPECT_NE(d.engine->seenSetup, &host);
    EXPECT_EQ(d.engine->seenText, "owned text");
    EXPECT_EQ(d.engine->seenModel, "CP52");
    EXPECT_EQ(d.engine->seenMedia, 3);
    EXPECT_STREQ(host.text, "owned text");
    const char* const hostText = host.text;  // packed field: read it by value
    EXPECT_EQ(hostText, text);
    EXPECT_EQ(host.colorMode, 2);
}

TEST(PrivateCopy, NullTextStaysNullAndNullRecordIsAllZero) {
    SpyDriver d;
    PrintSetup host{};
    host.media = 4;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenText, "<null>");

    d.GetDefaultColorMode(nullptr, nullptr);
    ASSERT_NE(d.engine->seenSetup, nullptr);
    EXPECT_EQ(d.engine->seenMedia, 0);
    EXPECT_EQ(d.engine->seenText, "<null>");
    EXPECT_EQ(d.engine->seenModel, "");
}

TEST(PrivateCopy, PrintModeEntryCopiesAndEmptyEntry) {
    SpyDriver d;
    PrintModeEntry host{};
    host.index = 2;
    std::snprintf(host.name, sizeof host.name, "DRAFT");
    d.GetPrintModes("CP52", &host, nullptr, nullptr);
    EXPECT_NE(d.engine->seenEntry, &host);
    EXPECT_EQ(d.engine->seenIndex, 2);
    EXPECT_EQ(d.engine->seenName, "DRAFT");
    EXPECT_EQ(host.index, 2);

    d.GetPrintModes("CP52", nullptr, nullptr, nullptr);
    EXPECT_EQ(d.engine->seenIndex, -1);
    EXPECT_EQ(d.engine->seenName, "");
}

TEST(PrivateCopy, MediaPlaceholdersResolveAgainstTheEngineList) {
    SpyDriver d;
    PrintSetup host{};
    // This family's list is empty: the placeholder passes unchanged.
    host.media = -101;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenMedia, -101);

    d.engine->listIndexes = {10, 11, 12};
    host.media = -100;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenMedia, 12);
    host.media = -102;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenMedia, 12);
    host.media = -101;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenMedia, 11);
    EXPECT_EQ(host.media, -101);

    d.engine->listIndexes = {10};
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seenMedia, 10);
}

}  // namespace
}  // namespace tarnwick
