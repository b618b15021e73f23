#include "connection/tcp_table.h"

#include <algorithm>
#include <array>

namespace {

// Appends the unsigned decimal text of value, without leading zeros.
void AppendDecimal(std::string& out, unsigned value) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) out.push_back(digits[--n]);
}

std::int32_t ReadInt32LE(const std::uint8_t* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

constexpr std::array<const char*, 13> kStateNames = {
    "UNKNOWN", "CLOSE",   "LISTEN",   "SYN_SENT",  "SYN_RCVD", "ESTAB",     "FIN_WAIT1",
    "FIN_WAIT2", "CLOSE_WAIT", "CLOSING", "LAST_ACK", "TIME_WAIT", "DELETE_TCB",
};

}  // namespace

std::string FormatIPv4(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    std::string text;
    text.reserve(15);
    AppendDecimal(text, b0);
    text.push_back('.');
    AppendDecimal(text, b1);
    text.push_back('.');
    AppendDecimal(text, b2);
    text.push_back('.');
    AppendDecimal(text, b3);
    return text;
}

std::string FormatPort(std::uint8_t byte0, std::uint8_t byte1) {
    std::string text;
    AppendDecimal(text, byte0 * 256u + byte1);
    return text;
}

const char* TcpStateName(std::uint8_t code) {
    return code < kStateNames.size() ? kStateNames[code] : kStateNames[0];
}

bool IsHiddenLocalAddress(const std::string& text) {
    return text == "0.0.0.0" || text == "127.0.0.1";
}

std::vector<TcpConnectionRow> DecodeTcpTable(const std::uint8_t* snapshot, std::size_t length) {
    std::vector<TcpConnectionRow> rows;
    if (snapshot == nullptr || length < kTcpTableHeaderSize) return rows;
    const std::int32_t count = ReadInt32LE(snapshot);
    if (count <= 0) return rows;
    const std::size_t fitting = (length - kTcpTableHeaderSize) / kTcpTableRowSize;
    const std::size_t n = std::min(static_cast<std::size_t>(count), fitting);
    rows.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t* row = snapshot + kTcpTableHeaderSize + kTcpTableRowSize * k;
        rows.push_back(TcpConnectionRow{
            FormatIPv4(row[4], row[5], row[6], row[7]),
            FormatPort(row[8], row[9]),
            FormatIPv4(row[12], row[13], row[14], row[15]),
            FormatPort(row[16], row[17]),
            TcpStateName(row[0]),
        });
    }
    return rows;
}
