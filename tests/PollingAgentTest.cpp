#include "support/ExchangeAgentFixture.h"
#include "support/LinkSupport.h"
#include "support/QtPrinters.h"
#include "support/WaitFor.h"

#include <QAction>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

int countOf(const QStringList &lines, const QString &line)
{
    return static_cast<int>(lines.count(line));
}

TEST(PollingAgentTest, FirstFrameAsksForTheLineNumbers)
{
    ExchangeAgentFixture exchange;
    ASSERT_TRUE(exchange.linked);
    exchange.simulator.command(u"lines 1 000 *#");
    TForm1 &form = exchange.start(QByteArray(ExchangeAgentFixture::FastTimers) + "[Log]\r\nCom_LocOut=1\r\n");

    ASSERT_TRUE(waitFor([&]() { return form.data().LineCount() == 3; }));
    const auto &first = exchange.simulator.requests().front();
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(first.message, bytes("000E00"));
    EXPECT_EQ(form.data().Lines()[2].Number, "*#");
    EXPECT_EQ(exchange.agent.logEntries().mid(3, 3),
              (QStringList{"<LOC Čtení Čísla linek", ">COM Čtení Čísla linek", "<COM Načtena čísla linek"}));
    EXPECT_TRUE(form.pollingCycle().TimerUR->isRunning()) << "accounting is on by default";
    EXPECT_FALSE(form.pollingCycle().TimerMSG->isRunning());
}

TEST(PollingAgentTest, SilentExchangeAtStartTimesOutOnceAndAsksNothingMore)
{
    ExchangeAgentFixture exchange;
    ASSERT_TRUE(exchange.linked);
    exchange.simulator.command(u"silent");
    TForm1 &form = exchange.start();

    ASSERT_TRUE(waitFor([&]() { return form.pollingCycle().timeoutCount() == 1; }));
    EXPECT_EQ(form.pollingCycle().linkState(), LinkState::Idle);
    // Twenty more ticks: no timer runs before a good line-number reply.
    waitFor([] { return false; }, 200);
    EXPECT_EQ(exchange.simulator.requests().size(), 1u);
    EXPECT_EQ(form.pollingCycle().timeoutCount(), 1);
}

TEST(PollingAgentTest, OutageIsLoggedOnceAndItsEndWhenTheExchangeAnswers)
{
    ExchangeAgentFixture exchange;
    ASSERT_TRUE(exchange.linked);
    TForm1 &form = exchange.start();
    PollingCycle &cycle = form.pollingCycle();
    ASSERT_TRUE(waitFor([&]() { return form.data().LineCount() > 0 && cycle.TimerUR->isRunning(); }));

    exchange.simulator.command(u"silent");
    ASSERT_TRUE(waitFor([&]() { return cycle.linkState() == LinkState::ExchangeDown; }));
    // Through a pause and a second run of timeouts: still one outage.
    ASSERT_TRUE(waitFor([&]() { return cycle.restoreNoticePending(); }));
    ASSERT_TRUE(waitFor([&]() { return cycle.linkState() == LinkState::ExchangeDown; }));

    exchange.simulator.command(u"resume");
    ASSERT_TRUE(waitFor([&]() { return !cycle.restoreNoticePending(); }));
    const QStringList log = exchange.agent.logEntries();
    EXPECT_EQ(countOf(log, "!Err Ústředna není dostupná"), 1);
    EXPECT_EQ(countOf(log, "-OK- Obnova komunikace s ústřednou"), 1);
    const qsizetype lost = log.indexOf("!Err Ústředna není dostupná");
    EXPECT_LT(lost, log.indexOf("-OK- Obnova komunikace s ústřednou"));
    // The line numbers were asked for at start and again after the first pause.
    const auto messages = exchange.requestMessages();
    EXPECT_GE(std::count(messages.begin(), messages.end(), bytes("000E00")), 2);
}

TEST(PollingAgentTest, LateReplyIsStillDispatched)
{
    ExchangeAgentFixture exchange;
    ASSERT_TRUE(exchange.linked);
    exchange.simulator.command(u"late 120");  // the agent gives up after 5 ticks of 10 ms
    TForm1 &form = exchange.start();

    ASSERT_TRUE(waitFor([&]() { return form.pollingCycle().timeoutCount() == 1; }));
    EXPECT_EQ(form.data().LineCount(), 0);
    ASSERT_TRUE(waitFor([&]() { return form.data().LineCount() > 0; }));
    EXPECT_TRUE(exchange.agent.logEntries().contains("<COM Načtena čísla linek"));
}

TEST(PollingAgentTest, StopAndResumeTheTick)
{
    ExchangeAgentFixture exchange;
    ASSERT_TRUE(exchange.linked);
    exchange.simulator.command(u"silent");
    TForm1 &form = exchange.start("[Timer]\r\nInterval=10\r\nMaxTick=1000\r\n");
    ASSERT_TRUE(waitFor([&]() { return exchange.simulator.requests().size() == 1; }));
    EXPECT_EQ(form.Zastavit1->text(), "Zastavit");

    form.Zastavit1->trigger();
    EXPECT_EQ(form.Zastavit1->text(), "&Obnovit");
    EXPECT_FALSE(form.timerTick().isRunning());
    form.Zastavit1->trigger();
    EXPECT_EQ(form.Zastavit1->text(), "&Zastavit");
    EXPECT_TRUE(form.timerTick().isRunning());
}

TEST(PollingAgentTest, LastMessageOfAShutDownClearsTheMailboxes)
{
    ExchangeAgentFixture exchange;
    ASSERT_TRUE(exchange.linked);
    exchange.simulator.command(u"lines 101 102");
    TForm1 &form = exchange.start();
    ASSERT_TRUE(waitFor([&]() { return form.data().LineCount() == 2; }));
    form.data().SetMailbox("102", 3, 1, 2, 0);

    exchange.agent.form.reset();
    ASSERT_TRUE(waitFor([&]() { return exchange.simulator.requests().back().message.startsWith(bytes("011100")); }));
    EXPECT_EQ(exchange.requestMessages().back(), bytes("011100" "00000000" "00000000"));
}

}  // namespace
