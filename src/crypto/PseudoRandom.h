#pragma once
#include <cstdint>

// The 32-bit linear congruential generator shared by key generation,
// Miller-Rabin bases and the key-file filler. Not for secrets on its own:
// key generation mixes in seeds from the system's random source.
class TPseudoRandom {
public:
    explicit TPseudoRandom(std::uint32_t seed = 0) : seed_(seed) {}
    // seed = milliseconds since midnight, UTC.
    void Randomize();
    void SetSeed(std::uint32_t seed) { seed_ = seed; }
    std::uint32_t Seed() const { return seed_; }
    // A draw below n: high half of (new seed × n).
    std::uint32_t Random(std::uint32_t n) {
        seed_ = seed_ * 134775813u + 1u;
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed_) * n) >> 32);
    }
    std::uint32_t RandomWord() { return Random(4294967295u); }

private:
    std::uint32_t seed_;
};
