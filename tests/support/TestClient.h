#pragma once

#include "support/WaitFor.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>

// A network client of the agent on loopback.
class TestClient {
public:
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return socket.waitForConnected(5000);
    }

    // Sends a request and waits for an answer of at least `expected` bytes;
    // returns what came (empty when nothing did).
    QByteArray ask(const QByteArray &request, qsizetype expected = 1, int timeoutMs = 3000)
    {
        received.clear();
        socket.write(request);
        waitFor(
            [&]() {
                received += socket.readAll();
                return received.size() >= expected;
            },
            timeoutMs);
        return received;
    }

    QTcpSocket socket;
    QByteArray received;
};
