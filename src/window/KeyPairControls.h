#pragma once
#include <QWidget>

class AppShell;
class AppSignals;
class Prompts;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The program's key pair on the settings page: the two size choices, the
// sizes of the pair in use, Generate and Clear, and the two key texts.
class KeyPairControls : public QWidget {
    Q_OBJECT
public:
    KeyPairControls(AppShell& shell, AppSignals& events, Prompts& prompts,
                    QWidget* parent = nullptr);

    QPushButton* GenerateButton() const { return generate_; }
    QPushButton* ClearButton() const { return clear_; }

    // Shows the stored key texts, sizes and choices.
    void ShowKeys();

private:
    void Generate();
    void Clear();
    void ShowGenerating(bool running);

    AppShell& shell_;
    Prompts& prompts_;
    QComboBox* keyBits_ = nullptr;
    QComboBox* keyLength_ = nullptr;
    QLineEdit* currentLength_ = nullptr;
    QLineEdit* currentBits_ = nullptr;
    QPushButton* generate_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPlainTextEdit* privateKey_ = nullptr;
    QPlainTextEdit* publicKey_ = nullptr;
};
