#pragma once
#include <functional>

namespace testing_support {

// Runs the Qt event loop until done() is true or timeoutMs passes; returns
// whether done() became true. Every test that waits on sockets goes through
// this, so a failed expectation inside a handler can never hang the suite.
bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Runs the event loop for a fixed time, for "nothing more happens" checks.
void RunLoopFor(int ms);

} // namespace testing_support
