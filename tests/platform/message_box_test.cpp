#include "platform/message_box.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "support/message_script.h"

namespace tarnwick {
namespace {

TEST(MessageBoxTest, ScriptAnswersInOrderAndRecordsRequests) {
    ScopedMessageScript script{IDNO, IDYES};
    EXPECT_EQ(ShowMessage("Pause?", MB_YESNO), IDNO);
    EXPECT_EQ(ShowMessage("Again?", MB_YESNO | MB_ICONERROR, nullptr, "Title"), IDYES);
    EXPECT_EQ(ShowMessage(nullptr, MB_OK), IDOK);  // the list has run out
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[0].text, "Pause?");
    EXPECT_EQ(script.requests()[0].flags, MB_YESNO | MB_SETFOREGROUND);
    EXPECT_EQ(script.requests()[1].flags, MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND);
    EXPECT_EQ(script.requests()[1].caption, "Title");
    EXPECT_EQ(script.requests()[2].text, "");
    EXPECT_EQ(script.requests()[2].caption, "");
}

TEST(MessageBoxTest, ScriptsNestAndRestore) {
    ScopedMessageScript outer{IDCANCEL};
    {
        ScopedMessageScript inner{IDNO};
        EXPECT_EQ(ShowMessage("inner", MB_YESNO), IDNO);
    }
    EXPECT_EQ(ShowMessage("outer", MB_OK), IDCANCEL);
    ASSERT_EQ(outer.requests().size(), 1u);
    EXPECT_EQ(outer.requests()[0].text, "outer");
}

TEST(MessageBoxTest, DefaultHandlerPrintsAndAnswersFromEnvironment) {
    MessageHandler previous = SetMessageHandler(nullptr);
    const char* old = std::getenv("TARNWICK_MESSAGE_ANSWER");
    const std::string saved = old ? old : "";

    ::unsetenv("TARNWICK_MESSAGE_ANSWER");
    ::testing::internal::CaptureStderr();
    const int yes = ShowMessage("Continue?", MB_YESNO);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    ::setenv("TARNWICK_MESSAGE_ANSWER", "no", 1);
    ::testing::internal::CaptureStderr();
    const int no = ShowMessage("Continue?", MB_YESNO | MB_ICONERROR);
    const int ok = ShowMessage("Note", MB_OK);
    ::testing::internal::GetCapturedStderr();

    if (old) {
        ::setenv("TARNWICK_MESSAGE_ANSWER", saved.c_str(), 1);
    } else {
        ::unsetenv("TARNWICK_MESSAGE_ANSWER");
    }
    SetMessageHandler(std::move(previous));

    EXPECT_EQ(printed, "tarnwick: Continue?\n");
    EXPECT_EQ(yes, IDYES);
    EXPECT_EQ(no, IDNO);
    EXPECT_EQ(ok, IDOK);
}

}  // namespace
}  // namespace tarnwick
