#pragma once

#include "accounting/AccountingLines.h"

#include <QByteArrayView>
#include <QString>

struct AgentSettings;
class LogSink;
class TData;

// Stores one accounting line: true once it is on the disk. On failure the
// next request asks the exchange for the same line again.
bool AppendAccountingLine(TData &data, const QString &fileName, QByteArrayView line);

// Takes the exchange's accounting lines into the accounting file and the
// list that clients read from.
class AccountingDownload {
public:
    AccountingDownload(const AgentSettings &settings, LogSink &log, TData &data);

    // repeated: the reply answers RepUCT, the line that could not be stored.
    void HandleAccountingReply(QByteArrayView reply, bool repeated = false);

    AccountingLines lines;

private:
    const AgentSettings &m_settings;
    LogSink &m_log;
    TData &m_data;
};
