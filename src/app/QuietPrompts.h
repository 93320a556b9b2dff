#pragma once
#include "base/Prompts.h"

#include <functional>

// The answers of a program that has nobody to ask (the headless server):
// every question is answered No or cancelled, and a message meant for a
// message box goes to the given function (the log).
class QuietPrompts : public Prompts {
public:
    explicit QuietPrompts(std::function<void(const std::string& text)> tell)
        : tell_(std::move(tell)) {}
    bool Confirm(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> AskText(const std::string&, const std::string&,
                                       const std::string&) override {
        return std::nullopt;
    }
    void Inform(const std::string& title, const std::string& text) override {
        if (tell_)
            tell_(title + ": " + text);
    }

private:
    std::function<void(const std::string& text)> tell_;
};
