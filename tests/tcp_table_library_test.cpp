// The real IP Helper under the real system: the binding and the table it
// returns for loopback sockets this test opens.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "connection/tcp_table.h"
#include "connection/tcp_table_library.h"

namespace {

struct Socket {
    SOCKET s = INVALID_SOCKET;
    explicit Socket(SOCKET v) : s(v) {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (s != INVALID_SOCKET) closesocket(s);
    }
};

struct Winsock {
    Winsock() {
        WSADATA data;
        EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    }
    ~Winsock() { WSACleanup(); }
};

sockaddr_in Address(const char* ip, unsigned short port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

unsigned short PortOf(SOCKET s) {
    sockaddr_in a{};
    int length = sizeof a;
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    return ntohs(a.sin_port);
}

TEST(TcpTableLibrary, BindsOnceAndReusesTheEntry) {
    TcpTableLibrary library;
    const GetTcpTableProc first = BindGetTcpTable(library);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(BindGetTcpTable(library), first);
    EXPECT_EQ(reinterpret_cast<void*>(first),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("iphlpapi.dll"), "GetTcpTable")));
}

TEST(TcpTableLibrary, LoadsFromTheSystemFolder) {
    TcpTableLibrary library;
    ASSERT_NE(BindGetTcpTable(library), nullptr);
    char loaded[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(library.module, loaded, MAX_PATH), 0u);
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, loaded, static_cast<int>(n), system,
                             static_cast<int>(n)),
              CSTR_EQUAL)
        << loaded;
}

TEST(TcpTableLibrary, RealTableShowsOurLoopbackSockets) {
    Winsock winsock;
    Socket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in at = Address("127.0.0.1", 0);
    ASSERT_EQ(bind(listener.s, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(listener.s, 4), 0);
    const unsigned short listenPort = PortOf(listener.s);

    Socket client(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in from = Address("127.0.0.2", 0);
    ASSERT_EQ(bind(client.s, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    sockaddr_in to = Address("127.0.0.1", listenPort);
    ASSERT_EQ(connect(client.s, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    Socket accepted(accept(listener.s, nullptr, nullptr));
    ASSERT_NE(accepted.s, INVALID_SOCKET);
    const unsigned short clientPort = PortOf(client.s);

    TcpTableLibrary library;
    const GetTcpTableProc proc = BindGetTcpTable(library);
    ASSERT_NE(proc, nullptr);
    const auto snapshot = QueryTcpTable(TcpTableFunctionOf(proc));
    ASSERT_TRUE(snapshot.has_value());
    const auto rows = DecodeTcpTable(snapshot->data(), snapshot->size());

    const auto has = [&](const TcpConnectionRow& want) {
        return std::any_of(rows.begin(), rows.end(), [&](const TcpConnectionRow& r) {
            return r.localAddress == want.localAddress && r.localPort == want.localPort &&
                   r.remoteAddress == want.remoteAddress && r.remotePort == want.remotePort && r.state == want.state;
        });
    };
    const std::string lp = std::to_string(listenPort), cp = std::to_string(clientPort);
    EXPECT_TRUE(has({"127.0.0.1", lp, "0.0.0.0", "0", "LISTEN"}));
    EXPECT_TRUE(has({"127.0.0.2", cp, "127.0.0.1", lp, "ESTAB"}));
    EXPECT_TRUE(has({"127.0.0.1", lp, "127.0.0.2", cp, "ESTAB"}));
}

}  // namespace
