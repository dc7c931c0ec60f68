#include "gateway/ClientGateway.h"

#include "accounting/AccountingLines.h"
#include "app/AgentSettings.h"
#include "app/PollingCycle.h"
#include "common/Clock.h"
#include "common/Cp1250.h"
#include "data/Data.h"
#include "data/DescribeMessage.h"
#include "data/ExchangeTables.h"
#include "gateway/ReplyCache.h"
#include "gateway/ServerSocket.h"
#include "log/LogSink.h"

#include <QTcpSocket>

using namespace Exchange;

namespace {

QString clientPrefix(const char *direction, const ClientConnection &client)
{
    return QLatin1String(direction) + client.address + u':' + QString::number(client.descriptor);
}

std::uint8_t byteAt(QByteArrayView bytes, qsizetype index)
{
    return index < bytes.size() ? static_cast<std::uint8_t>(bytes[index]) : 0;
}

}  // namespace

ClientGateway::ClientGateway(const AgentSettings &settings, LogSink &log, TData &data, PollingCycle &cycle,
                             ReplyCache &cache, const AccountingLines &accounting, ServerSocket &server,
                             const Clock &clock)
    : m_settings(settings)
    , m_log(log)
    , m_data(data)
    , m_cycle(cycle)
    , m_cache(cache)
    , m_accounting(accounting)
    , m_server(server)
    , m_clock(clock)
{
}

void ClientGateway::logToClient(const ClientConnection &client, const QString &text)
{
    if (m_settings.logFlags.TCP_IP_Out)
        m_log.WriteLog(clientPrefix(">IP:", client), text);
}

void ClientGateway::HandleClientRead(ClientConnection &client)
{
    const QByteArray request = client.socket->readAll();
    if (request.isEmpty())
        return;
    const QString rendered = DescribeMessage(true, request, 0, false);
    if (m_settings.logFlags.TCP_IP_In)
        m_log.WriteLog(clientPrefix("<IP:", client), rendered);
    if (request.size() > MaxRequestLength) {
        m_log.WriteLog(QStringLiteral("!Err"), QStringLiteral("Příliš dlouhý požadavek TCP/IP (%1 bajtů), nebyl odeslán")
                                                   .arg(request.size()));
        return;
    }

    if (AnswerLineStatus(request, client) || AnswerAccounting(request, client) || AnswerFromCache(request, client))
        return;

    if (m_cycle.canSendNow())
        m_cycle.sendClientRequest(client.handle, request);
    else
        m_cycle.EnqueueRequest('I', client.handle, request);
}

bool ClientGateway::AnswerLineStatus(QByteArrayView request, ClientConnection &client)
{
    if (request.size() < 2 || byteAt(request, 0) != CmdRead || byteAt(request, 1) != StructLineStatus)
        return false;
    // Clients asking for the line status keep its polling going.
    m_cycle.LastLineStatusRequest = m_clock.now();
    m_cycle.TimerAN->setEnabled(true);
    if (m_data.LineStatusLength() == 0)
        return false;
    const QString text = QStringLiteral("Stav linek");
    if (m_settings.logFlags.Com_In)
        m_log.WriteLog(QStringLiteral("<CCH"), text);
    logToClient(client, text);
    client.socket->write(m_data.LineStatus());
    return true;
}

bool ClientGateway::AnswerAccounting(QByteArrayView request, ClientConnection &client)
{
    const std::uint8_t command = byteAt(request, 0);
    if (command != CmdGetUct && command != CmdRepUct)
        return false;
    QByteArray answer;
    if (m_settings.SendUct && m_settings.ReadUct && !m_accounting.isEmpty()) {
        qint32 position = client.AccountingPosition;
        if (command == CmdRepUct)
            --position;
        // Lines dropped from the list meanwhile are skipped.
        position = qMax(position, m_accounting.FirstLineNumber);
        if (position < m_accounting.NextLineNumber) {
            const QByteArray &line = m_accounting.line(position);
            logToClient(client, fromCp1250(line));
            answer.append('\0').append(line);
            client.AccountingPosition = position + 1;
        }
    }
    answer.append('\0');
    client.socket->write(answer);
    return true;
}

bool ClientGateway::AnswerFromCache(QByteArrayView request, ClientConnection &client)
{
    const int index = m_cache.FindCachedReply(request, true);
    if (index < 0)
        return false;
    const ReplyCache::CacheEntry &entry = m_cache.slot(index);
    client.socket->write(entry.reply);
    if (m_settings.logFlags.Com_In || m_settings.logFlags.TCP_IP_Out) {
        // Rendered the way clients' requests are, so it reads like the question it answers.
        const QString rendered = DescribeMessage(true, entry.reply, byteAt(entry.request, 0), false);
        if (m_settings.logFlags.Com_In)
            m_log.WriteLog(QStringLiteral("<CCH"), rendered);
        logToClient(client, rendered);
    }
    return true;
}

void ClientGateway::ReturnClientReply(const ExchangeRequest &request, QByteArrayView reply)
{
    ClientConnection *client = m_server.FindClient(request.socketHandle);
    if (!client)
        return;
    client->socket->write(reply.data(), reply.size());
    const QString rendered = DescribeMessage(false, reply, request.firstByte, false);
    if (m_settings.logFlags.Com_In)
        m_log.WriteLog(QStringLiteral("<COM"), rendered);
    logToClient(*client, rendered);
}
