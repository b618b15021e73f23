// Loopback listeners and connections the outside-in tests open, and the TCP
// table as the system reports it to this process, formatted as the list shows it.
#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

#include "tests/outside/remote_program.h"

struct Winsock {
    bool started;
    Winsock() {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    ~Winsock() {
        if (started) WSACleanup();
    }
};

// Owns one socket. Movable so sockets can be kept in a container.
struct Socket {
    SOCKET s = INVALID_SOCKET;
    Socket() = default;
    explicit Socket(SOCKET v) : s(v) {}
    Socket(Socket&& o) noexcept : s(o.s) { o.s = INVALID_SOCKET; }
    Socket& operator=(Socket&& o) noexcept {
        std::swap(s, o.s);
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (s != INVALID_SOCKET) closesocket(s);
    }
};

// A listener on ip, on a port the system picks; INVALID_SOCKET on failure.
Socket Listen(const char* ip);

// Both ends of one loopback connection from `fromIp` to a listener; closing
// them resets the connection.
struct Connection {
    Socket client;
    Socket server;
};
Connection Connect(const char* fromIp, const Socket& listener);

std::string LocalIp(const Socket& s);
std::string LocalPort(const Socket& s);

// The rows a list of this connection table shows, from GetTcpTable called here.
std::vector<ListRow> SystemRows();

// The rows with a hidden local address (0.0.0.0, 127.0.0.1) left out.
std::vector<ListRow> WithoutHiddenLocalAddresses(std::vector<ListRow> rows);

// The same rows in one fixed order, to compare two tables as sets of rows.
std::vector<ListRow> Sorted(std::vector<ListRow> rows);

bool Contains(const std::vector<ListRow>& rows, const ListRow& row);
