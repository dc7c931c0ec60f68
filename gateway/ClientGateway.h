#pragma once

#include <QByteArrayView>
#include <QString>

struct AgentSettings;
struct ClientConnection;
struct ExchangeRequest;
class AccountingLines;
class Clock;
class LogSink;
class PollingCycle;
class ReplyCache;
class ServerSocket;
class TData;

// Serves the network clients: each read is one exchange request, answered
// from the stored line status, the accounting lines or the reply cache when
// it can be, else passed to the exchange and its reply returned unchanged.
class ClientGateway {
public:
    // A request longer than a request record is refused whole rather than
    // sent to the exchange cut short.
    static constexpr qsizetype MaxRequestLength = 256;

    ClientGateway(const AgentSettings &settings, LogSink &log, TData &data, PollingCycle &cycle, ReplyCache &cache,
                  const AccountingLines &accounting, ServerSocket &server, const Clock &clock);

    void HandleClientRead(ClientConnection &client);
    void ReturnClientReply(const ExchangeRequest &request, QByteArrayView reply);

private:
    bool AnswerLineStatus(QByteArrayView request, ClientConnection &client);
    bool AnswerAccounting(QByteArrayView request, ClientConnection &client);
    bool AnswerFromCache(QByteArrayView request, ClientConnection &client);
    void logToClient(const ClientConnection &client, const QString &text);

    const AgentSettings &m_settings;
    LogSink &m_log;
    TData &m_data;
    PollingCycle &m_cycle;
    ReplyCache &m_cache;
    const AccountingLines &m_accounting;
    ServerSocket &m_server;
    const Clock &m_clock;
};
