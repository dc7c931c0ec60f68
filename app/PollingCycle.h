#pragma once

#include "app/AgentSettings.h"
#include "app/AgentTimer.h"
#include "app/RequestQueue.h"

#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

class Clock;
class LogSink;
class TData;

enum class LinkState {
    Idle = 0,                  // nothing in flight
    AwaitingReply = 1,         // an own request is in flight
    ExchangeDown = 2,          // the exchange counts as unreachable: pause
    AwaitingClientReply = 20,  // a client's request is in flight
};

// The serial packet link as the polling cycle uses it.
class PacketPort {
public:
    virtual ~PacketPort() = default;
    virtual bool isPortOpen() const = 0;
    virtual void sendPacket(std::uint8_t packetNumber, QByteArrayView message) = 0;
};

// The parts that interpret replies and the mail bridge plug in here; a reply
// whose handler is not set is dropped.
struct ReplyHandlers {
    std::function<void(const ExchangeRequest &request, QByteArrayView reply)> clientReply;  // 'I'
    std::function<void(QByteArrayView reply)> mailboxReply;                                // 'M'
    std::function<void(QByteArrayView reply)> trapReply;                                   // 'S'
    std::function<void(const ExchangeRequest &request, QByteArrayView reply)> accountingReply;  // 'U'
    std::function<void(const QByteArray &request, QByteArrayView reply)> storeReply;       // the reply cache
    // The 'M' step: true when the mailboxes changed and the message must go out.
    std::function<bool()> syncMailboxes;
    // Link notices through the mail bridge: LinkLostNotice or LinkRestoredNotice.
    std::function<void(int kind)> sendStatusNotice;
    std::function<bool()> mailReady;
};

// The single road to the exchange: the request queue, the packet numbers of
// the requests in flight, the tick that sends one request at a time and
// watches for its reply, the link state machine, and the periodic timers
// that feed the queue with the agent's own questions.
class PollingCycle : public QObject {
    Q_OBJECT
public:
    static constexpr int LinkLostNotice = 1;
    static constexpr int LinkRestoredNotice = 2;

    PollingCycle(AgentSettings &settings, LogSink &log, TData &data, PacketPort &port, const Clock &clock,
                 QObject *parent = nullptr);

    void applyTimerPeriods();
    void stopAllTimers();
    void clearQueues();

    void EnqueueRequest(char kind, qintptr socketHandle = 0, QByteArrayView bytes = {});
    void AddPendingReply(char kind, QByteArrayView bytes, qintptr socketHandle);
    std::optional<ExchangeRequest> TakePendingReply(std::uint8_t packetNumber);
    void SendToExchange(const QString &prefix, const QString &text, QByteArrayView bytes);
    void DispatchReply(std::uint8_t packetNumber, QByteArrayView data);
    // Sends a client's request now and waits for its reply.
    void sendClientRequest(qintptr socketHandle, QByteArrayView bytes);
    // A client's request may skip the queue: nothing in flight, nothing
    // waiting, and no tick or reply handling under way (either may have let
    // the event loop run).
    bool canSendNow() const
    {
        return m_linkState == LinkState::Idle && m_queue.isEmpty() && !m_tickGuard && !m_dispatching;
    }

    void TimerTickTimer();
    void TimerANTimer();
    void TimerMSGTimer();
    void TimerSMSTimer();
    void TimerURTimer();
    // Stop or resume the tick; returns whether it now runs.
    bool toggleTick();

    LinkState linkState() const { return m_linkState; }
    int tickCount() const { return m_tickCount; }
    int timeoutCount() const { return m_timeoutCount; }
    bool restoreNoticePending() const { return m_restoreNoticePending; }
    std::uint8_t sequenceCounter() const { return m_sequenceCounter; }
    const RequestQueue &requestQueue() const { return m_queue; }
    const PendingReplies &pendingReplies() const { return m_pending; }

    QDateTime LastLineStatusRequest;  // invalid: long past
    ReplyHandlers handlers;

    AgentTimer *const TimerTick;
    AgentTimer *const TimerAN;
    AgentTimer *const TimerMSG;
    AgentTimer *const TimerSMS;
    AgentTimer *const TimerUR;

private:
    void sendHead(const RequestQueue::Entry &head);
    void sendOwnRequest(char kind, const QByteArray &message, const QString &text);
    void giveUpOwnRequest();
    void queueFromTimer(char kind, const QString &text);
    void handleLineNumbersReply(QByteArrayView reply);
    bool lineStatusPollExpired() const;
    void enterState(LinkState state);

    AgentSettings &m_settings;
    LogSink &m_log;
    TData &m_data;
    PacketPort &m_port;
    const Clock &m_clock;

    RequestQueue m_queue;
    PendingReplies m_pending;
    std::uint8_t m_sequenceCounter = 1;
    LinkState m_linkState = LinkState::Idle;
    int m_tickCount = 0;
    int m_timeoutCount = 0;
    bool m_restoreNoticePending = false;
    bool m_tickGuard = false;
    bool m_dispatching = false;
};
