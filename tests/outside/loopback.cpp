#include "tests/outside/loopback.h"

#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace {

// The names of the MIB_TCP_STATE values 1 to 12, as the list writes them.
constexpr const char* kStateNames[] = {"UNKNOWN",  "CLOSE",     "LISTEN",    "SYN_SENT", "SYN_RCVD",
                                       "ESTAB",    "FIN_WAIT1", "FIN_WAIT2", "CLOSE_WAIT", "CLOSING",
                                       "LAST_ACK", "TIME_WAIT", "DELETE_TCB"};

sockaddr_in Address(const char* ip, unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

sockaddr_in LocalAddress(const Socket& s) {
    sockaddr_in a{};
    int length = sizeof a;
    getsockname(s.s, reinterpret_cast<sockaddr*>(&a), &length);
    return a;
}

std::string IpText(DWORD networkOrder) {
    in_addr a{};
    a.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string PortText(DWORD networkOrder) { return std::to_string(ntohs(static_cast<u_short>(networkOrder))); }

}  // namespace

Socket Listen(const char* ip) {
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in at = Address(ip, 0);
    if (bind(s.s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s.s, 16) != 0) return Socket();
    return s;
}

Connection Connect(const char* fromIp, const Socket& listener) {
    Connection c{Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)), Socket()};
    sockaddr_in from = Address(fromIp, 0);
    sockaddr_in to = LocalAddress(listener);
    if (to.sin_addr.s_addr == INADDR_ANY) inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (bind(c.client.s, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        connect(c.client.s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        return {};
    c.server = Socket(accept(listener.s, nullptr, nullptr));
    // Closed with a reset, so a closed connection leaves no TIME_WAIT row
    // behind to grow the table over a long run.
    const linger reset{1, 0};
    for (const Socket* s : {&c.client, &c.server})
        setsockopt(s->s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
    return c;
}

std::string LocalIp(const Socket& s) { return IpText(LocalAddress(s).sin_addr.s_addr); }
std::string LocalPort(const Socket& s) { return std::to_string(ntohs(LocalAddress(s).sin_port)); }

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
