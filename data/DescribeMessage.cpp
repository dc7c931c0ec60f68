#include "data/DescribeMessage.h"

#include "data/ExchangeTables.h"

using namespace Exchange;

namespace {

// Header bytes that a short message lacks are read as 0.
std::uint8_t byteAt(QByteArrayView message, qsizetype index)
{
    return index < message.size() ? static_cast<std::uint8_t>(message[index]) : 0;
}

QString withIndex(const QString &name, std::uint8_t index)
{
    return index != 0 ? name + u'[' + QString::number(index) + u']' : name;
}

// Returns the header length.
qsizetype describeRequest(QByteArrayView message, QString &out)
{
    const std::uint8_t command = byteAt(message, 0);
    if (command >= CmdInfo && command < CommandCount) {
        out += commandName(command);
        return 1;
    }
    out += command < CommandCount ? commandName(command) + u' '
                                  : QStringLiteral("Cmd: ") + QString::number(command) + u' ';
    const std::uint8_t structure = byteAt(message, 1);
    const std::uint8_t index = byteAt(message, 2);
    if (structure >= StructureCount)
        out += QStringLiteral("Str:%1[%2]").arg(structure).arg(index);
    else
        out += withIndex(structureName(structure), index);
    return 3;
}

qsizetype describeReply(QByteArrayView message, std::uint8_t command, QString &out)
{
    qsizetype header = 1;
    if (command == CmdInfo || command == CmdSaveEprom || command == CmdDeleteDialled) {
        out += commandName(command);
    } else if (command == CmdGetUct || command == CmdRepUct) {
        out += commandName(command) + u' ';
    } else if (message.size() >= 2) {
        const std::uint8_t structure = byteAt(message, 1);
        const QString name = structure < StructureCount ? structureName(structure)
                                                        : QStringLiteral("Str:") + QString::number(structure);
        if (message.size() >= 3) {
            out += withIndex(name, byteAt(message, 2));
            header = 3;
        } else {
            out += name;
            header = 2;
        }
    }
    const std::uint8_t error = byteAt(message, 0);
    if (error != 0)
        out += QStringLiteral("Error ") + QString::number(error) + QStringLiteral(": ");
    return header;
}

}  // namespace

QString DescribeMessage(bool asRequest, QByteArrayView message, std::uint8_t command, bool withData)
{
    QString out;
    const qsizetype header = asRequest ? describeRequest(message, out) : describeReply(message, command, out);
    if (withData) {
        for (qsizetype i = header; i < message.size(); ++i)
            out += u' ' + QString::number(static_cast<std::uint8_t>(message[i]));
    }
    return out;
}
