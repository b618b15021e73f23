// Decoding of the IPv4 TCP table buffer that GetTcpTable fills, and the text
// rules of the five cells a connection shows. No Win32 calls: builds anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One connection as the list shows it.
struct TcpConnectionRow {
    std::string localAddress;
    std::string localPort;
    std::string remoteAddress;
    std::string remotePort;
    std::string state;
};

// Size of the entry count that starts the buffer, and of one row after it.
constexpr std::size_t kTcpTableHeaderSize = 4;
constexpr std::size_t kTcpTableRowSize = 20;

std::string FormatIPv4(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);
std::string FormatPort(std::uint8_t byte0, std::uint8_t byte1);
const char* TcpStateName(std::uint8_t code);
bool IsHiddenLocalAddress(const std::string& text);

// Rows in table order. Reads only inside [snapshot, snapshot + length): a count
// larger than the buffer holds yields the whole rows that fit, a buffer too
// short for the count yields none.
std::vector<TcpConnectionRow> DecodeTcpTable(const std::uint8_t* snapshot, std::size_t length);
