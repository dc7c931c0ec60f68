// The benchmark's yardstick: a single-threaded epoll TCP server that answers
// every read event with a fixed reply, treating each read as one request the
// way the agent's gateway does. It does the least work any gateway could, so
// its figures are this machine's ceiling and the agent's figures are read as
// a ratio of them.

#include "BenchCommon.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char *Usage =
    "usage: minimal_server --port N [--reply-bytes N] [--seconds N]\n"
    "  --port N         TCP port on 127.0.0.1 (1..65535)\n"
    "  --reply-bytes N  size of the fixed reply to every read (1..4096, default 20)\n"
    "  --seconds N      exit after N seconds even if nobody stops it (default 3600)\n"
    "Stops on SIGINT or SIGTERM. Prints one line 'listening port=N' when ready.\n";

volatile sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

struct Options {
    int port = 0;
    int replyBytes = 20;
    long long seconds = 3600;
};

Options parseCommandLine(int argc, char **argv)
{
    Options o;
    bench::parseOptions(argc, argv, Usage, [&](const std::string &name, const char *value) {
        if (name == "--port")
            return bench::takeInteger(value, 1, 65535, o.port);
        if (name == "--reply-bytes")
            return bench::takeInteger(value, 1, 4096, o.replyBytes);
        if (name == "--seconds")
            return bench::takeInteger(value, 1, 86400, o.seconds);
        return false;
    });
    if (o.port == 0)
        bench::fail(argv[0], "--port is required", Usage);
    return o;
}

int openListener(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    // Loopback only: the benchmark is a local measurement, not a service.
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, SOMAXCONN) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void acceptAll(int listener, int epfd)
{
    for (;;) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return; // EAGAIN ends the batch; EMFILE and friends are retried on the next event
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP;
        ev.data.fd = fd;
        if (epoll_ctl(epfd, EPOLL_CTL_ADD, fd, &ev) != 0)
            close(fd);
    }
}

// One read event: take what is waiting and answer once. A reply that does
// not fit the socket's send buffer is dropped rather than queued: only a
// client that never reads can cause that, and it must not cost the others.
void serveClient(int fd, int epfd, const std::vector<uint8_t> &reply, std::vector<uint8_t> &buffer)
{
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n > 0) {
        const ssize_t w = send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        (void)w;
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    epoll_ctl(epfd, EPOLL_CTL_DEL, fd, nullptr);
    close(fd);
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseCommandLine(argc, argv);
    bench::raiseDescriptorLimit(1'000'000);

    struct sigaction sa{};
    sa.sa_handler = onStopSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    const int listener = openListener(options.port);
    if (listener < 0) {
        std::fprintf(stderr, "minimal_server: cannot listen on 127.0.0.1:%d: %s\n", options.port, std::strerror(errno));
        return 1;
    }
    const int epfd = epoll_create1(EPOLL_CLOEXEC);
    epoll_event lev{};
    lev.events = EPOLLIN;
    lev.data.fd = listener;
    if (epfd < 0 || epoll_ctl(epfd, EPOLL_CTL_ADD, listener, &lev) != 0) {
        std::perror("minimal_server: epoll");
        return 1;
    }
    std::printf("listening port=%d\n", options.port);
    std::fflush(stdout);

    const std::vector<uint8_t> reply(static_cast<size_t>(options.replyBytes), 0);
    // The agent reads into a 500-byte buffer; a like-sized one keeps the
    // comparison fair.
    std::vector<uint8_t> buffer(500);
    std::vector<epoll_event> events(1024);
    const int64_t deadline = bench::monotonicNs() + options.seconds * 1'000'000'000LL;

    while (!g_stop && bench::monotonicNs() < deadline) {
        const int n = epoll_wait(epfd, events.data(), static_cast<int>(events.size()), 200);
        if (n < 0 && errno != EINTR) {
            std::perror("minimal_server: epoll_wait");
            break;
        }
        for (int i = 0; i < n; ++i) {
            const int fd = events[static_cast<size_t>(i)].data.fd;
            if (fd == listener)
                acceptAll(listener, epfd);
            else
                serveClient(fd, epfd, reply, buffer);
        }
    }
    close(epfd);
    close(listener);
    return 0;
}
