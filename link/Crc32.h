#pragma once

#include <array>
#include <cstdint>

// The 256-entry table of the IEEE 802.3 CRC-32 (reflected polynomial
// 0xEDB88320), so that the packet link spends one lookup per byte.
namespace crc32 {

constexpr std::uint32_t Polynomial = 0xEDB88320u;
constexpr std::uint32_t Initial = 0xFFFFFFFFu;
constexpr std::uint32_t FinalXor = 0xFFFFFFFFu;

constexpr std::array<std::uint32_t, 256> makeTable()
{
    std::array<std::uint32_t, 256> table = {};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1u) ? (Polynomial ^ (c >> 1)) : (c >> 1);
        table[n] = c;
    }
    return table;
}

inline constexpr std::array<std::uint32_t, 256> Table = makeTable();

// Entries every copy of the standard table carries.
static_assert(Table[1] == 0x77073096u && Table[128] == 0xEDB88320u && Table[255] == 0x2D02EF8Du);

}  // namespace crc32
