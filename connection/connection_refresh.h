// The one procedure that fills the connection list, and the two-call query of
// the TCP table behind it. Reaches the list only through ConnectionListSink.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The list operations a refresh uses. The list keeps its own order, so
// InsertItem returns the index at which the new item now stands.
struct ConnectionListSink {
    virtual void DeleteAllItems() = 0;
    virtual int InsertItem(const std::string& text) = 0;
    virtual void SetItemText(int index, int column, const std::string& text) = 0;

protected:
    ~ConnectionListSink() = default;
};

// GetTcpTable's contract: fills `table` when *size is large enough and
// returns 0, else writes the needed size to *size and returns a status.
using TcpTableFunction = std::function<std::uint32_t(void* table, std::uint32_t* size, bool sorted)>;

constexpr std::uint32_t kStatusInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

// How many times a table that grew past the buffer is asked for again, each
// time with a quarter more room than it last reported needing.
constexpr int kTcpTableGrowthRetries = 4;

// The raw TCP table: a 32-bit entry count followed by 20-byte rows.
using TcpTableSnapshot = std::vector<std::uint8_t>;

// Learns the table's size with an empty call, then reads it. Empty when the
// size is not positive or the read fails for any reason but growth, or when
// the table keeps outgrowing the buffer.
std::optional<TcpTableSnapshot> QueryTcpTable(const TcpTableFunction& getTcpTable);

// Empties the list, then writes one item per table row, in table order,
// leaving out hidden local addresses when filterEnabled. A failed query leaves
// the list empty.
void RefreshConnectionList(ConnectionListSink& list, bool filterEnabled, const TcpTableFunction& getTcpTable);
