#pragma once
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

// The file-exists question of the transfer queue: the target of a transfer
// is already there. Resume continues it, Overwrite starts it again, Skip
// leaves it.
enum class FileExistsAnswer { Resume, Overwrite, Skip };

struct FileExistsQuestion {
    bool upload = false; // the entry's direction: "->" upload, else download
    std::string localPath, localSize;
    std::string remotePath, remoteSize;
    // The size rule: for a download Resume when the local file is smaller,
    // Skip when the sizes are equal, Skip without Resume when it is larger;
    // for an upload the other way round. Filled by MakeFileExistsQuestion.
    FileExistsAnswer defaultAnswer = FileExistsAnswer::Skip;
    bool resumeAllowed = true;
    // The asker takes the default answer when this many seconds pass
    // without one; a dialog counts them down.
    int countdownSeconds = 15;
};

// The question for an entry, with its default answer by the size rule
// (sizes compared as integers; a text that is not a number counts as 0).
FileExistsQuestion MakeFileExistsQuestion(bool upload, std::string localPath, std::string localSize,
                                          std::string remotePath, std::string remoteSize);

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
    // The file-exists question; by default the size rule's answer. The asker
    // owns the countdown: when it runs out the asker takes the default and
    // calls WithdrawFileExists, after which an answer is ignored.
    virtual void AskFileExistsLater(const FileExistsQuestion& question,
                                    std::function<void(FileExistsAnswer)> answer) {
        Deliver(std::move(answer), question.defaultAnswer);
    }
    // The question asked last is no longer wanted (its countdown ran out):
    // a dialog that shows it closes.
    virtual void WithdrawFileExists() {}
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
