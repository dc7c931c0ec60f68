#include "platform/TerminationSignals.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
// A signal handler may only write to a descriptor; the loop reads the other end.
int g_signalPipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

void install(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}
}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onTerminate, QObject *parent)
    : QObject(parent)
    , m_onTerminate(std::move(onTerminate))
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this]() {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        m_onTerminate();
    });
    install(SIGTERM, onTerminationSignal);
    install(SIGINT, onTerminationSignal);
}

TerminationSignals::~TerminationSignals()
{
    if (g_signalPipe[0] < 0)
        return;
    install(SIGTERM, SIG_DFL);
    install(SIGINT, SIG_DFL);
    delete m_notifier;
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
}

#else

TerminationSignals::TerminationSignals(std::function<void()> onTerminate, QObject *parent)
    : QObject(parent)
    , m_onTerminate(std::move(onTerminate))
{
}

TerminationSignals::~TerminationSignals() = default;

#endif
