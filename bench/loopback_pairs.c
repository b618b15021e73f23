/* Holds established loopback TCP connections so the system's TCP table has a
 * known size: `loopback_pairs PAIRS SECONDS` opens one listener on 127.0.0.1
 * and one on 127.0.0.2, connects PAIRS clients to them (alternating, each from
 * the other address), prints "ready <rows>" and holds them until its standard
 * input closes or SECONDS pass, whichever comes first. Each pair is two table
 * rows (both ends), each listener one.
 *
 * Every socket has a zero linger time, so however the process ends its
 * connections close by reset and leave no TIME_WAIT rows behind to skew the
 * next measurement. A native Linux program, built by scripts/bench. */
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#ifndef IP_BIND_ADDRESS_NO_PORT
#define IP_BIND_ADDRESS_NO_PORT 24
#endif

static const char *const kAddresses[2] = {"127.0.0.1", "127.0.0.2"};
enum { kMaxSeconds = 3600, kSpareDescriptors = 16 };

static void die(const char *what) {
    fprintf(stderr, "loopback_pairs: %s: %s\n", what, strerror(errno));
    exit(1);
}

static struct sockaddr_in address_of(const char *ip, unsigned short port) {
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    return a;
}

/* A TCP socket that closes by reset whenever it is closed. */
static int reset_on_close_socket(void) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) die("socket");
    struct linger no_linger = {1, 0};
    if (setsockopt(s, SOL_SOCKET, SO_LINGER, &no_linger, sizeof no_linger) != 0) die("SO_LINGER");
    return s;
}

static int listen_on(const char *ip, unsigned short *port) {
    int s = reset_on_close_socket();
    struct sockaddr_in a = address_of(ip, 0);
    if (bind(s, (struct sockaddr *)&a, sizeof a) != 0) die("bind listener");
    if (listen(s, 64) != 0) die("listen");
    socklen_t length = sizeof a;
    if (getsockname(s, (struct sockaddr *)&a, &length) != 0) die("getsockname");
    *port = ntohs(a.sin_port);
    return s;
}

/* Connects from one loopback address to the listener on the other and takes
 * the server end at once, so the backlog never fills. */
static void open_pair(int listener, const char *from, const char *to, unsigned short port, int *client,
                      int *server) {
    *client = reset_on_close_socket();
    int one = 1;
    /* The port is picked at connect, per destination, so many pairs can share
     * the ephemeral range with other processes doing the same. */
    setsockopt(*client, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &one, sizeof one);
    struct sockaddr_in source = address_of(from, 0);
    if (bind(*client, (struct sockaddr *)&source, sizeof source) != 0) die("bind client");
    struct sockaddr_in target = address_of(to, port);
    if (connect(*client, (struct sockaddr *)&target, sizeof target) != 0) die("connect");
    *server = accept4(listener, NULL, NULL, SOCK_CLOEXEC);
    if (*server < 0) die("accept");
    struct linger no_linger = {1, 0};
    setsockopt(*server, SOL_SOCKET, SO_LINGER, &no_linger, sizeof no_linger);
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: loopback_pairs PAIRS SECONDS\n");
        return 2;
    }
    long pairs = strtol(argv[1], NULL, 10);
    long seconds = strtol(argv[2], NULL, 10);
    if (pairs < 0 || seconds <= 0 || seconds > kMaxSeconds) {
        fprintf(stderr, "loopback_pairs: PAIRS >= 0, 0 < SECONDS <= %d\n", kMaxSeconds);
        return 2;
    }

    struct rlimit files;
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) die("getrlimit");
    files.rlim_cur = files.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &files) != 0) die("setrlimit");
    if ((rlim_t)(2 * pairs + kSpareDescriptors) > files.rlim_cur) {
        fprintf(stderr, "loopback_pairs: %ld pairs need more than the %lu descriptors a process may hold\n", pairs,
                (unsigned long)files.rlim_cur);
        return 2;
    }

    int *sockets = calloc((size_t)(2 * pairs) + 1, sizeof *sockets);
    if (sockets == NULL) die("calloc");
    unsigned short ports[2];
    int listeners[2] = {listen_on(kAddresses[0], &ports[0]), listen_on(kAddresses[1], &ports[1])};
    for (long i = 0; i < pairs; ++i) {
        int to = (int)(i % 2);
        open_pair(listeners[to], kAddresses[1 - to], kAddresses[to], ports[to], &sockets[2 * i],
                  &sockets[2 * i + 1]);
    }
    printf("ready %ld\n", 2 * pairs + 2);
    fflush(stdout);

    /* Hold until the caller closes our input or the time is up. */
    time_t deadline = time(NULL) + seconds;
    for (;;) {
        time_t now = time(NULL);
        if (now >= deadline) break;
        struct pollfd in = {STDIN_FILENO, POLLIN, 0};
        int ready = poll(&in, 1, (int)(deadline - now) * 1000);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            char buffer[256];
            if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) break;
        }
    }
    for (long i = 0; i < 2 * pairs; ++i) close(sockets[i]);
    close(listeners[0]);
    close(listeners[1]);
    free(sockets);
    return 0;
}
