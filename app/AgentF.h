#pragma once

#include "app/AgentSettings.h"
#include "app/AgentTimer.h"
#include "common/Clock.h"
#include "gateway/ServerSocket.h"
#include "link/CommPack.h"
#include "log/EventLog.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class QListView;
class QPushButton;
class QStatusBar;
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

    EventLog &eventLog() { return m_log; }
    ServerSocket &serverSocket() { return *ServerSocket1; }
    AgentTimer &timerTick() { return *TimerTick; }
    TCommPack &commPack() { return *CommPack1; }

signals:
    // The window was closed: the message loop ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layOutWidgets();
    void FormCreate();
    void FormClose();
    void FormDestroy();
    void FormResize();
    void openServerSocket();
    void openSerialPort();
    void CommPack1RxChar(TComm *Sender, int Count);
    void TimerTickTimer();

    SystemClock m_systemClock;
    const Clock &m_clock;
    QString m_iniPath;
    quint16 m_listenPort;
    bool m_closed = false;

    EventLog m_log;
    std::unique_ptr<UserNotifier> m_ownNotifier;
    UserNotifier *m_notifier = nullptr;
    ServerSocket *ServerSocket1 = nullptr;
    TCommPack *CommPack1 = nullptr;
    AgentTimer *TimerTick = nullptr;
};
