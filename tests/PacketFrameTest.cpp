#include "link/MemoryCommPack.h"
#include "support/LinkSupport.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct FrameCase {
    const char *what;
    quint8 number;
    const char *message;
    const char *frame;
};

// Frames as they must appear on the wire, byte for byte.
const FrameCase kFrames[] = {
    {"line numbers request 'V' as packet 5", 5, "00 0E 00", "EE 23 04 00 05 00 0E 00 A0 02 19 88"},
    {"line status request 'A' as packet 238: the number doubled, the CRC over one byte", 238, "00 16 00",
        "EE 23 04 00 EE EE 00 16 00 C0 5C 7C 0B"},
    {"0xEE in the message goes out doubled, EE 23 as EE EE 23", 7, "01 EE 23",
        "EE 23 04 00 07 01 EE EE 23 82 22 CB DF"},
    {"a CRC byte 0xEE goes out doubled", 1, "00 00 01", "EE 23 04 00 01 00 00 01 EF 88 FF EE EE"},
    {"an empty message is a body of the number alone", 0, "", "EE 23 01 00 00 8D EF 02 D2"},
};

TEST(PacketFrameTest, FramesGoOutByteForByte)
{
    for (const FrameCase &c : kFrames) {
        SCOPED_TRACE(c.what);
        TMemoryCommPack pack;
        sendPacket(pack, c.number, bytes(c.message));
        EXPECT_EQ(hex(pack.Output), hex(bytes(c.frame)));
    }
}

TEST(PacketFrameTest, LengthOf0xEEGoesOutAsEEEE00)
{
    const QByteArray frame = TMemoryCommPack::Frame(9, QByteArray(0xED, '\0'));
    EXPECT_EQ(hex(frame.first(6)), "EE 23 EE EE 00 09");
    EXPECT_EQ(hex(frame.sliced(6, 0xED)), hex(QByteArray(0xED, '\0')));
    EXPECT_EQ(hex(frame.sliced(6 + 0xED)), "66 F5 3B 8C");
}

TEST(PacketFrameTest, CrcIsTheIeeeCrc32OfTheBody)
{
    const QByteArray check("123456789");
    EXPECT_EQ(TCommPack::PacketCRC('1', reinterpret_cast<const quint8 *>(check.constData()) + 1, 8), 0xCBF43926u);
    EXPECT_EQ(TCommPack::Update_CRC32(0xFFFFFFFFu, 0x00), 0x2DFD1072u);
}

TEST(PacketFrameTest, EveryFrameIsReadBackWhateverTheSplit)
{
    for (const FrameCase &c : kFrames) {
        SCOPED_TRACE(c.what);
        const QByteArray frame = bytes(c.frame);
        for (int split = 1; split <= frame.size(); ++split) {
            TMemoryCommPack pack;
            std::vector<int> results;
            for (int at = 0; at < frame.size(); at += split) {
                pack.Input = frame.mid(at, split);
                results.push_back(pack.ReadPacket(split));
            }
            const int length = static_cast<int>(bytes(c.message).size()) + 1;
            std::vector<int> expected(results.size(), 0);
            expected.back() = length;
            EXPECT_EQ(results, expected) << "portions of " << split;
            EXPECT_EQ(
                hex(QByteArrayView(pack.InCom.data(), length)), hex(QByteArray(1, char(c.number)) + bytes(c.message)));
        }
    }
}

}  // namespace
