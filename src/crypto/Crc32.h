#pragma once
#include <cstddef>
#include <cstdint>

// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320, table-driven),
// started at 0xFFFFFFFF and without the final complement.
std::uint32_t Crc32(const void* data, std::size_t size);
// Continues a running value (start with kCrc32Start).
inline constexpr std::uint32_t kCrc32Start = 0xFFFFFFFFu;
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size);
