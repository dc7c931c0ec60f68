#include "sim/ExchangeSimulator.h"
#include "support/AgentFixture.h"
#include "support/LinkSupport.h"
#include "support/WaitFor.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using Entries = QStringList;

void writePort(AgentFixture &agent, const QString &port)
{
    agent.dir.write("Agent.ini", ("[Set]\r\nPort=" + port + "\r\n").toUtf8());
}

TEST(SerialStartUpTest, PortOfTheExchangeOpens)
{
    ExchangeSimulator simulator;
    ASSERT_TRUE(simulator.isReady());
    AgentFixture agent;
    ASSERT_TRUE(simulator.linkTo(agent.dir.path("exchange")));
    const QString port = agent.dir.path("exchange") + ":19200,E,8,1";
    writePort(agent, port);
    TForm1 &form = agent.start();

    EXPECT_EQ(agent.logEntries(),
        (Entries {
            "---- Start Tarvo Agent ----", "-OK- Otevření socketu TCP/IP", "-OK- Otevření sériového portu " + port}));
    EXPECT_TRUE(form.commPack().IsOpen());
    EXPECT_EQ(form.commPack().BaudRate(), TBaudRate::br19200);
    EXPECT_EQ(form.commPack().Parity(), TParity::paEven);
    EXPECT_TRUE(form.timerTick().isRunning());

    // The agent reads the reply packet off its port as it arrives.
    sendPacket(form.commPack(), 7, bytes("00 0E 00"));
    const auto replyRead = [&]() {
        const auto &in = form.commPack().InCom;
        return in[0] == 7 && in[1] == 0 && in[2] == 14;
    };
    EXPECT_TRUE(waitFor(replyRead));
    EXPECT_EQ(form.commPack().InQueCount(), 0);
    EXPECT_TRUE(form.commPack().IsOpen());

    // Shut-down closes the port: another can open it.
    agent.form.reset();
    TCommPack next;
    next.Set(port);
    EXPECT_NO_THROW(next.Open());
}

TEST(SerialStartUpTest, MissingPortIsLoggedAndTheAgentGoesOn)
{
    const struct {
        const char *what;
        QString device;
    } cases[] = {
        {"no such device", QStringLiteral("/nonexistent/exchange")},
        {"no device by that name here", QStringLiteral("LPT1")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        AgentFixture agent;
        const QString port = c.device + ":9600,N,8,1";
        writePort(agent, port);
        TForm1 &form = agent.start();
        EXPECT_EQ(agent.logEntries(),
            (Entries {"---- Start Tarvo Agent ----", "-OK- Otevření socketu TCP/IP",
                "!Err Chyba otevření sériového portu " + port}));
        EXPECT_FALSE(form.commPack().IsOpen());
        EXPECT_TRUE(form.timerTick().isRunning());
    }
}

TEST(SerialStartUpTest, VanishingExchangeClosesThePortAndTheAgentGoesOn)
{
    auto simulator = std::make_unique<ExchangeSimulator>();
    AgentFixture agent;
    ASSERT_TRUE(simulator->linkTo(agent.dir.path("exchange")));
    writePort(agent, agent.dir.path("exchange") + ":9600,N,8,1");
    TForm1 &form = agent.start();
    ASSERT_TRUE(form.commPack().IsOpen());

    simulator.reset();
    EXPECT_TRUE(waitFor([&]() { return !form.commPack().IsOpen(); }));
    EXPECT_TRUE(form.timerTick().isRunning());
}

}  // namespace
