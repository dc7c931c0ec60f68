// Feeds arbitrary bytes, in arbitrary portions, to the packet link's
// receiver and checks that every packet it reports carries a correct CRC
// and fits its buffer; then checks that any message framed by the sender is
// read back unchanged.
//
// Input layout: a control byte, then the portion it announces, repeated.
// Control bits 0-5: portion size - 1; bit 6: size counts in 128-byte units
// (portions beyond the 2100-byte working buffer); bit 7: deliver what has
// arrived now rather than with the next portion.

#include "link/MemoryCommPack.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxCount = TComm::ReadBufSize;  // what the port reports at most

// Bit by bit, independent of the link's table.
quint32 referenceCrc(const quint8 *data, int count)
{
    quint32 crc = 0xFFFFFFFFu;
    for (int k = 0; k < count; ++k) {
        crc ^= data[k];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ ((crc & 1u) ? 0xEDB88320u : 0u);
    }
    return crc ^ 0xFFFFFFFFu;
}

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void checkPacket(const TCommPack &pack, int length)
{
    require(length > 0 && length <= TCommPack::MaxBody);
    const quint8 *crc = pack.InCom.data() + length;
    const quint32 carried = quint32(crc[0]) | quint32(crc[1]) << 8 | quint32(crc[2]) << 16 | quint32(crc[3]) << 24;
    require(referenceCrc(pack.InCom.data(), length) == carried);
}

// Delivers what waits the way the port layer does: the count waiting, again
// while the handler takes some but not all.
void deliver(TMemoryCommPack &pack)
{
    while (!pack.Input.isEmpty()) {
        const qsizetype before = pack.Input.size();
        const int length = pack.ReadPacket(static_cast<int>(std::min<qsizetype>(before, kMaxCount)));
        if (length > 0)
            checkPacket(pack, length);
        if (pack.Input.size() >= before)
            break;
    }
}

void checkRoundTrip(const uint8_t *data, size_t size)
{
    if (size == 0)
        return;
    const int count = static_cast<int>(std::min<size_t>(size - 1, TCommPack::MaxBody - 1));
    const QByteArray message(reinterpret_cast<const char *>(data + 1), count);
    TMemoryCommPack pack;
    pack.Input = TMemoryCommPack::Frame(data[0], message);
    require(pack.ReadPacket(static_cast<int>(pack.Input.size())) == count + 1);
    require(pack.InCom[0] == data[0]);
    require(std::memcmp(message.constData(), pack.InCom.data() + 1, static_cast<size_t>(count)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TMemoryCommPack pack;
    size_t at = 0;
    while (at < size) {
        const uint8_t control = data[at++];
        const size_t portion = std::min<size_t>(((control & 0x3Fu) + 1u) * ((control & 0x40u) ? 128u : 1u), size - at);
        pack.Input.append(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(portion));
        at += portion;
        if (control & 0x80u)
            deliver(pack);
    }
    deliver(pack);
    checkRoundTrip(data, size);
    return 0;
}
