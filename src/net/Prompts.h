#pragma once
#include <optional>
#include <string>

// Questions to the user. The window answers them with dialogs; tests and the
// command-line front ends answer them from a script. Modules that need more
// kinds of question (the client's file-exists choice) extend this interface.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A Yes/No confirmation; true for Yes.
    virtual bool Confirm(const std::string& title, const std::string& text) = 0;
    // A one-line text prompt; empty optional when cancelled.
    virtual std::optional<std::string> AskText(const std::string& title, const std::string& prompt,
                                               const std::string& initial) = 0;
    // An information or error message box.
    virtual void Inform(const std::string& title, const std::string& text) = 0;
};
