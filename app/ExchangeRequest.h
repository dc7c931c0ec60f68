#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <cstdint>

// One request to the exchange, as it waits in the queue or for its reply.
struct ExchangeRequest {
    // A request record holds this many message bytes.
    static constexpr qsizetype MaxMessageLength = 256;

    char kind = 0;                // 'A', 'I', 'M', 'S', 'U', 'V'
    std::uint8_t firstByte = 0;   // the command; renders the reply
    qintptr socketHandle = 0;     // the client's connection for 'I', else 0
    QByteArray message;           // at most MaxMessageLength bytes

    static ExchangeRequest make(char kind, QByteArrayView bytes, qintptr socketHandle)
    {
        ExchangeRequest request;
        request.kind = kind;
        request.firstByte = bytes.isEmpty() ? 0 : static_cast<std::uint8_t>(bytes[0]);
        request.socketHandle = socketHandle;
        request.message = bytes.first(qMin(bytes.size(), MaxMessageLength)).toByteArray();
        return request;
    }
};
