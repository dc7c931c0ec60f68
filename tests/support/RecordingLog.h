#pragma once

#include "log/LogSink.h"

#include <QStringList>

// Keeps what the code under test reported: each log line as "prefix text",
// and the status bar's last text.
class RecordingLog final : public LogSink {
public:
    void WriteLog(const QString &prefix, const QString &text) override
    {
        ShowStatus(prefix, text);
        lines << prefix + QLatin1Char(' ') + text;
    }
    void ShowStatus(const QString &prefix, const QString &text) override
    {
        SetStatusText(prefix + QStringLiteral("     ") + text);
    }
    void SetStatusText(const QString &text) override { status = text; }

    QStringList takeLines()
    {
        QStringList taken;
        taken.swap(lines);
        return taken;
    }

    QStringList lines;
    QString status;
};
