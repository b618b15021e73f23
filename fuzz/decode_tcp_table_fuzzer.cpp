// libFuzzer target: any byte string as a TCP table, checked against the rule
// that decoding reads only inside the buffer and yields only the rows it holds.
#include <cstdlib>

#include "connection/tcp_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto rows = DecodeTcpTable(data, size);
    const std::size_t fitting = size < kTcpTableHeaderSize ? 0 : (size - kTcpTableHeaderSize) / kTcpTableRowSize;
    if (rows.size() > fitting) std::abort();
    for (const TcpConnectionRow& row : rows) {
        if (row.localAddress.size() < 7 || row.localAddress.size() > 15) std::abort();
        if (row.localPort.empty() || row.localPort.size() > 5 || row.state.empty()) std::abort();
    }
    return 0;
}
