#include "sim/ReplyFrames.h"

#include "link/MemoryCommPack.h"

namespace {

constexpr quint8 EE = TCommPack::StartMark;

// The stuffed length field follows the two start marks.
qsizetype bodyOffset(const QByteArray &reply)
{
    const int length = static_cast<int>(reply.size()) + 1;
    return 2 + ((length & 0xFF) == EE ? 2 : 1) + (((length >> 8) & 0xFF) == EE ? 2 : 1);
}

// The frame with its CRC bytes replaced by those of a different CRC, still
// stuffed as the link stuffs them.
QByteArray withWrongCrc(quint8 number, const QByteArray &reply)
{
    TMemoryCommPack framer;
    framer.WritePacket(number, reinterpret_cast<const quint8 *>(reply.constData()), static_cast<int>(reply.size()));
    const quint32 crc = TCommPack::PacketCRC(
        number, reinterpret_cast<const quint8 *>(reply.constData()), static_cast<int>(reply.size()));
    for (int shift = 0; shift < 32; shift += 8)
        framer.Output.chop(static_cast<quint8>(crc >> shift) == EE ? 2 : 1);
    const quint32 wrong = crc ^ 0x00000001u;
    for (int shift = 0; shift < 32; shift += 8)
        framer.WriteChar(static_cast<quint8>(wrong >> shift), true);
    return framer.Output;
}

}  // namespace

QByteArray garbageBytes()
{
    return QByteArray::fromHex("00 55 EE 41 FF EE EE 10 23 42 0D 0A");
}

std::vector<QByteArray> replyWrites(quint8 number, const QByteArray &reply, const SimFaults &faults)
{
    QByteArray frame = faults.wrongCrc ? withWrongCrc(number, reply) : TMemoryCommPack::Frame(number, reply);
    if (faults.brokenStuffing)
        frame.insert(bodyOffset(reply), QByteArray::fromHex("EE 00"));
    QByteArray bytes = faults.garbage ? garbageBytes() + frame : frame;
    if (faults.twoFrames)
        bytes += frame;
    if (!faults.bytewise)
        return {bytes};
    std::vector<QByteArray> writes;
    for (const char byte : bytes)
        writes.emplace_back(1, byte);
    return writes;
}
