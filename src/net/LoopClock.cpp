#include "net/LoopClock.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QTimer>

namespace {

class SystemLoopClock : public LoopClock {
public:
    SystemLoopClock() { started_.start(); }
    std::int64_t SteadyMs() const override { return started_.elapsed(); }
    std::int64_t WallMs() const override { return QDateTime::currentMSecsSinceEpoch(); }
    void After(std::int64_t ms, QObject* context, std::function<void()> fn) override {
        // Precise: the coarse default may fire 5% late, which pacing would
        // turn into a slower transfer than the limit.
        QTimer::singleShot(std::chrono::milliseconds(ms < 0 ? 0 : ms), Qt::PreciseTimer, context,
                           std::move(fn));
    }

private:
    QElapsedTimer started_;
};

} // namespace

LoopClock& LoopClock::System() {
    static SystemLoopClock clock;
    return clock;
}

ManualLoopClock::ManualLoopClock(std::int64_t wallMs)
    : wall_(wallMs >= 0 ? wallMs : QDateTime::currentMSecsSinceEpoch()) {}

void ManualLoopClock::After(std::int64_t ms, QObject* context, std::function<void()> fn) {
    lastDelay_ = ms;
    due_.emplace(steady_ + (ms < 0 ? 0 : ms), Due{context, std::move(fn)});
}

void ManualLoopClock::Advance(std::int64_t ms) {
    steady_ += ms;
    wall_ += ms;
    while (!due_.empty() && due_.begin()->first <= steady_) {
        Due due = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        if (!due.context)
            continue;
        QMetaObject::invokeMethod(
            due.context.data(),
            [context = due.context, fn = std::move(due.fn)] {
                if (context)
                    fn();
            },
            Qt::QueuedConnection);
    }
}
