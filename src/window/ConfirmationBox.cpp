#include "window/ConfirmationBox.h"

#include "window/WindowTexts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

QString FileLine(const std::string& path, const std::string& size) {
    return QString::fromStdString(path) + "  (" + QString::fromStdString(size) +
           L(wintexts::kBytesSuffix) + ")";
}
} // namespace

TConfirmationBox::TConfirmationBox(const FileExistsQuestion& question,
                                   std::function<void(FileExistsAnswer)> answer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      answer_(std::move(answer)), default_(question.defaultAnswer) {
    setObjectName(QStringLiteral("ConfirmationBox"));
    setWindowTitle(L(wintexts::kConfirmationTitle));
    auto* layout = new QVBoxLayout(this);
    operation_ = new QLabel(
        L(question.upload ? wintexts::kUploadOperation : wintexts::kDownloadOperation), this);
    QFont bold = operation_->font();
    bold.setBold(true);
    operation_->setFont(bold);
    layout->addWidget(operation_);
    auto* files = new QGridLayout;
    files->addWidget(new QLabel(L(wintexts::kLocalFile), this), 0, 0);
    files->addWidget(new QLabel(FileLine(question.localPath, question.localSize), this), 0, 1);
    files->addWidget(new QLabel(L(wintexts::kRemoteFile), this), 1, 0);
    files->addWidget(new QLabel(FileLine(question.remotePath, question.remoteSize), this), 1, 1);
    files->setColumnStretch(1, 1);
    layout->addLayout(files);
    countdown_ = new QLabel(this);
    layout->addWidget(countdown_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    const char* texts[] = {wintexts::kResume, wintexts::kOverwrite, wintexts::kSkip};
    const FileExistsAnswer answers[] = {FileExistsAnswer::Resume, FileExistsAnswer::Overwrite,
                                        FileExistsAnswer::Skip};
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QPushButton(L(texts[i]), this);
        buttons_[i]->setAutoDefault(true);
        const FileExistsAnswer which = answers[i];
        // The button clicked has the focus as the dialog closes.
        connect(buttons_[i], &QPushButton::clicked, this, [this, which] { Answer(which); });
        row->addWidget(buttons_[i]);
    }
    layout->addLayout(row);
    Button(FileExistsAnswer::Resume)->setEnabled(question.resumeAllowed);
    QPushButton* first = Button(default_);
    first->setDefault(true);
    first->setFocus(Qt::OtherFocusReason);
    setAttribute(Qt::WA_DeleteOnClose);

    left_ = std::max(0, question.countdownSeconds);
    ShowCountdown();
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &TConfirmationBox::Tick);
    tick_.start();
}

QPushButton* TConfirmationBox::Button(FileExistsAnswer which) const {
    switch (which) {
    case FileExistsAnswer::Resume:
        return buttons_[0];
    case FileExistsAnswer::Overwrite:
        return buttons_[1];
    case FileExistsAnswer::Skip:
        break;
    }
    return buttons_[2];
}

FileExistsAnswer TConfirmationBox::Current() const {
    for (FileExistsAnswer which :
         {FileExistsAnswer::Resume, FileExistsAnswer::Overwrite, FileExistsAnswer::Skip})
        if (Button(which)->hasFocus())
            return which;
    for (FileExistsAnswer which :
         {FileExistsAnswer::Resume, FileExistsAnswer::Overwrite, FileExistsAnswer::Skip})
        if (Button(which)->isDefault())
            return which;
    return default_;
}

void TConfirmationBox::ShowCountdown() {
    countdown_->setText(L(wintexts::kAutoClosingPrefix) + QString::number(left_) +
                        L(wintexts::kAutoClosingSuffix));
}

void TConfirmationBox::Tick() {
    if (left_ > 0)
        --left_;
    ShowCountdown();
    if (left_ == 0)
        Answer(Current());
}

void TConfirmationBox::reject() {
    Answer(Current());
}

void TConfirmationBox::Answer(FileExistsAnswer answer) {
    tick_.stop();
    auto deliver = std::move(answer_);
    answer_ = nullptr;
    if (deliver)
        deliver(answer);
    done(QDialog::Accepted);
}

void TConfirmationBox::Withdraw() {
    tick_.stop();
    answer_ = nullptr;
    done(QDialog::Rejected);
}
