#pragma once

#include "app/AgentF.h"
#include "app/UserNotifier.h"
#include "support/ManualClock.h"
#include "support/TempDir.h"

#include <QStringList>

#include <memory>
#include <vector>

// Keeps the boxes a test's agent would show, and lets the test act while one is open.
class RecordingNotifier final : public UserNotifier {
public:
    struct Box {
        QString title;
        QString text;
    };
    void warning(const QString &title, const QString &text) override
    {
        warnings.push_back({title, text});
        if (whileOpen)
            whileOpen();
    }
    void error(const QString &text) override { errors.push_back(text); }

    std::vector<Box> warnings;
    QStringList errors;
    std::function<void()> whileOpen;
};

// One agent in-process with its own Agent.ini directory, an ephemeral port and a
// clock the test sets.
class AgentFixture {
public:
    AgentEnvironment environment() const
    {
        AgentEnvironment env;
        env.iniPath = dir.path("Agent.ini");
        env.listenPort = 0;
        env.clock = &clock;
        return env;
    }

    TForm1 &start(UserNotifier *notifier = nullptr)
    {
        AgentEnvironment env = environment();
        env.notifier = notifier;
        form = std::make_unique<TForm1>(env);
        return *form;
    }

    // Each log line without its time stamp: prefix, space, text.
    QStringList logEntries() const
    {
        QStringList entries;
        const EventLog &log = form->eventLog();
        for (int row = 0; row < log.lineCount(); ++row) {
            const QString line = log.line(row);
            entries << line.mid(line.indexOf(QStringLiteral("  ")) + 2);
        }
        return entries;
    }

    TempDir dir;
    ManualClock clock;
    std::unique_ptr<TForm1> form;
};
