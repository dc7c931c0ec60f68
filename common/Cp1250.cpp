#include "common/Cp1250.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
constexpr const char *kCodePage = "windows-1250";
}

QString fromCp1250(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

QByteArray toCp1250(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    return encoder.encode(text);
}
