#include "common/Clock.h"
#include "log/EventLog.h"
#include "support/ManualClock.h"
#include "support/QtPrinters.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>

#include <gtest/gtest.h>

namespace {

class EventLogTest : public ::testing::Test {
protected:
    void fill(int lines)
    {
        for (int i = 0; i < lines; ++i)
            log.WriteLog("----", QString::number(i));
    }
    // What the user does: a click on a line as the list shows it.
    void clickShownRow(int row)
    {
        view.selectionModel()->setCurrentIndex(view.model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    }
    int shownSelectedRow() const
    {
        const auto rows = view.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }

    ManualClock clock;
    QListView view;
    QLabel status;
    EventLog log{view, status, clock, false};
};

TEST(LogLineFormatTest, TimeTenthsPrefixAndText)
{
    const QDate day(2026, 3, 1);
    const struct {
        QTime time;
        const char *prefix;
        const char *text;
        const char *expected;
    } cases[] = {
        {QTime(14, 5, 9, 372), "<COM", "Stav linek", "14:05:09.3  <COM Stav linek"},
        {QTime(12, 0, 0, 999), "-OK-", "x", "12:00:00.9  -OK- x"},
        {QTime(12, 0, 1, 50), "-OK-", "x", "12:00:01.0  -OK- x"},
        {QTime(9, 5, 3, 0), "!Err", "x", "9:05:03.0  !Err x"},
        {QTime(0, 0, 0, 100), "<COM", "", "0:00:00.1  <COM "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatLogLine(QDateTime(day, c.time), c.prefix, c.text), QString::fromUtf8(c.expected));
}

TEST_F(EventLogTest, StatusBarShowsPrefixFiveSpacesAndText)
{
    log.ShowStatus("<COM", "Stav linek");
    EXPECT_EQ(log.statusText(), "<COM     Stav linek");
    EXPECT_EQ(log.lineCount(), 0);

    log.WriteLog("<COM", "");
    EXPECT_EQ(log.statusText(), "<COM     ");
    EXPECT_EQ(log.line(0), "14:05:09.3  <COM ");

    log.refreshView();
    EXPECT_EQ(status.text(), "<COM     ");
}

TEST_F(EventLogTest, EachLineReadsTheClockOnce)
{
    clock.setTime(QTime(23, 59, 59, 999));
    log.WriteLog("----", "a");
    clock.advance(1);
    log.WriteLog("----", "b");
    clock.advance(1000);
    log.WriteLog("----", "c");
    EXPECT_EQ(log.line(0), "23:59:59.9  ---- a");
    EXPECT_EQ(log.line(1), "0:00:00.0  ---- b");
    EXPECT_EQ(log.line(2), "0:00:01.0  ---- c");
}

TEST_F(EventLogTest, ViewFollowsTheNewestLineUntilTheUserSelectsAnother)
{
    log.WriteLog("----", "first");
    EXPECT_EQ(log.selectedRow(), 0);
    fill(3);
    EXPECT_EQ(log.selectedRow(), 3);
    log.refreshView();
    EXPECT_EQ(shownSelectedRow(), 3);

    clickShownRow(1);
    fill(2);
    EXPECT_EQ(log.selectedRow(), 1);

    log.refreshView();
    clickShownRow(log.lineCount() - 1);
    fill(1);
    EXPECT_EQ(log.selectedRow(), log.lineCount() - 1);

    view.selectionModel()->clear();
    fill(1);
    EXPECT_EQ(log.selectedRow(), -1);
    log.refreshView();
    EXPECT_EQ(shownSelectedRow(), -1);
    EXPECT_EQ(view.model()->rowCount(), log.lineCount());
}

TEST_F(EventLogTest, FullListDropsTheOldestAndKeepsTheSelectedLine)
{
    fill(EventLog::MaxLogLines);
    log.refreshView();
    clickShownRow(4);
    const QString selected = log.line(4);

    log.WriteLog("----", "new");
    EXPECT_EQ(log.lineCount(), EventLog::MaxLogLines);
    EXPECT_EQ(log.selectedRow(), 3);
    EXPECT_EQ(log.line(3), selected);
    EXPECT_EQ(log.line(0), "14:05:09.3  ---- 1");

    log.refreshView();
    EXPECT_EQ(shownSelectedRow(), 3);
    EXPECT_EQ(view.model()->index(3, 0).data().toString(), selected);
}

TEST_F(EventLogTest, FullListDroppingTheSelectedLineStopsFollowing)
{
    fill(EventLog::MaxLogLines);
    log.refreshView();
    clickShownRow(0);

    log.WriteLog("----", "new");
    EXPECT_EQ(log.selectedRow(), -1);
    log.WriteLog("----", "newer");
    EXPECT_EQ(log.selectedRow(), -1);
    EXPECT_EQ(log.lineCount(), EventLog::MaxLogLines);
}

TEST_F(EventLogTest, ClickBetweenRefreshesMeansTheLineTheUserSaw)
{
    fill(EventLog::MaxLogLines);
    log.refreshView();
    const QString seen = view.model()->index(10, 0).data().toString();
    fill(3);  // three lines dropped since the list was last shown
    clickShownRow(10);
    EXPECT_EQ(log.line(log.selectedRow()), seen);

    clickShownRow(1);  // a line that has gone meanwhile
    EXPECT_EQ(log.selectedRow(), -1);
}

TEST_F(EventLogTest, FullListKeepsFollowingTheNewestLineThroughBursts)
{
    fill(EventLog::MaxLogLines + 20);
    EXPECT_EQ(log.lineCount(), EventLog::MaxLogLines);
    EXPECT_EQ(log.selectedRow(), EventLog::MaxLogLines - 1);
    EXPECT_EQ(log.line(log.selectedRow()), "14:05:09.3  ---- 519");

    log.refreshView();
    fill(700);
    log.refreshView();
    EXPECT_EQ(view.model()->rowCount(), EventLog::MaxLogLines);
    EXPECT_EQ(shownSelectedRow(), EventLog::MaxLogLines - 1);
    EXPECT_EQ(view.model()->index(0, 0).data().toString(), log.line(0));
    EXPECT_EQ(view.model()->index(499, 0).data().toString(), "14:05:09.3  ---- 699");
}

}  // namespace

namespace {

TEST(SystemClockTest, ReadsTheLocalTimeOfDay)
{
    const SystemClock clock;
    for (int reading = 0; reading < 3; ++reading) {
        const QDateTime before = QDateTime::currentDateTime();
        const QDateTime now = clock.now();
        const QDateTime after = QDateTime::currentDateTime();
        EXPECT_LE(before.toMSecsSinceEpoch(), now.toMSecsSinceEpoch());
        EXPECT_LE(now.toMSecsSinceEpoch(), after.toMSecsSinceEpoch());
        EXPECT_EQ(now.offsetFromUtc(), after.offsetFromUtc());
        if (before.date() != after.date())
            continue;  // midnight passed between the readings
        EXPECT_LE(before.time().msecsTo(now.time()), 1000) << "wall-clock time, not UTC";
        EXPECT_GE(before.time().msecsTo(now.time()), 0);
    }
}

}  // namespace
