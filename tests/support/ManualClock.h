#pragma once

#include "common/Clock.h"

// A clock that stands still until the test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(14, 5, 9, 372)))
        : m_now(std::move(start))
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &now) { m_now = now; }
    void setTime(const QTime &time) { m_now.setTime(time); }
    void advance(qint64 milliseconds) { m_now = m_now.addMSecs(milliseconds); }

private:
    QDateTime m_now;
};
