#pragma once

#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class LogSink;
class QTcpSocket;

// One connected network client. Requests and replies find it by its handle,
// which no later connection gets again: a socket descriptor is reused as soon
// as its connection closes, and a late reply must not reach a newcomer. The
// log names the client by address and descriptor.
struct ClientConnection {
    QTcpSocket *socket = nullptr;
    qintptr handle = 0;
    qintptr descriptor = -1;
    QString address;
    qint32 AccountingPosition = 0;
};

// The listening socket on port 1234 and its connected clients. Socket events
// only set the status text; a client's bytes go to the read handler, and are
// dropped while there is none (during start-up, before the gateway exists).
class ServerSocket : public QObject {
    Q_OBJECT
public:
    static constexpr int AcceptRetryMs = 100;
    static constexpr int ListenBacklog = 1024;

    using ReadHandler = std::function<void(ClientConnection &)>;

    explicit ServerSocket(LogSink &log, QObject *parent = nullptr);
    ~ServerSocket() override;

    bool open(quint16 port);
    QString errorString() const { return m_server.errorString(); }
    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    void close();

    void setReadHandler(ReadHandler handler) { m_readHandler = std::move(handler); }
    ClientConnection *FindClient(qintptr handle);
    size_t clientCount() const { return m_clients.size(); }

private:
    std::vector<std::unique_ptr<ClientConnection>>::iterator findBySocket(const QTcpSocket *socket);
    void acceptPending();
    void acceptFailed();
    void dropClient(QTcpSocket *socket);
    void clientRead(QTcpSocket *socket);

    LogSink &m_log;
    QTcpServer m_server;
    std::vector<std::unique_ptr<ClientConnection>> m_clients;
    ReadHandler m_readHandler;
    qintptr m_lastHandle = 0;
    // Accepting pauses when a connection cannot be taken (no descriptors
    // left, say); it is tried again a little later.
    QTimer m_resumeAccepting;
    bool m_acceptFailing = false;
};
