#pragma once

#include "link/CommPack.h"

#include <QByteArray>

// The packet link over two byte buffers instead of a device: Input holds
// what the far side sent and is still to be read, Output what this side has
// written. The exchange simulator frames and reads its packets through it,
// and tests and the fuzz target drive the receiver with it.
class TMemoryCommPack final : public TCommPack {
    Q_OBJECT
public:
    using TCommPack::TCommPack;

    int Write(const quint8 *data, int count) override;
    int Read(quint8 *data, int count) override;

    // The bytes of one frame as they go on the wire.
    static QByteArray Frame(quint8 number, QByteArrayView message);

    QByteArray Input;
    QByteArray Output;
};
