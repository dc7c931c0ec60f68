#include "accounting/AccountingDownload.h"

#include "app/AgentSettings.h"
#include "common/Cp1250.h"
#include "data/Data.h"
#include "log/LogSink.h"
#include "platform/ExclusiveAppend.h"

bool AppendAccountingLine(TData &data, const QString &fileName, QByteArrayView line)
{
    QByteArray record = line.toByteArray();
    record.append("\r\n");
    const bool stored = appendExclusively(fileName, record);
    data.RepeatAccounting = !stored;
    return stored;
}

AccountingDownload::AccountingDownload(const AgentSettings &settings, LogSink &log, TData &data)
    : m_settings(settings)
    , m_log(log)
    , m_data(data)
{
}

void AccountingDownload::HandleAccountingReply(QByteArrayView reply, bool repeated)
{
    // Byte 0 is the error code; the whole rest is the line, however long.
    const QByteArrayView line = reply.isEmpty() ? QByteArrayView() : reply.sliced(1);
    if (line.isEmpty()) {
        if (m_settings.logFlags.Com_PureIn)
            m_log.WriteLog(QStringLiteral("<COM"), QStringLiteral("Prázdný účtovací řádek"));
        return;
    }
    if (m_settings.logFlags.Com_In)
        m_log.WriteLog(QStringLiteral("<COM"), fromCp1250(line));
    // After a failed store the exchange was asked for the same line again;
    // clients already have it in the list and must not get it twice.
    AppendAccountingLine(m_data, m_settings.UctFile, line);
    if (!repeated)
        lines.append(line.toByteArray());
}
