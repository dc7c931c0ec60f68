#include "link/CommMode.h"

#include <QList>

namespace {

// Decimal digits only, no sign; nine digits keep every value inside an int.
std::optional<int> parseNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<char> parseParity(QStringView text)
{
    if (text.size() != 1)
        return std::nullopt;
    const char letter = static_cast<char>(text.front().toUpper().unicode());
    switch (letter) {
    case 'N':
    case 'O':
    case 'E':
    case 'M':
    case 'S':
        return letter;
    default:
        return std::nullopt;
    }
}

std::optional<int> parseStopBits(QStringView text)
{
    if (text == u"1")
        return 10;
    if (text == u"1.5")
        return 15;
    if (text == u"2")
        return 20;
    return std::nullopt;
}

// Stores a value that parsed; a field named twice or a value that did not
// parse rejects the whole mode.
template <typename T> bool take(std::optional<T> &field, const std::optional<T> &value)
{
    if (field || !value)
        return false;
    field = value;
    return true;
}

bool takeField(CommMode &mode, int position, QStringView text)
{
    switch (position) {
    case 0:
        return take(mode.baudRate, parseNumber(text));
    case 1:
        return take(mode.parity, parseParity(text));
    case 2:
        return take(mode.dataBits, parseNumber(text));
    case 3:
        return take(mode.stopBitsTenths, parseStopBits(text));
    default:
        return false;
    }
}

int keywordPosition(QStringView keyword)
{
    static constexpr const char16_t *keywords[] = {u"baud", u"parity", u"data", u"stop"};
    for (int position = 0; position < 4; ++position)
        if (keyword.compare(QStringView(keywords[position]), Qt::CaseInsensitive) == 0)
            return position;
    return -1;
}

std::optional<CommMode> parseKeywords(QStringView text)
{
    CommMode mode;
    for (const QStringView token : text.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype equals = token.indexOf(u'=');
        if (equals <= 0 || !takeField(mode, keywordPosition(token.left(equals)), token.mid(equals + 1)))
            return std::nullopt;
    }
    return mode;
}

std::optional<CommMode> parsePositional(QStringView text)
{
    const QList<QStringView> fields = text.split(u',');
    if (fields.size() > 4)
        return std::nullopt;
    CommMode mode;
    for (int position = 0; position < fields.size(); ++position)
        if (!takeField(mode, position, fields[position].trimmed()))
            return std::nullopt;
    return mode;
}

}  // namespace

std::optional<CommMode> ParseCommMode(QStringView settings)
{
    const qsizetype colon = settings.indexOf(u':');
    QString mode = (colon < 0 ? settings : settings.mid(colon + 1)).toString();
    mode.replace(u'\t', u' ');
    const QStringView trimmed = QStringView(mode).trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed.contains(u'=') ? parseKeywords(trimmed) : parsePositional(trimmed);
}
