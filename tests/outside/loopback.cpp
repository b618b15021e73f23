#include "tests/outside/loopback.h"

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace {

// The names of the MIB_TCP_STATE values 1 to 12, as the list writes them.
constexpr const char* kStateNames[] = {"UNKNOWN",  "CLOSE",     "LISTEN",    "SYN_SENT", "SYN_RCVD",
                                       "ESTAB",    "FIN_WAIT1", "FIN_WAIT2", "CLOSE_WAIT", "CLOSING",
                                       "LAST_ACK", "TIME_WAIT", "DELETE_TCB"};

std::string IpText(DWORD networkOrder) {
    in_addr a{};
    a.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string PortText(DWORD networkOrder) { return std::to_string(ntohs(static_cast<u_short>(networkOrder))); }

}  // namespace

std::vector<ListRow> SystemRows() {
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG size = 0;
        GetTcpTable(nullptr, &size, TRUE);
        std::vector<unsigned char> buffer(size + 64 * sizeof(MIB_TCPROW));
        size = static_cast<ULONG>(buffer.size());
        auto* table = reinterpret_cast<MIB_TCPTABLE*>(buffer.data());
        if (GetTcpTable(table, &size, TRUE) != NO_ERROR) continue;
        std::vector<ListRow> rows;
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            const MIB_TCPROW& r = table->table[i];
            const DWORD state = r.dwState & 0xFF;
            rows.push_back({IpText(r.dwLocalAddr), PortText(r.dwLocalPort), IpText(r.dwRemoteAddr),
                            PortText(r.dwRemotePort), kStateNames[state <= 12 ? state : 0]});
        }
        return rows;
    }
    return {};
}

std::vector<ListRow> WithoutHiddenLocalAddresses(std::vector<ListRow> rows) {
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const ListRow& r) { return r[0] == "0.0.0.0" || r[0] == "127.0.0.1"; }),
               rows.end());
    return rows;
}

std::vector<ListRow> Sorted(std::vector<ListRow> rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool Contains(const std::vector<ListRow>& rows, const ListRow& row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
}
