#include "window/PortValidator.h"

#include "window/WindowTexts.h"

#include <QLineEdit>

QValidator::State PortValidator::validate(QString& input, int&) const {
    if (input.isEmpty())
        return Acceptable;
    if (input.size() > 5)
        return Invalid;
    for (QChar c : input)
        if (!c.isDigit() || c.unicode() > 127)
            return Invalid;
    const int value = input.toInt();
    if (value > 65535)
        return Invalid;
    // 0 is no port, and a port is written without leading zeros.
    if (input.front() == QLatin1Char('0'))
        return Invalid;
    return Acceptable;
}

void PortValidator::Attach(QLineEdit* field) {
    field->setValidator(new PortValidator(field));
    field->setToolTip(QString::fromLatin1(wintexts::kPortRange));
}
