#include "app/PollingCycle.h"

#include "common/Clock.h"
#include "data/Data.h"
#include "data/DescribeMessage.h"
#include "log/LogSink.h"

#include <QScopeGuard>

namespace {

const QString kLocal = QStringLiteral("<LOC");
const QString kToExchange = QStringLiteral(">COM");
const QString kFromExchange = QStringLiteral("<COM");

const QString kLineStatusText = QStringLiteral("Čtení Stav linek");
const QString kLineNumbersText = QStringLiteral("Čtení Čísla linek");
const QString kTrapText = QStringLiteral("Dotaz na TRAP");
const QString kAccountingText = QStringLiteral("Dotaz na účtovací řádek");
const QString kMailboxCheckText = QStringLiteral("Čtení schránek");
const QString kMailboxChangesText = QStringLiteral("Změny ve schránkách");

}  // namespace

PollingCycle::PollingCycle(AgentSettings &settings, LogSink &log, TData &data, PacketPort &port, const Clock &clock,
                           QObject *parent)
    : QObject(parent)
    , TimerTick(new AgentTimer([this]() { TimerTickTimer(); }, this))
    , TimerAN(new AgentTimer([this]() { TimerANTimer(); }, this))
    , TimerMSG(new AgentTimer([this]() { TimerMSGTimer(); }, this))
    , TimerSMS(new AgentTimer([this]() { TimerSMSTimer(); }, this))
    , TimerUR(new AgentTimer([this]() { TimerURTimer(); }, this))
    , m_settings(settings)
    , m_log(log)
    , m_data(data)
    , m_port(port)
    , m_clock(clock)
{
}

void PollingCycle::applyTimerPeriods()
{
    TimerTick->setInterval(m_settings.Interval);
    TimerAN->setInterval(m_settings.ANInterval);
    TimerSMS->setInterval(m_settings.TrapInterval);
    TimerMSG->setInterval(m_settings.MSGInterval);
    TimerUR->setInterval(m_settings.URInterval);
}

void PollingCycle::stopAllTimers()
{
    for (AgentTimer *timer : {TimerTick, TimerAN, TimerSMS, TimerMSG, TimerUR})
        timer->setEnabled(false);
}

void PollingCycle::clearQueues()
{
    m_pending.clear();
    m_queue.clear();
}

void PollingCycle::EnqueueRequest(char kind, qintptr socketHandle, QByteArrayView bytes)
{
    m_queue.EnqueueRequest(kind, socketHandle, bytes);
}

void PollingCycle::AddPendingReply(char kind, QByteArrayView bytes, qintptr socketHandle)
{
    m_pending.add(m_sequenceCounter, ExchangeRequest::make(kind, bytes, socketHandle));
}

std::optional<ExchangeRequest> PollingCycle::TakePendingReply(std::uint8_t packetNumber)
{
    return m_pending.take(packetNumber);
}

void PollingCycle::SendToExchange(const QString &prefix, const QString &text, QByteArrayView bytes)
{
    m_log.ShowStatus(prefix, text);
    if (m_settings.logFlags.Com_LocOut)
        m_log.WriteLog(prefix, text);
    if (bytes.isEmpty() || !m_port.isPortOpen())
        return;
    m_port.sendPacket(m_sequenceCounter, bytes);
    ++m_sequenceCounter;  // 255 wraps to 0
}

void PollingCycle::enterState(LinkState state)
{
    m_linkState = state;
    m_tickCount = 0;
}

void PollingCycle::TimerTickTimer()
{
    // A step or a reply handler may let the message loop run (the mail
    // library is called from them); a tick that arrives meanwhile must
    // neither start a second step nor count time against the reply.
    if (m_tickGuard || m_dispatching)
        return;
    m_tickGuard = true;
    const auto releaseGuard = qScopeGuard([this]() { m_tickGuard = false; });

    if (!m_port.isPortOpen())
        return;

    switch (m_linkState) {
    case LinkState::Idle: {
        if (lineStatusPollExpired())
            TimerAN->setEnabled(false);
        if (m_queue.isEmpty())
            return;
        // Taken off before it is sent: whatever runs meanwhile may change the queue.
        const RequestQueue::Entry head = m_queue.head();
        m_queue.removeHead();
        m_tickCount = 0;
        sendHead(head);
        break;
    }
    case LinkState::AwaitingReply:
        if (++m_tickCount >= m_settings.MaxTick)
            giveUpOwnRequest();
        break;
    case LinkState::ExchangeDown:
        if (++m_tickCount >= m_settings.MaxErrorTick) {
            m_linkState = LinkState::Idle;
            EnqueueRequest('V');
            m_timeoutCount = 0;
            m_restoreNoticePending = true;
        }
        break;
    case LinkState::AwaitingClientReply:
        // A client's unanswered request is not held against the exchange.
        if (++m_tickCount >= m_settings.MaxTick)
            m_linkState = LinkState::Idle;
        break;
    }
}

void PollingCycle::giveUpOwnRequest()
{
    ++m_timeoutCount;
    if (m_timeoutCount < m_settings.MaxError) {
        enterState(LinkState::Idle);
        return;
    }
    enterState(LinkState::ExchangeDown);
    // Once per outage: the pauses that follow repeat neither line nor notice.
    if (!m_restoreNoticePending) {
        m_log.WriteLog(QStringLiteral("!Err"), QStringLiteral("Ústředna není dostupná"));
        if (handlers.sendStatusNotice)
            handlers.sendStatusNotice(LinkLostNotice);
    }
}

void PollingCycle::sendHead(const RequestQueue::Entry &head)
{
    const char kind = head.key.isEmpty() ? 0 : head.key.at(0).toLatin1();
    switch (kind) {
    case 'A':
        sendOwnRequest(kind, m_data.BuildLineStatusRequest(), kLineStatusText);
        break;
    case 'S':
        sendOwnRequest(kind, m_data.BuildTrapRequest(), kTrapText);
        break;
    case 'U':
        sendOwnRequest(kind, m_data.BuildAccountingRequest(), kAccountingText);
        break;
    case 'V':
        sendOwnRequest(kind, m_data.BuildLineNumbersRequest(), kLineNumbersText);
        break;
    case 'I':
        if (head.request)
            sendClientRequest(head.request->socketHandle, head.request->message);
        break;
    case 'M':
        m_log.ShowStatus(kLocal, kMailboxCheckText);
        if (handlers.syncMailboxes && handlers.syncMailboxes()) {
            const QByteArray message = m_data.BuildMailboxRequest();
            AddPendingReply(kind, message, 0);
            SendToExchange(kToExchange, kMailboxChangesText, message);
            enterState(LinkState::AwaitingReply);
        }
        break;
    default:
        break;
    }
}

void PollingCycle::sendOwnRequest(char kind, const QByteArray &message, const QString &text)
{
    AddPendingReply(kind, message, 0);
    if (kind == 'V' && m_timeoutCount == 0 && m_settings.logFlags.Com_LocOut)
        m_log.WriteLog(kLocal, kLineNumbersText);
    m_log.ShowStatus(kLocal, text);
    SendToExchange(kToExchange, text, message);
    enterState(LinkState::AwaitingReply);
}

void PollingCycle::sendClientRequest(qintptr socketHandle, QByteArrayView bytes)
{
    AddPendingReply('I', bytes, socketHandle);
    const QString rendered = DescribeMessage(true, bytes, 0, false);
    SendToExchange(kToExchange, rendered, bytes);
    // With Com_LocOut on, SendToExchange has logged it already.
    if (m_settings.logFlags.Com_Out && !m_settings.logFlags.Com_LocOut)
        m_log.WriteLog(kToExchange, rendered);
    enterState(LinkState::AwaitingClientReply);
}

void PollingCycle::DispatchReply(std::uint8_t packetNumber, QByteArrayView data)
{
    // Any packet at all shows the exchange is back, matched or not.
    if (m_restoreNoticePending) {
        m_log.WriteLog(QStringLiteral("-OK-"), QStringLiteral("Obnova komunikace s ústřednou"));
        if (handlers.sendStatusNotice)
            handlers.sendStatusNotice(LinkRestoredNotice);
        m_restoreNoticePending = false;
    }

    const std::optional<ExchangeRequest> request = TakePendingReply(packetNumber);
    if (!request)
        return;
    m_dispatching = true;
    const auto endDispatch = qScopeGuard([this]() { m_dispatching = false; });

    bool offeredToCache = true;
    switch (request->kind) {
    case 'A':
        m_data.StoreLineStatus(data);
        m_log.WriteLog(kFromExchange, QStringLiteral("Stav linek"));
        offeredToCache = false;
        break;
    case 'I':
        if (handlers.clientReply)
            handlers.clientReply(*request, data);
        break;
    case 'M':
        if (handlers.mailboxReply)
            handlers.mailboxReply(data);
        break;
    case 'S':
        if (handlers.trapReply)
            handlers.trapReply(data);
        break;
    case 'U':
        if (handlers.accountingReply)
            handlers.accountingReply(*request, data);
        offeredToCache = false;
        break;
    case 'V':
        handleLineNumbersReply(data);
        break;
    default:
        break;
    }

    m_linkState = LinkState::Idle;
    if (offeredToCache && m_settings.MaxCache > 0 && handlers.storeReply)
        handlers.storeReply(request->message, data);
}

void PollingCycle::handleLineNumbersReply(QByteArrayView reply)
{
    // A reply of three bytes holds no number; an empty one not even a code.
    const int code = reply.isEmpty() ? 0 : static_cast<std::uint8_t>(reply[0]);
    if (reply.isEmpty() || code != 0 || reply.size() == 3) {
        if (m_settings.logFlags.Com_In)
            m_log.WriteLog(kFromExchange, QStringLiteral("Chyba načtení čísel linek:") + QString::number(code));
        return;
    }
    m_data.LoadLineNumbers(reply);
    if (m_settings.logFlags.Com_In)
        m_log.WriteLog(kFromExchange, QStringLiteral("Načtena čísla linek"));
    if (handlers.mailReady && handlers.mailReady()) {
        TimerMSG->setEnabled(true);
        TimerSMS->setEnabled(true);
    }
    if (m_settings.ReadUct)
        TimerUR->setEnabled(true);
}

void PollingCycle::TimerANTimer()
{
    queueFromTimer('A', kLineStatusText);
}

void PollingCycle::TimerMSGTimer()
{
    queueFromTimer('M', kMailboxCheckText);
}

void PollingCycle::TimerSMSTimer()
{
    queueFromTimer('S', kTrapText);
}

void PollingCycle::TimerURTimer()
{
    queueFromTimer('U', kAccountingText);
}

void PollingCycle::queueFromTimer(char kind, const QString &text)
{
    if (m_settings.logFlags.Com_LocOut && TimerTick->isEnabled())
        m_log.WriteLog(kLocal, text);
    EnqueueRequest(kind);
}

bool PollingCycle::lineStatusPollExpired() const
{
    if (!LastLineStatusRequest.isValid())
        return true;
    return LastLineStatusRequest.msecsTo(m_clock.now()) > qint64(m_settings.ANTimeOut) * 1000;
}

bool PollingCycle::toggleTick()
{
    TimerTick->setEnabled(!TimerTick->isEnabled());
    return TimerTick->isEnabled();
}
