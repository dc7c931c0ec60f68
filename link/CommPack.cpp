#include "link/CommPack.h"

#include "link/CommMode.h"

#include <algorithm>
#include <optional>

namespace {

// Receive machine states.
enum : quint8 {
    Hunting = 0,
    StartSeen = 1,
    LengthLow = 2,
    LengthLowWasEE = 20,
    LengthHigh = 3,
    LengthHighWasEE = 30,
    Body = 4,
    BodyWasEE = 40,
    LengthTooLarge = 200,
    StuffingOrCrcError = 201,
};

// The values each port setting accepts; anything else leaves it as it was.
std::optional<TBaudRate> acceptedBaudRate(int rate)
{
    static constexpr TBaudRate accepted[] = {
        TBaudRate::br110,
        TBaudRate::br300,
        TBaudRate::br600,
        TBaudRate::br1200,
        TBaudRate::br2400,
        TBaudRate::br4800,
        TBaudRate::br9600,
        TBaudRate::br14400,
        TBaudRate::br19200,
        TBaudRate::br38400,
        TBaudRate::br56000,
        TBaudRate::br57600,
        TBaudRate::br115200,
        TBaudRate::br128000,
        TBaudRate::br256000,
    };
    for (const TBaudRate candidate : accepted)
        if (static_cast<int>(candidate) == rate)
            return candidate;
    return std::nullopt;
}

std::optional<TDatabits> acceptedDatabits(int bits)
{
    if (bits < 4 || bits > 8)
        return std::nullopt;
    return static_cast<TDatabits>(bits);
}

std::optional<TStopbits> acceptedStopbits(int tenths)
{
    switch (tenths) {
    case 10:
        return TStopbits::sb10;
    case 15:
        return TStopbits::sb15;
    case 20:
        return TStopbits::sb20;
    default:
        return std::nullopt;
    }
}

std::optional<TParity> acceptedParity(char letter)
{
    switch (letter) {
    case 'N':
        return TParity::paNone;
    case 'O':
        return TParity::paOdd;
    case 'E':
        return TParity::paEven;
    case 'M':
        return TParity::paMark;
    default:
        return std::nullopt;  // space parity among them
    }
}

}  // namespace

TCommPack::TCommPack(QObject *owner)
    : TComm(owner)
{
}

int TCommPack::WriteChar(quint8 c, bool escape)
{
    int written = Write(&c, 1);
    if (escape && c == StartMark)
        written = Write(&c, 1);
    return written;
}

quint32 TCommPack::Update_CRC32(quint32 crc, quint8 b)
{
    return (crc >> 8) ^ crc32::Table[(crc ^ b) & 0xFFu];
}

quint32 TCommPack::PacketCRC(quint8 number, const quint8 *data, int count)
{
    quint32 crc = Update_CRC32(crc32::Initial, number);
    for (int k = 0; k < count; ++k)
        crc = Update_CRC32(crc, data[k]);
    return crc ^ crc32::FinalXor;
}

void TCommPack::WritePacket(quint8 number, const quint8 *data, int count)
{
    count = std::max(count, 0);
    WriteChar(StartMark, false);
    WriteChar(SecondMark, false);
    const int length = count + 1;
    WriteChar(static_cast<quint8>(length & 0xFF), true);
    WriteChar(static_cast<quint8>((length & 0xFFFF) >> 8), true);
    WriteChar(number, true);
    for (int k = 0; k < count; ++k)
        WriteChar(data[k], true);
    const quint32 crc = PacketCRC(number, data, count);
    for (int shift = 0; shift < 32; shift += 8)
        WriteChar(static_cast<quint8>(crc >> shift), true);
}

bool TCommPack::AllocInCom()
{
    if (m_announcedLength > MaxBody)
        return false;
    m_runningCRC = crc32::Initial;
    m_receiveIndex = 0;
    return true;
}

bool TCommPack::TestCRC()
{
    m_runningCRC ^= crc32::FinalXor;
    const int at = m_announcedLength;
    const quint32 received =
        quint32(InCom[at]) | quint32(InCom[at + 1]) << 8 | quint32(InCom[at + 2]) << 16 | quint32(InCom[at + 3]) << 24;
    return m_runningCRC == received;
}

int TCommPack::ReadPacket(int count)
{
    std::array<quint8, WorkBufferSize> buffer;
    // More than the working buffer holds is taken in portions, so no byte of
    // the stream is skipped.
    while (count > 0) {
        const int wanted = std::min(count, WorkBufferSize);
        const int got = std::min(Read(buffer.data(), wanted), wanted);
        if (got <= 0)
            return 0;
        for (int k = 0; k < got; ++k)
            if (ReceiveByte(buffer[k]))
                return m_announcedLength;  // the rest of this read is not looked at
        if (got < wanted)
            return 0;
        count -= got;
    }
    return 0;
}

bool TCommPack::EndOfFrame()
{
    if (TestCRC()) {
        m_receiveState = Hunting;
        return true;
    }
    m_receiveState = StuffingOrCrcError;
    return false;
}

bool TCommPack::ReceiveByte(quint8 b)
{
    bool complete = false;
    switch (m_receiveState) {
    case Hunting:
        if (b == StartMark)
            m_receiveState = StartSeen;
        break;
    case StartSeen:
        if (b == SecondMark)
            m_receiveState = LengthLow;
        else if (b != StartMark)
            m_receiveState = Hunting;
        break;
    case LengthLow:
        m_announcedLength = static_cast<quint16>((m_announcedLength & 0xFF00) | b);
        m_receiveState = b == StartMark ? LengthLowWasEE : LengthHigh;
        break;
    case LengthLowWasEE:
        if (b == SecondMark)
            m_receiveState = LengthLow;
        else if (b == StartMark)
            m_receiveState = LengthHigh;
        else
            m_receiveState = StuffingOrCrcError;
        break;
    case LengthHigh:
        m_announcedLength = static_cast<quint16>((m_announcedLength & 0x00FF) | (b << 8));
        if (b == StartMark)
            m_receiveState = LengthHighWasEE;
        else
            m_receiveState = AllocInCom() ? Body : LengthTooLarge;
        break;
    case LengthHighWasEE:
        if (b == SecondMark)
            m_receiveState = LengthLow;
        else if (b == StartMark)
            m_receiveState = AllocInCom() ? Body : LengthTooLarge;
        else
            m_receiveState = StuffingOrCrcError;
        break;
    case Body:
        // AllocInCom admitted at most MaxBody, and a frame ends when the
        // index reaches L + 4, so the index stays inside InCom.
        InCom[m_receiveIndex] = b;
        ++m_receiveIndex;
        if (m_receiveIndex <= m_announcedLength)
            m_runningCRC = Update_CRC32(m_runningCRC, b);
        if (b == StartMark)
            m_receiveState = BodyWasEE;
        else if (m_receiveIndex == m_announcedLength + 4)
            complete = EndOfFrame();
        break;
    case BodyWasEE:
        if (b == SecondMark) {
            FreeInCom();
            m_receiveState = LengthLow;
        } else if (b == StartMark) {
            if (m_receiveIndex == m_announcedLength + 4)
                complete = EndOfFrame();
            else
                m_receiveState = Body;
        } else {
            m_receiveState = StuffingOrCrcError;
        }
        break;
    default:
        m_receiveState = Hunting;
        break;
    }
    if (m_receiveState >= LengthTooLarge) {
        FreeInCom();
        m_receiveState = Hunting;
    }
    return complete;
}

void TCommPack::Set(const QString &settings)
{
    const qsizetype colon = settings.indexOf(u':');
    if (colon < 0)
        return;
    SetDeviceName(settings.left(colon));
    const std::optional<CommMode> mode = ParseCommMode(settings);
    if (!mode)
        return;
    // A value the string leaves out or the port does not accept changes nothing.
    const auto take = [this](const auto &parsed, auto accepted, auto set) {
        if (parsed)
            if (const auto value = accepted(*parsed))
                (this->*set)(*value);
    };
    take(mode->baudRate, acceptedBaudRate, &TComm::SetBaudRate);
    take(mode->dataBits, acceptedDatabits, &TComm::SetDatabits);
    take(mode->stopBitsTenths, acceptedStopbits, &TComm::SetStopbits);
    take(mode->parity, acceptedParity, &TComm::SetParity);
}
