#pragma once
#include <QSpinBox>

// A number field that says its range when it refuses a value: a number
// typed beyond the range (a keystroke dropped, or a short number put back
// when the field is left) shows "Enter a number from MIN to MAX." beside the
// field, and the same text is its tool tip.
class RangeSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit RangeSpinBox(QWidget* parent = nullptr);

    // Sets the range and the tool tip that tells it.
    void SetRange(int low, int high);
    // The text shown at the last refusal; empty until one happens.
    const QString& LastRefusal() const { return lastRefusal_; }
    QString RangeText() const;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

private:
    void Refused() const;
    mutable QString lastRefusal_;
};
