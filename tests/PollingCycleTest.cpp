#include "app/PollingCycle.h"
#include "data/Data.h"
#include "support/ManualClock.h"
#include "support/Bytes.h"
#include "support/QtPrinters.h"
#include "support/RecordingLog.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class FakePort final : public PacketPort {
public:
    bool isPortOpen() const override { return open; }
    void sendPacket(std::uint8_t number, QByteArrayView message) override
    {
        packets.emplace_back(number, message.toByteArray());
    }
    bool open = true;
    std::vector<std::pair<std::uint8_t, QByteArray>> packets;
};

class PollingCycleTest : public ::testing::Test {
protected:
    PollingCycleTest()
    {
        settings.MaxTick = 3;
        settings.MaxError = 2;
        settings.MaxErrorTick = 4;
        cycle.handlers.sendStatusNotice = [this](int kind) { notices.push_back(kind); };
        cycle.handlers.storeReply = [this](const QByteArray &request, QByteArrayView) { cached << request; };
        cycle.TimerTick->setInterval(100);
        cycle.TimerTick->setEnabled(true);
    }

    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            cycle.TimerTickTimer();
    }
    std::uint8_t lastPacketNumber() const { return port.packets.back().first; }

    AgentSettings settings;
    RecordingLog log;
    TData data;
    FakePort port;
    ManualClock clock;
    PollingCycle cycle{settings, log, data, port, clock};
    std::vector<int> notices;
    QList<QByteArray> cached;
};

TEST_F(PollingCycleTest, QueueKeepsOneEntryPerOwnKindAndPerClient)
{
    cycle.TimerSMSTimer();
    cycle.TimerSMSTimer();
    cycle.EnqueueRequest('I', 7, bytes({0, 1, 0}));
    cycle.EnqueueRequest('A');
    cycle.EnqueueRequest('I', 7, bytes({0, 2, 0}));
    EXPECT_EQ(cycle.requestQueue().keys(), (QStringList{"S", "A", "I7"}));
    EXPECT_EQ(cycle.requestQueue().head().key, "S");

    RequestQueue client;
    client.EnqueueRequest('I', 7, bytes({0, 1, 0}));
    client.EnqueueRequest('I', 7, bytes({0, 2, 0}));
    ASSERT_EQ(client.size(), 1);
    EXPECT_EQ(client.head().request->message, bytes({0, 2, 0})) << "the newer request replaces the older";

    RequestQueue queue;
    queue.EnqueueRequest('I', 1, bytes({0, 1, 0}));
    for (int handle = 2; handle <= 100; ++handle)
        queue.EnqueueRequest('I', handle, bytes({0}));
    EXPECT_EQ(queue.size(), 100);
    queue.EnqueueRequest('V');
    EXPECT_EQ(queue.size(), 100);
    EXPECT_EQ(queue.head().key, "I2");
    EXPECT_EQ(queue.keys().last(), "V");
}

TEST_F(PollingCycleTest, NoClientSkipsTheQueueWhileATickOrAReplyIsHandled)
{
    EXPECT_TRUE(cycle.canSendNow());
    bool duringTick = true;
    cycle.handlers.syncMailboxes = [&]() {
        duringTick = cycle.canSendNow();
        return false;
    };
    cycle.EnqueueRequest('M');
    tick();
    EXPECT_FALSE(duringTick);

    bool duringDispatch = true;
    cycle.handlers.trapReply = [&](QByteArrayView) {
        duringDispatch = cycle.canSendNow();
        tick(settings.MaxTick + 1);  // as if the mail library let the loop run
    };
    cycle.EnqueueRequest('S');
    tick();
    cycle.DispatchReply(lastPacketNumber(), bytes({0, 1, 0}));
    EXPECT_FALSE(duringDispatch);
    EXPECT_EQ(cycle.timeoutCount(), 0) << "no time counted against a reply being handled";
    EXPECT_TRUE(cycle.canSendNow());
}

TEST_F(PollingCycleTest, ClientRequestRecordHoldsAtMost256Bytes)
{
    cycle.EnqueueRequest('I', 9, QByteArray(300, '\1'));
    ASSERT_TRUE(cycle.requestQueue().head().request);
    EXPECT_EQ(cycle.requestQueue().head().request->message.size(), 256);
    EXPECT_EQ(cycle.requestQueue().head().request->firstByte, 1);
}

TEST_F(PollingCycleTest, FirstRequestIsTheLineNumbersWithPacketOne)
{
    settings.logFlags.Com_LocOut = true;
    cycle.EnqueueRequest('V');
    tick();
    ASSERT_EQ(port.packets.size(), 1u);
    EXPECT_EQ(port.packets[0], std::make_pair(std::uint8_t(1), bytes({0, 14, 0})));
    EXPECT_EQ(cycle.linkState(), LinkState::AwaitingReply);
    EXPECT_EQ(log.takeLines(), (QStringList{"<LOC Čtení Čísla linek", ">COM Čtení Čísla linek"}));

    cycle.DispatchReply(1, bytes({0, 14, 0, 1, 0, 2, 10, 10, 10, 11, 12, 0}));
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_EQ(data.LineCount(), 3);
    EXPECT_EQ(log.takeLines(), (QStringList{"<COM Načtena čísla linek"}));
    EXPECT_TRUE(cycle.TimerUR->isEnabled());
    EXPECT_FALSE(cycle.TimerMSG->isEnabled()) << "no mail bridge: no mailbox poll";
    EXPECT_FALSE(cycle.TimerSMS->isEnabled());
    EXPECT_EQ(cached, (QList<QByteArray>{bytes({0, 14, 0})}));
}

TEST_F(PollingCycleTest, LineNumbersFailureStartsNoTimer)
{
    const struct {
        QByteArray reply;
        const char *line;
    } cases[] = {
        {bytes({7, 14, 0, 1, 2, 3}), "<COM Chyba načtení čísel linek:7"},
        {bytes({0, 14, 0}), "<COM Chyba načtení čísel linek:0"},
        {QByteArray(), "<COM Chyba načtení čísel linek:0"},
    };
    for (const auto &c : cases) {
        cycle.AddPendingReply('V', bytes({0, 14, 0}), 0);
        cycle.DispatchReply(cycle.sequenceCounter(), c.reply);
        EXPECT_EQ(log.takeLines(), QStringList{c.line});
        EXPECT_FALSE(cycle.TimerUR->isEnabled());
    }
    settings.logFlags.Com_In = false;
    cycle.AddPendingReply('V', bytes({0, 14, 0}), 0);
    cycle.DispatchReply(cycle.sequenceCounter(), bytes({0}));
    EXPECT_TRUE(log.takeLines().isEmpty());
    EXPECT_TRUE(cycle.TimerUR->isEnabled()) << "a one-byte reply without error empties the table and counts";
}

TEST_F(PollingCycleTest, SilentExchangeAtStartTimesOutOnce)
{
    cycle.EnqueueRequest('V');
    tick(settings.MaxTick);
    EXPECT_EQ(cycle.linkState(), LinkState::AwaitingReply) << "given up only after MaxTick ticks";
    tick();
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_EQ(cycle.timeoutCount(), 1);
    tick(20);
    EXPECT_EQ(port.packets.size(), 1u);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(PollingCycleTest, OutageIsReportedOnceAndItsEndOnce)
{
    // MaxError timeouts of own requests, with nothing between them.
    for (int timeout = 0; timeout < settings.MaxError; ++timeout) {
        cycle.TimerANTimer();
        tick(1 + settings.MaxTick);
    }
    EXPECT_EQ(cycle.linkState(), LinkState::ExchangeDown);
    EXPECT_EQ(log.takeLines(), QStringList{"!Err Ústředna není dostupná"});
    EXPECT_EQ(notices, std::vector<int>{PollingCycle::LinkLostNotice});

    // The pause, then the line numbers are asked for again; still no answer.
    tick(settings.MaxErrorTick - 1);
    EXPECT_EQ(cycle.linkState(), LinkState::ExchangeDown);
    tick();
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_EQ(cycle.requestQueue().keys(), QStringList{"V"});
    for (int timeout = 0; timeout < settings.MaxError; ++timeout) {
        cycle.EnqueueRequest('V');
        tick(1 + settings.MaxTick);
    }
    EXPECT_EQ(cycle.linkState(), LinkState::ExchangeDown);
    EXPECT_TRUE(log.takeLines().isEmpty()) << "no second link-lost line within one outage";
    EXPECT_EQ(notices.size(), 1u);

    tick(settings.MaxErrorTick);
    tick();
    EXPECT_EQ(port.packets.back().second, bytes({0, 14, 0}));
    cycle.DispatchReply(lastPacketNumber(), bytes({0, 14, 0, 1, 2, 3}));
    EXPECT_EQ(log.takeLines(), (QStringList{"-OK- Obnova komunikace s ústřednou", "<COM Načtena čísla linek"}));
    EXPECT_EQ(notices, (std::vector<int>{PollingCycle::LinkLostNotice, PollingCycle::LinkRestoredNotice}));
    EXPECT_FALSE(cycle.restoreNoticePending());
}

TEST_F(PollingCycleTest, ReplyDuringTheFirstPauseEndsItWithoutNotices)
{
    for (int timeout = 0; timeout < settings.MaxError; ++timeout) {
        cycle.TimerANTimer();
        tick(1 + settings.MaxTick);
    }
    ASSERT_EQ(cycle.linkState(), LinkState::ExchangeDown);
    log.takeLines();

    cycle.DispatchReply(lastPacketNumber(), bytes({0, 22, 0}));
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_EQ(log.takeLines(), QStringList{"<COM Stav linek"});

    // The count stays at its limit: the next timeout is a new outage.
    cycle.TimerANTimer();
    tick(1 + settings.MaxTick);
    EXPECT_EQ(cycle.linkState(), LinkState::ExchangeDown);
    EXPECT_EQ(log.takeLines(), QStringList{"!Err Ústředna není dostupná"});
    EXPECT_EQ(notices, (std::vector<int>{PollingCycle::LinkLostNotice, PollingCycle::LinkLostNotice}));
}

TEST_F(PollingCycleTest, LateReplyIsStillDispatched)
{
    cycle.TimerANTimer();
    tick(1 + settings.MaxTick);
    const std::uint8_t givenUp = lastPacketNumber();
    cycle.TimerSMSTimer();
    tick();
    ASSERT_EQ(cycle.linkState(), LinkState::AwaitingReply);

    cycle.DispatchReply(givenUp, bytes({0, 22, 0, 9}));
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_EQ(data.LineStatus(), bytes({0, 22, 0, 9}));
    EXPECT_TRUE(cached.isEmpty()) << "line status is not cached";
}

TEST_F(PollingCycleTest, UnknownPacketNumberIsDropped)
{
    cycle.TimerANTimer();
    tick();
    cycle.DispatchReply(200, bytes({0, 22, 0}));
    EXPECT_EQ(cycle.linkState(), LinkState::AwaitingReply);
    EXPECT_EQ(data.LineStatusLength(), 0);
}

TEST_F(PollingCycleTest, PacketNumbersWrapAndReplaceUnansweredEntries)
{
    for (int sent = 1; sent <= 257; ++sent)
        cycle.sendClientRequest(sent, bytes({0, 1, 0}));
    ASSERT_EQ(port.packets.size(), 257u);
    EXPECT_EQ(port.packets[0].first, 1);
    EXPECT_EQ(port.packets[254].first, 255);
    EXPECT_EQ(port.packets[255].first, 0);
    EXPECT_EQ(port.packets[256].first, 1);
    EXPECT_EQ(cycle.pendingReplies().size(), 256);

    std::vector<qintptr> answered;
    cycle.handlers.clientReply = [&](const ExchangeRequest &request, QByteArrayView) {
        answered.push_back(request.socketHandle);
    };
    cycle.DispatchReply(1, bytes({0, 1, 0}));
    EXPECT_EQ(answered, std::vector<qintptr>{257});
}

TEST_F(PollingCycleTest, ClientRequestTimeoutIsNotHeldAgainstTheExchange)
{
    settings.logFlags.Com_Out = true;
    cycle.EnqueueRequest('I', 5, bytes({0, 1, 2}));
    tick();
    EXPECT_EQ(port.packets.back().second, bytes({0, 1, 2}));
    EXPECT_EQ(cycle.linkState(), LinkState::AwaitingClientReply);
    EXPECT_EQ(log.takeLines(), QStringList{">COM Čtení SMS[2]"});
    tick(settings.MaxTick);
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_EQ(cycle.timeoutCount(), 0);
}

TEST_F(PollingCycleTest, ClosedPortSendsNothingAndCountsNoTime)
{
    port.open = false;
    cycle.EnqueueRequest('V');
    tick(10);
    EXPECT_TRUE(port.packets.empty());
    EXPECT_EQ(cycle.requestQueue().size(), 1);
    cycle.SendToExchange(">COM", "Nulování obsahu schránek", data.BuildMailboxRequest());
    EXPECT_TRUE(port.packets.empty());
    EXPECT_EQ(log.status, ">COM     Nulování obsahu schránek");
    EXPECT_EQ(cycle.sequenceCounter(), 1);
}

TEST_F(PollingCycleTest, TimersQueueAndLogOnlyWhileTheTickRuns)
{
    settings.logFlags.Com_LocOut = true;
    cycle.TimerURTimer();
    EXPECT_EQ(log.takeLines(), QStringList{"<LOC Dotaz na účtovací řádek"});

    EXPECT_FALSE(cycle.toggleTick());
    cycle.TimerANTimer();
    cycle.TimerMSGTimer();
    EXPECT_TRUE(log.takeLines().isEmpty());
    EXPECT_EQ(cycle.requestQueue().keys(), (QStringList{"U", "A", "M"}));
    EXPECT_TRUE(cycle.toggleTick());
}

TEST_F(PollingCycleTest, LineStatusPollStopsAfterClientsStopAsking)
{
    settings.ANTimeOut = 10;
    cycle.TimerAN->setInterval(600);
    cycle.TimerAN->setEnabled(true);
    cycle.LastLineStatusRequest = clock.now();
    clock.advance(10000);
    tick();
    EXPECT_TRUE(cycle.TimerAN->isEnabled());
    clock.advance(1);
    tick();
    EXPECT_FALSE(cycle.TimerAN->isEnabled());
}

TEST_F(PollingCycleTest, MailboxStepSendsOnlyWithChangesAndTickDoesNotReenter)
{
    data.LoadLineNumbers(bytes({0, 14, 0, 1, 0, 0}));
    data.SetMailbox("1", 3, 0, 0, 0);
    bool changes = false;
    cycle.handlers.syncMailboxes = [&]() {
        cycle.TimerTickTimer();  // as if the mail library let the loop run
        return changes;
    };
    cycle.EnqueueRequest('M');
    cycle.EnqueueRequest('A');
    tick();
    EXPECT_EQ(cycle.linkState(), LinkState::Idle);
    EXPECT_TRUE(port.packets.empty());
    EXPECT_EQ(cycle.requestQueue().keys(), QStringList{"A"});

    changes = true;
    cycle.EnqueueRequest('M');
    tick();  // sends the 'A'
    cycle.DispatchReply(lastPacketNumber(), bytes({0, 22, 0}));
    tick();
    EXPECT_EQ(port.packets.back().second, bytes({1, 17, 0, 3, 0, 0, 0}));
    EXPECT_EQ(cycle.linkState(), LinkState::AwaitingReply);
}

}  // namespace
