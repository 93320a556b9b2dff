#include "window/KeyPairControls.h"

#include "app/AppShell.h"
#include "app/AppSignals.h"
#include "app/AppTexts.h"
#include "app/KeyPairManagement.h"
#include "app/SettingsKeys.h"
#include "window/WindowTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString L(const char* text) {
    return QString::fromLatin1(text);
}

QPlainTextEdit* KeyMemo(const char* title, QHBoxLayout* row, QWidget* parent) {
    auto* group = new QGroupBox(L(title), parent);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(4, 2, 4, 4);
    auto* memo = new QPlainTextEdit(group);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setWordWrapMode(QTextOption::WrapAnywhere);
    layout->addWidget(memo);
    row->addWidget(group, 1);
    return memo;
}
} // namespace

KeyPairControls::KeyPairControls(AppShell& shell, AppSignals& events, Prompts& prompts,
                                 QWidget* parent)
    : QWidget(parent), shell_(shell), prompts_(prompts) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* choices = new QGridLayout;
    choices->setVerticalSpacing(3);
    keyBits_ = new QComboBox(this);
    keyBits_->setObjectName(QString::fromLatin1(keys::RSAKeyBits));
    keyBits_->addItems({"512", "1024", "2048"});
    keyLength_ = new QComboBox(this);
    keyLength_->setObjectName(QString::fromLatin1(keys::SymKeyLength));
    keyLength_->addItems({"64", "128", "192", "256"});
    choices->addWidget(new QLabel(L(wintexts::kRsaKeyBits), this), 0, 0);
    choices->addWidget(keyBits_, 0, 1);
    choices->addWidget(new QLabel(L(wintexts::kKeyLength), this), 1, 0);
    choices->addWidget(keyLength_, 1, 1);
    choices->addWidget(new QLabel(L(wintexts::kCurrently), this), 2, 0, 1, 2);
    auto* current = new QHBoxLayout;
    currentLength_ = new QLineEdit(this);
    currentBits_ = new QLineEdit(this);
    for (QLineEdit* edit : {currentLength_, currentBits_}) {
        edit->setReadOnly(true);
        edit->setMaximumWidth(56);
        current->addWidget(edit);
    }
    current->addStretch(1);
    choices->addLayout(current, 3, 0, 1, 2);
    generate_ = new QPushButton(L(apptexts::kGenerateCaption), this);
    clear_ = new QPushButton(L(wintexts::kClearKeypair), this);
    choices->addWidget(generate_, 4, 0, 1, 2);
    choices->addWidget(clear_, 5, 0, 1, 2);
    choices->setRowStretch(6, 1);
    layout->addLayout(choices);

    auto* right = new QVBoxLayout;
    auto* memos = new QHBoxLayout;
    privateKey_ = KeyMemo(wintexts::kPrivateKey, memos, this);
    publicKey_ = KeyMemo(wintexts::kPublicKey, memos, this);
    right->addLayout(memos, 1);
    auto* warning = new QLabel(L(wintexts::kKeyTimeWarning), this);
    warning->setStyleSheet(QStringLiteral("color: #b00000;"));
    right->addWidget(warning);
    layout->addLayout(right, 1);

    connect(keyBits_, &QComboBox::activated, this, [this](int index) {
        ChooseKeyBits(shell_.Options(), shell_.RSA1(), static_cast<TKeyBits>(index));
    });
    connect(keyLength_, &QComboBox::activated, this, [this](int index) {
        ChooseSymKeyLength(shell_.Options(), shell_.RSA1(), static_cast<TSymKeyLength>(index));
    });
    connect(generate_, &QPushButton::clicked, this, &KeyPairControls::Generate);
    connect(clear_, &QPushButton::clicked, this, &KeyPairControls::Clear);
    connect(&events, &AppSignals::keyPairChanged, this, &KeyPairControls::ShowKeys);
    ShowKeys();
}

void KeyPairControls::ShowKeys() {
    const Settings& options = shell_.Options();
    keyBits_->setCurrentIndex(
        keyBits_->findText(QString::fromStdString(options.GetString(keys::RSAKeyBits))));
    keyLength_->setCurrentIndex(
        keyLength_->findText(QString::fromStdString(options.GetString(keys::SymKeyLength))));
    currentLength_->setText(QString::fromStdString(options.GetString(keys::CurrentKeyLength)));
    currentBits_->setText(QString::fromStdString(options.GetString(keys::CurrentKeyBits)));
    privateKey_->setPlainText(QString::fromStdString(options.GetString(keys::PrivateKey)));
    publicKey_->setPlainText(QString::fromStdString(options.GetString(keys::PublicKey)));
}

void KeyPairControls::ShowGenerating(bool running) {
    generate_->setText(L(running ? apptexts::kGeneratingCaption : apptexts::kGenerateCaption));
    generate_->setEnabled(!running);
}

void KeyPairControls::Generate() {
    const std::string refused = shell_.GenerateKeyPair([this](const std::string& outcome) {
        ShowGenerating(false);
        if (!outcome.empty())
            prompts_.InformLater(apptexts::kInformationTitle, outcome, nullptr);
    });
    if (!refused.empty()) {
        prompts_.InformLater(apptexts::kInformationTitle, refused, nullptr);
        return;
    }
    ShowGenerating(true);
}

void KeyPairControls::Clear() {
    const std::string refused = shell_.ClearKeyPair();
    if (!refused.empty())
        prompts_.InformLater(apptexts::kInformationTitle, refused, nullptr);
}
