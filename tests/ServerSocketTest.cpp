#include "gateway/ServerSocket.h"
#include "support/QtPrinters.h"
#include "support/RecordingLog.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

// Raw sockets: they get their descriptors before the test takes the rest away.
int connectingSocket(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    return fd;
}

TEST(ServerSocketTest, AcceptingResumesOnceDescriptorsAreFreeAgain)
{
    RecordingLog log;
    ServerSocket server(log);
    ASSERT_TRUE(server.open(0));

    std::vector<int> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(connectingSocket(server.port()));

    // Use up every descriptor the process may have.
    rlimit old{};
    ::getrlimit(RLIMIT_NOFILE, &old);
    rlimit tight = old;
    tight.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        fillers.push_back(fd);

    const bool failed = waitFor([&]() { return !log.lines.isEmpty(); }, 3000);
    waitFor([] { return false; }, 5 * ServerSocket::AcceptRetryMs);  // several retries
    const size_t acceptedWhileFull = server.clientCount();

    for (const int fd : fillers)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &old);

    ASSERT_TRUE(failed);
    EXPECT_TRUE(log.lines.first().startsWith("!Err Chyba přijetí spojení TCP/IP: ")) << log.lines.first().toStdString();
    EXPECT_EQ(acceptedWhileFull, 0u);
    EXPECT_TRUE(waitFor([&]() { return server.clientCount() == clients.size(); }));
    // One line per run of failures, not one per retry (a descriptor that the
    // process freed meanwhile may have let a client in between two runs).
    EXPECT_LE(log.lines.size(), static_cast<qsizetype>(clients.size()));
    for (const int fd : clients)
        ::close(fd);
}

}  // namespace
