#include "link/CommMode.h"
#include "link/CommPack.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

using Mode = std::tuple<std::optional<int>, std::optional<char>, std::optional<int>, std::optional<int>>;

Mode values(const CommMode &mode)
{
    return {mode.baudRate, mode.parity, mode.dataBits, mode.stopBitsTenths};
}

TEST(CommModeTest, AcceptedStrings)
{
    const struct {
        const char *settings;
        Mode expected;
    } cases[] = {
        {"COM2:9600,N,8,1", {9600, 'N', 8, 10}},
        {"COM3:19200,E,7,1", {19200, 'E', 7, 10}},
        {"com1:110,o,5,1.5", {110, 'O', 5, 15}},
        {"COM4:256000,m,8,2", {256000, 'M', 8, 20}},
        {"/tmp/exchange:57600,N,8,1", {57600, 'N', 8, 10}},
        {"COM2: 9600 , n , 8 , 1 ", {9600, 'N', 8, 10}},
        {"COM2:4800", {4800, std::nullopt, std::nullopt, std::nullopt}},
        {"COM2:4800,E", {4800, 'E', std::nullopt, std::nullopt}},
        {"9600,N,8,1", {9600, 'N', 8, 10}},
        // Values the port does not take still parse; Set leaves them out.
        {"COM2:31250,S,9,1", {31250, 'S', 9, 10}},
        {"COM2:baud=9600 parity=N data=8 stop=1", {9600, 'N', 8, 10}},
        {"baud=9600 parity=N data=8 stop=1", {9600, 'N', 8, 10}},
        {"COM2:BAUD=1200 Parity=e DATA=7 Stop=1.5", {1200, 'E', 7, 15}},
        {"COM2:  stop=2\tbaud=300  ", {300, std::nullopt, std::nullopt, 20}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.settings);
        const std::optional<CommMode> mode = ParseCommMode(QString::fromLatin1(c.settings));
        ASSERT_TRUE(mode.has_value());
        EXPECT_EQ(values(*mode), c.expected);
    }
}

TEST(CommModeTest, RejectedStrings)
{
    const char *const cases[] = {
        "COM2:",
        "COM2:   ",
        "COM2",
        "COM2:abc",
        "COM2:9600,X,8,1",
        "COM2:9600,N,8,3",
        "COM2:9600,N,8,1.25",
        "COM2:9600,N,8,1,P",
        "COM2:9600,,8,1",
        "COM2:-9600,N,8,1",
        "COM2:+9600,N,8,1",
        "COM2:9600;N;8;1",
        "COM2:1234567890,N,8,1",
        "COM2:9600,NO,8,1",
        "COM2:baud=9600 parity=N data=8 stop=1 xon=on",
        "COM2:baud=9600 baud=4800",
        "COM2:baud=",
        "COM2:baud = 9600",
        "COM2:=9600",
        "COM2:baud=9600,parity=N",
    };
    for (const char *settings : cases)
        EXPECT_FALSE(ParseCommMode(QString::fromLatin1(settings)).has_value()) << settings;
}

struct PortSettings {
    QString device;
    TBaudRate baud;
    TParity parity;
    TDatabits data;
    TStopbits stop;
    bool operator==(const PortSettings &) const = default;
};

void PrintTo(const PortSettings &s, std::ostream *out)
{
    *out << s.device.toStdString() << " " << static_cast<int>(s.baud) << " parity " << static_cast<int>(s.parity)
         << " data " << static_cast<int>(s.data) << " stop " << static_cast<int>(s.stop);
}

PortSettings settingsOf(const TCommPack &pack)
{
    return {pack.DeviceName(), pack.BaudRate(), pack.Parity(), pack.Databits(), pack.Stopbits()};
}

TEST(CommModeTest, SetMapsWhatThePortAccepts)
{
    using enum TBaudRate;
    using enum TParity;
    using enum TDatabits;
    using enum TStopbits;
    // Each string is applied over "COM1:19200,O,7,2".
    const struct {
        const char *settings;
        PortSettings expected;
    } cases[] = {
        {"COM3:9600,E,8,1", {"COM3", br9600, paEven, da8, sb10}},
        {"COM2", {"COM1", br19200, paOdd, da7, sb20}},
        {"COM4:4800,S,5,1.5", {"COM4", br4800, paOdd, da5, sb15}},
        {"COM2:31250,M,4,1", {"COM2", br19200, paMark, da4, sb10}},
        {"COM2:110,N,9,1", {"COM2", br110, paNone, da7, sb10}},
        {"COM2:9601,n,6,2", {"COM2", br19200, paNone, da6, sb20}},
        {"COM5:garbage", {"COM5", br19200, paOdd, da7, sb20}},
        {"COM6:baud=256000 parity=n data=8 stop=1", {"COM6", br256000, paNone, da8, sb10}},
        {"COM7:stop=1", {"COM7", br19200, paOdd, da7, sb10}},
        {"/dev/ttyUSB0:115200,N,8,1", {"/dev/ttyUSB0", br115200, paNone, da8, sb10}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.settings);
        TCommPack pack;
        pack.Set("COM1:19200,O,7,2");
        pack.Set(QString::fromLatin1(c.settings));
        EXPECT_EQ(settingsOf(pack), c.expected);
    }
}

TEST(CommModeTest, DefaultsBeforeSet)
{
    const TCommPack pack;
    EXPECT_EQ(
        settingsOf(pack), (PortSettings {"Com2", TBaudRate::br9600, TParity::paNone, TDatabits::da8, TStopbits::sb10}));
    EXPECT_FALSE(pack.IsOpen());
}

TEST(CommModeTest, EveryBaudRateOfTheTable)
{
    for (const int rate :
        {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000}) {
        TCommPack pack;
        pack.Set(QStringLiteral("COM1:%1,N,8,1").arg(rate));
        EXPECT_EQ(static_cast<int>(pack.BaudRate()), rate);
    }
}

}  // namespace
