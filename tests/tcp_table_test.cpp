#include "connection/tcp_table.h"

#include <gtest/gtest.h>

#include "tests/tcp_table_builder.h"

namespace {

TEST(TcpStateName, NamesEveryCodeAndUnknownOutside) {
    const struct { int code; const char* text; } cases[] = {
        {0, "UNKNOWN"},      {1, "CLOSE"},     {2, "LISTEN"},   {3, "SYN_SENT"},  {4, "SYN_RCVD"},
        {5, "ESTAB"},        {6, "FIN_WAIT1"}, {7, "FIN_WAIT2"}, {8, "CLOSE_WAIT"}, {9, "CLOSING"},
        {10, "LAST_ACK"},    {11, "TIME_WAIT"}, {12, "DELETE_TCB"}, {13, "UNKNOWN"}, {255, "UNKNOWN"},
    };
    for (const auto& c : cases) EXPECT_STREQ(TcpStateName(static_cast<std::uint8_t>(c.code)), c.text) << c.code;
}

TEST(FormatCells, PortsAndAddressesFromTheirBytes) {
    EXPECT_EQ(FormatPort(0x00, 0x50), "80");
    EXPECT_EQ(FormatPort(0x1F, 0x90), "8080");
    EXPECT_EQ(FormatPort(0xFF, 0xFF), "65535");
    EXPECT_EQ(FormatPort(0x00, 0x00), "0");
    EXPECT_EQ(FormatPort(0x01, 0x00), "256");
    EXPECT_EQ(FormatIPv4(0xC0, 0xA8, 0x01, 0x05), "192.168.1.5");
    EXPECT_EQ(FormatIPv4(0x7F, 0x00, 0x00, 0x01), "127.0.0.1");
    EXPECT_EQ(FormatIPv4(0, 0, 0, 0), "0.0.0.0");
    EXPECT_EQ(FormatIPv4(255, 255, 255, 255), "255.255.255.255");
    EXPECT_EQ(FormatIPv4(10, 100, 0, 9), "10.100.0.9");
}

TEST(IsHiddenLocalAddress, ExactTextOnly) {
    const struct { const char* text; bool hidden; } cases[] = {
        {"0.0.0.0", true},    {"127.0.0.1", true},  {"127.0.0.2", false}, {"10.0.0.0", false},
        {"0.0.0.00", false},  {"127.0.0.10", false}, {"127.0.0.", false}, {"", false},
        {" 0.0.0.0", false},  {"127.000.000.001", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsHiddenLocalAddress(c.text), c.hidden) << '"' << c.text << '"';
}

TEST(DecodeTcpTable, DecodesEveryFieldInTableOrder) {
    // The state field's upper bytes are set: only the low byte names the state.
    const auto table = BuildTcpTable({
        {0xFFFFFF05, {192, 168, 1, 5}, 443, {10, 0, 0, 7}, 51000},
        {0x12345602, {0, 0, 0, 0}, 8080, {0, 0, 0, 0}, 0},
        {0x0000000D, {127, 0, 0, 1}, 80, {127, 0, 0, 2}, 65535},
    });
    const auto rows = DecodeTcpTable(table.data(), table.size());
    ASSERT_EQ(rows.size(), 3u);
    const TcpConnectionRow expected[] = {
        {"192.168.1.5", "443", "10.0.0.7", "51000", "ESTAB"},
        {"0.0.0.0", "8080", "0.0.0.0", "0", "LISTEN"},
        {"127.0.0.1", "80", "127.0.0.2", "65535", "UNKNOWN"},
    };
    for (std::size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(rows[k].localAddress, expected[k].localAddress) << k;
        EXPECT_EQ(rows[k].localPort, expected[k].localPort) << k;
        EXPECT_EQ(rows[k].remoteAddress, expected[k].remoteAddress) << k;
        EXPECT_EQ(rows[k].remotePort, expected[k].remotePort) << k;
        EXPECT_EQ(rows[k].state, expected[k].state) << k;
    }
}

// The count field against what the buffer really holds.
TEST(DecodeTcpTable, CountAndLengthDisagreements) {
    const TableRowBytes row = {5, {1, 2, 3, 4}, 1, {5, 6, 7, 8}, 2};
    const auto three = BuildTcpTable({row, row, row});
    const struct {
        const char* what;
        std::int64_t count;
        std::size_t length;
        std::size_t rows;
    } cases[] = {
        {"count 0", 0, three.size(), 0},
        {"negative count", -1, three.size(), 0},
        {"most negative count", INT32_MIN, three.size(), 0},
        {"count as given", 3, three.size(), 3},
        {"fewer than held", 2, three.size(), 2},
        {"more than held", 4, three.size(), 3},
        {"huge count", INT32_MAX, three.size(), 3},
        {"last row cut short", 3, three.size() - 1, 2},
        {"header only", 3, 4, 0},
        {"shorter than the count field", 3, 3, 0},
        {"empty buffer", 3, 0, 0},
    };
    for (const auto& c : cases) {
        auto table = BuildTcpTable({row, row, row}, c.count);
        // Copy into a buffer of exactly the claimed length, so a read past it
        // is caught by the address sanitizer.
        std::vector<std::uint8_t> exact(table.begin(), table.begin() + c.length);
        EXPECT_EQ(DecodeTcpTable(exact.data(), exact.size()).size(), c.rows) << c.what;
    }
    EXPECT_TRUE(DecodeTcpTable(nullptr, 0).empty());
}

}  // namespace
