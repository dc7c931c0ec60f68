#include "data/Data.h"

#include "data/ExchangeTables.h"

#include <algorithm>

using namespace Exchange;

namespace {

QByteArray readRequest(std::uint8_t structure, std::uint8_t index)
{
    const char bytes[] = {char(CmdRead), char(structure), char(index)};
    return QByteArray(bytes, sizeof bytes);
}

constexpr int kDigitTableEnd = sizeof(TData::DigitTable) - 1;  // code 20: the table's terminating zero

}  // namespace

QByteArray TData::BuildLineStatusRequest() const
{
    return readRequest(StructLineStatus, 0);
}

QByteArray TData::BuildLineNumbersRequest() const
{
    return readRequest(StructLineNumbers, 0);
}

QByteArray TData::BuildMailboxRequest() const
{
    QByteArray message;
    message.reserve(3 + 4 * m_lineCount);
    message.append(char(CmdWrite)).append(char(StructMessages)).append(char(0));
    for (int line = 0; line < m_lineCount; ++line)
        for (const std::uint8_t counter : m_lines[line].Mailbox)
            message.append(char(counter));
    return message;
}

QByteArray TData::BuildTrapRequest()
{
    const QByteArray message = readRequest(StructSms, TrapIndex);
    TrapIndex = static_cast<std::uint8_t>((TrapIndex + 1) % TrapRecordCount);
    return message;
}

QByteArray TData::BuildAccountingRequest() const
{
    return QByteArray(1, char(RepeatAccounting ? CmdRepUct : CmdGetUct));
}

QByteArray TData::BuildTrapAcknowledgement(std::uint8_t recordIndex)
{
    QByteArray message(TrapAcknowledgementLength, '\0');
    message[0] = char(CmdWrite);
    message[1] = char(StructSms);
    message[2] = char(recordIndex);
    return message;
}

void TData::StoreLineStatus(QByteArrayView reply)
{
    m_lineStatus = reply.toByteArray();
}

void TData::LoadLineNumbers(QByteArrayView reply)
{
    if (reply.isEmpty() || reply[0] != 0)
        return;
    const int announced = reply.size() >= 3 ? static_cast<int>((reply.size() - 3) / 3) : 0;
    // The table holds MaxLines lines, which is also all a mailbox message can carry.
    m_lineCount = std::min(announced, MaxLines);
    for (int line = 0; line < m_lineCount; ++line)
        m_lines[line].Number = DecodeNumber(reply.sliced(3 + 3 * line, 3), 3);
}

QByteArray TData::DecodeNumber(QByteArrayView codes, int count)
{
    QByteArray number;
    const qsizetype limit = std::min<qsizetype>(count, codes.size());
    for (qsizetype i = 0; i < limit; ++i) {
        const auto code = static_cast<std::uint8_t>(codes[i]);
        if (code == 0 || code == kDigitTableEnd)
            break;
        number.append(code < kDigitTableEnd ? DigitTable[code] : UnknownDigit);
    }
    return number;
}

std::uint8_t TData::FindLine(QByteArrayView number) const
{
    for (int line = 0; line < m_lineCount; ++line)
        if (m_lines[line].Number == number)
            return static_cast<std::uint8_t>(line);
    return NoLine;
}

void TData::ClearMailboxes()
{
    for (LineEntry &line : m_lines)
        line.Mailbox.fill(0);
}

void TData::SetMailbox(QByteArrayView number, int text, int fax, int voice, int spare)
{
    const std::uint8_t line = FindLine(number);
    if (line == NoLine)
        return;
    m_lines[line].Mailbox = {std::uint8_t(text), std::uint8_t(voice), std::uint8_t(fax), std::uint8_t(spare)};
}

void TData::AddMailbox(QByteArrayView number, int text, int fax, int voice, int spare)
{
    const std::uint8_t line = FindLine(number);
    if (line == NoLine)
        return;
    auto &mailbox = m_lines[line].Mailbox;
    const int added[] = {text, voice, fax, spare};
    for (size_t i = 0; i < mailbox.size(); ++i)
        mailbox[i] = std::uint8_t(mailbox[i] + added[i]);
}
