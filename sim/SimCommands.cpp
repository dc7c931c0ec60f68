#include "sim/SimCommands.h"

#include "common/Cp1250.h"

#include <optional>

namespace {

constexpr int kMaxLateMs = 600000;

SimCommandResult failed(const QString &text)
{
    return {false, text, false};
}

SimCommandResult done(const QString &text = {})
{
    return {true, text, false};
}

std::optional<int> number(QStringView text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

// Hex bytes with or without spaces between them: "01 0A ff" or "010aff".
std::optional<QByteArray> hexBytes(QStringView text)
{
    QString digits = text.toString();
    digits.remove(u' ');
    if (digits.size() % 2 != 0)
        return std::nullopt;
    for (const QChar c : digits)
        if (!c.isDigit() && !QStringView(u"abcdefABCDEF").contains(c))
            return std::nullopt;
    return QByteArray::fromHex(digits.toLatin1());
}

// The first word of text; text keeps the rest, without leading spaces.
QStringView takeWord(QStringView &text)
{
    text = text.trimmed();
    const qsizetype space = text.indexOf(u' ');
    const QStringView word = space < 0 ? text : text.left(space);
    text = space < 0 ? QStringView() : text.sliced(space + 1).trimmed();
    return word;
}

// "on" or nothing switches a fault on, "off" switches it off.
SimCommandResult setSwitch(bool &fault, QStringView argument, const QString &name)
{
    if (argument.isEmpty() || argument.compare(u"on", Qt::CaseInsensitive) == 0)
        fault = true;
    else if (argument.compare(u"off", Qt::CaseInsensitive) == 0)
        fault = false;
    else
        return failed(name + QStringLiteral(": say on or off"));
    return done(name + (fault ? QStringLiteral(" on") : QStringLiteral(" off")));
}

SimCommandResult setRecord(ExchangeModel &model, QStringView argument)
{
    const auto structure = number(takeWord(argument), 0, Exchange::StructureCount - 1);
    const auto index = number(takeWord(argument), 0, 255);
    const auto data = hexBytes(argument);
    if (!structure || !index || !data)
        return failed(QStringLiteral("record: structure 0-26, index 0-255, then hex bytes"));
    QString error;
    if (!model.setRecord(*structure, *index, *data, &error))
        return failed(QStringLiteral("record: ") + error);
    return done(QStringLiteral("structure %1 record %2: %3 bytes").arg(*structure).arg(*index).arg(data->size()));
}

// "trap I someone@example.org|Subject|Text of the message"
SimCommandResult addTrap(ExchangeModel &model, QStringView argument)
{
    const QStringView type = takeWord(argument);
    const qsizetype first = argument.indexOf(u'|');
    const qsizetype second = first < 0 ? -1 : argument.indexOf(u'|', first + 1);
    const QByteArray letter = toCp1250(type.toString());
    if (type.size() != 1 || letter.size() != 1 || second < 0)
        return failed(QStringLiteral("trap: give a type letter and recipient|subject|text"));
    // The record separates recipient, subject and text by line feeds.
    QString text = argument.toString();
    text[first] = u'\n';
    text[second] = u'\n';
    const int index = model.addTrap(letter[0], toCp1250(text));
    if (index < 0)
        return failed(QStringLiteral("trap: all four TRAP records are taken"));
    return done(QStringLiteral("TRAP in record %1").arg(index));
}

SimCommandResult setLate(SimFaults &faults, QStringView argument)
{
    const auto ms = number(argument, 0, kMaxLateMs);
    if (!ms)
        return failed(QStringLiteral("late: give milliseconds, 0 to %1").arg(kMaxLateMs));
    faults.lateMs = *ms;
    return done(QStringLiteral("replies %1 ms late").arg(*ms));
}

SimCommandResult setError(SimFaults &faults, QStringView argument)
{
    const auto code = number(argument, 0, 255);
    if (!code)
        return failed(QStringLiteral("error: give a code 1-255, or 0 to answer normally"));
    faults.errorCode = *code;
    return done(*code ? QStringLiteral("replies carry error %1").arg(*code) : QStringLiteral("error replies off"));
}

}  // namespace

QString simCommandHelp()
{
    return QStringLiteral("lines N...              line numbers (1-3 of 1234567890*#FPSABCD); line status 0 per line\n"
                          "record S I HEX...       set record I of structure S (0-26) to the bytes\n"
                          "uct TEXT                queue an accounting line (GetUCT hands it out)\n"
                          "trap T RCPT|SUBJ|TEXT   put a TRAP of address type T into a free record of structure 1\n"
                          "silent / resume         stop answering / answer again\n"
                          "late MS                 answer MS milliseconds late (0: at once)\n"
                          "error CODE              answer every request with error CODE (0: normally)\n"
                          "crc|stuffing|garbage|bytewise|double [on|off]\n"
                          "                        wrong CRC, broken stuffing pair, garbage before the frame,\n"
                          "                        one byte per write, two frames in one write\n"
                          "normal                  all misbehaviour off\n"
                          "show                    what the exchange holds and what was written to it\n"
                          "help / quit");
}

SimCommandResult runSimCommand(ExchangeModel &model, SimFaults &faults, QStringView line)
{
    QString text = line.toString();
    text.replace(u'\t', u' ');
    QStringView argument = QStringView(text).trimmed();
    if (argument.isEmpty() || argument.startsWith(u'#'))
        return done();
    const QString keyword = takeWord(argument).toString().toLower();

    if (keyword == u"help")
        return done(simCommandHelp());
    if (keyword == u"quit")
        return {true, {}, true};
    if (keyword == u"show")
        return done(model.summary());
    if (keyword == u"lines") {
        QStringList numbers;
        for (const QStringView word : argument.split(u' ', Qt::SkipEmptyParts))
            numbers << word.toString();
        QString error;
        if (!model.setLineNumbers(numbers, &error))
            return failed(QStringLiteral("lines: ") + error);
        return done(QStringLiteral("%1 lines").arg(numbers.size()));
    }
    if (keyword == u"record")
        return setRecord(model, argument);
    if (keyword == u"uct") {
        if (argument.isEmpty())
            return failed(QStringLiteral("uct: give the line's text"));
        if (!model.addAccountingLine(toCp1250(argument.toString())))
            return failed(QStringLiteral("uct: the queue is full"));
        return done(QStringLiteral("%1 accounting lines waiting").arg(model.waitingAccountingLines()));
    }
    if (keyword == u"trap")
        return addTrap(model, argument);
    if (keyword == u"silent" || keyword == u"resume") {
        faults.silent = keyword == u"silent";
        return done(faults.silent ? QStringLiteral("silent") : QStringLiteral("answering"));
    }
    if (keyword == u"late")
        return setLate(faults, argument);
    if (keyword == u"error")
        return setError(faults, argument);
    if (keyword == u"crc")
        return setSwitch(faults.wrongCrc, argument, QStringLiteral("wrong CRC"));
    if (keyword == u"stuffing")
        return setSwitch(faults.brokenStuffing, argument, QStringLiteral("broken stuffing"));
    if (keyword == u"garbage")
        return setSwitch(faults.garbage, argument, QStringLiteral("garbage"));
    if (keyword == u"bytewise")
        return setSwitch(faults.bytewise, argument, QStringLiteral("one byte per write"));
    if (keyword == u"double")
        return setSwitch(faults.twoFrames, argument, QStringLiteral("two frames per write"));
    if (keyword == u"normal") {
        faults = SimFaults();
        return done(QStringLiteral("answering normally"));
    }
    return failed(QStringLiteral("unknown command \"%1\"; try help").arg(keyword));
}
