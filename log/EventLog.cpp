#include "log/EventLog.h"

#include "common/Clock.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>

#include <cstdio>

QString formatLogLine(const QDateTime &at, const QString &prefix, const QString &text)
{
    const QTime time = at.time();
    return time.toString(QStringLiteral("H:mm:ss")) + u'.' + QChar(u'0' + time.msec() / 100) + QStringLiteral("  ") + prefix + u' '
        + text;
}

EventLog::EventLog(QListWidget &list, QLabel &status, const Clock &clock, bool mirrorToStderr)
    : m_list(list)
    , m_status(status)
    , m_clock(clock)
    , m_mirrorToStderr(mirrorToStderr)
{
}

void EventLog::ShowStatus(const QString &prefix, const QString &text)
{
    SetStatusText(prefix + QStringLiteral("     ") + text);
}

void EventLog::SetStatusText(const QString &text)
{
    m_status.setText(text);
}

void EventLog::WriteLog(const QString &prefix, const QString &text)
{
    ShowStatus(prefix, text);
    const QString line = formatLogLine(m_clock.now(), prefix, text);
    if (m_mirrorToStderr) {
        const QByteArray utf8 = line.toUtf8() + '\n';
        std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stderr);
        std::fflush(stderr);
    }

    const bool follows = selectedRow() == m_list.count() - 1;
    m_list.addItem(line);
    if (follows) {
        selectRow(m_list.count() - 1);
        m_list.scrollToBottom();
    }

    if (m_list.count() > MaxLogLines) {
        const int remembered = selectedRow();
        selectRow(-1);
        delete m_list.takeItem(0);
        selectRow(remembered - 1);
    }
}

void EventLog::Clear()
{
    m_list.clear();
}

int EventLog::selectedRow() const
{
    const QModelIndexList rows = m_list.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void EventLog::selectRow(int row)
{
    if (row < 0) {
        m_list.selectionModel()->clear();
        return;
    }
    m_list.setCurrentRow(row);
}
