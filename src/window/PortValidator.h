#pragma once
#include <QValidator>

class QLineEdit;

// Where a port is typed: only a number from 1 to 65535 (or nothing, which
// means the default port). A keystroke that would make anything else is
// refused, and the field's tool tip says what it takes.
class PortValidator : public QValidator {
public:
    explicit PortValidator(QObject* parent = nullptr) : QValidator(parent) {}
    State validate(QString& input, int& pos) const override;

    // Installs the validator and the tool tip on a port field.
    static void Attach(QLineEdit* field);
};
