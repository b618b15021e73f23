#include "connection/connection_refresh.h"

#include <gtest/gtest.h>

#include <deque>

#include "tests/descending_list.h"
#include "tests/tcp_table_builder.h"

namespace {

using Item = DescendingList::Item;

// A table source that answers each call from a script: the size it reports,
// and whether it fills the buffer when that size fits.
struct ScriptedTable {
    struct Answer {
        std::int64_t reportedSize;  // written back on every call
        std::uint32_t status;       // returned when the buffer is large enough
    };
    std::vector<std::uint8_t> table;
    std::deque<Answer> script;
    std::vector<std::uint32_t> offeredSizes;

    TcpTableFunction Function() {
        return [this](void* buffer, std::uint32_t* size, bool sorted) -> std::uint32_t {
            EXPECT_TRUE(sorted);
            offeredSizes.push_back(*size);
            if (script.empty()) {
                ADD_FAILURE() << "more calls than scripted";
                return 1;
            }
            const Answer a = script.front();
            script.pop_front();
            const std::uint32_t offered = *size;
            *size = static_cast<std::uint32_t>(a.reportedSize);
            if (offered < table.size()) return kStatusInsufficientBuffer;
            if (a.status == 0) std::memcpy(buffer, table.data(), table.size());
            return a.status;
        };
    }
    // The usual two calls: size, then the table.
    static ScriptedTable Serving(std::vector<std::uint8_t> table) {
        const auto size = static_cast<std::int64_t>(table.size());
        return ScriptedTable{std::move(table), {{size, kStatusInsufficientBuffer}, {size, 0}}, {}};
    }
};

const std::vector<TableRowBytes> kMixedRows = {
    {2, {0, 0, 0, 0}, 135, {0, 0, 0, 0}, 0},
    {5, {10, 0, 0, 1}, 22, {10, 0, 0, 9}, 40000},
    {5, {127, 0, 0, 1}, 5432, {127, 0, 0, 1}, 40001},
    {5, {127, 0, 0, 2}, 40002, {127, 0, 0, 1}, 5432},
    {11, {192, 168, 1, 5}, 50000, {127, 0, 0, 1}, 80},
    {5, {9, 9, 9, 9}, 443, {1, 1, 1, 1}, 1234},
    {5, {10, 0, 0, 10}, 8080, {10, 0, 0, 1}, 999},
};

// Descending text order, with every row's cells still beside its own address.
const std::vector<Item> kMixedUnfiltered = {
    {"9.9.9.9", "443", "1.1.1.1", "1234", "ESTAB"},
    {"192.168.1.5", "50000", "127.0.0.1", "80", "TIME_WAIT"},
    {"127.0.0.2", "40002", "127.0.0.1", "5432", "ESTAB"},
    {"127.0.0.1", "5432", "127.0.0.1", "40001", "ESTAB"},
    {"10.0.0.10", "8080", "10.0.0.1", "999", "ESTAB"},
    {"10.0.0.1", "22", "10.0.0.9", "40000", "ESTAB"},
    {"0.0.0.0", "135", "0.0.0.0", "0", "LISTEN"},
};

TEST(RefreshConnectionList, FilterHidesOnlyLocalAnyAndLoopback) {
    const struct {
        bool filter;
        std::vector<Item> expected;
    } cases[] = {
        {false, kMixedUnfiltered},
        {true,
         {kMixedUnfiltered[0], kMixedUnfiltered[1], kMixedUnfiltered[2], kMixedUnfiltered[4], kMixedUnfiltered[5]}},
    };
    for (const auto& c : cases) {
        auto source = ScriptedTable::Serving(BuildTcpTable(kMixedRows));
        DescendingList list;
        list.items.push_back({"stale", "", "", "", ""});
        RefreshConnectionList(list, c.filter, source.Function());
        EXPECT_EQ(list.items, c.expected) << "filter " << c.filter;
        EXPECT_EQ(list.deleteAllCalls, 1);
    }
}

TEST(RefreshConnectionList, RefreshingAgainYieldsTheSameList) {
    DescendingList list;
    for (int round = 0; round < 2; ++round) {
        auto source = ScriptedTable::Serving(BuildTcpTable(kMixedRows));
        RefreshConnectionList(list, false, source.Function());
        EXPECT_EQ(list.items, kMixedUnfiltered) << round;
    }
}

// Every outcome of the size call and the read, from a list that held rows.
TEST(RefreshConnectionList, QueryOutcomes) {
    const auto table = BuildTcpTable(kMixedRows);
    const auto grownTable = BuildTcpTable([] {
        auto rows = kMixedRows;
        rows.push_back({5, {10, 1, 1, 1}, 1, {10, 2, 2, 2}, 2});  // a row that came after the size call
        return rows;
    }());
    const auto size = static_cast<std::int64_t>(table.size());
    const auto grown = static_cast<std::int64_t>(grownTable.size());
    const std::uint32_t E = kStatusInsufficientBuffer;
    const struct {
        const char* what;
        std::vector<std::uint8_t> table;  // what the source holds when it is read
        std::vector<ScriptedTable::Answer> script;
        std::size_t rows;
        std::size_t calls;
    } cases[] = {
        {"exact size", table, {{size, E}, {size, 0}}, kMixedRows.size(), 2},
        {"empty table", BuildTcpTable({}), {{4, E}, {4, 0}}, 0, 2},
        {"no size", table, {{0, E}}, 0, 1},
        {"negative size", table, {{-20, E}}, 0, 1},
        {"read fails", table, {{size, E}, {size, 87}}, 0, 2},
        {"grows once", grownTable, {{size, E}, {grown, E}, {grown, 0}}, kMixedRows.size() + 1, 3},
        {"growth then another failure", grownTable, {{size, E}, {grown, E}, {grown, 50}}, 0, 3},
    };
    for (const auto& c : cases) {
        ScriptedTable source{c.table, {c.script.begin(), c.script.end()}, {}};
        DescendingList list;
        list.items.push_back({"stale", "", "", "", ""});
        RefreshConnectionList(list, false, source.Function());
        EXPECT_EQ(source.offeredSizes.size(), c.calls) << c.what;
        EXPECT_EQ(list.items.size(), c.rows) << c.what;
    }
}

// A table that outgrows every buffer it is offered: a bounded number of
// tries, then an empty list.
TEST(RefreshConnectionList, GivesUpOnATableThatKeepsGrowing) {
    int calls = 0;
    const TcpTableFunction alwaysLarger = [&](void*, std::uint32_t* size, bool) -> std::uint32_t {
        ++calls;
        *size = *size * 2 + 24;
        return kStatusInsufficientBuffer;
    };
    DescendingList list;
    list.items.push_back({"stale", "", "", "", ""});
    RefreshConnectionList(list, false, alwaysLarger);
    EXPECT_EQ(calls, 2 + kTcpTableGrowthRetries);
    EXPECT_TRUE(list.items.empty());
}

TEST(QueryTcpTable, SizesFirstReadExactlyThenWithHeadroom) {
    const auto table = BuildTcpTable(kMixedRows);
    const auto size = static_cast<std::uint32_t>(table.size());
    const std::uint32_t grown = size + 200;
    ScriptedTable source{table, {{size, kStatusInsufficientBuffer}, {grown, kStatusInsufficientBuffer}, {grown, 0}}, {}};
    source.table.resize(grown, 0);
    const auto snapshot = QueryTcpTable(source.Function());
    ASSERT_TRUE(snapshot.has_value());
    ASSERT_EQ(source.offeredSizes.size(), 3u);
    EXPECT_EQ(source.offeredSizes[0], 0u);
    EXPECT_EQ(source.offeredSizes[1], size);
    EXPECT_EQ(source.offeredSizes[2], grown + grown / 4);
    EXPECT_EQ(snapshot->size(), grown + grown / 4);
}

}  // namespace
