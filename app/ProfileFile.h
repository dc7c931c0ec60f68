#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <stdexcept>

// Raised when Agent.ini cannot be written; the application's error display
// shows it.
class ProfileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Agent.ini with the semantics of the Windows profile functions: sections and
// keys match without regard to case, the first occurrence of a section or key
// counts, values are trimmed and may be quoted, text is code page 1250 on disk.
// A write replaces only the line of its key and replaces the whole file
// atomically, so a crash or a full disk never leaves half a file behind.
class ProfileFile {
public:
    static constexpr int MaxTextLength = 2047;

    explicit ProfileFile(QString path);

    const QString &path() const { return m_path; }
    bool exists() const { return m_exists; }

    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;

    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);

private:
    std::optional<QString> findValue(const QString &section, const QString &key) const;
    QByteArray currentContentOnDisk() const;
    void replaceFile(const QByteArray &content);

    QString m_path;
    QByteArray m_content;
    bool m_exists = false;
};

// Decimal, or hexadecimal after "0x"/"0X" when longer than two characters;
// anything else is not a number.
std::optional<int> parseProfileInteger(QStringView text);
