#include "app/AgentTimer.h"

AgentTimer::AgentTimer(std::function<void()> onTimer, QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, std::move(onTimer));
}

void AgentTimer::setInterval(int milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    m_timer.stop();
    apply();
}

void AgentTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    apply();
}

void AgentTimer::apply()
{
    const bool shouldRun = m_enabled && m_interval > 0;
    if (!shouldRun) {
        m_timer.stop();
        return;
    }
    if (!m_timer.isActive()) {
        m_timer.setInterval(m_interval);
        m_timer.start();
    }
}
