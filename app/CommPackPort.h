#pragma once

#include "app/PollingCycle.h"
#include "link/CommPack.h"

// The packet link as the polling cycle sees it.
class CommPackPort final : public PacketPort {
public:
    explicit CommPackPort(TCommPack &commPack) : m_commPack(commPack) {}

    bool isPortOpen() const override { return m_commPack.IsOpen(); }
    // A write the port refuses is lost like a frame the exchange never heard:
    // the request times out and the link state machine deals with it.
    void sendPacket(std::uint8_t packetNumber, QByteArrayView message) override
    {
        try {
            m_commPack.WritePacket(packetNumber, reinterpret_cast<const quint8 *>(message.data()),
                                   static_cast<int>(message.size()));
        } catch (const ECommError &) {
        }
    }

private:
    TCommPack &m_commPack;
};
