#include "app/ProfileFile.h"
#include "support/FileSizeLimit.h"
#include "support/QtPrinters.h"
#include "support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>


namespace {

struct ReadCase {
    const char *name;
    QByteArray content;
    const char *section;
    const char *key;
    QString expected;  // the text read, with "<default>" as default
};

class ProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, ReadsAsTheProfileFunctionsDo)
{
    const ReadCase &c = GetParam();
    TempDir dir;
    dir.write("Agent.ini", c.content);
    const ProfileFile profile(dir.path("Agent.ini"));
    EXPECT_EQ(profile.readString(c.section, c.key, "<default>"), c.expected) << c.name;
}

const QByteArray kLong = QByteArray(3000, 'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileReadTest,
    ::testing::Values(
        ReadCase{"section and key fold case", "[SET]\r\nport=COM1:9600,N,8,1\r\n", "Set", "Port", "COM1:9600,N,8,1"},
        ReadCase{"slash in a key", "[Log]\nTCP/IP_In=0\n", "Log", "TCP/IP_In", "0"},
        ReadCase{"spaces around key and value", "[Set]\n  Port  =  COM3  \n", "Set", "Port", "COM3"},
        ReadCase{"quotes are removed", "[Set]\nUctFile=\"C:\\uct\\DATA.NEW\"\n", "Set", "UctFile", "C:\\uct\\DATA.NEW"},
        ReadCase{"missing key", "[Set]\nPort=x\n", "Set", "UctFile", "<default>"},
        ReadCase{"missing section", "[Log]\nPort=x\n", "Set", "Port", "<default>"},
        ReadCase{"key before any section", "Port=x\n[Set]\n", "Set", "Port", "<default>"},
        ReadCase{"key without equals sign", "[Set]\nPort\n", "Set", "Port", "<default>"},
        ReadCase{"commented key", "[Set]\n;Port=x\n", "Set", "Port", "<default>"},
        ReadCase{"first duplicate key counts", "[Set]\nPort=first\nPort=second\n", "Set", "Port", "first"},
        ReadCase{"first duplicate section counts", "[Set]\nA=1\n[Set]\nPort=second\n", "Set", "Port", "<default>"},
        ReadCase{"empty value", "[Set]\nPort=\n", "Set", "Port", ""},
        ReadCase{"value cut to 2047 characters", "[Set]\nPort=" + kLong + "\n", "Set", "Port", QString(2047, u'a')},
        ReadCase{"code page 1250", "[Trapy]\nZpravaComOn=Obnovena komunikace s \xfast\xf8" "ednou\n", "Trapy",
                 "ZpravaComOn", QStringLiteral("Obnovena komunikace s ústřednou")},
        ReadCase{"binary bytes around",
                 QByteArray("\x00\xff\x01\n", 4) + "[Set]\n" + QByteArray("\x00\x02\n\xfe=\n", 6) + "Port=ok\n", "Set",
                 "Port", "ok"},
        ReadCase{"broken section header", "[Set\nPort=x\n", "Set", "Port", "<default>"}),
    [](const auto &info) {
        std::string name = info.param.name;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(ProfileIntegerTest, DecimalHexadecimalOrNothing)
{
    const struct {
        const char *text;
        std::optional<int> expected;
    } cases[] = {
        {"100", 100},        {"-5", -5},          {"+7", 7},           {"0", 0},
        {"0x1F", 31},        {"0X10", 16},        {"0xFFFFFFFF", -1},  {"0x7fffffff", 2147483647},
        {"0x", std::nullopt}, {"0xZZ", std::nullopt}, {"0x-1", std::nullopt}, {"0x123456789", std::nullopt},
        {"", std::nullopt},   {"12abc", std::nullopt}, {"1 2", std::nullopt}, {"2147483648", std::nullopt},
        {"-2147483648", std::numeric_limits<int>::min()}, {"$10", std::nullopt}, {"1.5", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseProfileInteger(QString::fromLatin1(c.text)), c.expected) << c.text;
}

TEST(ProfileIntegerTest, IntegersAndBooleansFallBackToTheirDefault)
{
    TempDir dir;
    dir.write("Agent.ini", "[Timer]\nMaxTick=0x0A\nMaxError=lots\n[Log]\nCom_In=2\nCom_Out=0\nExtent=yes\n");
    const ProfileFile profile(dir.path("Agent.ini"));
    EXPECT_EQ(profile.readInteger("Timer", "MaxTick", 9), 10);
    EXPECT_EQ(profile.readInteger("Timer", "MaxError", 6), 6);
    EXPECT_EQ(profile.readInteger("Timer", "Interval", 100), 100);
    EXPECT_TRUE(profile.readBool("Log", "Com_In", false));
    EXPECT_FALSE(profile.readBool("Log", "Com_Out", true));
    EXPECT_TRUE(profile.readBool("Log", "Extent", true));
    EXPECT_FALSE(profile.readBool("Log", "Extent", false));
}

struct WriteCase {
    const char *name;
    std::optional<QByteArray> before;  // none: no file
    const char *section;
    const char *key;
    QString value;
    QByteArray after;
};

class ProfileWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWriteTest, ChangesOnlyTheKeyLine)
{
    const WriteCase &c = GetParam();
    TempDir dir;
    if (c.before)
        dir.write("Agent.ini", *c.before);
    ProfileFile profile(dir.path("Agent.ini"));
    profile.writeString(c.section, c.key, c.value);
    EXPECT_EQ(dir.read("Agent.ini"), c.after) << c.name;
    EXPECT_EQ(profile.readString(c.section, c.key, "<default>"), c.value.simplified()) << c.name;
    EXPECT_EQ(ProfileFile(dir.path("Agent.ini")).readString(c.section, c.key, "<default>"), c.value.simplified());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWriteTest,
    ::testing::Values(
        WriteCase{"creates a missing file", std::nullopt, "Set", "Port", "COM1:9600,N,8,1",
                  "[Set]\r\nPort=COM1:9600,N,8,1\r\n"},
        WriteCase{"replaces the key in place and keeps everything else",
                  "; comment\n[log]\ncom_in = 1\ngarbage line\n[Set]\nCom_In=7\n", "Log", "Com_In", "0",
                  "; comment\n[log]\ncom_in=0\ngarbage line\n[Set]\nCom_In=7\n"},
        WriteCase{"adds a key after the section's last line", "[Log]\r\nA=1\r\n\r\n[Set]\r\nB=2\r\n", "Log",
                  "TCP/IP_Out", "1", "[Log]\r\nA=1\r\nTCP/IP_Out=1\r\n\r\n[Set]\r\nB=2\r\n"},
        WriteCase{"adds a key to a last section without line break", "[Set]\nA=1", "Set", "B", "2",
                  "[Set]\nA=1\nB=2\n"},
        WriteCase{"appends a missing section", "[Log]\nA=1", "Set", "Port", "x", "[Log]\nA=1\n\n[Set]\nPort=x\n"},
        WriteCase{"writes only the first of duplicate keys", "[Set]\nPort=a\nPort=b\n", "Set", "Port", "c",
                  "[Set]\nPort=c\nPort=b\n"},
        WriteCase{"writes code page 1250", std::nullopt, "Trapy", "Subject", QStringLiteral("Ústředna"),
                  "[Trapy]\r\nSubject=\xdast\xf8" "edna\r\n"},
        WriteCase{"a line break cannot start a new key", "[Set]\n", "Set", "UctFile", "a\nMaxCache=0",
                  "[Set]\nUctFile=a MaxCache=0\n"}),
    [](const auto &info) {
        std::string name = info.param.name;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(ProfileWriteFailureTest, DirectoryThatRefusesFilesRaisesAnError)
{
    // Even root cannot create files here.
    ProfileFile profile(QStringLiteral("/proc/self/Agent.ini"));
    EXPECT_THROW(profile.writeBool("Log", "Com_In", false), ProfileWriteError);
}

TEST(ProfileWriteFailureTest, FullDiskKeepsTheOldFileWhole)
{
    TempDir dir;
    const QByteArray before = "[Set]\nPort=COM2:9600,N,8,1\n";
    dir.write("Agent.ini", before);
    ProfileFile profile(dir.path("Agent.ini"));

    {
        const FileSizeLimit fullDisk(16);
        EXPECT_THROW(profile.writeString("Set", "UctFile", QString(200, u'x')), ProfileWriteError);
    }
    EXPECT_EQ(dir.read("Agent.ini"), before);
    EXPECT_EQ(QDir(QFileInfo(dir.path("Agent.ini")).absolutePath()).entryList(QDir::Files), QStringList{"Agent.ini"});
}

}  // namespace
