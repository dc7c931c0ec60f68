#include "link/MemoryCommPack.h"

#include <algorithm>

int TMemoryCommPack::Write(const quint8 *data, int count)
{
    if (count <= 0)
        return 0;
    Output.append(reinterpret_cast<const char *>(data), count);
    return count;
}

int TMemoryCommPack::Read(quint8 *data, int count)
{
    const int taken = std::clamp(count, 0, static_cast<int>(Input.size()));
    std::copy_n(Input.constData(), taken, reinterpret_cast<char *>(data));
    Input.remove(0, taken);
    return taken;
}

QByteArray TMemoryCommPack::Frame(quint8 number, QByteArrayView message)
{
    TMemoryCommPack encoder;
    encoder.WritePacket(number, reinterpret_cast<const quint8 *>(message.data()), static_cast<int>(message.size()));
    return encoder.Output;
}
