#include "gateway/ServerSocket.h"

#include "log/LogSink.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>

ServerSocket::ServerSocket(LogSink &log, QObject *parent)
    : QObject(parent)
    , m_log(log)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ServerSocket::acceptPending);
    connect(&m_server, &QTcpServer::acceptError, this, &ServerSocket::acceptFailed);
    m_resumeAccepting.setSingleShot(true);
    m_resumeAccepting.setInterval(AcceptRetryMs);
    connect(&m_resumeAccepting, &QTimer::timeout, &m_server, &QTcpServer::resumeAccepting);
}

void ServerSocket::acceptFailed()
{
    // Once per episode: a client flood must not flood the log as well.
    if (!m_acceptFailing)
        m_log.WriteLog(QStringLiteral("!Err"), QStringLiteral("Chyba přijetí spojení TCP/IP: ") + m_server.errorString());
    m_acceptFailing = true;
    m_resumeAccepting.start();
}

ServerSocket::~ServerSocket()
{
    close();
}

bool ServerSocket::open(quint16 port)
{
    // Hundreds of clients may connect at once, faster than one pass of the
    // event loop accepts them.
    m_server.setListenBacklogSize(ListenBacklog);
    if (!m_server.listen(QHostAddress::AnyIPv4, port))
        return false;
    m_log.SetStatusText(QStringLiteral("OnListen"));
    return true;
}

void ServerSocket::close()
{
    m_resumeAccepting.stop();
    m_server.close();
    for (const auto &client : m_clients) {
        client->socket->disconnect(this);
        client->socket->abort();
        delete client->socket;
    }
    m_clients.clear();
}

ClientConnection *ServerSocket::FindClient(qintptr handle)
{
    const auto found = std::find_if(m_clients.begin(), m_clients.end(),
                                    [handle](const auto &client) { return client->handle == handle; });
    return found == m_clients.end() ? nullptr : found->get();
}

std::vector<std::unique_ptr<ClientConnection>>::iterator ServerSocket::findBySocket(const QTcpSocket *socket)
{
    return std::find_if(m_clients.begin(), m_clients.end(),
                        [socket](const auto &client) { return client->socket == socket; });
}

void ServerSocket::acceptPending()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_acceptFailing = false;
        m_log.SetStatusText(QStringLiteral("OnGetSocket"));
        m_log.SetStatusText(QStringLiteral("OnAccept"));
        auto client = std::make_unique<ClientConnection>();
        client->socket = socket;
        client->handle = ++m_lastHandle;
        client->descriptor = socket->socketDescriptor();
        client->address = socket->peerAddress().toString();
        m_log.SetStatusText(QStringLiteral("OnClientConnect ") + client->address);
        m_clients.push_back(std::move(client));

        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { clientRead(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this]() { m_log.SetStatusText(QStringLiteral("OnClientWrite")); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
            // A peer's orderly close is a disconnect, not an error.
            if (error != QAbstractSocket::RemoteHostClosedError)
                m_log.SetStatusText(QStringLiteral("OnClientError"));
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() { dropClient(socket); });
    }
}

void ServerSocket::dropClient(QTcpSocket *socket)
{
    const auto found = findBySocket(socket);
    if (found == m_clients.end())
        return;
    m_log.SetStatusText(QStringLiteral("OnClientDisconnect ") + (*found)->address);
    m_clients.erase(found);
    socket->disconnect(this);
    socket->deleteLater();
}

void ServerSocket::clientRead(QTcpSocket *socket)
{
    const auto found = findBySocket(socket);
    if (found == m_clients.end() || !m_readHandler) {
        socket->readAll();
        return;
    }
    m_readHandler(**found);
}
