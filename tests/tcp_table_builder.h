// Builds TCP table buffers in the layout GetTcpTable fills, for tests that
// need a table the platform cannot be made to produce on demand.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

struct TableRowBytes {
    std::uint32_t state;                 // whole 32-bit field, little-endian
    std::array<std::uint8_t, 4> local;   // address bytes in memory order
    std::uint16_t localPort;             // host value, stored high byte first
    std::array<std::uint8_t, 4> remote;
    std::uint16_t remotePort;
};

inline void PutLE32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A buffer whose count field says `count` (the number of rows by default).
inline std::vector<std::uint8_t> BuildTcpTable(const std::vector<TableRowBytes>& rows, std::optional<std::int64_t> count = std::nullopt) {
    std::vector<std::uint8_t> out(4 + 20 * rows.size(), 0);
    PutLE32(out, 0, static_cast<std::uint32_t>(count.value_or(static_cast<std::int64_t>(rows.size()))));
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::size_t base = 4 + 20 * k;
        const TableRowBytes& r = rows[k];
        PutLE32(out, base, r.state);
        std::memcpy(&out[base + 4], r.local.data(), 4);
        out[base + 8] = static_cast<std::uint8_t>(r.localPort >> 8);
        out[base + 9] = static_cast<std::uint8_t>(r.localPort);
        out[base + 10] = 0xAB;  // the unused half of the port field holds junk
        out[base + 11] = 0xCD;
        std::memcpy(&out[base + 12], r.remote.data(), 4);
        out[base + 16] = static_cast<std::uint8_t>(r.remotePort >> 8);
        out[base + 17] = static_cast<std::uint8_t>(r.remotePort);
        out[base + 18] = 0xEF;
        out[base + 19] = 0x01;
    }
    return out;
}
