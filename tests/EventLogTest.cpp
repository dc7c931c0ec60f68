#include "log/EventLog.h"
#include "support/ManualClock.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

class EventLogTest : public ::testing::Test {
protected:
    int selectedRow() const
    {
        const auto rows = list.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }
    void fill(int lines)
    {
        for (int i = 0; i < lines; ++i)
            log.WriteLog("----", QString::number(i));
    }
    QString line(int row) const { return list.item(row)->text(); }

    ManualClock clock;
    QListWidget list;
    QLabel status;
    EventLog log{list, status, clock, false};
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
    EXPECT_EQ(status.text(), "<COM     Stav linek");
    EXPECT_EQ(list.count(), 0);

    log.WriteLog("<COM", "");
    EXPECT_EQ(status.text(), "<COM     ");
    EXPECT_EQ(line(0), "14:05:09.3  <COM ");
}

TEST_F(EventLogTest, EachLineReadsTheClockOnce)
{
    clock.setTime(QTime(23, 59, 59, 999));
    log.WriteLog("----", "a");
    clock.advance(1);
    log.WriteLog("----", "b");
    EXPECT_EQ(line(0), "23:59:59.9  ---- a");
    EXPECT_EQ(line(1), "0:00:00.0  ---- b");
}

TEST_F(EventLogTest, ViewFollowsTheNewestLineUntilTheUserSelectsAnother)
{
    log.WriteLog("----", "first");
    EXPECT_EQ(selectedRow(), 0);
    fill(3);
    EXPECT_EQ(selectedRow(), 3);

    list.setCurrentRow(1);
    fill(2);
    EXPECT_EQ(selectedRow(), 1);

    list.setCurrentRow(list.count() - 1);
    fill(1);
    EXPECT_EQ(selectedRow(), list.count() - 1);

    list.selectionModel()->clear();
    fill(1);
    EXPECT_EQ(selectedRow(), -1);
}

TEST_F(EventLogTest, FullListDropsTheOldestAndKeepsTheSelectedLine)
{
    fill(EventLog::MaxLogLines);
    list.setCurrentRow(4);
    const QString selected = line(4);

    log.WriteLog("----", "new");
    EXPECT_EQ(list.count(), EventLog::MaxLogLines);
    EXPECT_EQ(selectedRow(), 3);
    EXPECT_EQ(line(3), selected);
    EXPECT_EQ(line(0), "14:05:09.3  ---- 1");
}

TEST_F(EventLogTest, FullListDroppingTheSelectedLineStopsFollowing)
{
    fill(EventLog::MaxLogLines);
    list.setCurrentRow(0);

    log.WriteLog("----", "new");
    EXPECT_EQ(selectedRow(), -1);
    log.WriteLog("----", "newer");
    EXPECT_EQ(selectedRow(), -1);
    EXPECT_EQ(list.count(), EventLog::MaxLogLines);
}

TEST_F(EventLogTest, FullListKeepsFollowingTheNewestLine)
{
    fill(EventLog::MaxLogLines + 20);
    EXPECT_EQ(list.count(), EventLog::MaxLogLines);
    EXPECT_EQ(selectedRow(), EventLog::MaxLogLines - 1);
    EXPECT_EQ(list.item(selectedRow())->text(), "14:05:09.3  ---- 519");
}

}  // namespace
