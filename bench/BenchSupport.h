#pragma once
// What the benchmarks share beyond the tests' support code (loopback sockets,
// programs of the build, scripted answers), which they link as well.
#include "support/Loopback.h"
#include "support/Peers.h"

#include <algorithm>
#include <vector>

namespace bench_support {

// The middle value of the runs (0 when there were none).
inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace bench_support
