#pragma once
#include "base/Prompts.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Answers questions from a script and records everything asked or shown.
// An unscripted confirmation answers No; an unscripted text prompt cancels.
class ScriptedPrompts : public Prompts {
public:
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<std::string>> textAnswers;
    std::vector<std::string> asked;      // titles and texts of questions, in order
    std::vector<std::string> askedTexts; // the same texts without their titles
    std::vector<std::string> messages;   // texts of information boxes

    bool Confirm(const std::string& title, const std::string& text) override {
        asked.push_back(title + ": " + text);
        askedTexts.push_back(text);
        if (confirmAnswers.empty())
            return false;
        bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> AskText(const std::string& title, const std::string& prompt,
                                       const std::string&) override {
        asked.push_back(title + ": " + prompt);
        askedTexts.push_back(prompt);
        if (textAnswers.empty())
            return std::nullopt;
        auto answer = textAnswers.front();
        textAnswers.pop_front();
        return answer;
    }
    void Inform(const std::string&, const std::string& text) override { messages.push_back(text); }

    // File-exists questions: scripted answers first, then the default; with
    // holdFileExists nobody answers (the asker's countdown decides).
    std::deque<FileExistsAnswer> fileExistsAnswers;
    bool holdFileExists = false;
    std::vector<FileExistsQuestion> fileExistsAsked;
    int fileExistsWithdrawn = 0;
    void AskFileExistsLater(const FileExistsQuestion& question,
                            std::function<void(FileExistsAnswer)> answer) override {
        fileExistsAsked.push_back(question);
        if (holdFileExists)
            return;
        FileExistsAnswer a = question.defaultAnswer;
        if (!fileExistsAnswers.empty()) {
            a = fileExistsAnswers.front();
            fileExistsAnswers.pop_front();
        }
        Deliver(std::move(answer), a);
    }
    void WithdrawFileExists() override { ++fileExistsWithdrawn; }
};

} // namespace testing_support
