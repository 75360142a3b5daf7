#include "config/glossary.h"

#include <gtest/gtest.h>

#include "config_test_root.h"

namespace tarnwick {
namespace {

using config_test::TempConfigRoot;

class Glossary : public ::testing::Test {
  protected:
    Glossary() { ClearGlossaryCache(); }
    ~Glossary() override { ClearGlossaryCache(); }
    TempConfigRoot root;
};

TEST_F(Glossary, MissingFileLeavesPhrasesAndIsTriedAgain) {
    EXPECT_EQ(Translate("Hello"), AString("Hello"));
    root.WritePlain(
        "OxGlossary.xml",
        "<RootElement><Glossary><T Phrase='Hello' Res='Hallo'/></Glossary></RootElement>");
    EXPECT_EQ(Translate("Hello"), AString("Hallo"));

    // Once loaded, the glossary is kept even when the file changes.
    root.WritePlain(
        "OxGlossary.xml",
        "<RootElement><Glossary><T Phrase='Hello' Res='Salut'/></Glossary></RootElement>");
    EXPECT_EQ(Translate("Hello"), AString("Hallo"));
}

TEST_F(Glossary, EntriesAreExactAndTheLastOneCounts) {
    root.WritePlain("OxGlossary.xml",
                    "<RootElement><Glossary>"
                    "<T Phrase='Page' Res='Seite'/><X Phrase='Stop' Res=''/>"
                    "<T Phrase='Page' Res='Blatt'/><T Res='nameless'/>"
                    "<T Phrase='Weiter?' Res='Continue?'/>"
                    "</Glossary></RootElement>");
    EXPECT_EQ(Translate("Page"), AString("Blatt"));
    EXPECT_EQ(Translate("Stop"), AString(""));
    EXPECT_EQ(Translate("page"), AString("page"));
    EXPECT_EQ(Translate("Page "), AString("Page "));
    EXPECT_EQ(Translate(""), AString("nameless"));
}

TEST_F(Glossary, BrokenFilesAreIgnored) {
    for (const char* doc : {"<RootElement><Glossary>", "<RootElement><Other/></RootElement>",
                            "<RootElement><Glossary/></RootElement>", "\xff\xfe garbage"}) {
        root.WritePlain("OxGlossary.xml", doc);
        EXPECT_EQ(Translate("Hello"), AString("Hello")) << doc;
    }
}

}  // namespace
}  // namespace tarnwick
