#pragma once
// Time as the event loop sees it: a steady clock for pacing and delays, a
// wall clock for what must outlive the program (ban expiry), and callbacks
// run from the loop once a time has passed. Logic that waits takes a clock,
// so tests can move time on instead of sleeping.
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <map>

class LoopClock {
public:
    virtual ~LoopClock() = default;
    // Milliseconds of a clock that never jumps.
    virtual std::int64_t SteadyMs() const = 0;
    // Milliseconds since the epoch.
    virtual std::int64_t WallMs() const = 0;
    // Calls fn once from the event loop, ms from now, unless context is gone
    // by then.
    virtual void After(std::int64_t ms, QObject* context, std::function<void()> fn) = 0;

    // The process's real clock, with precise timers.
    static LoopClock& System();
};

// A clock that moves only when told to: Advance runs (from the event loop)
// every callback that has come due. Its wall clock starts at the real time
// (or at wallMs), so what it stores reads sensibly to other programs.
class ManualLoopClock : public LoopClock {
public:
    explicit ManualLoopClock(std::int64_t wallMs = -1);
    std::int64_t SteadyMs() const override { return steady_; }
    std::int64_t WallMs() const override { return wall_; }
    void After(std::int64_t ms, QObject* context, std::function<void()> fn) override;
    void Advance(std::int64_t ms);
    // Callbacks waiting for a later time.
    std::size_t Waiting() const { return due_.size(); }
    // The delay asked for by the most recent After.
    std::int64_t LastDelay() const { return lastDelay_; }

private:
    struct Due {
        QPointer<QObject> context;
        std::function<void()> fn;
    };
    std::int64_t steady_ = 0;
    std::int64_t wall_;
    std::int64_t lastDelay_ = -1;
    std::multimap<std::int64_t, Due> due_;
};
