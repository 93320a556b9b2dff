#include "window/LogPane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void LogPane::AddLine(const QString& line, int rgb) {
    queue_.push_back({line, rgb});
    if (flushQueued_)
        return;
    flushQueued_ = true;
    QTimer::singleShot(0, this, [this] { Flush(); });
}

// One batch per pass of the event loop; the next batch waits behind whatever
// else was queued meanwhile (socket events, timers, painting).
void LogPane::Flush() {
    flushQueued_ = false;
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (int n = 0; n < kBatchLines && !queue_.empty(); ++n) {
        const Line& line = queue_.front();
        QTextCharFormat format;
        format.setForeground(QColor::fromRgb(static_cast<QRgb>(line.rgb)));
        if (!document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(line.text, format);
        queue_.pop_front();
    }
    cursor.endEditBlock();
    // Follow the newest line unless the user scrolled back to read.
    if (atEnd)
        bar->setValue(bar->maximum());
    if (!queue_.empty()) {
        flushQueued_ = true;
        QTimer::singleShot(0, this, [this] { Flush(); });
    }
}
