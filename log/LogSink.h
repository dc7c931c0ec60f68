#pragma once

#include <QString>

// Where every part of the agent reports: a log line with the status bar, the
// status bar alone, or the status bar's text as it is (socket events).
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void WriteLog(const QString &prefix, const QString &text) = 0;
    virtual void ShowStatus(const QString &prefix, const QString &text) = 0;
    virtual void SetStatusText(const QString &text) = 0;
};
