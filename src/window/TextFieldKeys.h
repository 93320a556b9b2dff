#pragma once
#include <QObject>

// Ctrl+U in an editable text field deletes from the start of the line to the
// cursor (or the selection, when there is one), as in a terminal, instead of
// running the menu command that carries the same shortcut. Outside text
// fields the shortcut acts as before. Installed once on the application; the
// object's parent decides how long it stays.
class TextFieldKeys : public QObject {
    Q_OBJECT
public:
    explicit TextFieldKeys(QObject* parent);
    ~TextFieldKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
