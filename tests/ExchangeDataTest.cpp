#include "data/Data.h"
#include "data/DescribeMessage.h"
#include "data/ExchangeTables.h"
#include "support/Bytes.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(DescribeMessageTest, RendersRequestsAndReplies)
{
    const struct {
        bool asRequest;
        QByteArray message;
        int command;
        bool withData;
        const char *expected;
    } cases[] = {
        {true, bytes({0, 22, 0}), 0, false, "Čtení Stav linek"},
        {true, bytes({0, 14, 0}), 0, false, "Čtení Čísla linek"},
        {true, bytes({0, 1, 2}), 0, false, "Čtení SMS[2]"},
        {false, bytes({5, 1, 2}), 0, false, "SMS[2]Error 5: "},
        {true, bytes({4}), 0, false, "GetUCT"},
        {true, bytes({5, 9, 9}), 0, true, "RepUCT 9 9"},
        {false, bytes({3}), 4, false, "GetUCT Error 3: "},
        {false, bytes({0, 'a', 'b'}), 5, true, "RepUCT  97 98"},
        {true, bytes({9, 40, 0}), 0, false, "Cmd: 9 Str:40[0]"},
        {true, bytes({1, 17, 0, 2, 0, 1, 0}), 0, true, "Zápis Zprávy 2 0 1 0"},
        {true, bytes({0, 26, 0}), 0, false, "Čtení SYSProvoz"},
        {true, bytes({0, 27, 0}), 0, false, "Čtení Str:27[0]"},
        {true, bytes({0, 4, 7}), 0, false, "Čtení Oprávnění A[7]"},
        {true, bytes({0, 10, 0}), 0, false, "Čtení Oprávnění H"},
        {false, bytes({0, 14}), 0, false, "Čísla linek"},
        {false, bytes({0, 40}), 0, false, "Str:40"},
        {false, bytes({0, 40, 3}), 0, true, "Str:40[3]"},
        {false, bytes({0, 22, 0, 1, 2}), 0, true, "Stav linek 1 2"},
        {false, bytes({0}), 0, false, ""},
        {false, bytes({7}), 0, true, "Error 7: "},
        {false, bytes({2}), 2, false, "InfoError 2: "},
        {false, bytes({0, 5}), 3, true, "SaveEPROM 5"},
        {false, bytes({0}), 6, false, "SmažVolby"},
        {false, bytes({0, 1, 0, 255}), 200, true, "SMS 255"},
        // Header bytes a short request lacks count as 0.
        {true, bytes({0}), 0, true, "Čtení Global"},
        {true, bytes({1, 3}), 0, true, "Zápis Trasa"},
        {true, QByteArray(), 0, true, "Čtení Global"},
        {false, QByteArray(), 0, true, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DescribeMessage(c.asRequest, c.message, std::uint8_t(c.command), c.withData), QString::fromUtf8(c.expected))
            << c.message.toHex(' ').toStdString();
}

TEST(StructureTableTest, LifetimesAndNames)
{
    EXPECT_EQ(Exchange::structureLifetimeMs(0), 3600000);
    EXPECT_EQ(Exchange::structureLifetimeMs(22), 300);
    EXPECT_EQ(Exchange::structureLifetimeMs(11), 5000);
    EXPECT_EQ(Exchange::structureLifetimeMs(26), 60000);
    EXPECT_EQ(Exchange::structureLifetimeMs(27), 10);
    EXPECT_EQ(Exchange::structureLifetimeMs(255), 10);
    EXPECT_EQ(Exchange::structureName(10), "Oprávnění H");
    EXPECT_EQ(Exchange::structureName(23), "Masky zkr.voleb");
    EXPECT_EQ(Exchange::commandName(6), "SmažVolby");
}

TEST(RequestBuilderTest, OwnRequests)
{
    TData data;
    EXPECT_EQ(data.BuildLineStatusRequest(), bytes({0, 22, 0}));
    EXPECT_EQ(data.BuildLineNumbersRequest(), bytes({0, 14, 0}));
    EXPECT_EQ(data.BuildMailboxRequest(), bytes({1, 17, 0}));

    for (const int index : {0, 1, 2, 3, 0})
        EXPECT_EQ(data.BuildTrapRequest(), bytes({0, 1, index}));

    EXPECT_EQ(data.BuildAccountingRequest(), bytes({4}));
    data.RepeatAccounting = true;
    EXPECT_EQ(data.BuildAccountingRequest(), bytes({5}));

    const QByteArray acknowledgement = TData::BuildTrapAcknowledgement(3);
    EXPECT_EQ(acknowledgement.size(), 254);
    EXPECT_EQ(acknowledgement.left(3), bytes({1, 1, 3}));
    EXPECT_EQ(acknowledgement.mid(3), QByteArray(251, '\0'));
}

TEST(LineNumbersTest, DecodesTheExchangeDigits)
{
    TData data;
    data.LoadLineNumbers(bytes({0, 14, 0, 1, 0, 2, 10, 10, 10, 11, 12, 0}));
    ASSERT_EQ(data.LineCount(), 3);
    EXPECT_EQ(data.Lines()[0].Number, "1");
    EXPECT_EQ(data.Lines()[1].Number, "000");
    EXPECT_EQ(data.Lines()[2].Number, "*#");

    const struct {
        QByteArray codes;
        int count;
        const char *expected;
    } numbers[] = {
        {bytes({13, 14, 15}), 3, "FPS"},
        {bytes({16, 17, 18, 19}), 4, "ABCD"},
        {bytes({1, 20, 3}), 3, "1"},       // code 20 ends the number like code 0
        {bytes({1, 21, 255}), 3, "1??"},   // outside the table: matches no real line
        {bytes({9, 8, 7}), 2, "98"},
        {bytes({5}), 3, "5"},
    };
    for (const auto &n : numbers)
        EXPECT_EQ(TData::DecodeNumber(n.codes, n.count), QByteArray(n.expected));
}

TEST(LineNumbersTest, ReplyShapes)
{
    TData data;
    data.LoadLineNumbers(bytes({0, 14, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(data.LineCount(), 1) << "trailing bytes short of a number are ignored";

    data.LoadLineNumbers(bytes({7, 14, 0}));
    EXPECT_EQ(data.LineCount(), 1) << "an error reply keeps the table";

    data.LoadLineNumbers(bytes({0, 14}));
    EXPECT_EQ(data.LineCount(), 0);

    QByteArray many = bytes({0, 14, 0});
    for (int line = 0; line < 60; ++line)
        many += bytes({1 + line % 9, 1 + line / 9, 0});
    data.LoadLineNumbers(many);
    EXPECT_EQ(data.LineCount(), TData::MaxLines);
    EXPECT_EQ(data.Lines()[55].Number, "27");
    EXPECT_EQ(data.BuildMailboxRequest().size(), 3 + 4 * TData::MaxLines);
}

TEST(LineStatusTest, StoresTheWholeReply)
{
    TData data;
    EXPECT_EQ(data.LineStatusLength(), 0);
    data.StoreLineStatus(bytes({4, 22, 0}));
    EXPECT_EQ(data.LineStatus(), bytes({4, 22, 0}));

    const QByteArray longReply = bytes({0, 22, 0}) + QByteArray(600, 'x');
    data.StoreLineStatus(longReply);
    EXPECT_EQ(data.LineStatusLength(), 603);
    EXPECT_EQ(data.LineStatus(), longReply);
}

TEST(MailboxTest, CountersPerLine)
{
    TData data;
    data.LoadLineNumbers(bytes({0, 14, 0, 1, 0, 0, 2, 0, 0, 1, 0, 0}));
    data.SetMailbox("1", 2, 1, 0, 0);
    data.SetMailbox("2", 0, 0, 1, 0);
    data.SetMailbox("3", 9, 9, 9, 0);
    EXPECT_EQ(data.BuildMailboxRequest(), bytes({1, 17, 0, 2, 0, 1, 0, 0, 1, 0, 0}).append(4, '\0'));
    EXPECT_EQ(data.FindLine("1"), 0);
    EXPECT_EQ(data.FindLine("3"), TData::NoLine);

    data.AddMailbox("2", 256, 0, -1, 0);
    EXPECT_EQ(data.Lines()[1].Mailbox, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    data.AddMailbox("2", -1, 0, 0, 0);
    EXPECT_EQ(data.Lines()[1].Mailbox[0], 255);
    data.SetMailbox("1", 257, 0, 0, 0);
    EXPECT_EQ(data.Lines()[0].Mailbox[0], 1);

    data.ClearMailboxes();
    EXPECT_EQ(data.BuildMailboxRequest(), bytes({1, 17, 0}).append(12, '\0'));
}

}  // namespace
