#include "window/RangeSpinBox.h"

#include "window/WindowTexts.h"

#include <QLineEdit>
#include <QToolTip>

RangeSpinBox::RangeSpinBox(QWidget* parent) : QSpinBox(parent) {}

void RangeSpinBox::SetRange(int low, int high) {
    setRange(low, high);
    setToolTip(RangeText());
}

QString RangeSpinBox::RangeText() const {
    return QString::fromLatin1(wintexts::kRangePrefix) + QString::number(minimum()) +
           QString::fromLatin1(wintexts::kRangeMiddle) + QString::number(maximum()) +
           QString::fromLatin1(wintexts::kRangeSuffix);
}

QValidator::State RangeSpinBox::validate(QString& input, int& pos) const {
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state == QValidator::Invalid) {
        // A number the range refuses, as against a stray letter.
        bool number = false;
        input.trimmed().toLongLong(&number);
        if (number)
            Refused();
    }
    return state;
}

void RangeSpinBox::fixup(QString& input) const {
    bool number = false;
    input.trimmed().toLongLong(&number);
    if (number)
        Refused();
    QSpinBox::fixup(input);
}

void RangeSpinBox::Refused() const {
    lastRefusal_ = RangeText();
    QToolTip::showText(mapToGlobal(QPoint(0, height())), lastRefusal_,
                       const_cast<RangeSpinBox*>(this));
}
