#include "app/Throttle.h"

Throttle::Throttle(int intervalMs, std::function<void()> action)
    : intervalMs_(intervalMs), action_(std::move(action)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (pending_)
            Fire();
    });
}

void Throttle::Poke() {
    const qint64 since = last_.isValid() ? last_.elapsed() : intervalMs_;
    if (since >= intervalMs_ && !timer_.isActive()) {
        Fire();
        return;
    }
    pending_ = true;
    if (!timer_.isActive())
        timer_.start(static_cast<int>(std::max<qint64>(0, intervalMs_ - since)));
}

void Throttle::Cancel() {
    pending_ = false;
    timer_.stop();
}

void Throttle::Fire() {
    pending_ = false;
    last_.restart();
    if (action_)
        action_();
}
