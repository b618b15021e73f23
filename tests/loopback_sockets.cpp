#include "tests/loopback_sockets.h"

#include <ws2tcpip.h>

namespace {

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

std::string IpText(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

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

std::string LocalIp(const Socket& s) { return IpText(LocalAddress(s).sin_addr); }
std::string LocalPort(const Socket& s) { return std::to_string(ntohs(LocalAddress(s).sin_port)); }
