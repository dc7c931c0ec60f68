#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// A timer with the habits of the window designer's timer: it runs while it is
// enabled and its period is above zero; a period of 0 (or less) never fires,
// and enabling a running timer does not restart its period.
class AgentTimer : public QObject {
    Q_OBJECT
public:
    explicit AgentTimer(std::function<void()> onTimer, QObject *parent = nullptr);

    void setInterval(int milliseconds);
    int interval() const { return m_interval; }

    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    bool isRunning() const { return m_timer.isActive(); }

private:
    void apply();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
};
