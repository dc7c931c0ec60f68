// Load generator for the agent's TCP gateway (and the benchmark's minimal
// server): N concurrent clients on 127.0.0.1, each sending one request and
// waiting for its answer before the next, as the gateway's clients do.
//
// Closed loop: a client sends its next request as soon as its answer is
// complete, so the figure that matters is throughput.
// Open loop: a fixed total rate is offered on a schedule spread evenly over
// the clients; a request whose slot comes while its client still waits is
// sent as soon as the client is free, and its latency still counts from its
// slot. Measuring from the slot, not from the actual send, keeps a stalled
// server from hiding its stall (coordinated omission).
//
// Single-threaded epoll, no Qt: the generator must cost little and must not
// share anything with what it measures. Every run is bounded in time and in
// requests and prints one line of key=value pairs.

#include "BenchCommon.h"
#include "LatencyHistogram.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char *Usage =
    "usage: load_generator --port N --request HEX [options]\n"
    "  --host H             only 127.0.0.1 or localhost (default 127.0.0.1)\n"
    "  --port N             TCP port (1..65535)\n"
    "  --clients N          concurrent connections (1..10000, default 1)\n"
    "  --request HEX        request bytes, e.g. 001600 (1..4096 bytes)\n"
    "  --expect N|first     an answer is complete once N bytes arrived, or at\n"
    "                       the first read that brings any (default first)\n"
    "  --mode closed|open   closed loop, or open loop at --rate (default closed)\n"
    "  --rate R             open loop: requests per second over all clients (1..1000000)\n"
    "  --duration S         measured seconds (0..3600, default 10)\n"
    "  --timeout-ms N       an answer later than this is a timeout; the client\n"
    "                       reconnects (1..600000, default 2000)\n"
    "  --connect-timeout-ms N  for connecting and the warm-up answer (default 10000)\n"
    "  --warmup 0|1         each client first gets one answer, unmeasured, the first\n"
    "                       client before the others ask (default 1)\n"
    "  --max-requests N     stop sending after N requests in all (default 20000000)\n"
    "  --label TEXT         copied to the result line (no spaces)\n"
    "Prints one line: result label=.. mode=.. clients=.. connected=.. warm=..\n"
    "  duration_s=.. completed=.. throughput_rps=.. p50_us=.. p99_us=.. max_us=..\n"
    "  errors=.. timeouts=.. unfinished=.. offered=.. clients_served=..\n"
    "  reply_bytes_min=.. reply_bytes_max=.. stray_bytes=.. first_reply=HEX\n";

constexpr int64_t NsPerMs = 1'000'000;
constexpr int64_t NsPerS = 1'000'000'000;
// A refused or reset connection is retried after this pause, so a server that
// is down does not turn the generator into a busy loop.
constexpr int64_t RetryPauseNs = 100 * NsPerMs;
// How often waiting clients are checked for timeouts and closed ones for retry.
constexpr int64_t HousekeepingNs = 10 * NsPerMs;
// Connects in flight at once: a burst of a thousand SYNs would overflow a
// small accept backlog and cost each dropped one a second-long retransmit.
constexpr int ConnectBurst = 64;
constexpr size_t FirstReplyShown = 64;

enum class Mode { Closed, Open };

struct Options {
    int port = 0;
    int clients = 1;
    std::vector<uint8_t> request;
    size_t expect = 0; // 0: the first read completes an answer
    Mode mode = Mode::Closed;
    double rate = 0;
    double durationS = 10;
    int64_t timeoutMs = 2000;
    int64_t connectTimeoutMs = 10000;
    int warmup = 1;
    long long maxRequests = 20'000'000;
    std::string label = "run";
};

bool takeOption(Options &o, const std::string &name, const char *value)
{
    const std::string text = value;
    if (name == "--host")
        return text == "127.0.0.1" || text == "localhost"; // the benchmark never aims elsewhere
    if (name == "--port")
        return bench::takeInteger(value, 1, 65535, o.port);
    if (name == "--clients")
        return bench::takeInteger(value, 1, 10000, o.clients);
    if (name == "--request") {
        auto bytes = bench::parseHex(text, 4096);
        if (bytes)
            o.request = std::move(*bytes);
        return bytes.has_value();
    }
    if (name == "--expect") {
        if (text == "first") {
            o.expect = 0;
            return true;
        }
        return bench::takeInteger(value, 1, 65536, o.expect);
    }
    if (name == "--mode") {
        o.mode = text == "open" ? Mode::Open : Mode::Closed;
        return text == "open" || text == "closed";
    }
    if (name == "--rate") {
        const auto v = bench::parseDecimal(value, 1, 1'000'000);
        o.rate = v.value_or(0);
        return v.has_value();
    }
    if (name == "--duration") {
        const auto v = bench::parseDecimal(value, 0, 3600);
        o.durationS = v.value_or(0);
        return v.has_value();
    }
    if (name == "--timeout-ms")
        return bench::takeInteger(value, 1, 600000, o.timeoutMs);
    if (name == "--connect-timeout-ms")
        return bench::takeInteger(value, 1, 600000, o.connectTimeoutMs);
    if (name == "--warmup")
        return bench::takeInteger(value, 0, 1, o.warmup);
    if (name == "--max-requests")
        return bench::takeInteger(value, 1, 1'000'000'000, o.maxRequests);
    if (name == "--label") {
        o.label = text;
        return !text.empty() && text.size() <= 100 && text.find_first_of(" \t\n=") == std::string::npos;
    }
    return false;
}

Options parseCommandLine(int argc, char **argv)
{
    Options o;
    bench::parseOptions(argc, argv, Usage, [&](const std::string &name, const char *value) { return takeOption(o, name, value); });
    if (o.port == 0 || o.request.empty())
        bench::fail(argv[0], "--port and --request are required", Usage);
    if (o.mode == Mode::Open && o.rate <= 0)
        bench::fail(argv[0], "--mode open needs --rate", Usage);
    return o;
}

enum class State { Closed, Connecting, Idle, Waiting };
enum class Phase { Connect, Warmup, Measure, Drain };

struct Client {
    int fd = -1;
    State state = State::Closed;
    bool active = true;    // false once it failed to connect or warm up: left out of the run
    bool served = false;   // got at least one measured answer
    int64_t since = 0;     // connect start, or when the request went out
    int64_t base = 0;      // latency counts from here: send time (closed) or slot (open)
    int64_t retryAt = 0;   // a closed client reconnects from then on
    size_t written = 0;    // bytes of the request sent so far
    size_t received = 0;   // bytes of the current answer
    uint64_t due = 0;      // open loop: slots that have come
    uint64_t sent = 0;     // open loop: slots whose request went out
    uint64_t position = 0; // open loop: its place in the round of slots
    bool wantsWrite = true; // as registered with epoll
};

class LoadGenerator {
public:
    explicit LoadGenerator(Options options) : m_o(std::move(options)), m_clients(static_cast<size_t>(m_o.clients)) {}

    int run()
    {
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        if (m_epoll < 0) {
            std::perror("load_generator: epoll_create1");
            return 1;
        }
        connectAll();
        if (m_o.warmup)
            warmUp();
        measure();
        drain();
        report();
        for (Client &c : m_clients)
            closeClient(c);
        close(m_epoll);
        return 0;
    }

private:
    // ---- connections -------------------------------------------------------

    bool startConnect(size_t index)
    {
        Client &c = m_clients[index];
        c.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (c.fd < 0)
            return false;
        const int one = 1;
        setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(m_o.port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int rc = connect(c.fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        if (rc != 0 && errno != EINPROGRESS) {
            closeClient(c);
            return false;
        }
        epoll_event ev{};
        ev.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
        ev.data.u64 = index;
        if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, c.fd, &ev) != 0) {
            closeClient(c);
            return false;
        }
        c.state = State::Connecting;
        c.wantsWrite = true;
        c.since = bench::monotonicNs();
        c.written = 0;
        c.received = 0;
        ++m_connecting;
        return true;
    }

    void closeClient(Client &c)
    {
        if (c.fd >= 0)
            close(c.fd); // closing also removes it from the epoll set
        if (c.state == State::Connecting)
            --m_connecting;
        c.fd = -1;
        c.state = State::Closed;
    }

    // A failure while the run is measured costs an error and a reconnect;
    // before that it leaves the client out of the run.
    void fault(Client &c, bool countAsError)
    {
        closeClient(c);
        if (m_phase == Phase::Measure || m_phase == Phase::Drain) {
            if (countAsError)
                ++m_errors;
            c.retryAt = bench::monotonicNs() + RetryPauseNs;
        } else {
            c.active = false;
        }
    }

    // Changes the registration only when it differs: an epoll_ctl per
    // request would cost the generator a syscall that the server never pays.
    void watch(Client &c, size_t index, bool wantWrite)
    {
        if (c.wantsWrite == wantWrite)
            return;
        c.wantsWrite = wantWrite;
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP | (wantWrite ? EPOLLOUT : 0u);
        ev.data.u64 = index;
        epoll_ctl(m_epoll, EPOLL_CTL_MOD, c.fd, &ev);
    }

    void connectAll()
    {
        // Each client needs one descriptor; the rest is headroom for the
        // process's own (epoll, stdio).
        const long limit = bench::raiseDescriptorLimit(m_o.clients + 64L);
        if (limit >= 0 && limit < m_o.clients + 16L)
            std::fprintf(stderr, "load_generator: descriptor limit %ld is below %d clients; some will fail\n", limit, m_o.clients);
        m_phase = Phase::Connect;
        const int64_t deadline = bench::monotonicNs() + m_o.connectTimeoutMs * NsPerMs;
        size_t next = 0;
        while (bench::monotonicNs() < deadline) {
            while (m_connecting < ConnectBurst && next < m_clients.size()) {
                if (!startConnect(next))
                    m_clients[next].active = false;
                ++next;
            }
            if (next == m_clients.size() && m_connecting == 0)
                break;
            pump(deadline);
        }
        m_connected = leaveOutUnready();
    }

    // The first client gets its answer before the others ask: a server with
    // a reply cache then has it filled, instead of sending the whole crowd's
    // identical requests on to its slow back end at once.
    void warmUp()
    {
        m_phase = Phase::Warmup;
        const int64_t deadline = bench::monotonicNs() + m_o.connectTimeoutMs * NsPerMs;
        bool first = true;
        for (size_t i = 0; i < m_clients.size(); ++i) {
            if (!m_clients[i].active)
                continue;
            sendRequest(i, bench::monotonicNs());
            while (first && bench::monotonicNs() < deadline && m_clients[i].state == State::Waiting)
                pump(deadline);
            first = false;
        }
        while (bench::monotonicNs() < deadline && countWaiting() > 0)
            pump(deadline);
        leaveOutUnready();
    }

    // A client not connected and free by the end of a preparing phase is left
    // out of the run; returns how many remain.
    size_t leaveOutUnready()
    {
        size_t ready = 0;
        for (Client &c : m_clients) {
            if (c.state != State::Idle) {
                closeClient(c);
                c.active = false;
            }
            ready += c.active ? 1 : 0;
        }
        return ready;
    }

    // ---- measuring -----------------------------------------------------------

    void measure()
    {
        m_phase = Phase::Measure;
        for (size_t i = 0; i < m_clients.size(); ++i) {
            if (m_clients[i].active) {
                m_clients[i].position = m_activeIndex.size();
                m_activeIndex.push_back(i);
            }
        }
        m_warm = m_activeIndex.size();
        m_issuedBefore = m_issued;
        m_start = bench::monotonicNs();
        m_end = m_start + static_cast<int64_t>(m_o.durationS * NsPerS);
        if (m_o.mode == Mode::Closed) {
            for (const size_t i : m_activeIndex)
                sendIfDue(i);
        }
        int64_t now = bench::monotonicNs();
        while (now < m_end && !m_activeIndex.empty()) {
            if (m_o.mode == Mode::Open)
                releaseSlots(now);
            else if (budgetSpent() && countWaiting() == 0)
                break; // nothing more can happen before the end
            pump(std::min(m_end, m_o.mode == Mode::Open ? slotTime(m_nextSlot) : m_end));
            now = bench::monotonicNs();
        }
        m_measuredEnd = std::min(now, m_end);
    }

    // Lets the answers in flight (and, in the open loop, the requests whose
    // slots already came) finish, so the tail is measured, not cut off.
    void drain()
    {
        m_phase = Phase::Drain;
        const int64_t deadline = bench::monotonicNs() + m_o.timeoutMs * NsPerMs;
        while (bench::monotonicNs() < deadline && (countWaiting() > 0 || (backlog() > 0 && !budgetSpent())))
            pump(deadline);
        m_unfinished = countWaiting() + backlog();
    }

    // Open loop: requests whose slots came but that never went out.
    uint64_t backlog() const
    {
        uint64_t n = 0;
        for (const Client &c : m_clients)
            n += c.due - c.sent;
        return n;
    }

    size_t countWaiting() const
    {
        return static_cast<size_t>(std::count_if(m_clients.begin(), m_clients.end(), [](const Client &c) { return c.state == State::Waiting; }));
    }

    bool budgetSpent() const { return m_issued >= static_cast<uint64_t>(m_o.maxRequests); }

    // Slot k of the whole run; consecutive slots go to consecutive clients,
    // so every client gets the same rate and the total is evenly spaced.
    int64_t slotTime(uint64_t k) const
    {
        return m_start + static_cast<int64_t>(std::llround(static_cast<double>(k) * NsPerS / m_o.rate));
    }

    int64_t slotTimeOf(const Client &c, uint64_t j) const { return slotTime(j * m_activeIndex.size() + c.position); }

    void releaseSlots(int64_t now)
    {
        while (slotTime(m_nextSlot) <= now && slotTime(m_nextSlot) < m_end) {
            const size_t index = m_activeIndex[m_nextSlot % m_activeIndex.size()];
            ++m_clients[index].due;
            ++m_offered;
            ++m_nextSlot;
            sendIfDue(index);
        }
    }

    // Sends the client's next request when it is free and one is owed.
    void sendIfDue(size_t index)
    {
        Client &c = m_clients[index];
        if (c.state != State::Idle || budgetSpent())
            return;
        if (m_phase == Phase::Measure && m_o.mode == Mode::Closed) {
            sendRequest(index, bench::monotonicNs());
            return;
        }
        if (m_o.mode == Mode::Open && (m_phase == Phase::Measure || m_phase == Phase::Drain) && c.sent < c.due) {
            const int64_t slot = slotTimeOf(c, c.sent);
            ++c.sent;
            sendRequest(index, slot);
        }
    }

    void sendRequest(size_t index, int64_t base)
    {
        Client &c = m_clients[index];
        ++m_issued;
        c.state = State::Waiting;
        c.since = bench::monotonicNs();
        c.base = base;
        c.written = 0;
        c.received = 0;
        writeSome(index);
    }

    void writeSome(size_t index)
    {
        Client &c = m_clients[index];
        const size_t left = m_o.request.size() - c.written;
        const ssize_t n = send(c.fd, m_o.request.data() + c.written, left, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            fault(c, true);
            return;
        }
        if (n > 0)
            c.written += static_cast<size_t>(n);
        const bool more = c.written < m_o.request.size();
        watch(c, index, more);
    }

    void onEvent(size_t index, uint32_t events)
    {
        if (index >= m_clients.size())
            return;
        Client &c = m_clients[index];
        if (c.fd < 0)
            return;
        if (c.state == State::Connecting) {
            onConnectEvent(index);
            return;
        }
        if ((events & EPOLLOUT) && c.state == State::Waiting && c.written < m_o.request.size())
            writeSome(index);
        if (c.fd >= 0 && (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)))
            readSome(index);
    }

    void onConnectEvent(size_t index)
    {
        Client &c = m_clients[index];
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(c.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            fault(c, true);
            return;
        }
        --m_connecting;
        c.state = State::Idle;
        watch(c, index, false);
        sendIfDue(index);
    }

    void readSome(size_t index)
    {
        Client &c = m_clients[index];
        const ssize_t n = read(c.fd, m_buffer.data(), m_buffer.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            // The server closed or reset the connection: an error only if an
            // answer was owed.
            fault(c, c.state == State::Waiting);
            return;
        }
        if (c.state != State::Waiting) {
            m_strayBytes += static_cast<uint64_t>(n);
            return;
        }
        if (c.received == 0 && m_firstReply.empty())
            m_firstReply.assign(m_buffer.begin(), m_buffer.begin() + std::min<ssize_t>(n, FirstReplyShown));
        c.received += static_cast<size_t>(n);
        if (c.received >= std::max<size_t>(m_o.expect, 1))
            complete(index);
    }

    void complete(size_t index)
    {
        Client &c = m_clients[index];
        const int64_t now = bench::monotonicNs();
        if (m_phase == Phase::Measure || m_phase == Phase::Drain) {
            m_histogram.record(now - c.base);
            m_replyMin = std::min(m_replyMin, c.received);
            m_replyMax = std::max(m_replyMax, c.received);
            c.served = true;
            if (m_phase == Phase::Measure && now <= m_end)
                ++m_completedInWindow;
        }
        c.state = State::Idle;
        sendIfDue(index);
    }

    // Waits for events until `until` (at most one housekeeping period), then
    // expires late answers and reopens closed clients.
    void pump(int64_t until)
    {
        const int64_t now = bench::monotonicNs();
        const int64_t wait = std::clamp<int64_t>(until - now, 0, HousekeepingNs);
        timespec timeout{wait / NsPerS, wait % NsPerS};
        const int n = epoll_pwait2(m_epoll, m_events.data(), static_cast<int>(m_events.size()), &timeout, nullptr);
        for (int i = 0; i < n; ++i) {
            const epoll_event &ev = m_events[static_cast<size_t>(i)];
            onEvent(static_cast<size_t>(ev.data.u64), ev.events);
        }
        if (bench::monotonicNs() - m_lastHousekeeping >= HousekeepingNs)
            housekeeping();
    }

    void housekeeping()
    {
        const int64_t now = bench::monotonicNs();
        m_lastHousekeeping = now;
        if (m_phase != Phase::Measure && m_phase != Phase::Drain)
            return;
        for (const size_t i : m_activeIndex) {
            Client &c = m_clients[i];
            if (c.state == State::Waiting && now - c.since > m_o.timeoutMs * NsPerMs) {
                // No framing: a late answer would be taken for the next one,
                // so the connection is dropped and opened afresh.
                ++m_timeouts;
                fault(c, false);
            } else if (c.state == State::Connecting && now - c.since > m_o.connectTimeoutMs * NsPerMs) {
                fault(c, true);
            } else if (c.state == State::Closed && now >= c.retryAt && (m_phase == Phase::Measure || c.sent < c.due)) {
                if (!startConnect(i)) {
                    ++m_errors;
                    c.retryAt = now + RetryPauseNs;
                }
            }
        }
    }

    // ---- result --------------------------------------------------------------

    void report() const
    {
        const double seconds = static_cast<double>(m_measuredEnd - m_start) / NsPerS;
        const double throughput = seconds > 0 ? static_cast<double>(m_completedInWindow) / seconds : 0.0;
        const auto us = [this](double fraction) { return static_cast<double>(m_histogram.percentile(fraction)) / 1000.0; };
        const size_t served = static_cast<size_t>(std::count_if(m_clients.begin(), m_clients.end(), [](const Client &c) { return c.served; }));
        const std::string firstReply = bench::toHex(m_firstReply.data(), m_firstReply.size());
        std::printf("result label=%s mode=%s clients=%d connected=%zu warm=%zu duration_s=%.3f completed=%llu "
                    "throughput_rps=%.1f p50_us=%.1f p99_us=%.1f max_us=%.1f errors=%llu timeouts=%llu unfinished=%llu "
                    "offered=%llu clients_served=%zu reply_bytes_min=%zu reply_bytes_max=%zu stray_bytes=%llu first_reply=%s\n",
                    m_o.label.c_str(), m_o.mode == Mode::Open ? "open" : "closed", m_o.clients, m_connected, m_warm, seconds,
                    static_cast<unsigned long long>(m_histogram.count()), throughput, us(0.50), us(0.99),
                    static_cast<double>(m_histogram.max()) / 1000.0, static_cast<unsigned long long>(m_errors),
                    static_cast<unsigned long long>(m_timeouts), static_cast<unsigned long long>(m_unfinished),
                    static_cast<unsigned long long>(m_o.mode == Mode::Open ? m_offered : m_issued - m_issuedBefore), served,
                    m_histogram.count() ? m_replyMin : 0, m_replyMax, static_cast<unsigned long long>(m_strayBytes),
                    firstReply.empty() ? "-" : firstReply.c_str());
        std::fflush(stdout);
    }

    Options m_o;
    std::vector<Client> m_clients;
    std::vector<size_t> m_activeIndex;
    std::vector<epoll_event> m_events = std::vector<epoll_event>(1024);
    std::vector<uint8_t> m_buffer = std::vector<uint8_t>(65536);
    std::vector<uint8_t> m_firstReply;
    bench::LatencyHistogram m_histogram;
    int m_epoll = -1;
    int m_connecting = 0;
    Phase m_phase = Phase::Connect;
    int64_t m_start = 0;
    int64_t m_end = 0;
    int64_t m_measuredEnd = 0;
    int64_t m_lastHousekeeping = 0;
    uint64_t m_nextSlot = 0;
    uint64_t m_offered = 0;
    uint64_t m_issued = 0;
    uint64_t m_issuedBefore = 0; // warm-up requests, not part of what was offered
    uint64_t m_completedInWindow = 0;
    uint64_t m_errors = 0;
    uint64_t m_timeouts = 0;
    uint64_t m_unfinished = 0;
    uint64_t m_strayBytes = 0;
    size_t m_connected = 0;
    size_t m_warm = 0;
    size_t m_replyMin = SIZE_MAX;
    size_t m_replyMax = 0;
};

} // namespace

int main(int argc, char **argv)
{
    Options options = parseCommandLine(argc, argv);
    signal(SIGPIPE, SIG_IGN);
    // The open loop sleeps until the next slot; the default 50 µs timer slack
    // would blur a 100 µs schedule.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    LoadGenerator generator(std::move(options));
    return generator.run();
}
