#include "app/ProfileFile.h"
#include "app/TApplication.h"
#include "support/AgentFixture.h"
#include "support/WaitFor.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using Entries = QStringList;

// The form that is still running its start-up, as a box open inside it sees it.
TForm1 *formUnderConstruction()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *form = qobject_cast<TForm1 *>(widget))
            return form;
    return nullptr;
}

TEST(StartUpTest, ReadsAgentIniAndOpensTheSocket)
{
    AgentFixture agent;
    agent.dir.write("Agent.ini", "[Set]\r\nPort=/nonexistent/exchange:19200,E,7,2\r\nMaxCache=0x20\r\nSendUct=1\r\nUctFile=UCT.TXT\r\n"
                                 "[Log]\r\nCom_In=0\r\nTCP/IP_Out=1\r\nExtent=1\r\n"
                                 "[Timer]\r\nInterval=50\r\nMaxTick=-1\r\nMaxError=abc\r\n");
    RecordingNotifier boxes;
    TForm1 &form = agent.start(&boxes);

    EXPECT_EQ(agent.logEntries(), (Entries{"---- Start Tarvo Agent ----", "-OK- Otevření socketu TCP/IP",
                                           "!Err Chyba otevření sériového portu /nonexistent/exchange:19200,E,7,2"}));
    EXPECT_TRUE(boxes.warnings.empty());
    EXPECT_TRUE(form.serverSocket().isListening());

    const AgentSettings &s = form.settings;
    EXPECT_EQ(s.Port, "/nonexistent/exchange:19200,E,7,2");
    EXPECT_EQ(s.MaxCache, 32);
    EXPECT_TRUE(s.ReadUct);
    EXPECT_TRUE(s.SendUct);
    EXPECT_EQ(s.UctFile, "UCT.TXT");
    EXPECT_FALSE(s.logFlags.Com_In);
    EXPECT_TRUE(s.logFlags.Com_PureIn);
    EXPECT_TRUE(s.logFlags.TCP_IP_Out);
    EXPECT_TRUE(s.logFlags.Extent);
    EXPECT_EQ(s.Interval, 50);
    EXPECT_EQ(s.MaxTick, -1);
    EXPECT_EQ(s.MaxError, 6);
    EXPECT_EQ(s.MaxErrorTick, 600);

    EXPECT_TRUE(form.timerTick().isRunning());
    EXPECT_EQ(form.timerTick().interval(), 50);
}

TEST(StartUpTest, MissingAgentIniWarnsOnceAndUsesTheDefaults)
{
    AgentFixture agent;
    RecordingNotifier boxes;
    bool tickRunningDuringBox = true;
    boxes.whileOpen = [&]() { tickRunningDuringBox = formUnderConstruction()->timerTick().isRunning(); };
    TForm1 &form = agent.start(&boxes);

    ASSERT_EQ(boxes.warnings.size(), 1u);
    EXPECT_EQ(boxes.warnings[0].title, "Upozornění");
    EXPECT_EQ(boxes.warnings[0].text, "Neexistuje soubor Agent.ini\nProjděte položky v menu Nastavení");
    EXPECT_FALSE(tickRunningDuringBox);

    EXPECT_EQ(form.settings.Port, "COM2:9600,N,8,1");
    EXPECT_EQ(form.settings.Interval, 100);
    EXPECT_EQ(form.settings.MaxTick, 9);
    EXPECT_EQ(form.settings.MaxCache, 110);
    EXPECT_EQ(form.settings.UctFile, "DATA.NEW");
    EXPECT_TRUE(form.settings.logFlags.Com_In);
    EXPECT_FALSE(form.settings.logFlags.Com_LocOut);
    EXPECT_EQ(form.timerTick().interval(), 100);
    EXPECT_FALSE(agent.dir.exists("Agent.ini"));
}

TEST(StartUpTest, HeadlessRunLogsTheMissingFileInsteadOfABox)
{
    AgentFixture agent;
    agent.start();
    // The default port's line follows; whether COM2 exists depends on the machine.
    EXPECT_EQ(agent.logEntries().mid(0, 3), (Entries{"---- Start Tarvo Agent ----", "-OK- Otevření socketu TCP/IP",
                                                     "!Err Neexistuje soubor Agent.ini"}));
}

TEST(StartUpTest, PortInUseLeavesTheAgentWithoutTcpService)
{
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::AnyIPv4, 0));
    AgentFixture agent;
    agent.dir.write("Agent.ini", "[Set]\nPort=/nonexistent/tty:9600,N,8,1\n");
    AgentEnvironment env = agent.environment();
    env.listenPort = occupant.serverPort();
    RecordingNotifier boxes;
    env.notifier = &boxes;

    agent.form = std::make_unique<TForm1>(env);
    EXPECT_EQ(agent.logEntries().mid(0, 2), (Entries{"---- Start Tarvo Agent ----", "!Err Chyba otevření socketu TCP/IP"}));
    EXPECT_FALSE(agent.form->serverSocket().isListening());
    EXPECT_TRUE(agent.form->timerTick().isRunning());
}

TEST(StartUpTest, ClientDuringTheWarningBoxTouchesOnlyTheStatusBar)
{
    AgentFixture agent;
    RecordingNotifier boxes;
    QTcpSocket client;
    QString statusDuringBox;
    TForm1 *boxOwner = nullptr;
    boxes.whileOpen = [&]() {
        boxOwner = formUnderConstruction();
        client.connectToHost(QHostAddress::LocalHost, boxOwner->serverSocket().port());
        ASSERT_TRUE(waitFor([&]() { return boxOwner->serverSocket().clientCount() == 1; }));
        client.write("\x00\x16\x00", 3);
        ASSERT_TRUE(waitFor([&]() { return client.bytesToWrite() == 0; }));
        waitFor([] { return false; }, 50);
        statusDuringBox = boxOwner->eventLog().statusText();
    };
    TForm1 &form = agent.start(&boxes);

    EXPECT_EQ(statusDuringBox, "OnClientConnect 127.0.0.1");
    EXPECT_EQ(&form, boxOwner);
    EXPECT_TRUE(form.timerTick().isRunning());
}

TEST(ShutDownTest, ClosingStopsTheTickAndDestroyingDropsTheClients)
{
    AgentFixture agent;
    agent.dir.write("Agent.ini", "[Set]\n");
    TForm1 &form = agent.start();
    QSignalSpy closed(&form, &TForm1::closed);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, form.serverSocket().port());
    ASSERT_TRUE(waitFor([&]() { return form.serverSocket().clientCount() == 1; }));
    EXPECT_EQ(form.eventLog().statusText(), "OnClientConnect 127.0.0.1");
    const quint16 port = form.serverSocket().port();

    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form.timerTick().isRunning());

    agent.form.reset();
    EXPECT_TRUE(waitFor([&]() { return client.state() == QAbstractSocket::UnconnectedState; }));
    QTcpServer again;
    EXPECT_TRUE(again.listen(QHostAddress::AnyIPv4, port));
}

TEST(ShutDownTest, ClientDisconnectIsShownAndForgotten)
{
    AgentFixture agent;
    agent.dir.write("Agent.ini", "[Set]\n");
    TForm1 &form = agent.start();
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, form.serverSocket().port());
        ASSERT_TRUE(waitFor([&]() { return form.serverSocket().clientCount() == 1; }));
        client.write(QByteArray(4000, 'x'));
        client.flush();
    }
    EXPECT_TRUE(waitFor([&]() { return form.serverSocket().clientCount() == 0; }));
    EXPECT_EQ(form.eventLog().statusText(), "OnClientDisconnect 127.0.0.1");
}

TEST(ErrorDisplayTest, ErrorEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    AgentFixture agent;
    agent.dir.write("Agent.ini", "[Set]\n");
    TForm1 &form = agent.start();
    auto *application = qobject_cast<TApplication *>(QCoreApplication::instance());
    ASSERT_NE(application, nullptr);
    application->setErrorDisplay([&form](const QString &message) { form.ShowException(message); });

    bool ranAfter = false;
    QTimer::singleShot(0, &form, []() { throw ProfileWriteError("Nelze zapsat soubor Agent.ini"); });
    QTimer::singleShot(1, &form, [&]() { ranAfter = true; });
    EXPECT_TRUE(waitFor([&]() { return ranAfter; }));
    application->setErrorDisplay({});

    EXPECT_EQ(agent.logEntries().last(), "!Err Nelze zapsat soubor Agent.ini");
}

TEST(WindowTest, CaptionSizeAndLayout)
{
    AgentFixture agent;
    agent.dir.write("Agent.ini", "[Set]\n");
    TForm1 &form = agent.start();
    EXPECT_EQ(form.windowTitle(), "Tarvo Agent");
    EXPECT_EQ(form.size(), QSize(493, 368));
    EXPECT_EQ(form.Button4->text(), "Skrýt");
    EXPECT_TRUE(form.Button4->isDefault());
    EXPECT_EQ(form.ListBox1->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_TRUE(QFontInfo(form.ListBox1->font()).fixedPitch());

    form.show();
    form.resize(800, 600);
    QCoreApplication::processEvents();
    const int width = form.centralWidget()->width();
    const int height = form.centralWidget()->height() + form.StatusBar1->height();
    EXPECT_EQ(form.ListBox1->geometry(), QRect(7, 0, width - 16, height - 70));
    EXPECT_EQ(form.Button4->y(), form.ListBox1->height() + 8);
    EXPECT_EQ(form.Button4->x() + form.Button4->width(), width - 8);
}

}  // namespace
