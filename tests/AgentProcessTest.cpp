#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// The built program, started as a user's service manager would start it.
TEST(AgentProcessTest, StartsHeadlessLogsToStderrAndStopsOnSigterm)
{
    TempDir dir;
    const QString binDir = qEnvironmentVariable("AGENT_BIN_DIR");
    ASSERT_FALSE(binDir.isEmpty());
    ASSERT_TRUE(QFile::copy(binDir + "/Agent", dir.path("Agent")));
    QFile::setPermissions(dir.path("Agent"), QFileDevice::ExeOwner | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    dir.write("Agent.ini", "[Set]\r\nPort=COM2:9600,N,8,1\r\n");

    QProcess agent;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("AGENT_LOG_STDERR", "1");
    agent.setProcessEnvironment(env);
    agent.start(dir.path("Agent"), {});
    ASSERT_TRUE(agent.waitForStarted());

    // Qt may print warnings of its own on standard error; log lines carry a time stamp.
    const QRegularExpression logLine(R"(^\d{1,2}:\d\d:\d\d\.\d  (.*)$)");
    QByteArray output;
    const auto lines = [&]() {
        output += agent.readAllStandardError();
        QStringList result;
        for (const QString &line : QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts))
            if (const auto match = logLine.match(line); match.hasMatch())
                result << match.captured(1);
        return result;
    };
    const QStringList expected{"---- Start Tarvo Agent ----", "-OK- Otevření socketu TCP/IP"};
    EXPECT_TRUE(waitFor([&]() { return lines().size() >= 2; }, 20000));
    EXPECT_EQ(lines().mid(0, 2), expected);

    agent.terminate();
    ASSERT_TRUE(agent.waitForFinished(20000));
    EXPECT_EQ(agent.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(agent.exitCode(), 0) << agent.readAllStandardError().toStdString();
}

}  // namespace
