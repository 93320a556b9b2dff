#pragma once
#include "base/Prompts.h"

#include <QPointer>
#include <QWidget>

class TConfirmationBox;

// Questions answered with the window's own (non-native) dialogs. The direct
// forms run a modal dialog; the Later forms open a window-modal dialog and
// hand the answer over when it is closed, so nothing waits inside an event.
class WindowPrompts : public Prompts {
public:
    void SetParent(QWidget* parent) { parent_ = parent; }

    bool Confirm(const std::string& title, const std::string& text) override;
    std::optional<std::string> AskText(const std::string& title, const std::string& prompt,
                                       const std::string& initial) override;
    void Inform(const std::string& title, const std::string& text) override;

    void ConfirmLater(const std::string& title, const std::string& text,
                      std::function<void(bool yes)> answer) override;
    void AskTextLater(const std::string& title, const std::string& prompt,
                      const std::string& initial,
                      std::function<void(std::optional<std::string>)> answer) override;
    void InformLater(const std::string& title, const std::string& text,
                     std::function<void()> closed) override;
    // The file-exists question in the TConfirmationBox dialog.
    void AskFileExistsLater(const FileExistsQuestion& question,
                            std::function<void(FileExistsAnswer)> answer) override;
    void WithdrawFileExists() override;
    TConfirmationBox* FileExistsBox() const;

private:
    QPointer<QWidget> parent_;
    QPointer<TConfirmationBox> fileExists_;
};
