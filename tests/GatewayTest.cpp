#include "gateway/ReplyCache.h"
#include "support/ExchangeAgentFixture.h"
#include "support/LinkSupport.h"
#include "support/QtPrinters.h"
#include "support/TestClient.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

namespace {

class GatewayTest : public ::testing::Test {
protected:
    // Fast ticks, and no accounting poll unless a test asks for it.
    TForm1 &start(const QByteArray &setKeys = {})
    {
        EXPECT_TRUE(exchange.linked);
        exchange.simulator.command(u"record 2 5 0A0B0C");
        TForm1 &form = exchange.start("[Timer]\r\nInterval=10\r\nMaxTick=5\r\nURInterval=0\r\n[Log]\r\nCom_In=1\r\n",
                                      setKeys);
        // The line numbers are read before the test begins.
        EXPECT_TRUE(waitFor([&]() { return form.data().LineCount() > 0 && form.pollingCycle().linkState() == LinkState::Idle; }));
        return form;
    }
    TestClient &connect(TestClient &client)
    {
        EXPECT_TRUE(client.connectTo(exchange.agent.form->serverSocket().port()));
        return client;
    }
    size_t heard() const { return exchange.simulator.requests().size(); }

    ExchangeAgentFixture exchange;
};

TEST_F(GatewayTest, ReadIsPassedThroughAndThenAnsweredFromTheCacheForItsLifetime)
{
    TForm1 &form = start();
    TestClient client;
    connect(client);

    const size_t before = heard();
    EXPECT_EQ(client.ask(bytes("000205"), 6), bytes("0002050A0B0C"));
    EXPECT_EQ(heard(), before + 1);
    EXPECT_EQ(exchange.simulator.requests().back().message, bytes("000205"));
    const QStringList log = exchange.agent.logEntries();
    EXPECT_TRUE(log.last().startsWith("<COM Ars[5]")) << log.last().toStdString();
    EXPECT_TRUE(log.at(log.size() - 2).startsWith("<IP:127.0.0.1:"));
    EXPECT_TRUE(log.at(log.size() - 2).endsWith(" Čtení Ars[5]"));

    // Within the structure's 60 s the agent answers by itself.
    exchange.agent.clock.advance(59999);
    EXPECT_EQ(client.ask(bytes("000205"), 6), bytes("0002050A0B0C"));
    EXPECT_EQ(heard(), before + 1);
    EXPECT_EQ(exchange.agent.logEntries().last(), "<CCH Čtení Ars[5]");

    // Then it asks the exchange again and replaces the slot in place.
    const int filledSlots = form.replyCache()->filled();
    exchange.simulator.command(u"record 2 5 0D");
    exchange.agent.clock.advance(1);
    EXPECT_EQ(client.ask(bytes("000205"), 4), bytes("0002050D"));
    EXPECT_EQ(heard(), before + 2);
    EXPECT_EQ(form.replyCache()->filled(), filledSlots);
}

TEST_F(GatewayTest, IdleLinkSendsAClientRequestAtOnceNotAtTheNextTick)
{
    TForm1 &form = start();
    form.Zastavit1->trigger();  // no tick runs from here on
    TestClient client;
    connect(client);
    EXPECT_EQ(client.ask(bytes("000205"), 6), bytes("0002050A0B0C"));
}

TEST_F(GatewayTest, LogLinesTowardsTheClientFollowTheirCategories)
{
    start("SendUct=1\r\n");
    TestClient client;
    connect(client);
    const auto linesFor = [&](const QByteArray &request) {
        const qsizetype before = exchange.agent.logEntries().size();
        client.ask(request, 1);
        waitFor([&]() { return exchange.agent.logEntries().size() > before; }, 500);
        return exchange.agent.logEntries().mid(before);
    };

    TForm1 &form = *exchange.agent.form;
    form.settings.logFlags.TCP_IP_Out = true;
    QStringList lines = linesFor(bytes("000205"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("<IP:127.0.0.1:"));
    EXPECT_EQ(lines[1], "<COM Ars[5]");
    EXPECT_TRUE(lines[2].startsWith(">IP:127.0.0.1:"));
    EXPECT_TRUE(lines[2].endsWith(" Ars[5]"));
    EXPECT_EQ(lines[0].section(' ', 0, 0).mid(1), lines[2].section(' ', 0, 0).mid(1)) << "same address and handle";

    form.settings.logFlags.Com_In = false;
    form.settings.logFlags.TCP_IP_In = false;
    lines = linesFor(bytes("000205"));  // from the cache now
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(">IP:127.0.0.1:"));
    EXPECT_TRUE(lines[0].endsWith(" Čtení Ars[5]"));

    form.settings.logFlags.TCP_IP_Out = false;
    EXPECT_TRUE(linesFor(bytes("000205")).isEmpty());
}

TEST_F(GatewayTest, WritesAreNeverCached)
{
    start();
    TestClient client;
    connect(client);
    const size_t before = heard();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(client.ask(bytes("01020700"), 3), bytes("000207"));
    EXPECT_EQ(heard(), before + 2);
}

TEST_F(GatewayTest, LineStatusComesFromTheExchangeUntilThePollHasStoredOne)
{
    TForm1 &form = start();
    TestClient client;
    connect(client);

    EXPECT_EQ(form.data().LineStatusLength(), 0);
    const QByteArray first = client.ask(bytes("001600"), 3);
    EXPECT_TRUE(first.startsWith(bytes("001600")));
    EXPECT_TRUE(form.pollingCycle().TimerAN->isEnabled()) << "clients asking switch the poll on";

    ASSERT_TRUE(waitFor([&]() { return form.data().LineStatusLength() > 0; }));
    const size_t before = heard();
    form.pollingCycle().TimerAN->setEnabled(false);  // keep the exchange quiet for the count below
    exchange.agent.clock.advance(60000);             // no cache slot could still answer
    EXPECT_EQ(client.ask(bytes("001600"), first.size()), form.data().LineStatus());
    EXPECT_EQ(heard(), before);
    EXPECT_TRUE(exchange.agent.logEntries().contains("<CCH Stav linek"));
    EXPECT_TRUE(form.pollingCycle().TimerAN->isEnabled());
}

TEST_F(GatewayTest, AccountingLinesForEachClientFromItsOwnPosition)
{
    TForm1 &form = start("SendUct=1\r\nUctFile=" + exchange.agent.dir.path("DATA.NEW").toUtf8() + "\r\n");
    for (const char *line : {"line 0", "line 1", "line 2"})
        form.accounting().HandleAccountingReply(QByteArray(1, '\0') + line);

    TestClient a;
    TestClient b;
    connect(a);
    connect(b);
    const auto answer = [](const char *line) { return QByteArray(1, '\0') + line + QByteArray(1, '\0'); };
    EXPECT_EQ(a.ask(bytes("05"), 8), answer("line 0")) << "RepUCT first gives the oldest line";
    EXPECT_EQ(a.ask(bytes("04"), 8), answer("line 1"));
    EXPECT_EQ(b.ask(bytes("04"), 8), answer("line 0"));
    EXPECT_EQ(a.ask(bytes("05"), 8), answer("line 1"));
    EXPECT_EQ(a.ask(bytes("04"), 8), answer("line 2"));
    EXPECT_EQ(a.ask(bytes("04"), 1), bytes("00"));

    // A client idle while more than 201 lines came goes on with the oldest still held.
    for (int number = 3; number < 300; ++number)
        form.accounting().HandleAccountingReply(QByteArray(1, '\0') + "line " + QByteArray::number(number));
    EXPECT_EQ(b.ask(bytes("04"), 9), answer("line 99"));

    const size_t before = heard();
    form.settings.SendUct = false;
    EXPECT_EQ(b.ask(bytes("04"), 1), bytes("00"));
    form.settings.SendUct = true;
    form.settings.ReadUct = false;
    EXPECT_EQ(b.ask(bytes("05"), 1), bytes("00"));
    EXPECT_EQ(heard(), before) << "accounting requests never reach the exchange";
}

TEST_F(GatewayTest, ClientGoneBeforeItsReplyCostsNothing)
{
    TForm1 &form = start();
    exchange.simulator.command(u"late 60");
    {
        TestClient client;
        connect(client);
        client.socket.write(bytes("000205"));
        ASSERT_TRUE(waitFor([&]() { return form.pollingCycle().linkState() == LinkState::AwaitingClientReply; }));
    }
    ASSERT_TRUE(waitFor([&]() { return form.serverSocket().clientCount() == 0; }));
    const qsizetype logged = exchange.agent.logEntries().size();
    // The line-number reply fills the first slot, the client's reply the second.
    ASSERT_TRUE(waitFor([&]() { return form.replyCache()->filled() == 2; }));
    EXPECT_EQ(form.pollingCycle().linkState(), LinkState::Idle);
    EXPECT_EQ(exchange.agent.logEntries().size(), logged) << "a reply nobody waits for is not logged";
}

TEST_F(GatewayTest, OverlongRequestIsRefusedWhole)
{
    TForm1 &form = start();
    TestClient client;
    connect(client);
    const size_t before = heard();
    client.socket.write(QByteArray(1, '\1') + QByteArray(299, '\7'));
    ASSERT_TRUE(waitFor([&]() { return exchange.agent.logEntries().last().startsWith("!Err"); }));
    EXPECT_EQ(exchange.agent.logEntries().last(), "!Err Příliš dlouhý požadavek TCP/IP (300 bajtů), nebyl odeslán");
    EXPECT_EQ(form.pollingCycle().requestQueue().size(), 0);
    EXPECT_EQ(heard(), before);

    // The connection still serves the next request.
    EXPECT_EQ(client.ask(bytes("000205"), 6), bytes("0002050A0B0C"));
}

TEST_F(GatewayTest, CrowdOfBadClientsDoesNotStarveAGoodOne)
{
    TForm1 &form = start();
    std::vector<std::unique_ptr<TestClient>> crowd;
    for (int i = 0; i < 300; ++i) {
        auto client = std::make_unique<TestClient>();
        client->socket.connectToHost(QHostAddress::LocalHost, form.serverSocket().port());
        crowd.push_back(std::move(client));
    }
    ASSERT_TRUE(waitFor([&]() { return form.serverSocket().clientCount() == crowd.size(); }, 10000));
    for (int i = 0; i < 300; ++i) {
        TestClient *client = crowd[static_cast<size_t>(i)].get();
        // Garbage, half requests, overlong requests and plain reads.
        const int kind = i % 4;
        client->socket.write(kind == 0   ? QByteArray::number(i * 7919).repeated(3)
                             : kind == 1 ? bytes("00")
                             : kind == 2 ? QByteArray(600, char(i))
                                         : bytes("000205"));
        if (i % 3 == 0)
            client->socket.abort();  // gone mid-request
    }
    TestClient good;
    connect(good);
    EXPECT_EQ(good.ask(bytes("000205"), 6, 10000), bytes("0002050A0B0C"));
    crowd.clear();
    EXPECT_TRUE(waitFor([&]() { return form.serverSocket().clientCount() == 1; }, 10000));
}

}  // namespace
