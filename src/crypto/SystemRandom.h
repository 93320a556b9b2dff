#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Words from the operating system's cryptographic random source (getrandom).
// Raises ECryptoError if the source fails.
void SystemRandomFill(void* buffer, std::size_t bytes);
std::vector<std::uint32_t> SystemRandomWords(std::size_t count);
