#include "app/AgentF.h"

#include "app/ProfileFile.h"
#include "app/UserNotifier.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyledItemDelegate>

namespace {

constexpr int kListLeft = 7;
constexpr int kItemHeight = 17;

// The log list shows every line at the same height.
class FixedHeightDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
    }
};

QFont logFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(15);
    return font;
}

}  // namespace

AgentEnvironment AgentEnvironment::forExecutable(const QString &executablePath)
{
    const QFileInfo executable(executablePath);
    AgentEnvironment environment;
    environment.iniPath = executable.absoluteDir().filePath(executable.completeBaseName() + QStringLiteral(".ini"));
    return environment;
}

TForm1::TForm1(const AgentEnvironment &environment, QWidget *parent)
    : QMainWindow(parent)
    , ListBox1(new QListView)
    , StatusBar1(new QStatusBar)
    , StatusText(new QLabel)
    , Button4(new QPushButton(QStringLiteral("Skrýt")))
    , m_clock(environment.clock ? *environment.clock : m_systemClock)
    , m_iniPath(environment.iniPath)
    , m_listenPort(environment.listenPort)
    , m_log(*ListBox1, *StatusText, m_clock, environment.mirrorLogToStderr)
{
    if (environment.notifier) {
        m_notifier = environment.notifier;
    } else {
        m_ownNotifier = isHeadlessPlatform() ? std::unique_ptr<UserNotifier>(new LogNotifier(m_log))
                                             : std::unique_ptr<UserNotifier>(new MessageBoxNotifier);
        m_notifier = m_ownNotifier.get();
    }

    setWindowTitle(QStringLiteral("Tarvo Agent"));
    auto *client = new QWidget;
    setCentralWidget(client);
    ListBox1->setParent(client);
    Button4->setParent(client);
    setStatusBar(StatusBar1);
    StatusBar1->addWidget(StatusText, 1);

    ListBox1->setFont(logFont());
    ListBox1->setItemDelegate(new FixedHeightDelegate(ListBox1));
    ListBox1->setGeometry(kListLeft, 0, 464, 188);

    Button4->resize(79, 25);
    Button4->setDefault(true);
    // A main window has no default button of its own: Enter anywhere in it presses "Skrýt".
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *enter = new QShortcut(QKeySequence(key), this);
        connect(enter, &QShortcut::activated, Button4, &QPushButton::animateClick);
    }

    ServerSocket1 = new ServerSocket(m_log, this);
    CommPack1 = new TCommPack(this);
    connect(CommPack1, &TComm::OnRxChar, this, &TForm1::CommPack1RxChar);
    TimerTick = new AgentTimer([this]() { TimerTickTimer(); }, this);

    resize(493, 368);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TForm1::~TForm1()
{
    FormDestroy();
}

void TForm1::FormCreate()
{
    WriteLog(QStringLiteral("----"), QStringLiteral("Start Tarvo Agent ----"));
    openServerSocket();

    ProfileFile profile(m_iniPath);
    if (!profile.exists())
        m_notifier->warning(QStringLiteral("Upozornění"),
                            QStringLiteral("Neexistuje soubor Agent.ini\nProjděte položky v menu Nastavení"));
    settings = readAgentSettings(profile);
    TimerTick->setInterval(settings.Interval);
    openSerialPort();

    TimerTick->setEnabled(true);
}

void TForm1::openServerSocket()
{
    if (ServerSocket1->open(m_listenPort)) {
        WriteLog(QStringLiteral("-OK-"), QStringLiteral("Otevření socketu TCP/IP"));
        return;
    }
    m_log.SetStatusText(QStringLiteral("Chyba socketu:") + ServerSocket1->errorString());
    WriteLog(QStringLiteral("!Err"), QStringLiteral("Chyba otevření socketu TCP/IP"));
}

void TForm1::openSerialPort()
{
    try {
        CommPack1->Set(settings.Port);
        CommPack1->Open();
        WriteLog(QStringLiteral("-OK-"), QStringLiteral("Otevření sériového portu ") + settings.Port);
    } catch (const ECommError &) {
        WriteLog(QStringLiteral("!Err"), QStringLiteral("Chyba otevření sériového portu ") + settings.Port);
    }
}

void TForm1::CommPack1RxChar(TComm *, int Count)
{
    // A complete packet (number in InCom[0], message from InCom[1], length
    // n - 1) is for the reply dispatch, which is not built yet.
    CommPack1->ReadPacket(Count);
}

void TForm1::TimerTickTimer()
{
}

void TForm1::closeEvent(QCloseEvent *event)
{
    event->accept();
    FormClose();
}

void TForm1::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    TimerTick->setEnabled(false);
    emit closed();
}

void TForm1::FormDestroy()
{
    TimerTick->setEnabled(false);
    if (CommPack1->IsOpen())
        CommPack1->Close();
    m_log.Clear();
    ServerSocket1->close();
}

void TForm1::ShowException(const QString &message)
{
    m_notifier->error(message);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::FormResize()
{
    // The client area of the layout reaches down to the window's bottom edge,
    // status bar included.
    const int width = centralWidget()->width();
    const int height = centralWidget()->height() + StatusBar1->height();
    ListBox1->setGeometry(kListLeft, 0, width - 16, height - 70);
    Button4->move(width - Button4->width() - 8, ListBox1->height() + 8);
}
