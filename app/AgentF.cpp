#include "app/AgentF.h"

#include "app/ProfileFile.h"
#include "app/UserNotifier.h"
#include "data/ExchangeTables.h"
#include "gateway/ClientGateway.h"
#include "gateway/ReplyCache.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
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

    createMenus();
    connect(CommPack1, &TComm::OnRxChar, this, &TForm1::CommPack1RxChar);

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
    m_cycle.applyTimerPeriods();
    openSerialPort();

    // The queues start empty; the line numbers are the first question.
    m_cycle.EnqueueRequest('V');
    createGateway();

    m_cycle.TimerTick->setEnabled(true);
}

void TForm1::createGateway()
{
    m_replyCache = std::make_unique<ReplyCache>(settings.MaxCache, m_clock);
    if (m_replyCache->capacity() == 0)
        settings.MaxCache = 0;
    m_gateway = std::make_unique<ClientGateway>(settings, m_log, m_data, m_cycle, *m_replyCache, m_accounting.lines,
                                                *ServerSocket1, m_clock);

    m_cycle.handlers.clientReply = [this](const ExchangeRequest &request, QByteArrayView reply) {
        m_gateway->ReturnClientReply(request, reply);
    };
    m_cycle.handlers.accountingReply = [this](const ExchangeRequest &request, QByteArrayView reply) {
        m_accounting.HandleAccountingReply(reply, request.firstByte == Exchange::CmdRepUct);
    };
    m_cycle.handlers.storeReply = [this](const QByteArray &request, QByteArrayView reply) {
        m_replyCache->StoreReply(request, reply);
    };
    // Clients are served from here on; what they sent while the start-up
    // ran (a warning box may have been open) was dropped.
    ServerSocket1->setReadHandler([this](ClientConnection &client) { m_gateway->HandleClientRead(client); });
}

void TForm1::createMenus()
{
    QMenu *agentMenu = menuBar()->addMenu(QStringLiteral("&Agent"));
    Zastavit1 = agentMenu->addAction(QStringLiteral("Zastavit"));
    connect(Zastavit1, &QAction::triggered, this, &TForm1::Zastavit1Click);
}

void TForm1::Zastavit1Click()
{
    const bool running = m_cycle.toggleTick();
    Zastavit1->setText(running ? QStringLiteral("&Zastavit") : QStringLiteral("&Obnovit"));
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
    const int length = CommPack1->ReadPacket(Count);
    if (length == 0)
        return;
    const auto *body = reinterpret_cast<const char *>(CommPack1->InCom.data());
    m_cycle.DispatchReply(CommPack1->InCom[0], QByteArrayView(body + 1, length - 1));
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
    m_cycle.TimerTick->setEnabled(false);
    emit closed();
}

void TForm1::FormDestroy()
{
    sendClearedMailboxes();
    m_cycle.stopAllTimers();
    m_cycle.clearQueues();
    m_accounting.lines.clear();
    if (CommPack1->IsOpen())
        CommPack1->Close();
    m_log.Clear();
    ServerSocket1->close();
    m_gateway.reset();
    m_replyCache.reset();
}

void TForm1::sendClearedMailboxes()
{
    // The exchange must not go on showing messages nobody updates any more.
    m_data.ClearMailboxes();
    m_cycle.SendToExchange(QStringLiteral(">COM"), QStringLiteral("Nulování obsahu schránek"),
                           m_data.BuildMailboxRequest());
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
