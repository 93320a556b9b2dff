#include "window/ElidedLabel.h"

#include <QFontMetrics>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {}

void ElidedLabel::SetFullText(const QString& text) {
    if (text == full_)
        return;
    full_ = text;
    setToolTip(text);
    updateGeometry();
    Elide();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(full_) + m.left() + m.right() + 2 * margin() + 2,
            QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {minimumWidth(), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Elide();
}

void ElidedLabel::Elide() {
    setText(
        fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width() - 2 * margin()));
}
