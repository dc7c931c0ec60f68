#pragma once

#include "log/LogListModel.h"
#include "log/LogSink.h"

#include <QDateTime>
#include <QString>
#include <QTimer>

#include <deque>

class Clock;
class QLabel;
class QListView;

// The agent's one reporting channel: a list of at most MaxLogLines time-stamped
// lines that keeps the newest line selected and in view unless the user has
// selected an older one, and a status text that shows the latest event.
//
// The lines, the selection and the status text are kept here and take effect
// at once; the window shows them at most ViewRefreshMs later, so that a busy
// agent pays for drawing a few times a second, not for every line.
class EventLog final : public LogSink {
public:
    static constexpr int MaxLogLines = 500;
    static constexpr int ViewRefreshMs = 100;

    EventLog(QListView &view, QLabel &status, const Clock &clock, bool mirrorToStderr);
    ~EventLog() override;
    EventLog(const EventLog &) = delete;
    EventLog &operator=(const EventLog &) = delete;

    void WriteLog(const QString &prefix, const QString &text) override;
    void ShowStatus(const QString &prefix, const QString &text) override;
    void SetStatusText(const QString &text) override;
    void Clear();

    int lineCount() const { return static_cast<int>(m_lines.size()); }
    const QString &line(int row) const { return m_lines.at(static_cast<size_t>(row)); }
    // The selected line, or -1 when none is.
    int selectedRow() const { return m_selected; }
    const QString &statusText() const { return m_statusText; }

    // Brings the window up to date now instead of at the next refresh.
    void refreshView();

private:
    void scheduleRefresh();
    void takeSelectionFromView();
    QString timeText(const QDateTime &at);

    QListView &m_view;
    QLabel &m_status;
    const Clock &m_clock;
    bool m_mirrorToStderr;

    std::deque<QString> m_lines;
    int m_selected = -1;
    QString m_statusText;

    // What the view's model lacks: lines dropped from its front and appended
    // at its end since the last refresh.
    LogListModel m_model;
    int m_droppedSinceRefresh = 0;
    int m_appendedSinceRefresh = 0;
    bool m_refreshing = false;
    QMetaObject::Connection m_selectionConnection;
    QTimer m_refreshTimer;

    // The time text changes once a second; it is built once a second.
    qint64 m_cachedSecond = -1;
    QString m_cachedTimeText;
};

QString formatLogLine(const QDateTime &at, const QString &prefix, const QString &text);
