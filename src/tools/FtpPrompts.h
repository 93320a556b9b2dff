#pragma once
#include "base/Prompts.h"

#include <ostream>

// vexa2-ftp asks nobody: every question is answered "no" or cancelled, and
// a message meant for a message box goes to standard error.
class FtpNoPrompts : public Prompts {
public:
    explicit FtpNoPrompts(std::ostream& err) : err_(err) {}
    bool Confirm(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> AskText(const std::string&, const std::string&,
                                       const std::string&) override {
        return std::nullopt;
    }
    void Inform(const std::string& title, const std::string& text) override {
        err_ << title << ": " << text << "\n";
    }

private:
    std::ostream& err_;
};
