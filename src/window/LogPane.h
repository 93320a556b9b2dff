#pragma once
#include <QColor>
#include <QPlainTextEdit>
#include <QString>

#include <deque>

// One log pane: coloured lines, read-only, scrolled to the newest line.
// Lines are queued and appended in batches from the event loop, so a burst
// of thousands of lines never holds the window for longer than one batch.
class LogPane : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kBatchLines = 200;

    explicit LogPane(QWidget* parent = nullptr);

    // Queues a line; rgb is 0xRRGGBB.
    void AddLine(const QString& line, int rgb);
    // Lines queued but not yet shown.
    int Pending() const { return static_cast<int>(queue_.size()); }

private:
    void Flush();

    struct Line {
        QString text;
        int rgb;
    };
    std::deque<Line> queue_;
    bool flushQueued_ = false;
};
