#pragma once

#include <QByteArray>

#include <deque>

// The most recent accounting lines, as the exchange sent them, by running
// number: line k is held while FirstLineNumber <= k < NextLineNumber.
class AccountingLines {
public:
    static constexpr int MaxLines = 201;

    void append(QByteArray line);
    bool isEmpty() const { return m_lines.empty(); }
    const QByteArray &line(qint32 number) const { return m_lines.at(static_cast<size_t>(number - FirstLineNumber)); }
    void clear();

    qint32 FirstLineNumber = 0;
    qint32 NextLineNumber = 0;

private:
    std::deque<QByteArray> m_lines;
};
