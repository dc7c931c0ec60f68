#include "app/ProfileFile.h"

#include "common/Cp1250.h"

#include <QFile>
#include <QSaveFile>

#include <limits>

namespace {

// One physical line of the file: [start, end) holds its text, [end, next)
// its line break.
struct LineSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

enum class LineKind { Blank, Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;   // section or key name, trimmed
    QString value;  // key value, trimmed
};

ParsedLine parseLine(QByteArrayView bytes)
{
    const QString text = fromCp1250(bytes).trimmed();
    ParsedLine parsed;
    if (text.isEmpty()) {
        parsed.kind = LineKind::Blank;
        return parsed;
    }
    parsed.kind = LineKind::Other;
    if (text.startsWith(u'[')) {
        const qsizetype close = text.indexOf(u']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = text.mid(1, close - 1).trimmed();
        }
        return parsed;
    }
    if (text.startsWith(u';'))
        return parsed;
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0)
        return parsed;
    parsed.name = text.left(equals).trimmed();
    if (parsed.name.isEmpty())
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.value = text.mid(equals + 1).trimmed();
    return parsed;
}

template <typename Visit>
void forEachLine(const QByteArray &content, Visit visit)
{
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype newline = content.indexOf('\n', start);
        LineSpan span;
        span.start = start;
        span.next = newline < 0 ? content.size() : newline + 1;
        span.end = newline < 0 ? content.size() : newline;
        if (span.end > span.start && content.at(span.end - 1) == '\r')
            --span.end;
        if (!visit(span))
            return;
        start = span.next;
    }
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key of the first section of a name stands, or where a new key of
// that section belongs.
struct KeyLocation {
    bool sectionFound = false;
    qsizetype insertAt = 0;  // after the section's last non-blank line
    std::optional<LineSpan> keyLine;
    QString keyName;         // as spelled in the file
    QString value;
};

KeyLocation locateKey(const QByteArray &content, const QString &section, const QString &key)
{
    KeyLocation found;
    bool inSection = false;
    forEachLine(content, [&](const LineSpan &span) {
        const ParsedLine line = parseLine(QByteArrayView(content).sliced(span.start, span.end - span.start));
        if (line.kind == LineKind::Section) {
            if (inSection)
                return false;
            inSection = sameName(line.name, section);
            if (inSection) {
                found.sectionFound = true;
                found.insertAt = span.next;
            }
            return true;
        }
        if (!inSection)
            return true;
        if (line.kind != LineKind::Blank)
            found.insertAt = span.next;
        if (line.kind == LineKind::Key && !found.keyLine && sameName(line.name, key)) {
            found.keyLine = span;
            found.keyName = line.name;
            found.value = line.value;
        }
        return true;
    });
    return found;
}

QByteArray lineBreakOf(const QByteArray &content)
{
    if (content.contains("\r\n"))
        return "\r\n";
    if (content.contains('\n'))
        return "\n";
    return "\r\n";
}

QString unquoted(const QString &value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// A line break inside a value would start a line of its own in the file.
QString singleLine(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

}  // namespace

std::optional<int> parseProfileInteger(QStringView text)
{
    bool ok = false;
    if (text.size() > 2 && (text.startsWith(u"0x") || text.startsWith(u"0X"))) {
        const QStringView digits = text.sliced(2);
        if (digits.size() > 8 || digits.startsWith(u'+') || digits.startsWith(u'-'))
            return std::nullopt;
        const uint value = digits.toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        return static_cast<int>(value);
    }
    if (text.isEmpty() || text.front().isSpace() || text.back().isSpace())
        return std::nullopt;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
    QFile file(m_path);
    m_exists = file.exists();
    if (m_exists && file.open(QIODevice::ReadOnly))
        m_content = file.readAll();
}

std::optional<QString> ProfileFile::findValue(const QString &section, const QString &key) const
{
    const KeyLocation location = locateKey(m_content, section, key);
    if (!location.keyLine)
        return std::nullopt;
    return unquoted(location.value).left(MaxTextLength);
}

QString ProfileFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    return findValue(section, key).value_or(defaultValue);
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<QString> text = findValue(section, key);
    if (!text)
        return defaultValue;
    return parseProfileInteger(*text).value_or(defaultValue);
}

bool ProfileFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    QByteArray content = currentContentOnDisk();
    const QByteArray lineBreak = lineBreakOf(content);
    const KeyLocation location = locateKey(content, section, key);

    const QString keyName = location.keyLine ? location.keyName : key;
    const QByteArray keyLine = toCp1250(keyName + u'=' + singleLine(value));

    if (location.keyLine) {
        content.replace(location.keyLine->start, location.keyLine->end - location.keyLine->start, keyLine);
    } else if (location.sectionFound) {
        QByteArray insertion = keyLine + lineBreak;
        if (location.insertAt > 0 && content.at(location.insertAt - 1) != '\n')
            insertion.prepend(lineBreak);
        content.insert(location.insertAt, insertion);
    } else {
        if (!content.isEmpty() && !content.endsWith('\n'))
            content += lineBreak;
        if (!content.isEmpty())
            content += lineBreak;
        content += toCp1250(u'[' + section + u']') + lineBreak + keyLine + lineBreak;
    }
    replaceFile(content);
}

QByteArray ProfileFile::currentContentOnDisk() const
{
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw ProfileWriteError(QStringLiteral("Nelze číst soubor %1: %2").arg(m_path, file.errorString()).toStdString());
    return file.readAll();
}

void ProfileFile::replaceFile(const QByteArray &content)
{
    QSaveFile file(m_path);
    const auto fail = [&]() {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ProfileWriteError(QStringLiteral("Nelze zapsat soubor %1: %2").arg(m_path, reason).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        fail();
    if (file.write(content) != content.size())
        fail();
    if (!file.flush() || !file.commit())
        fail();
    m_content = content;
    m_exists = true;
}
