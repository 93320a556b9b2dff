#pragma once
#include "base/Prompts.h"

#include <QPointer>
#include <QWidget>

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

private:
    QPointer<QWidget> parent_;
};
