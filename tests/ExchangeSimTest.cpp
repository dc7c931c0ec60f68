#include "link/MemoryCommPack.h"
#include "sim/ExchangeModel.h"
#include "sim/ExchangeSimulator.h"
#include "sim/ReplyFrames.h"
#include "sim/SimCommands.h"
#include "support/LinkSupport.h"
#include "support/TempDir.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// Request messages and the simulated exchange's replies, in order, on one model.
TEST(ExchangeModelTest, AnswersInTheExchangeMessageLayout)
{
    ExchangeModel model;
    model.addAccountingLine("12:00 101 0:35");
    model.addAccountingLine("12:05 102 1:10");
    const struct {
        const char *what;
        const char *request;
        const char *reply;
    } cases[] = {
        {"line numbers 101..108", "00 0E 00",
            "00 0E 00 01 0A 01 01 0A 02 01 0A 03 01 0A 04 01 0A 05 01 0A 06 01 0A 07 01 0A 08"},
        {"line status, 0 per line", "00 16 00", "00 16 00 00 00 00 00 00 00 00 00"},
        {"an empty TRAP record", "00 01 03", "00 01 03 00"},
        {"no TRAP record 4", "00 01 04", "03 01 04"},
        {"no structure 27", "00 1B 00", "02 1B 00"},
        {"a record nobody set", "00 05 09", "00 05 09"},
        {"a write is confirmed", "01 11 00 01 00 02 00", "00 11 00"},
        {"and is kept", "00 11 00", "00 11 00 01 00 02 00"},
        {"RepUCT before any line", "05", "00"},
        {"GetUCT hands out the first line", "04", "00 31 32 3A 30 30 20 31 30 31 20 30 3A 33 35"},
        {"GetUCT the next", "04", "00 31 32 3A 30 35 20 31 30 32 20 31 3A 31 30"},
        {"RepUCT the last again", "05", "00 31 32 3A 30 35 20 31 30 32 20 31 3A 31 30"},
        {"GetUCT on an empty queue: the error byte alone", "04", "00"},
        {"RepUCT still the last", "05", "00 31 32 3A 30 35 20 31 30 32 20 31 3A 31 30"},
        {"Info", "02", "00 54 61 72 76 6F 20 65 78 63 68 61 6E 67 65 20 73 69 6D 75 6C 61 74 6F 72"},
        {"SaveEPROM", "03", "00"},
        {"unknown command", "09 01 02", "01"},
        {"a read without structure and record", "00 0E", "04"},
        {"an empty message", "", "04"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(hex(model.answer(bytes(c.request))), hex(bytes(c.reply)));
    }
}

TEST(ExchangeModelTest, LineNumbersUseTheDigitTable)
{
    ExchangeModel model;
    QString error;
    ASSERT_TRUE(model.setLineNumbers({"1", "000", "*#", "fpd"}, &error)) << error.toStdString();
    EXPECT_EQ(hex(model.answer(bytes("00 0E 00"))), "00 0E 00 01 00 00 0A 0A 0A 0B 0C 00 0D 0E 13");
    EXPECT_EQ(hex(model.answer(bytes("00 16 00"))), "00 16 00 00 00 00 00");

    for (const QStringList &bad : {QStringList {"1234"}, QStringList {""}, QStringList {"1."}, QStringList {"10x"}}) {
        EXPECT_FALSE(model.setLineNumbers(bad, &error)) << bad.join(' ').toStdString();
        EXPECT_EQ(model.lineNumbers(), (QStringList {"1", "000", "*#", "fpd"}));
    }
}

TEST(ExchangeModelTest, TrapsFillFreeRecordsAndAnAcknowledgementFreesThem)
{
    ExchangeModel model;
    SimFaults faults;
    for (int k = 0; k < 4; ++k)
        EXPECT_TRUE(
            runSimCommand(model, faults, QStringLiteral("trap I user%1@tarvo.cz|Porucha|Linka 101 stojí").arg(k)).ok);
    EXPECT_EQ(hex(model.answer(bytes("00 01 00"))),
        hex(bytes("00 01 00 49") + "user0@tarvo.cz\nPorucha\nLinka 101 stoj\xED"));
    EXPECT_FALSE(runSimCommand(model, faults, u"trap I full|x|y").ok);

    // The agent empties a record by writing 251 zero bytes to it.
    EXPECT_EQ(hex(model.answer(bytes("01 01 02") + QByteArray(251, '\0'))), "00 01 02");
    EXPECT_EQ(model.addTrap('Q', "x\ny\nz"), 2);
}

TEST(SimCommandsTest, CommandsChangeTheModelAndTheFaults)
{
    ExchangeModel model;
    SimFaults faults;
    const struct {
        const char *line;
        bool ok;
    } cases[] = {
        {"", true},
        {"# a comment", true},
        {"lines 201 202\t203", true},
        {"record 22 0 01 02 0a", true},
        {"record 5 7 0102ff", true},
        {"uct 13:00 201 0:12", true},
        {"crc", true},
        {"garbage on", true},
        {"bytewise off", true},
        {"LATE 250", true},
        {"error 9", true},
        {"silent", true},
        {"record 27 0 01", false},
        {"record 1 4 01", false},
        {"record 2 0 0", false},
        {"record 2 0 zz", false},
        {"record 2", false},
        {"late -1", false},
        {"late soon", false},
        {"error 256", false},
        {"crc maybe", false},
        {"trap I no separators", false},
        {"trap XY a|b|c", false},
        {"uct", false},
        {"lines 1234", false},
        {"reboot", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(runSimCommand(model, faults, QString::fromUtf8(c.line)).ok, c.ok) << c.line;

    EXPECT_EQ(model.lineNumbers(), (QStringList {"201", "202", "203"}));
    EXPECT_EQ(hex(model.answer(bytes("00 16 00"))), "00 16 00 01 02 0A");
    EXPECT_EQ(hex(model.record(5, 7)), "01 02 FF");
    EXPECT_EQ(model.waitingAccountingLines(), 1);
    EXPECT_TRUE(faults.wrongCrc && faults.garbage && faults.silent);
    EXPECT_FALSE(faults.bytewise);
    EXPECT_EQ(faults.lateMs, 250);
    EXPECT_EQ(faults.errorCode, 9);

    EXPECT_TRUE(runSimCommand(model, faults, u"normal").ok);
    EXPECT_FALSE(faults.any());
    EXPECT_TRUE(runSimCommand(model, faults, u"quit").quit);
}

// What the agent's receiver makes of a reply sent under each fault.
TEST(ReplyFramesTest, FaultsAsTheReceiverSeesThem)
{
    const QByteArray reply = bytes("00 0E 00 01 0A 01");
    const QByteArray frame = TMemoryCommPack::Frame(5, reply);
    const struct {
        const char *what;
        SimFaults faults;
        size_t writes;
        bool received;
    } cases[] = {
        {"normal", {}, 1, true},
        {"wrong CRC", {.wrongCrc = true}, 1, false},
        {"broken stuffing", {.brokenStuffing = true}, 1, false},
        {"garbage before", {.garbage = true}, 1, true},
        {"one byte per write", {.bytewise = true}, static_cast<size_t>(frame.size()), true},
        {"two frames in one write", {.twoFrames = true}, 1, true},
        {"garbage, two frames, byte by byte", {.garbage = true, .bytewise = true, .twoFrames = true},
            static_cast<size_t>(garbageBytes().size() + 2 * frame.size()), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<QByteArray> writes = replyWrites(5, reply, c.faults);
        EXPECT_EQ(writes.size(), c.writes);
        TMemoryCommPack agent;
        int reported = 0;
        for (const QByteArray &write : writes) {
            agent.Input = write;
            if (agent.ReadPacket(static_cast<int>(write.size())) > 0)
                ++reported;
        }
        EXPECT_EQ(reported, c.received ? 1 + (c.faults.twoFrames && c.faults.bytewise) : 0);
        if (c.received) {
            EXPECT_EQ(hex(QByteArrayView(agent.InCom.data(), reply.size() + 1)), hex(QByteArray(1, 5) + reply));
        }
    }
    EXPECT_EQ(hex(replyWrites(5, reply, {.twoFrames = true}).front()), hex(frame + frame));
}

TEST(ReplyFramesTest, WrongCrcStaysProperlyStuffed)
{
    // Packet 1 with message 00 00 01 has the CRC bytes EF 88 FF EE.
    const QByteArray bad = replyWrites(1, bytes("00 00 01"), {.wrongCrc = true}).front();
    EXPECT_EQ(hex(bad), "EE 23 04 00 01 00 00 01 EE EE 88 FF EE EE");
}

TEST(ExchangeSimulatorTest, ScenarioFileRunsItsCommandsAndNamesTheBadLine)
{
    TempDir dir;
    dir.write("good.scenario", "# demo\r\nlines 101 102\r\nuct 08:00 101 0:01\ntrap V boss|Alarm|Hoří\n\n");
    dir.write("bad.scenario", "lines 101\n\nrecord 99 0 00\nuct never\n");
    ExchangeSimulator simulator;
    ASSERT_TRUE(simulator.isReady()) << simulator.errorString().toStdString();
    QString error;
    ASSERT_TRUE(simulator.loadScenario(dir.path("good.scenario"), &error)) << error.toStdString();
    EXPECT_EQ(simulator.model().lineNumbers(), (QStringList {"101", "102"}));
    EXPECT_EQ(simulator.model().waitingAccountingLines(), 1);
    EXPECT_EQ(hex(simulator.model().record(1, 0)), hex(QByteArray("Vboss\nAlarm\nHo\xF8\xED")));

    EXPECT_FALSE(simulator.loadScenario(dir.path("bad.scenario"), &error));
    EXPECT_TRUE(error.endsWith("bad.scenario:3: record: structure 0-26, index 0-255, then hex bytes"))
        << error.toStdString();
    EXPECT_EQ(simulator.model().waitingAccountingLines(), 1) << "nothing after the bad line runs";
    EXPECT_FALSE(simulator.loadScenario(dir.path("missing.scenario"), &error));
}

}  // namespace
