#include "log/EventLog.h"

#include "common/Clock.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>

#include <algorithm>
#include <cstdio>

namespace {

QString timeOfDayText(const QTime &time)
{
    return time.toString(QStringLiteral("H:mm:ss"));
}

QString composeLine(const QString &timeText, int tenths, const QString &prefix, const QString &text)
{
    QString line;
    line.reserve(timeText.size() + 4 + prefix.size() + text.size());
    line += timeText;
    line += u'.';
    line += QChar(u'0' + tenths);
    line += QLatin1String("  ");
    line += prefix;
    line += u' ';
    line += text;
    return line;
}

}  // namespace

QString formatLogLine(const QDateTime &at, const QString &prefix, const QString &text)
{
    const QTime time = at.time();
    return composeLine(timeOfDayText(time), time.msec() / 100, prefix, text);
}

EventLog::EventLog(QListView &view, QLabel &status, const Clock &clock, bool mirrorToStderr)
    : m_view(view)
    , m_status(status)
    , m_clock(clock)
    , m_mirrorToStderr(mirrorToStderr)
{
    m_view.setModel(&m_model);
    m_view.setSelectionMode(QAbstractItemView::SingleSelection);
    m_view.setUniformItemSizes(true);
    // The refresh scrolls to the newest line when the log follows it.
    m_view.setAutoScroll(false);
    m_selectionConnection = QObject::connect(m_view.selectionModel(), &QItemSelectionModel::selectionChanged,
                                             &m_view, [this]() { takeSelectionFromView(); });

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(ViewRefreshMs);
    QObject::connect(&m_refreshTimer, &QTimer::timeout, &m_view, [this]() { refreshView(); });
}

EventLog::~EventLog()
{
    // The view outlives the log in the window: it must not keep the model.
    QObject::disconnect(m_selectionConnection);
    m_view.setModel(nullptr);
}

void EventLog::ShowStatus(const QString &prefix, const QString &text)
{
    SetStatusText(prefix + QLatin1String("     ") + text);
}

void EventLog::SetStatusText(const QString &text)
{
    m_statusText = text;
    scheduleRefresh();
}

QString EventLog::timeText(const QDateTime &at)
{
    const qint64 second = at.toSecsSinceEpoch();
    if (second != m_cachedSecond) {
        m_cachedSecond = second;
        m_cachedTimeText = timeOfDayText(at.time());
    }
    return m_cachedTimeText;
}

void EventLog::WriteLog(const QString &prefix, const QString &text)
{
    ShowStatus(prefix, text);
    const QDateTime now = m_clock.now();
    QString line = composeLine(timeText(now), now.time().msec() / 100, prefix, text);
    if (m_mirrorToStderr) {
        const QByteArray utf8 = line.toUtf8() + '\n';
        std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stderr);
        std::fflush(stderr);
    }

    // The view follows the newest line while the last line (or, in an empty
    // list, no line) is selected.
    const bool follows = m_selected == lineCount() - 1;
    m_lines.push_back(std::move(line));
    ++m_appendedSinceRefresh;
    if (follows)
        m_selected = lineCount() - 1;

    if (lineCount() > MaxLogLines) {
        m_lines.pop_front();
        ++m_droppedSinceRefresh;
        // The same line stays selected; a dropped one leaves none selected.
        m_selected = m_selected > 0 ? m_selected - 1 : -1;
    }
}

void EventLog::Clear()
{
    m_lines.clear();
    m_selected = -1;
    m_droppedSinceRefresh = 0;
    m_appendedSinceRefresh = 0;
    m_refreshing = true;
    m_model.clear();
    m_refreshing = false;
}

void EventLog::scheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void EventLog::takeSelectionFromView()
{
    if (m_refreshing)
        return;
    // The user picked a row of the list as last shown; lines dropped since
    // then have moved every row up.
    const QModelIndexList rows = m_view.selectionModel()->selectedRows();
    const int shownRow = rows.isEmpty() ? -1 : rows.constFirst().row();
    const int row = shownRow - m_droppedSinceRefresh;
    m_selected = shownRow >= 0 && row >= 0 && row < lineCount() ? row : -1;
}

void EventLog::refreshView()
{
    m_refreshTimer.stop();
    m_refreshing = true;
    const int shown = m_model.count();
    if (m_droppedSinceRefresh >= shown || m_appendedSinceRefresh > MaxLogLines) {
        m_model.reset(m_lines);
    } else {
        m_model.removeFirst(m_droppedSinceRefresh);
        const int appended = std::min(m_appendedSinceRefresh, lineCount());
        m_model.append(m_lines.end() - appended, m_lines.end());
    }
    m_droppedSinceRefresh = 0;
    m_appendedSinceRefresh = 0;

    QItemSelectionModel &selection = *m_view.selectionModel();
    if (m_selected < 0) {
        selection.clear();
    } else {
        selection.setCurrentIndex(m_model.index(m_selected), QItemSelectionModel::ClearAndSelect);
        if (m_selected == lineCount() - 1)
            m_view.scrollToBottom();
    }
    m_status.setText(m_statusText);
    m_refreshing = false;
}
