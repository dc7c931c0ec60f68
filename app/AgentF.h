#pragma once

#include "accounting/AccountingDownload.h"
#include "app/AgentSettings.h"
#include "app/CommPackPort.h"
#include "app/PollingCycle.h"
#include "common/Clock.h"
#include "data/Data.h"
#include "gateway/ServerSocket.h"
#include "link/CommPack.h"
#include "log/EventLog.h"

#include <QMainWindow>

#include <memory>

class ClientGateway;
class QAction;
class QLabel;
class QListView;
class QPushButton;
class QStatusBar;
class ReplyCache;
class UserNotifier;

// What the agent takes from its surroundings. The program runs with the
// defaults of forExecutable(); tests set their own file, port and clock.
struct AgentEnvironment {
    static constexpr quint16 ProductPort = 1234;

    QString iniPath;
    quint16 listenPort = ProductPort;
    const Clock *clock = nullptr;        // none: the system clock
    UserNotifier *notifier = nullptr;    // none: boxes, or log lines where no window is seen
    bool mirrorLogToStderr = false;

    // Agent.ini beside the executable, named after it.
    static AgentEnvironment forExecutable(const QString &executablePath);
};

// The main window: owns every object of the agent, runs the start-up sequence
// when created and the shut-down sequence when closed and destroyed.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(const AgentEnvironment &environment, QWidget *parent = nullptr);
    ~TForm1() override;

    void WriteLog(const QString &prefix, const QString &text) { m_log.WriteLog(prefix, text); }
    void ShowStatus(const QString &prefix, const QString &text) { m_log.ShowStatus(prefix, text); }
    void ShowException(const QString &message);

    AgentSettings settings;

    // Made before the log, which writes into them.
    QListView *const ListBox1;
    QStatusBar *const StatusBar1;
    QLabel *const StatusText;
    QPushButton *const Button4;
    QAction *Zastavit1 = nullptr;

    EventLog &eventLog() { return m_log; }
    ServerSocket &serverSocket() { return *ServerSocket1; }
    AgentTimer &timerTick() { return *m_cycle.TimerTick; }
    TCommPack &commPack() { return *CommPack1; }
    PollingCycle &pollingCycle() { return m_cycle; }
    TData &data() { return m_data; }
    AccountingDownload &accounting() { return m_accounting; }
    ReplyCache *replyCache() { return m_replyCache.get(); }

signals:
    // The window was closed: the message loop ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createMenus();
    void FormCreate();
    void FormClose();
    void FormDestroy();
    void FormResize();
    void openServerSocket();
    void openSerialPort();
    void createGateway();
    void CommPack1RxChar(TComm *Sender, int Count);
    void Zastavit1Click();
    void sendClearedMailboxes();

    SystemClock m_systemClock;
    const Clock &m_clock;
    QString m_iniPath;
    quint16 m_listenPort;
    bool m_closed = false;

    EventLog m_log;
    std::unique_ptr<UserNotifier> m_ownNotifier;
    UserNotifier *m_notifier = nullptr;
    // Components of the window, made before the start-up sequence runs.
    ServerSocket *const ServerSocket1 = new ServerSocket(m_log, this);
    TCommPack *const CommPack1 = new TCommPack(this);
    CommPackPort m_commPackPort{*CommPack1};

    TData m_data;
    PollingCycle m_cycle{settings, m_log, m_data, m_commPackPort, m_clock};
    AccountingDownload m_accounting{settings, m_log, m_data};
    std::unique_ptr<ReplyCache> m_replyCache;
    std::unique_ptr<ClientGateway> m_gateway;
};
