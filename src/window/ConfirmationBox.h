#pragma once
#include "base/Prompts.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QPushButton;

// TConfirmationBox, "File Exists - Confirm Action": the transfer queue's
// question about a target that exists. It opens with the size rule's
// default button focused and counts the seconds down; the answer is the
// button that has the focus when it closes, so the countdown takes the
// default. The dialog has no title-bar buttons.
class TConfirmationBox : public QDialog {
    Q_OBJECT
public:
    TConfirmationBox(const FileExistsQuestion& question,
                     std::function<void(FileExistsAnswer)> answer, QWidget* parent = nullptr);

    QLabel* Operation() const { return operation_; }
    QLabel* Countdown() const { return countdown_; }
    QPushButton* Button(FileExistsAnswer which) const;
    // The button that answers if the dialog closes now.
    FileExistsAnswer Current() const;
    int SecondsLeft() const { return left_; }
    // Closes without answering (the asker took the default).
    void Withdraw();

private:
    void Tick();
    void Answer(FileExistsAnswer answer);
    void ShowCountdown();
    void reject() override;

    std::function<void(FileExistsAnswer)> answer_;
    QLabel* operation_ = nullptr;
    QLabel* countdown_ = nullptr;
    QPushButton* buttons_[3] = {};
    FileExistsAnswer default_ = FileExistsAnswer::Skip;
    QTimer tick_;
    int left_ = 0;
};
