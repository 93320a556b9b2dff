#include "window/WindowPrompts.h"

#include "window/ConfirmationBox.h"

#include <QInputDialog>
#include <QMessageBox>

namespace {
QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QMessageBox* MakeBox(QWidget* parent, QMessageBox::Icon icon, const std::string& title,
                     const std::string& text, QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, Q(title), Q(text), buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

QInputDialog* MakeInput(QWidget* parent, const std::string& title, const std::string& prompt,
                        const std::string& initial) {
    auto* dialog = new QInputDialog(parent);
    dialog->setOption(QInputDialog::UseListViewForComboBoxItems);
    dialog->setWindowTitle(Q(title));
    dialog->setLabelText(Q(prompt));
    dialog->setTextValue(Q(initial));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}
} // namespace

bool WindowPrompts::Confirm(const std::string& title, const std::string& text) {
    QMessageBox* box =
        MakeBox(parent_, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    const bool yes = box->exec() == QMessageBox::Yes;
    delete box;
    return yes;
}

std::optional<std::string> WindowPrompts::AskText(const std::string& title,
                                                  const std::string& prompt,
                                                  const std::string& initial) {
    QInputDialog* dialog = MakeInput(parent_, title, prompt, initial);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    std::optional<std::string> answer;
    if (dialog->exec() == QDialog::Accepted)
        answer = dialog->textValue().toStdString();
    delete dialog;
    return answer;
}

void WindowPrompts::Inform(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Information, Q(title), Q(text), QMessageBox::Ok, parent_);
    box.exec();
}

void WindowPrompts::ConfirmLater(const std::string& title, const std::string& text,
                                 std::function<void(bool yes)> answer) {
    QMessageBox* box =
        MakeBox(parent_, QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, [answer = std::move(answer)](int result) {
        if (answer)
            answer(result == QMessageBox::Yes);
    });
    box->open();
}

void WindowPrompts::AskTextLater(const std::string& title, const std::string& prompt,
                                 const std::string& initial,
                                 std::function<void(std::optional<std::string>)> answer) {
    QInputDialog* dialog = MakeInput(parent_, title, prompt, initial);
    QObject::connect(dialog, &QInputDialog::finished,
                     [dialog, answer = std::move(answer)](int result) {
                         std::optional<std::string> text;
                         if (result == QDialog::Accepted)
                             text = dialog->textValue().toStdString();
                         if (answer)
                             answer(text);
                     });
    dialog->open();
}

void WindowPrompts::InformLater(const std::string& title, const std::string& text,
                                std::function<void()> closed) {
    QMessageBox* box = MakeBox(parent_, QMessageBox::Information, title, text, QMessageBox::Ok);
    QObject::connect(box, &QMessageBox::finished, [closed = std::move(closed)](int) {
        if (closed)
            closed();
    });
    box->open();
}

void WindowPrompts::AskFileExistsLater(const FileExistsQuestion& question,
                                       std::function<void(FileExistsAnswer)> answer) {
    WithdrawFileExists();
    fileExists_ = new TConfirmationBox(question, std::move(answer), parent_);
    fileExists_->open();
}

void WindowPrompts::WithdrawFileExists() {
    if (fileExists_)
        fileExists_->Withdraw();
    fileExists_ = nullptr;
}

TConfirmationBox* WindowPrompts::FileExistsBox() const {
    return fileExists_;
}
