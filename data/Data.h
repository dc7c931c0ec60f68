#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

// One line of the exchange: its number as the exchange codes it (at most
// three characters) and the four mailbox counters the agent writes back.
struct LineEntry {
    QByteArray Number;
    std::array<std::uint8_t, 4> Mailbox{};
};

// The exchange data the agent keeps, and the requests it builds itself.
class TData {
public:
    static constexpr int MaxLines = 56;
    static constexpr int TrapRecordCount = 4;
    static constexpr std::uint8_t NoLine = 255;
    static constexpr int TrapAcknowledgementLength = 254;
    static constexpr char DigitTable[] = ".1234567890*#FPSABCD";
    // A code byte past the digit table yields this character: it can match no line.
    static constexpr char UnknownDigit = '?';

    // The requests of the agent's own kinds 'A', 'V', 'M', 'S', 'U'.
    QByteArray BuildLineStatusRequest() const;
    QByteArray BuildLineNumbersRequest() const;
    QByteArray BuildMailboxRequest() const;
    QByteArray BuildTrapRequest();   // advances TrapIndex
    QByteArray BuildAccountingRequest() const;
    static QByteArray BuildTrapAcknowledgement(std::uint8_t recordIndex);

    // The last line-status reply, whole, as clients are to receive it.
    void StoreLineStatus(QByteArrayView reply);
    const QByteArray &LineStatus() const { return m_lineStatus; }
    int LineStatusLength() const { return static_cast<int>(m_lineStatus.size()); }

    void LoadLineNumbers(QByteArrayView reply);
    static QByteArray DecodeNumber(QByteArrayView codes, int count);

    std::uint8_t FindLine(QByteArrayView number) const;
    void ClearMailboxes();
    void SetMailbox(QByteArrayView number, int text, int fax, int voice, int spare);
    void AddMailbox(QByteArrayView number, int text, int fax, int voice, int spare);

    const std::array<LineEntry, MaxLines> &Lines() const { return m_lines; }
    int LineCount() const { return m_lineCount; }

    std::uint8_t TrapIndex = 0;
    bool RepeatAccounting = false;

private:
    QByteArray m_lineStatus;
    std::array<LineEntry, MaxLines> m_lines{};
    int m_lineCount = 0;
};
