// Winsock, and loopback listeners and connections the tests open on the real
// system, each socket owned and closed by one object.
#pragma once

#include <winsock2.h>

#include <string>
#include <utility>

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

// Both ends of one loopback connection from `fromIp` to a listener (one on
// 0.0.0.0 is reached at 127.0.0.1); closing them resets the connection.
// Both are INVALID_SOCKET on failure.
struct Connection {
    Socket client;
    Socket server;
};
Connection Connect(const char* fromIp, const Socket& listener);

std::string LocalIp(const Socket& s);
std::string LocalPort(const Socket& s);
