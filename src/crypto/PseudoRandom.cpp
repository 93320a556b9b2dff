#include "crypto/PseudoRandom.h"
#include <chrono>

void TPseudoRandom::Randomize() {
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    auto msOfDay = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
    seed_ = static_cast<std::uint32_t>(msOfDay);
}
