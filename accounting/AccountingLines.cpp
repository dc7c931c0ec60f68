#include "accounting/AccountingLines.h"

void AccountingLines::append(QByteArray line)
{
    if (m_lines.size() >= MaxLines) {
        m_lines.pop_front();
        ++FirstLineNumber;
    }
    m_lines.push_back(std::move(line));
    ++NextLineNumber;
}

void AccountingLines::clear()
{
    m_lines.clear();
    FirstLineNumber = NextLineNumber = 0;
}
