#include "support/EventLoop.h"
#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

using namespace testing_support;

// Answers asked for later arrive on the loop, never inside the asking call.
TEST(Prompts, LaterFormsAnswerOnTheNextPassOfTheLoop) {
    ScriptedPrompts prompts;
    prompts.confirmAnswers = {true};
    prompts.textAnswers = {std::string("name")};
    std::optional<bool> confirmed;
    std::optional<std::optional<std::string>> text;
    bool closed = false;
    prompts.ConfirmLater("Confirm", "Go on?", [&](bool yes) { confirmed = yes; });
    prompts.AskTextLater("New", "Name:", "", [&](std::optional<std::string> t) { text = t; });
    prompts.InformLater("Error", "It failed", [&] { closed = true; });
    EXPECT_FALSE(confirmed || text || closed);
    ASSERT_TRUE(RunLoopUntil([&] { return confirmed && text && closed; }));
    EXPECT_TRUE(*confirmed);
    EXPECT_EQ(**text, "name");
    EXPECT_EQ(prompts.asked, (std::vector<std::string>{"Confirm: Go on?", "New: Name:"}));
    EXPECT_EQ(prompts.messages, (std::vector<std::string>{"It failed"}));
}

// The file-exists question's default by the size rule, and the base class
// answering it with that default on the next pass of the loop.
TEST(Prompts, FileExistsDefaultFollowsTheSizeRule) {
    using A = FileExistsAnswer;
    struct Case {
        bool upload;
        const char *local, *remote;
        A answer;
        bool resume;
    } cases[] = {
        {false, "10", "20", A::Resume, true}, {false, "20", "20", A::Skip, true},
        {false, "30", "20", A::Skip, false},  {true, "30", "20", A::Resume, true},
        {true, "20", "20", A::Skip, true},    {true, "10", "20", A::Skip, false},
        {false, "9", "10", A::Resume, true}, // compared as numbers, not as text
        {false, "5", "n/a", A::Skip, false}, // a size that is no number counts as 0
    };
    for (const Case& c : cases) {
        FileExistsQuestion q = MakeFileExistsQuestion(c.upload, "/l", c.local, "/r", c.remote);
        EXPECT_EQ(q.defaultAnswer, c.answer) << c.upload << " " << c.local << " " << c.remote;
        EXPECT_EQ(q.resumeAllowed, c.resume) << c.upload << " " << c.local << " " << c.remote;
    }

    struct Plain : Prompts {
        bool Confirm(const std::string&, const std::string&) override { return false; }
        std::optional<std::string> AskText(const std::string&, const std::string&,
                                           const std::string&) override {
            return std::nullopt;
        }
        void Inform(const std::string&, const std::string&) override {}
    } plain;
    std::optional<A> got;
    plain.AskFileExistsLater(MakeFileExistsQuestion(false, "/l", "1", "/r", "2"),
                             [&](A a) { got = a; });
    EXPECT_FALSE(got);
    ASSERT_TRUE(RunLoopUntil([&] { return got.has_value(); }));
    EXPECT_EQ(*got, A::Resume);
}
