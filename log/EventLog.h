#pragma once

#include "log/LogSink.h"

#include <QDateTime>
#include <QString>

class Clock;
class QLabel;
class QListWidget;

// The agent's one reporting channel: a list of at most MaxLogLines time-stamped
// lines that keeps the newest line in view unless the user has selected an
// older one, and a status text that shows the latest event.
class EventLog final : public LogSink {
public:
    static constexpr int MaxLogLines = 500;

    EventLog(QListWidget &list, QLabel &status, const Clock &clock, bool mirrorToStderr);

    void WriteLog(const QString &prefix, const QString &text) override;
    void ShowStatus(const QString &prefix, const QString &text) override;
    void SetStatusText(const QString &text) override;
    void Clear();

private:
    int selectedRow() const;
    void selectRow(int row);

    QListWidget &m_list;
    QLabel &m_status;
    const Clock &m_clock;
    bool m_mirrorToStderr;
};

QString formatLogLine(const QDateTime &at, const QString &prefix, const QString &text);
