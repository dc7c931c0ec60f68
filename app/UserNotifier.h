#pragma once

#include <QString>

class LogSink;

// The boxes the agent shows the user. Where nobody can close a box (a
// headless run), the log carries the message instead.
class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    // A warning whose first line is its gist; further lines advise.
    virtual void warning(const QString &title, const QString &text) = 0;
    // The application's standard display of an error raised in a handler.
    virtual void error(const QString &text) = 0;
};

class MessageBoxNotifier final : public UserNotifier {
public:
    void warning(const QString &title, const QString &text) override;
    void error(const QString &text) override;
};

class LogNotifier final : public UserNotifier {
public:
    explicit LogNotifier(LogSink &log) : m_log(log) {}
    void warning(const QString &title, const QString &text) override;
    void error(const QString &text) override;

private:
    LogSink &m_log;
};

// True where no window can be seen (the offscreen and minimal platforms).
bool isHeadlessPlatform();
