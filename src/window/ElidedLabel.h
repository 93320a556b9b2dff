#pragma once
#include <QLabel>

// A label for a text that may be longer than the room it gets (a path in a
// status bar): it shows as much as fits with "..." in the middle and the
// whole text as its tool tip, and never asks for more than a little room.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();
    QString full_;
};
