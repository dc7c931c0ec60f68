#include "link/MemoryCommPack.h"
#include "support/LinkSupport.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// The 'V' request as packet 5, and the same request as packet 6.
constexpr const char *kFrame5 = "EE 23 04 00 05 00 0E 00 A0 02 19 88";
constexpr const char *kBody5 = "05 00 0E 00";
QByteArray frame6()
{
    return TMemoryCommPack::Frame(6, bytes("00 0E 00"));
}

struct ReadCase {
    const char *what;
    std::vector<QByteArray> reads;  // each handed to one ReadPacket call
    std::vector<int> results;       // what each call returns
    const char *body;               // InCom afterwards, when a packet was reported
};

// What the receiver makes of byte sequences, one ReadPacket call per read.
std::vector<ReadCase> readCases()
{
    const QByteArray f5 = bytes(kFrame5);
    return {
        {"a whole frame in one read", {f5}, {4}, kBody5},
        {"a frame in two reads", {f5.first(5), f5.sliced(5)}, {0, 4}, kBody5},
        {"two frames in one read: the first is reported, the second lost", {f5 + frame6(), {}}, {4, 0}, kBody5},
        {"bytes and single 0xEE before a frame are skipped", {bytes("00 EE 41 EE 00 23") + f5}, {4}, kBody5},
        {"EE EE 23 starts a frame", {bytes("EE") + f5}, {4}, kBody5},
        {"a wrong CRC drops the frame; the next one is read", {bytes("EE 23 04 00 05 00 0E 00 A0 02 19 89"), f5},
            {0, 4}, kBody5},
        {"a broken stuffing pair drops the frame", {bytes("EE 23 04 00 05 EE 00 0E 00 A0 02 19 88"), f5}, {0, 4},
            kBody5},
        {"a single EE 23 inside a frame starts a new one", {bytes("EE 23 04 00 05 00") + f5}, {4}, kBody5},
        {"EE 23 in place of the length's low byte starts a new frame",
            {bytes("EE 23 EE 23 04 00 05 00 0E 00 A0 02 19 88")}, {4}, kBody5},
        {"EE then another byte in the length's low byte is an error", {bytes("EE 23 EE 05"), f5}, {0, 4}, kBody5},
        {"EE 23 in place of the length's high byte starts a new frame",
            {bytes("EE 23 04 EE 23 04 00 05 00 0E 00 A0 02 19 88")}, {4}, kBody5},
        {"EE then another byte in the length's high byte is an error", {bytes("EE 23 04 EE 05"), f5}, {0, 4}, kBody5},
        {"a length of EE04 (above 2049) is dropped once read", {bytes("EE 23 04 EE EE 05 00 0E 00 A0 02 19 88"), f5},
            {0, 4}, kBody5},
        {"an empty body with CRC 00 00 00 00 passes but reads as 0, and the rest of the read is lost",
            {bytes("EE 23 00 00 00 00 00 00") + f5, f5}, {0, 4}, kBody5},
        {"a half frame waits for its end over later reads", {f5.first(3), {}, f5.sliced(3)}, {0, 0, 4}, kBody5},
    };
}

TEST(ReceiveMachineTest, ByteSequencesAndTheirResults)
{
    for (const ReadCase &c : readCases()) {
        SCOPED_TRACE(c.what);
        TMemoryCommPack pack;
        std::vector<int> results;
        for (const QByteArray &read : c.reads) {
            pack.Input = read;
            results.push_back(pack.ReadPacket(static_cast<int>(read.size())));
        }
        EXPECT_EQ(results, c.results);
        const QByteArray body = bytes(c.body);
        EXPECT_EQ(hex(QByteArrayView(pack.InCom.data(), body.size())), hex(body));
    }
}

TEST(ReceiveMachineTest, LengthLimitIs2049)
{
    const QByteArray longest = TMemoryCommPack::Frame(1, QByteArray(2048, '\0'));
    const QByteArray tooLong = TMemoryCommPack::Frame(1, QByteArray(2049, '\0'));
    EXPECT_EQ(hex(longest.sliced(longest.size() - 4)), "2C 3F 77 11");

    TMemoryCommPack pack;
    pack.Input = longest;
    EXPECT_EQ(pack.ReadPacket(static_cast<int>(longest.size())), 2049);

    // Dropped as soon as its length is read: its zero body bytes are hunted
    // through, and a frame right behind it is read.
    pack.Input = tooLong.first(4);
    EXPECT_EQ(pack.ReadPacket(4), 0);
    EXPECT_EQ(pack.ReceiveState(), 0);
    pack.Input = tooLong.sliced(4) + bytes(kFrame5);
    EXPECT_EQ(pack.ReadPacket(static_cast<int>(pack.Input.size())), 4);
}

TEST(ReceiveMachineTest, CountAboveTheWorkingBufferIsReadInPortions)
{
    // 3000 bytes of noise put the frame beyond the first 2100-byte portion.
    TMemoryCommPack pack;
    pack.Input = QByteArray(3000, '\x55') + bytes(kFrame5) + QByteArray(10, '\x55');
    EXPECT_EQ(pack.ReadPacket(static_cast<int>(pack.Input.size())), 4);
    // The bytes after the frame came in the same portion and are not looked at.
    EXPECT_EQ(pack.Input.size(), 0);

    TMemoryCommPack stream;
    const QByteArray frames = bytes(kFrame5) + QByteArray(2100 - 12, '\0') + frame6();
    stream.Input = frames;
    EXPECT_EQ(stream.ReadPacket(static_cast<int>(frames.size())), 4);
    EXPECT_EQ(hex(stream.Input), hex(frame6())) << "the next portion stays in the port";
    EXPECT_EQ(stream.ReadPacket(static_cast<int>(stream.Input.size())), 4);
    EXPECT_EQ(stream.InCom[0], 6);
}

TEST(ReceiveMachineTest, NothingWaitingReadsAsNoPacket)
{
    TMemoryCommPack pack;
    EXPECT_EQ(pack.ReadPacket(100), 0);
    EXPECT_EQ(pack.ReadPacket(0), 0);
    EXPECT_EQ(pack.ReadPacket(-5), 0);
}

}  // namespace
