#include "sim/ExchangeSimulator.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTime>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxQueuedBytes = 1 << 20;
constexpr int kReadChunk = 4096;
constexpr int kReadsPerWakeUp = 16;  // endless input must not starve the loop
constexpr int kByteSpacingMs = 2;
constexpr int kShownBytes = 64;
constexpr qint64 kMaxScenarioBytes = 1 << 20;

QString hex(QByteArrayView bytes)
{
    QString text = QString::fromLatin1(
        bytes.first(std::min<qsizetype>(bytes.size(), kShownBytes)).toByteArray().toHex(' ').toUpper());
    if (bytes.size() > kShownBytes)
        text += QStringLiteral(" ... (%1 bytes)").arg(bytes.size());
    return text;
}

QString shaping(const SimFaults &faults)
{
    QStringList notes;
    if (faults.lateMs > 0)
        notes << QStringLiteral("%1 ms late").arg(faults.lateMs);
    if (faults.wrongCrc)
        notes << QStringLiteral("wrong CRC");
    if (faults.brokenStuffing)
        notes << QStringLiteral("broken stuffing");
    if (faults.garbage)
        notes << QStringLiteral("garbage before");
    if (faults.bytewise)
        notes << QStringLiteral("one byte per write");
    if (faults.twoFrames)
        notes << QStringLiteral("sent twice in one write");
    return notes.isEmpty() ? QString() : QStringLiteral(" [") + notes.join(QStringLiteral(", ")) + u']';
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

ExchangeSimulator::ExchangeSimulator(QObject *parent)
    : QObject(parent)
{
    m_spacing.setSingleShot(true);
    m_spacing.setInterval(kByteSpacingMs);
    connect(&m_spacing, &QTimer::timeout, this, &ExchangeSimulator::flushWrites);
    openTerminal();
}

ExchangeSimulator::~ExchangeSimulator()
{
    if (!m_linkPath.isEmpty() && QFileInfo(m_linkPath).symLinkTarget() == m_slavePath)
        QFile::remove(m_linkPath);
    delete m_readNotifier;
    delete m_writeNotifier;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

void ExchangeSimulator::openTerminal()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[256] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0 || ::fcntl(master, F_SETFL, O_NONBLOCK) != 0) {
        m_error = systemError("pseudo-terminal");
        if (master >= 0)
            ::close(master);
        return;
    }
    // Held open so the master never sees a hang-up while the agent's port is
    // closed; raw, so nothing is echoed or translated before the agent sets it.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios mode = {};
    if (slave < 0 || ::tcgetattr(slave, &mode) != 0) {
        m_error = systemError(name);
        ::close(master);
        if (slave >= 0)
            ::close(slave);
        return;
    }
    ::cfmakeraw(&mode);
    ::cfsetspeed(&mode, B9600);
    ::tcsetattr(slave, TCSANOW, &mode);

    m_master = master;
    m_slave = slave;
    m_slavePath = QString::fromLocal8Bit(name);
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &ExchangeSimulator::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &ExchangeSimulator::flushWrites);
}

bool ExchangeSimulator::linkTo(const QString &path)
{
    if (!isReady())
        return false;
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        QFile::remove(path);
    } else if (existing.exists()) {
        m_error = path + QStringLiteral(": exists and is not a link");
        return false;
    }
    if (!QFile::link(m_slavePath, path)) {
        m_error = path + QStringLiteral(": cannot make the link");
        return false;
    }
    m_linkPath = path;
    return true;
}

bool ExchangeSimulator::loadScenario(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    if (file.size() > kMaxScenarioBytes) {
        *error = path + QStringLiteral(": larger than a scenario can be");
        return false;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (int k = 0; k < lines.size(); ++k) {
        const SimCommandResult result = command(lines[k]);
        if (!result.ok || result.quit) {
            *error = QStringLiteral("%1:%2: %3")
                         .arg(path)
                         .arg(k + 1)
                         .arg(result.quit ? QStringLiteral("quit only on standard input") : result.text);
            return false;
        }
    }
    return true;
}

void ExchangeSimulator::readMaster()
{
    char buffer[kReadChunk];
    for (int round = 0; round < kReadsPerWakeUp; ++round) {
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got <= 0) {
            // Cannot happen while the slave is held open; never spin on it.
            print(systemError("pseudo-terminal read"));
            m_readNotifier->setEnabled(false);
            return;
        }
        // One byte per call, so a second frame in the same read is heard too.
        for (ssize_t k = 0; k < got; ++k) {
            m_receiver.Input.append(buffer[k]);
            const int length = m_receiver.ReadPacket(1);
            if (length > 0)
                handleRequest(
                    m_receiver.InCom[0], QByteArray(reinterpret_cast<const char *>(&m_receiver.InCom[1]), length - 1));
        }
    }
}

void ExchangeSimulator::handleRequest(quint8 number, const QByteArray &message)
{
    m_requests.push_back({number, message});
    if (m_requests.size() > MaxKeptRequests)
        m_requests.pop_front();
    print(QStringLiteral("<- #%1  %2  | %3").arg(number).arg(hex(message), m_model.describeRequest(message)));
    emit requestReceived(number, message);
    if (m_faults.silent) {
        print(QStringLiteral("   #%1 not answered: silent").arg(number));
        return;
    }
    const QByteArray reply = m_faults.errorCode != 0
        ? ExchangeModel::errorReply(message, static_cast<quint8>(m_faults.errorCode))
        : m_model.answer(message);
    const QString words = m_model.describeReply(message, reply);
    const SimFaults faults = m_faults;
    if (faults.lateMs > 0)
        QTimer::singleShot(
            faults.lateMs, this, [this, number, reply, words, faults]() { send(number, reply, words, faults); });
    else
        send(number, reply, words, faults);
}

void ExchangeSimulator::send(quint8 number, const QByteArray &reply, const QString &words, const SimFaults &faults)
{
    std::vector<QByteArray> writes = replyWrites(number, reply, faults);
    qsizetype total = 0;
    for (const QByteArray &bytes : writes)
        total += bytes.size();
    if (m_queuedBytes + total > kMaxQueuedBytes) {
        print(QStringLiteral("   #%1 dropped: nobody reads the terminal").arg(number));
        return;
    }
    for (QByteArray &bytes : writes)
        m_writes.push_back({std::move(bytes), faults.bytewise});
    m_queuedBytes += total;
    ++m_repliesSent;
    print(QStringLiteral("-> #%1  %2  | %3%4").arg(number).arg(hex(reply), words, shaping(faults)));
    flushWrites();
}

void ExchangeSimulator::flushWrites()
{
    if (m_spacing.isActive())
        return;
    while (!m_writes.empty()) {
        PendingWrite &pending = m_writes.front();
        const ssize_t written = ::write(m_master, pending.bytes.constData(), pending.bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        if (written < 0) {
            print(systemError("pseudo-terminal write"));
            m_writes.clear();
            m_queuedBytes = 0;
            break;
        }
        m_queuedBytes -= written;
        pending.bytes.remove(0, written);
        if (!pending.bytes.isEmpty())
            continue;
        const bool spaced = pending.spaced;
        m_writes.pop_front();
        if (spaced && !m_writes.empty()) {
            m_writeNotifier->setEnabled(false);
            m_spacing.start();
            return;
        }
    }
    m_writeNotifier->setEnabled(false);
}

void ExchangeSimulator::print(const QString &line) const
{
    if (m_printer)
        m_printer(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line);
}
