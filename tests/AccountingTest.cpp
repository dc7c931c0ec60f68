#include "accounting/AccountingDownload.h"
#include "app/AgentSettings.h"
#include "data/Data.h"
#include "support/FileSizeLimit.h"
#include "support/QtPrinters.h"
#include "support/RecordingLog.h"
#include "support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QByteArray reply(const QByteArray &line)
{
    return QByteArray(1, '\0') + line;
}

class AccountingTest : public ::testing::Test {
protected:
    AccountingTest() { settings.UctFile = dir.path("DATA.NEW"); }

    TempDir dir;
    AgentSettings settings;
    RecordingLog log;
    TData data;
    AccountingDownload download{settings, log, data};
};

TEST_F(AccountingTest, LinesLandInTheFileInOrderAsTheExchangeSentThem)
{
    download.HandleAccountingReply(reply("0001 12:00 123 \x9a"));
    download.HandleAccountingReply(reply("0002 12:01 124"));
    EXPECT_EQ(dir.read("DATA.NEW"), QByteArray("0001 12:00 123 \x9a\r\n0002 12:01 124\r\n"));
    EXPECT_EQ(log.lines, (QStringList{"<COM 0001 12:00 123 š", "<COM 0002 12:01 124"}));
    EXPECT_EQ(download.lines.FirstLineNumber, 0);
    EXPECT_EQ(download.lines.NextLineNumber, 2);
    EXPECT_EQ(download.lines.line(1), "0002 12:01 124");
    EXPECT_FALSE(data.RepeatAccounting);
}

TEST_F(AccountingTest, EmptyReplyChangesNothing)
{
    for (const QByteArray &empty : {QByteArray(1, '\0'), QByteArray()})
        download.HandleAccountingReply(empty);
    EXPECT_EQ(log.lines, (QStringList{"<COM Prázdný účtovací řádek", "<COM Prázdný účtovací řádek"}));
    settings.logFlags.Com_PureIn = false;
    settings.logFlags.Com_In = false;
    download.HandleAccountingReply(QByteArray(1, '\0'));
    download.HandleAccountingReply(reply("x"));
    EXPECT_EQ(log.lines.size(), 2);
    EXPECT_TRUE(download.lines.NextLineNumber == 1);
    EXPECT_EQ(dir.read("DATA.NEW"), "x\r\n");
}

TEST_F(AccountingTest, LineHeldByAnotherProgramIsFetchedAgainAndListedOnce)
{
    dir.write("DATA.NEW", "old\r\n");
    // A lock on a second open file, as another program's would be.
    const int other = ::open(QFile::encodeName(dir.path("DATA.NEW")).constData(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    download.HandleAccountingReply(reply("line 1"));
    EXPECT_TRUE(data.RepeatAccounting);
    EXPECT_EQ(data.BuildAccountingRequest(), QByteArray(1, '\5'));
    EXPECT_EQ(dir.read("DATA.NEW"), "old\r\n");
    EXPECT_EQ(download.lines.NextLineNumber, 1) << "clients still get the line";

    // A late answer to an earlier GetUCT is a new line, flag or not.
    download.HandleAccountingReply(reply("line 0"));
    EXPECT_EQ(download.lines.NextLineNumber, 2);

    ::close(other);
    download.HandleAccountingReply(reply("line 1"), true);
    EXPECT_FALSE(data.RepeatAccounting);
    EXPECT_EQ(data.BuildAccountingRequest(), QByteArray(1, '\4'));
    EXPECT_EQ(dir.read("DATA.NEW"), "old\r\nline 1\r\n");
    EXPECT_EQ(download.lines.NextLineNumber, 2) << "the repeated line is not listed twice";
}

TEST_F(AccountingTest, RemovedFileIsCreatedAgainAndMissingDirectoryFails)
{
    download.HandleAccountingReply(reply("a"));
    QFile::remove(dir.path("DATA.NEW"));
    download.HandleAccountingReply(reply("b"));
    EXPECT_EQ(dir.read("DATA.NEW"), "b\r\n");

    settings.UctFile = dir.path("missing/DATA.NEW");
    download.HandleAccountingReply(reply("c"));
    EXPECT_TRUE(data.RepeatAccounting);

    // A device is no accounting file: nothing it swallows is stored.
    data.RepeatAccounting = false;
    settings.UctFile = QStringLiteral("/dev/null");
    download.HandleAccountingReply(reply("d"));
    EXPECT_TRUE(data.RepeatAccounting);
}

TEST_F(AccountingTest, FullDiskLeavesNoPartialLine)
{
    dir.write("DATA.NEW", "0123456789\r\n");
    {
        const FileSizeLimit fullDisk(20);
        download.HandleAccountingReply(reply("a line longer than the room left"));
    }

    EXPECT_TRUE(data.RepeatAccounting);
    EXPECT_EQ(dir.read("DATA.NEW"), "0123456789\r\n");
}

TEST(AccountingLinesTest, HoldsTheNewest201)
{
    AccountingLines lines;
    for (int number = 0; number < 250; ++number)
        lines.append(QByteArray::number(number));
    EXPECT_EQ(lines.FirstLineNumber, 49);
    EXPECT_EQ(lines.NextLineNumber, 250);
    EXPECT_EQ(lines.line(49), "49");
    EXPECT_EQ(lines.line(249), "249");
}

}  // namespace
