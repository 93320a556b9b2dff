// The file-exists dialog: its caption and frame, the default button by the
// size relation, the visible countdown that takes the default, and an
// answer given by a button.
#include "WindowEnv.h"

#include "window/ConfirmationBox.h"
#include "window/WindowPrompts.h"

#include <QLabel>
#include <QPushButton>

#include <optional>

using testing_support::RunLoopFor;
using testing_support::RunLoopUntil;

namespace {
struct Asked {
    WindowPrompts prompts;
    std::optional<FileExistsAnswer> answer;
    int answers = 0;

    TConfirmationBox* Ask(bool upload, const char* localSize, const char* remoteSize,
                          int seconds = 15) {
        FileExistsQuestion q =
            MakeFileExistsQuestion(upload, "/home/u/f.bin", localSize, "/pub/f.bin", remoteSize);
        q.countdownSeconds = seconds;
        prompts.AskFileExistsLater(q, [this](FileExistsAnswer a) {
            answer = a;
            ++answers;
        });
        return prompts.FileExistsBox();
    }
};
} // namespace

TEST(ConfirmationBox, DefaultButtonFollowsTheSizeRelation) {
    using A = FileExistsAnswer;
    struct Case {
        bool upload;
        const char* local;
        const char* remote;
        A focused;
        bool resume;
        const char* operation;
    };
    const Case cases[] = {
        {false, "100", "2000", A::Resume, true, "Download"},
        {false, "2000", "2000", A::Skip, true, "Download"},
        {false, "3000", "2000", A::Skip, false, "Download"},
        // Sizes compare as numbers, not as text.
        {false, "900", "1000", A::Resume, true, "Download"},
        {true, "2000", "100", A::Resume, true, "Upload"},
        {true, "2000", "2000", A::Skip, true, "Upload"},
        {true, "100", "2000", A::Skip, false, "Upload"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.upload ? "upload " : "download ") + c.local + " / " + c.remote);
        Asked asked;
        TConfirmationBox* box = asked.Ask(c.upload, c.local, c.remote);
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(RunLoopUntil([&] { return box->isVisible(); }));
        EXPECT_EQ(box->windowTitle(), "File Exists - Confirm Action");
        // No title-bar buttons.
        EXPECT_FALSE(box->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(box->windowFlags() & Qt::WindowMinMaxButtonsHint);
        EXPECT_EQ(box->Operation()->text(), c.operation);
        EXPECT_EQ(box->Current(), c.focused);
        EXPECT_TRUE(box->Button(c.focused)->isDefault());
        EXPECT_EQ(box->Button(A::Resume)->isEnabled(), c.resume);
        EXPECT_EQ(box->Button(A::Resume)->text(), "&Resume");
        EXPECT_EQ(box->Button(A::Overwrite)->text(), "&Overwrite");
        EXPECT_EQ(box->Button(A::Skip)->text(), "&Skip");
        EXPECT_EQ(box->Countdown()->text(), "Auto closing in 15 seconds");
        // A button answers at once and closes the dialog.
        QPointer<TConfirmationBox> alive(box);
        box->Button(A::Overwrite)->click();
        EXPECT_EQ(asked.answer, A::Overwrite);
        ASSERT_TRUE(RunLoopUntil([&] { return alive.isNull(); }));
        EXPECT_EQ(asked.answers, 1);
    }
}

TEST(ConfirmationBox, CountdownShowsTheSecondsLeftAndTakesTheDefault) {
    Asked asked;
    TConfirmationBox* box = asked.Ask(false, "10", "20", 2);
    ASSERT_NE(box, nullptr);
    QPointer<TConfirmationBox> alive(box);
    EXPECT_EQ(box->Countdown()->text(), "Auto closing in 2 seconds");
    ASSERT_TRUE(RunLoopUntil(
        [&] { return alive && box->Countdown()->text() == "Auto closing in 1 seconds"; }, 5000));
    EXPECT_FALSE(asked.answer.has_value());
    ASSERT_TRUE(RunLoopUntil([&] { return asked.answers > 0; }, 5000));
    EXPECT_EQ(asked.answer, FileExistsAnswer::Resume);
    ASSERT_TRUE(RunLoopUntil([&] { return alive.isNull(); }));
    RunLoopFor(50);
    EXPECT_EQ(asked.answers, 1);
}

TEST(ConfirmationBox, WithdrawnQuestionClosesWithoutAnAnswer) {
    Asked asked;
    TConfirmationBox* box = asked.Ask(true, "5", "5");
    QPointer<TConfirmationBox> alive(box);
    asked.prompts.WithdrawFileExists();
    ASSERT_TRUE(RunLoopUntil([&] { return alive.isNull(); }));
    RunLoopFor(50);
    EXPECT_EQ(asked.answers, 0);
    EXPECT_EQ(asked.prompts.FileExistsBox(), nullptr);
}
