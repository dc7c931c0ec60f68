#pragma once

#include "data/Data.h"
#include "data/ExchangeTables.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <utility>

// What the simulated exchange knows and how it answers one request message.
// Structures 0 to 26 are records of bytes addressed by structure and record
// index; a record nobody set reads as no data. Defaults: lines 101 to 108 in
// structure 14, a line status byte of 0 per line in structure 22, four empty
// TRAP records in structure 1, no accounting line waiting.
class ExchangeModel {
public:
    // The simulator's own error numbers; the agent passes any number on.
    enum Error : quint8 { NoError = 0, UnknownCommand = 1, UnknownStructure = 2, UnknownRecord = 3, ShortRequest = 4 };

    static constexpr int MaxMessage = 2048;               // what one packet carries
    static constexpr int MaxRecordData = MaxMessage - 3;  // after error, structure, index
    static constexpr int MaxReplyLines = MaxRecordData / 3;
    static constexpr int MaxWaitingLines = 10000;

    ExchangeModel();

    // The reply message to a request message; it acts on the request (a write
    // is stored, GetUCT advances the accounting queue).
    QByteArray answer(QByteArrayView request);
    // A reply carrying only the error code (and structure and index for a
    // read or write), as when the exchange refuses the request.
    static QByteArray errorReply(QByteArrayView request, quint8 code);

    // Replaces the line numbers (each one to three characters of
    // "1234567890*#FPSABCD") and resets the line status to 0 per line.
    bool setLineNumbers(const QStringList &numbers, QString *error);
    const QStringList &lineNumbers() const { return m_lines; }
    bool setRecord(int structure, int index, const QByteArray &data, QString *error);
    QByteArray record(int structure, int index) const;

    // A line in the exchange's code page; longer than a packet holds is cut.
    bool addAccountingLine(const QByteArray &line);
    int waitingAccountingLines() const { return static_cast<int>(m_accounting.size()); }
    // Puts a TRAP into the first empty record of structure 1; its index, or
    // -1 when all four are taken. text is recipient LF subject LF message.
    int addTrap(char addressType, const QByteArray &text);

    // A readable account of the held data, for the "show" command.
    QString summary() const;
    // A message in the words of the agent's log, and what a reply carries.
    static QString describeRequest(QByteArrayView request);
    static QString describeReply(QByteArrayView request, QByteArrayView reply);

    // Three code bytes of the digit table, or nothing for a number that has none.
    static std::optional<QByteArray> encodeLineNumber(QStringView number);

private:
    using Key = std::pair<int, int>;
    static bool validRecord(int structure, int index);
    QByteArray answerRecord(QByteArrayView request);

    std::map<Key, QByteArray> m_records;
    std::set<Key> m_written;
    QStringList m_lines;
    std::deque<QByteArray> m_accounting;
    std::optional<QByteArray> m_lastAccounting;
};
