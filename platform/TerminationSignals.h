#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a call on the event loop, so a service
// manager that stops the agent gets the same orderly shut-down as the menu.
// Only one instance may exist at a time.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> onTerminate, QObject *parent = nullptr);
    ~TerminationSignals() override;

private:
    std::function<void()> m_onTerminate;
    QSocketNotifier *m_notifier = nullptr;
};
