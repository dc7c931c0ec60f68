#pragma once

#include "sim/ExchangeSimulator.h"
#include "support/AgentFixture.h"

#include <QByteArray>

// An agent in-process whose serial port leads to the exchange simulator on a
// pseudo-terminal, with fast timers so a test sees timeouts and pauses in a
// fraction of a second.
class ExchangeAgentFixture {
public:
    static constexpr const char *FastTimers = "[Timer]\r\nInterval=10\r\nMaxTick=5\r\nMaxError=3\r\nMaxErrorTick=10\r\n"
                                              "URInterval=30\r\nANInterval=20\r\n";

    ExchangeAgentFixture() { linked = simulator.isReady() && simulator.linkTo(agent.dir.path("exchange")); }

    QString port() const { return agent.dir.path("exchange") + QStringLiteral(":9600,N,8,1"); }

    // Starts the agent with these sections, and keys of [Set] besides the port.
    TForm1 &start(const QByteArray &sections = FastTimers, const QByteArray &setKeys = {})
    {
        agent.dir.write("Agent.ini", "[Set]\r\nPort=" + port().toUtf8() + "\r\n" + setKeys + sections);
        return agent.start();
    }

    std::vector<QByteArray> requestMessages() const
    {
        std::vector<QByteArray> messages;
        for (const auto &request : simulator.requests())
            messages.push_back(request.message);
        return messages;
    }

    ExchangeSimulator simulator;
    AgentFixture agent;
    bool linked = false;
};
