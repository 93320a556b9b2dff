#pragma once
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Calls an action at most once per interval. The first call of a burst runs
// at once; further calls within the interval are folded into one at its end,
// so the last state is always delivered.
class Throttle {
public:
    Throttle(int intervalMs, std::function<void()> action);
    void Poke();
    // Drops a call still pending (a full refresh made it pointless).
    void Cancel();

private:
    void Fire();

    int intervalMs_;
    std::function<void()> action_;
    QTimer timer_;
    QElapsedTimer last_;
    bool pending_ = false;
};
