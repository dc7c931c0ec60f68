#include "common/Clock.h"

QDateTime SystemClock::now() const
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 minute = ms / 60000;
    if (minute != m_offsetMinute) {
        m_offsetMinute = minute;
        m_offsetSeconds = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, m_offsetSeconds);
}
