#include "link/CommPack.h"
#include "support/LinkSupport.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QFileInfo>
#include <QProcess>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// The exchange-sim program as scripts/run.sh starts it: a scenario, a link
// path, commands on standard input, requests and replies on standard output.
TEST(ExchangeSimProcessTest, ScenarioStdinCommandsAndPrintedExchanges)
{
    TempDir dir;
    const QString binDir = qEnvironmentVariable("AGENT_BIN_DIR");
    ASSERT_FALSE(binDir.isEmpty());
    dir.write("demo.scenario", "lines 101 102\nuct 08:00 101 0:01\n");
    const QString link = dir.path("exchange");

    QProcess simulator;
    simulator.start(binDir + "/exchange-sim", {"--scenario", dir.path("demo.scenario"), link});
    ASSERT_TRUE(simulator.waitForStarted());
    QByteArray output;
    const auto printed = [&](const char *text) {
        output += simulator.readAllStandardOutput();
        return output.contains(text);
    };
    ASSERT_TRUE(waitFor([&]() { return printed("type help for commands"); }, 20000)) << output.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    TCommPack pack;
    PacketCollector received(pack);
    pack.Set(link + ":9600,N,8,1");
    ASSERT_NO_THROW(pack.Open());

    // The reply's message in hex, once it has arrived.
    const auto ask = [&](quint8 number, const char *request) {
        sendPacket(pack, number, bytes(request));
        return waitFor([&]() { return received.has(number); }) ? hex(received.packets.back().message) : QString();
    };
    const auto command = [&](const char *line, const char *answer) {
        simulator.write(QByteArray(line) + '\n');
        return waitFor([&]() { return printed(answer); });
    };
    EXPECT_EQ(ask(1, "04"), hex(bytes("00") + "08:00 101 0:01"));
    ASSERT_TRUE(command("uct 09:30 102 2:00", "1 accounting lines waiting"));
    ASSERT_TRUE(command("error 3", "replies carry error 3")) << output.toStdString();
    EXPECT_EQ(ask(2, "00 0E 00"), "03 0E 00");
    ASSERT_TRUE(command("normal", "answering normally"));
    EXPECT_EQ(ask(3, "04"), hex(bytes("00") + "09:30 102 2:00"));

    // In hex and in the words of the agent's log.
    EXPECT_TRUE(printed("<- #1  04  | GetUCT\n")) << output.toStdString();
    EXPECT_TRUE(printed("-> #1  00 30 38 3A 30 30 20 31 30 31 20 30 3A 30 31  | GetUCT  \"08:00 101 0:01\"\n"));
    EXPECT_TRUE(printed("<- #2  00 0E 00  | Čtení Čísla linek\n"));
    EXPECT_TRUE(printed("-> #2  03 0E 00  | Čísla linekError 3:\n"));

    simulator.terminate();
    ASSERT_TRUE(simulator.waitForFinished(20000));
    EXPECT_EQ(simulator.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).exists() || QFileInfo(link).isSymLink()) << "the link goes with the simulator";
}

TEST(ExchangeSimProcessTest, BadScenarioOrLinkEndsWithAnError)
{
    TempDir dir;
    const QString binDir = qEnvironmentVariable("AGENT_BIN_DIR");
    dir.write("bad.scenario", "lines 101\nwhatever\n");
    dir.write("taken", "a file, not a link");
    const struct {
        QStringList arguments;
        const char *message;
    } cases[] = {
        {{"--scenario", dir.path("bad.scenario"), dir.path("exchange")}, "bad.scenario:2: unknown command"},
        {{dir.path("taken")}, "exists and is not a link"},
        {{}, "Usage:"},
    };
    for (const auto &c : cases) {
        QProcess simulator;
        simulator.start(binDir + "/exchange-sim", c.arguments);
        ASSERT_TRUE(simulator.waitForFinished(20000));
        EXPECT_NE(simulator.exitCode(), 0);
        EXPECT_TRUE(simulator.readAllStandardError().contains(c.message)) << c.message;
    }
    EXPECT_FALSE(QFileInfo(dir.path("exchange")).isSymLink());
}

}  // namespace
