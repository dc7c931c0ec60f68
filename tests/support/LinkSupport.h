#pragma once

#include "link/CommPack.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

// Bytes as "EE 23 04", so a mismatch prints expected against received in hex.
inline QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex(' ').toUpper());
}

inline QByteArray bytes(const char *hexText)
{
    return QByteArray::fromHex(hexText);
}

inline void sendPacket(TCommPack &pack, quint8 number, const QByteArray &message)
{
    pack.WritePacket(number, reinterpret_cast<const quint8 *>(message.constData()), static_cast<int>(message.size()));
}

struct ReceivedPacket {
    quint8 number = 0;
    QByteArray message;
};

// Reads packets the way the main window does: on every OnRxChar, ReadPacket
// with the count waiting; keeps each packet it reports.
class PacketCollector {
public:
    explicit PacketCollector(TCommPack &pack)
        : m_pack(pack)
    {
        m_connection = QObject::connect(&pack, &TComm::OnRxChar, &pack, [this](TComm *, int count) {
            ++rxEvents;
            const int length = m_pack.ReadPacket(count);
            if (length > 0)
                packets.push_back(
                    {m_pack.InCom[0], QByteArray(reinterpret_cast<const char *>(&m_pack.InCom[1]), length - 1)});
        });
    }
    ~PacketCollector() { QObject::disconnect(m_connection); }
    PacketCollector(const PacketCollector &) = delete;
    PacketCollector &operator=(const PacketCollector &) = delete;

    bool has(quint8 number) const
    {
        for (const ReceivedPacket &packet : packets)
            if (packet.number == number)
                return true;
        return false;
    }

    std::vector<ReceivedPacket> packets;
    int rxEvents = 0;

private:
    TCommPack &m_pack;
    QMetaObject::Connection m_connection;
};
