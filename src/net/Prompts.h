#pragma once
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

// Questions to the user. The window answers them with dialogs; tests and the
// command-line front ends answer them from a script. Modules that need more
// kinds of question (the client's file-exists choice) extend this interface.
//
// Each question has two forms. The direct form returns the answer; the
// "Later" form hands it to a callback on the event loop, never before the
// call returns, so a question asked inside an engine event does not run a
// nested loop there. A front end with real dialogs overrides the Later forms;
// by default they take the direct answer and deliver it on the next pass of
// the loop.
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

    virtual void ConfirmLater(const std::string& title, const std::string& text,
                              std::function<void(bool yes)> answer) {
        Deliver(std::move(answer), Confirm(title, text));
    }
    virtual void AskTextLater(const std::string& title, const std::string& prompt,
                              const std::string& initial,
                              std::function<void(std::optional<std::string>)> answer) {
        Deliver(std::move(answer), AskText(title, prompt, initial));
    }
    virtual void InformLater(const std::string& title, const std::string& text,
                             std::function<void()> closed) {
        Inform(title, text);
        QTimer::singleShot(0, [closed = std::move(closed)] {
            if (closed)
                closed();
        });
    }

protected:
    template <class Answer, class Value>
    static void Deliver(std::function<void(Answer)> answer, Value value) {
        QTimer::singleShot(0, [answer = std::move(answer), value = std::move(value)] {
            if (answer)
                answer(value);
        });
    }
};
