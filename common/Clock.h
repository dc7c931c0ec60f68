#pragma once

#include <QDateTime>

// The one place the agent reads the time of day, so tests can set it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Local time, read several times for each client request on a busy agent:
// the offset from UTC is looked up once a minute (offsets change only on
// whole minutes), not at every reading.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;

private:
    mutable qint64 m_offsetMinute = -1;
    mutable int m_offsetSeconds = 0;
};
