#include "connection/connection_refresh.h"

#include "connection/tcp_table.h"

std::optional<TcpTableSnapshot> QueryTcpTable(const TcpTableFunction& getTcpTable) {
    std::uint8_t scratch[kTcpTableHeaderSize] = {};
    std::uint32_t size = 0;
    getTcpTable(scratch, &size, true);  // only the size written back matters
    if (static_cast<std::int32_t>(size) <= 0) return std::nullopt;

    // The first read is sized exactly. A busy server's table can grow between
    // the two calls; then the call reports the new size and is tried again
    // with headroom, rather than showing an empty list at the worst moment.
    std::uint32_t capacity = size;
    for (int attempt = 0;; ++attempt) {
        TcpTableSnapshot snapshot(capacity, 0);
        size = capacity;
        const std::uint32_t status = getTcpTable(snapshot.data(), &size, true);
        if (status == 0) return snapshot;
        if (status != kStatusInsufficientBuffer || attempt == kTcpTableGrowthRetries) return std::nullopt;
        if (static_cast<std::int32_t>(size) <= 0) return std::nullopt;
        const std::uint32_t needed = size > capacity ? size : capacity;
        if (needed > INT32_MAX - needed / 4) return std::nullopt;
        capacity = needed + needed / 4;
    }
}

void RefreshConnectionList(ConnectionListSink& list, bool filterEnabled, const TcpTableFunction& getTcpTable) {
    list.DeleteAllItems();
    const std::optional<TcpTableSnapshot> snapshot = QueryTcpTable(getTcpTable);
    if (!snapshot) return;
    for (const TcpConnectionRow& row : DecodeTcpTable(snapshot->data(), snapshot->size())) {
        if (filterEnabled && IsHiddenLocalAddress(row.localAddress)) continue;
        const int index = list.InsertItem(row.localAddress);
        list.SetItemText(index, 1, row.localPort);
        list.SetItemText(index, 2, row.remoteAddress);
        list.SetItemText(index, 3, row.remotePort);
        list.SetItemText(index, 4, row.state);
    }
}
