// The real IP Helper under the real system: the binding and the table it
// returns for loopback sockets this test opens.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "connection/tcp_table.h"
#include "connection/tcp_table_library.h"
#include "tests/loopback_sockets.h"

namespace {

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
    ASSERT_TRUE(winsock.started);
    const Socket listener = Listen("127.0.0.1");
    ASSERT_NE(listener.s, INVALID_SOCKET);
    const Connection connection = Connect("127.0.0.2", listener);
    ASSERT_NE(connection.server.s, INVALID_SOCKET);

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
    const std::string lp = LocalPort(listener), cp = LocalPort(connection.client);
    EXPECT_TRUE(has({"127.0.0.1", lp, "0.0.0.0", "0", "LISTEN"}));
    EXPECT_TRUE(has({"127.0.0.2", cp, "127.0.0.1", lp, "ESTAB"}));
    EXPECT_TRUE(has({"127.0.0.1", lp, "127.0.0.2", cp, "ESTAB"}));
}

}  // namespace
