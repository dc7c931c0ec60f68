#include "sim/ExchangeModel.h"

#include "common/Cp1250.h"
#include "data/DescribeMessage.h"

using namespace Exchange;

namespace {

constexpr int kDigitCodes = sizeof(TData::DigitTable) - 1;  // codes 1 to 19 are digits
constexpr int kDefaultLines = 8;
constexpr int kTrapRecords = TData::TrapRecordCount;

QString quoted(QByteArrayView text)
{
    return u'"' + fromCp1250(text) + u'"';
}

// A TRAP record: address type letter (0 = empty), then recipient, subject
// and message separated by line feeds.
QString describeTrap(QByteArrayView data)
{
    if (data.isEmpty() || data[0] == '\0')
        return QStringLiteral("no TRAP");
    return QStringLiteral("TRAP type %1: ").arg(QChar::fromLatin1(data[0])) +
        quoted(data.sliced(1)).replace(u'\n', u'|');
}

QString describeLines(QByteArrayView data)
{
    QStringList lines;
    for (qsizetype at = 0; at + 3 <= data.size(); at += 3)
        lines << QString::fromLatin1(TData::DecodeNumber(data.sliced(at, 3), 3));
    return QStringLiteral("%1 lines: %2").arg(lines.size()).arg(lines.join(u' '));
}

QString structureLabel(int structure)
{
    return QStringLiteral("%1 (%2)").arg(structureName(static_cast<std::uint8_t>(structure))).arg(structure);
}

}  // namespace

ExchangeModel::ExchangeModel()
{
    QStringList lines;
    for (int k = 1; k <= kDefaultLines; ++k)
        lines << QString::number(100 + k);
    setLineNumbers(lines, nullptr);
    // An empty TRAP record reads as the address type 0.
    for (int index = 0; index < kTrapRecords; ++index)
        m_records[{StructSms, index}] = QByteArray(1, '\0');
}

bool ExchangeModel::validRecord(int structure, int index)
{
    if (structure < 0 || structure >= StructureCount || index < 0 || index > 255)
        return false;
    return structure != StructSms || index < kTrapRecords;
}

std::optional<QByteArray> ExchangeModel::encodeLineNumber(QStringView number)
{
    if (number.isEmpty() || number.size() > 3)
        return std::nullopt;
    QByteArray codes(3, '\0');
    for (int k = 0; k < number.size(); ++k) {
        const char16_t c = number[k].toUpper().unicode();
        int code = 1;
        while (code < kDigitCodes && TData::DigitTable[code] != c)
            ++code;
        if (code == kDigitCodes)
            return std::nullopt;
        codes[k] = static_cast<char>(code);
    }
    return codes;
}

bool ExchangeModel::setLineNumbers(const QStringList &numbers, QString *error)
{
    if (numbers.size() > MaxReplyLines) {
        if (error)
            *error = QStringLiteral("at most %1 lines fit in a reply").arg(MaxReplyLines);
        return false;
    }
    QByteArray coded;
    for (const QString &number : numbers) {
        const std::optional<QByteArray> codes = encodeLineNumber(number);
        if (!codes) {
            if (error)
                *error =
                    QStringLiteral("line number \"%1\" is not 1 to 3 characters of 1234567890*#FPSABCD").arg(number);
            return false;
        }
        coded += *codes;
    }
    m_lines = numbers;
    m_records[{StructLineNumbers, 0}] = coded;
    m_records[{StructLineStatus, 0}] = QByteArray(numbers.size(), '\0');
    return true;
}

bool ExchangeModel::setRecord(int structure, int index, const QByteArray &data, QString *error)
{
    if (!validRecord(structure, index)) {
        if (error)
            *error = QStringLiteral("no record %1 in structure %2").arg(index).arg(structure);
        return false;
    }
    if (data.size() > MaxRecordData) {
        if (error)
            *error = QStringLiteral("a record holds at most %1 bytes").arg(MaxRecordData);
        return false;
    }
    m_records[{structure, index}] = data;
    return true;
}

QByteArray ExchangeModel::record(int structure, int index) const
{
    const auto found = m_records.find({structure, index});
    return found == m_records.end() ? QByteArray() : found->second;
}

bool ExchangeModel::addAccountingLine(const QByteArray &line)
{
    if (m_accounting.size() >= MaxWaitingLines)
        return false;
    m_accounting.push_back(line.left(MaxMessage - 1));
    return true;
}

int ExchangeModel::addTrap(char addressType, const QByteArray &text)
{
    for (int index = 0; index < kTrapRecords; ++index) {
        const QByteArray current = record(StructSms, index);
        if (current.isEmpty() || current[0] == '\0') {
            m_records[{StructSms, index}] = (QByteArray(1, addressType) + text).left(MaxRecordData);
            return index;
        }
    }
    return -1;
}

QByteArray ExchangeModel::errorReply(QByteArrayView request, quint8 code)
{
    QByteArray reply(1, static_cast<char>(code));
    if (request.size() >= 3 &&
        (static_cast<quint8>(request[0]) == CmdRead || static_cast<quint8>(request[0]) == CmdWrite))
        reply += request.sliced(1, 2);
    return reply;
}

QByteArray ExchangeModel::answer(QByteArrayView request)
{
    if (request.isEmpty())
        return errorReply(request, ShortRequest);
    const QByteArray ok(1, static_cast<char>(NoError));
    switch (static_cast<quint8>(request[0])) {
    case CmdRead:
    case CmdWrite:
        return answerRecord(request);
    case CmdInfo:
        return ok + QByteArrayLiteral("Tarvo exchange simulator");
    case CmdSaveEprom:
    case CmdDeleteDialled:
        return ok;
    case CmdGetUct:
        // An empty queue answers with the error byte alone: no line waiting.
        if (m_accounting.empty())
            return ok;
        m_lastAccounting = m_accounting.front();
        m_accounting.pop_front();
        return ok + *m_lastAccounting;
    case CmdRepUct:
        return ok + m_lastAccounting.value_or(QByteArray());
    default:
        return errorReply(request, UnknownCommand);
    }
}

QByteArray ExchangeModel::answerRecord(QByteArrayView request)
{
    if (request.size() < 3)
        return errorReply(request, ShortRequest);
    const int structure = static_cast<quint8>(request[1]);
    const int index = static_cast<quint8>(request[2]);
    if (structure >= StructureCount)
        return errorReply(request, UnknownStructure);
    if (!validRecord(structure, index))
        return errorReply(request, UnknownRecord);
    QByteArray reply = errorReply(request, NoError);
    if (static_cast<quint8>(request[0]) == CmdRead)
        return reply + record(structure, index);
    const QByteArrayView data = request.sliced(3);
    m_records[{structure, index}] = data.first(std::min<qsizetype>(data.size(), MaxRecordData)).toByteArray();
    m_written.insert({structure, index});
    return reply;
}

QString ExchangeModel::describeRequest(QByteArrayView request)
{
    return request.isEmpty() ? QStringLiteral("(no message)") : DescribeMessage(true, request, 0, false);
}

QString ExchangeModel::describeReply(QByteArrayView request, QByteArrayView reply)
{
    const std::uint8_t command = request.isEmpty() ? CommandCount : static_cast<std::uint8_t>(request[0]);
    const QString words = DescribeMessage(false, reply, command, false).trimmed();
    QString detail;
    if (!reply.isEmpty() && reply[0] == NoError) {
        if (command == CmdGetUct || command == CmdRepUct)
            detail = reply.size() == 1 ? QStringLiteral("no line waiting") : quoted(reply.sliced(1));
        else if (command == CmdWrite)
            detail = QStringLiteral("written");
        else if (command == CmdRead && reply.size() >= 3 && static_cast<quint8>(reply[1]) == StructLineNumbers)
            detail = describeLines(reply.sliced(3));
        else if (command == CmdRead && reply.size() >= 3 && static_cast<quint8>(reply[1]) == StructSms)
            detail = describeTrap(reply.sliced(3));
        else if (reply.size() > 3)
            detail = QStringLiteral("%1 data bytes").arg(reply.size() - 3);
    }
    return detail.isEmpty() ? words : words + QStringLiteral("  ") + detail;
}

QString ExchangeModel::summary() const
{
    QStringList out;
    out << QStringLiteral("lines: %1").arg(m_lines.join(u' '));
    out << QStringLiteral("accounting lines waiting: %1, last handed out: %2")
               .arg(m_accounting.size())
               .arg(m_lastAccounting ? quoted(*m_lastAccounting) : QStringLiteral("none"));
    for (int index = 0; index < kTrapRecords; ++index)
        out << QStringLiteral("TRAP record %1: %2").arg(index).arg(describeTrap(record(StructSms, index)));
    for (const Key &key : m_written) {
        const QByteArray data = record(key.first, key.second);
        out << QStringLiteral("written %1 record %2: %3")
                   .arg(structureLabel(key.first))
                   .arg(key.second)
                   .arg(QString::fromLatin1(data.toHex(' ').toUpper()));
        if (key == Key {StructMessages, 0})
            for (int line = 0; line < m_lines.size() && 4 * line + 4 <= data.size(); ++line)
                out << QStringLiteral("  line %1 mailboxes: %2")
                           .arg(m_lines[line])
                           .arg(QString::fromLatin1(data.mid(4 * line, 4).toHex(' ').toUpper()));
    }
    return out.join(u'\n');
}
