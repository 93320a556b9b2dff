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
