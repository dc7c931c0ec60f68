#pragma once

#include "link/Comm.h"
#include "link/Crc32.h"

#include <array>

// The packet link to the exchange. A frame is the start marks EE 23, the
// body length L (low byte first), the body (packet number, then the message)
// and the CRC-32 of the body (low byte first); every 0xEE after the marks
// travels doubled. The receiver picks frames with a correct CRC out of the
// byte stream, however it is split into reads.
class TCommPack : public TComm {
    Q_OBJECT
public:
    static constexpr int MaxBody = 2049;           // packet number + 2048 message bytes
    static constexpr int InComSize = MaxBody + 4;  // body and its CRC
    static constexpr int WorkBufferSize = 2100;    // what one read takes from the port
    static constexpr quint8 StartMark = 0xEE;
    static constexpr quint8 SecondMark = 0x23;

    explicit TCommPack(QObject *owner = nullptr);

    // Hands c to the port, twice when escape is set and c is 0xEE.
    int WriteChar(quint8 c, bool escape);
    static quint32 Update_CRC32(quint32 crc, quint8 b);
    // The CRC-32 of a body: the packet number followed by count bytes.
    static quint32 PacketCRC(quint8 number, const quint8 *data, int count);
    // One frame whose body is number followed by count bytes of data.
    void WritePacket(quint8 number, const quint8 *data, int count);
    // Reads up to count waiting bytes through the receive machine; L when a
    // packet with a correct CRC completed (its body is then in InCom), else 0.
    int ReadPacket(int count);
    bool AllocInCom();
    bool TestCRC();
    // The receive buffer is part of the component; nothing to release.
    void FreeInCom() { }
    // Applies a settings string "device:mode", e.g. "COM2:9600,N,8,1".
    void Set(const QString &settings);

    // The last packet's body (byte 0 its number) followed by its four CRC bytes.
    std::array<quint8, InComSize> InCom = {};

    quint8 ReceiveState() const { return m_receiveState; }

private:
    // One step of the receive machine; true when a packet has just completed.
    bool ReceiveByte(quint8 b);
    bool EndOfFrame();

    quint8 m_receiveState = 0;
    quint16 m_announcedLength = 0;
    quint16 m_receiveIndex = 0;
    quint32 m_runningCRC = crc32::Initial;
};
