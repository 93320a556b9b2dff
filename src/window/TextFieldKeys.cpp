#include "window/TextFieldKeys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextEdit>

namespace {
bool IsLineDiscard(const QEvent* event) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_U &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

// The single-line editor behind a focused widget: the field itself, an
// editable combo box's or a spin box's editor.
QLineEdit* LineEditor(QObject* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit;
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->isEditable() ? combo->lineEdit() : nullptr;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
        return spin->isReadOnly()
                   ? nullptr
                   : spin->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
    return nullptr;
}

bool IsEditableText(QObject* widget) {
    if (QLineEdit* edit = LineEditor(widget))
        return !edit->isReadOnly();
    if (auto* text = qobject_cast<QTextEdit*>(widget))
        return !text->isReadOnly();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
        return !plain->isReadOnly();
    return false;
}

void DiscardToLineStart(QTextCursor cursor) {
    if (!cursor.hasSelection())
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void DiscardToLineStart(QObject* widget) {
    if (QLineEdit* edit = LineEditor(widget)) {
        if (!edit->hasSelectedText()) {
            const int at = edit->cursorPosition();
            edit->setSelection(at, -at);
        }
        edit->del();
    } else if (auto* text = qobject_cast<QTextEdit*>(widget)) {
        DiscardToLineStart(text->textCursor());
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        DiscardToLineStart(plain->textCursor());
    }
}
} // namespace

TextFieldKeys::TextFieldKeys(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

TextFieldKeys::~TextFieldKeys() {
    qApp->removeEventFilter(this);
}

bool TextFieldKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !IsLineDiscard(event) ||
        !IsEditableText(watched))
        return false;
    if (type == QEvent::ShortcutOverride) {
        // Accepting the override keeps the key for the field.
        event->accept();
        return true;
    }
    DiscardToLineStart(watched);
    return true;
}
