#include "link/CommPack.h"
#include "sim/ExchangeSimulator.h"
#include "support/LinkSupport.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QElapsedTimer>
#include <QFile>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>
#include <termios.h>

namespace {

const QByteArray kLineNumbersRequest = bytes("00 0E 00");

// The agent's side of the line (a TCommPack on the terminal's slave) and the
// simulated exchange on its master side.
class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(simulator->isReady()) << simulator->errorString().toStdString();
        ASSERT_TRUE(simulator->linkTo(dir.path("exchange")));
        pack.Set(dir.path("exchange") + ":9600,N,8,1");
        ASSERT_NO_THROW(pack.Open());
    }

    // Sends a request and waits until the simulator has heard it.
    void request(quint8 number, const QByteArray &message)
    {
        const size_t before = simulator->requests().size();
        sendPacket(pack, number, message);
        ASSERT_TRUE(waitFor([&]() { return simulator->requests().size() > before; }));
    }

    TempDir dir;
    std::unique_ptr<ExchangeSimulator> simulator = std::make_unique<ExchangeSimulator>();
    TCommPack pack;
    PacketCollector received {pack};
};

TEST_F(SerialLinkTest, RequestGetsTheReplyUnderItsPacketNumber)
{
    sendPacket(pack, 5, kLineNumbersRequest);
    ASSERT_TRUE(waitFor([&]() { return received.has(5); }));

    ASSERT_EQ(simulator->requests().size(), 1u);
    EXPECT_EQ(simulator->requests()[0].number, 5);
    EXPECT_EQ(hex(simulator->requests()[0].message), hex(kLineNumbersRequest));
    ASSERT_EQ(received.packets.size(), 1u);
    EXPECT_EQ(hex(received.packets[0].message), hex(simulator->model().answer(kLineNumbersRequest)));

    // A packet number 0xEE and a message of 0xEE bytes cross the line both ways.
    const QByteArray write = bytes("01 11 00") + QByteArray(300, '\xEE');
    sendPacket(pack, 0xEE, write);
    ASSERT_TRUE(waitFor([&]() { return received.has(0xEE); }));
    sendPacket(pack, 0xEF, bytes("00 11 00"));
    ASSERT_TRUE(waitFor([&]() { return received.has(0xEF); }));
    EXPECT_EQ(hex(simulator->requests()[1].message), hex(write));
    EXPECT_EQ(hex(received.packets.back().message), hex(bytes("00 11 00") + QByteArray(300, '\xEE')));
}

TEST_F(SerialLinkTest, LargestPacketCrossesInPortions)
{
    // 2045 data bytes of 0xEE travel doubled: the frame outgrows both the
    // 2100-byte working buffer and the 4096-byte input queue.
    const QByteArray data(2045, '\xEE');
    ASSERT_TRUE(simulator->model().setRecord(5, 0, data, nullptr));
    sendPacket(pack, 9, bytes("00 05 00"));
    ASSERT_TRUE(waitFor([&]() { return received.has(9); }));
    EXPECT_EQ(received.packets.back().message.size(), 2048);
    EXPECT_EQ(hex(received.packets.back().message), hex(bytes("00 05 00") + data));
    EXPECT_GT(received.rxEvents, 1);
}

TEST_F(SerialLinkTest, MisbehavingExchangeAsTheAgentSeesIt)
{
    const QString normalReply = hex(simulator->model().answer(kLineNumbersRequest));
    const struct {
        const char *command;
        QString reply;        // empty: none arrives
        int minRxEvents = 1;  // OnRxChar calls that brought it
        int minDelayMs = 0;
    } cases[] = {
        {"silent", {}},
        {"crc", {}},
        {"stuffing", {}},
        {"error 7", "07 0E 00"},
        {"garbage", normalReply},
        {"bytewise", normalReply, 20},
        {"double", normalReply},
        {"late 150", normalReply, 1, 150},
    };
    quint8 number = 10;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_TRUE(simulator->command(QString::fromLatin1(c.command)).ok);
        const int eventsBefore = received.rxEvents;
        QElapsedTimer clock;
        clock.start();
        const quint8 faulty = number++;
        request(faulty, kLineNumbersRequest);
        if (c.reply.isEmpty()) {
            simulator->command(u"normal");
            // Replies keep their order and a dropped frame does not hide the
            // next one: once that is in, the faulty reply never comes.
            const quint8 sentinel = number++;
            sendPacket(pack, sentinel, kLineNumbersRequest);
            ASSERT_TRUE(waitFor([&]() { return received.has(sentinel); }));
            EXPECT_FALSE(received.has(faulty));
            continue;
        }
        ASSERT_TRUE(waitFor([&]() { return received.has(faulty); }));
        EXPECT_GE(received.rxEvents - eventsBefore, c.minRxEvents);
        EXPECT_GE(clock.elapsed(), c.minDelayMs);
        simulator->command(u"normal");
        EXPECT_EQ(received.packets.back().number, faulty);
        EXPECT_EQ(hex(received.packets.back().message), c.reply);
    }
}

TEST_F(SerialLinkTest, SettingsTakeEffectAtOnceOnTheOpenPort)
{
    const auto lineMode = [&]() {
        termios mode = {};
        EXPECT_TRUE(simulator->lineMode(mode));
        return mode;
    };
    const auto speed = [&]() {
        termios mode = lineMode();
        return ::cfgetospeed(&mode);
    };
    EXPECT_EQ(speed(), speed_t(B9600));
    EXPECT_FALSE(lineMode().c_cflag & CSTOPB);
    // A pseudo-terminal takes speed and stop bits (not every kernel lets it
    // change its character size), so those show that Set reaches the open port.
    pack.Set(dir.path("exchange") + ":19200,N,8,2");
    EXPECT_EQ(speed(), speed_t(B19200));
    EXPECT_TRUE(lineMode().c_cflag & CSTOPB);
    EXPECT_EQ(pack.BaudRate(), TBaudRate::br19200);
    EXPECT_EQ(pack.Stopbits(), TStopbits::sb20);

    // The device name stays while the port is open; a setting the port
    // refuses is an error and leaves the old one.
    EXPECT_THROW(pack.Set("COM1:9600,N,8,1"), ECommError);
    EXPECT_EQ(pack.DeviceName(), dir.path("exchange"));
    EXPECT_THROW(pack.Set(dir.path("exchange") + ":19200,N,4,2"), ECommError);
    EXPECT_EQ(pack.Databits(), TDatabits::da8);
    EXPECT_TRUE(pack.IsOpen());
}

TEST_F(SerialLinkTest, PortIsExclusive)
{
    // By the link's name and by the device's own name alike.
    for (const QString &device : {dir.path("exchange"), simulator->slavePath()}) {
        TCommPack second;
        second.Set(device + ":9600,N,8,1");
        EXPECT_THROW(second.Open(), ECommError) << device.toStdString();
    }
    pack.Close();
    TCommPack second;
    second.Set(simulator->slavePath() + ":9600,N,8,1");
    EXPECT_NO_THROW(second.Open());
}

TEST_F(SerialLinkTest, VanishedDeviceClosesThePort)
{
    sendPacket(pack, 1, kLineNumbersRequest);
    ASSERT_TRUE(waitFor([&]() { return received.has(1); }));

    simulator.reset();
    EXPECT_TRUE(waitFor([&]() { return !pack.IsOpen(); }));
    // Closed for good: no more events, and writing reports the closed port.
    const int events = received.rxEvents;
    waitFor([] { return false; }, 100);
    EXPECT_EQ(received.rxEvents, events);
    EXPECT_THROW(sendPacket(pack, 2, kLineNumbersRequest), ECommError);
    EXPECT_THROW(pack.Open(), ECommError) << "the link is gone with the simulator";
}

TEST(SerialPortTest, MissingAndUnsuitableDevicesAreErrors)
{
    TempDir dir;
    dir.write("plain-file", "x");
    for (const QString &device :
        {dir.path("missing"), dir.path("plain-file"), QStringLiteral("COM0"), QStringLiteral("LPT1")}) {
        SCOPED_TRACE(device.toStdString());
        TCommPack pack;
        pack.Set(device + ":9600,N,8,1");
        try {
            pack.Open();
            ADD_FAILURE() << "opened";
        } catch (const ECommError &error) {
            EXPECT_EQ(error.ErrorCode(), QSerialPort::DeviceNotFoundError);
            EXPECT_TRUE(error.Text().startsWith(device)) << error.Text().toStdString();
        }
        EXPECT_FALSE(pack.IsOpen());
    }
}

}  // namespace
