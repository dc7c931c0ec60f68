#include "link/Comm.h"

#include "platform/SerialDevice.h"

#include <QDeadlineTimer>

namespace {

// Indexed by TParity and TStopbits.
constexpr QSerialPort::Parity kQtParity[] = {
    QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity, QSerialPort::MarkParity};
constexpr QSerialPort::StopBits kQtStopBits[] = {
    QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};

QSerialPort::Parity qtParity(TParity parity)
{
    return kQtParity[static_cast<int>(parity)];
}

QSerialPort::StopBits qtStopBits(TStopbits stopbits)
{
    return kQtStopBits[static_cast<int>(stopbits)];
}

// Qt knows no 4-bit characters; the port refuses them like a driver would.
bool qtDataBits(TDatabits databits, QSerialPort::DataBits &bits)
{
    if (databits == TDatabits::da4)
        return false;
    bits = static_cast<QSerialPort::DataBits>(static_cast<int>(databits));
    return true;
}

}  // namespace

ECommError::ECommError(const QString &text, int errorCode)
    : std::runtime_error(text.toStdString())
    , m_text(text)
    , m_errorCode(errorCode)
{
}

TComm::TComm(QObject *owner)
    : QObject(owner)
{
    connect(&m_port, &QSerialPort::readyRead, this, &TComm::scheduleRxChar);
    connect(&m_port, &QSerialPort::errorOccurred, this, &TComm::portError);
}

TComm::~TComm()
{
    Close();
}

void TComm::raise(const QString &what) const
{
    throw ECommError(what + QStringLiteral(": ") + m_port.errorString(), m_port.error());
}

void TComm::requireOpen() const
{
    if (!IsOpen())
        throw ECommError(m_deviceName + QStringLiteral(": port not open"), QSerialPort::NotOpenError);
}

void TComm::apply(bool applied, const QString &what) const
{
    if (!applied)
        raise(m_deviceName + QStringLiteral(": ") + what);
}

void TComm::SetDeviceName(const QString &name)
{
    if (name == m_deviceName)
        return;
    if (IsOpen())
        throw ECommError(
            m_deviceName + QStringLiteral(": device cannot change while the port is open"), QSerialPort::OpenError);
    m_deviceName = name;
}

void TComm::SetBaudRate(TBaudRate rate)
{
    if (IsOpen())
        apply(m_port.setBaudRate(static_cast<qint32>(rate)), QStringLiteral("baud rate"));
    m_baudRate = rate;
}

void TComm::SetParity(TParity parity)
{
    if (IsOpen())
        apply(m_port.setParity(qtParity(parity)), QStringLiteral("parity"));
    m_parity = parity;
}

void TComm::SetStopbits(TStopbits stopbits)
{
    if (IsOpen())
        apply(m_port.setStopBits(qtStopBits(stopbits)), QStringLiteral("stop bits"));
    m_stopbits = stopbits;
}

void TComm::SetDatabits(TDatabits databits)
{
    if (IsOpen()) {
        QSerialPort::DataBits bits = QSerialPort::Data8;
        if (!qtDataBits(databits, bits))
            throw ECommError(
                m_deviceName + QStringLiteral(": data bits not supported"), QSerialPort::UnsupportedOperationError);
        apply(m_port.setDataBits(bits), QStringLiteral("data bits"));
    }
    m_databits = databits;
}

void TComm::Open()
{
    if (IsOpen())
        return;
    const QString location = serialDeviceLocation(m_deviceName);
    if (location.isEmpty() || !isCharacterDevice(location))
        throw ECommError(m_deviceName + QStringLiteral(": no such serial device"), QSerialPort::DeviceNotFoundError);
    QSerialPort::DataBits bits = QSerialPort::Data8;
    if (!qtDataBits(m_databits, bits))
        throw ECommError(
            m_deviceName + QStringLiteral(": data bits not supported"), QSerialPort::UnsupportedOperationError);

    // QSerialPort applies what it holds when it opens and fails the opening
    // if the device refuses any of it.
    m_port.setPortName(location);
    m_port.setBaudRate(static_cast<qint32>(m_baudRate));
    m_port.setParity(qtParity(m_parity));
    m_port.setStopBits(qtStopBits(m_stopbits));
    m_port.setDataBits(bits);
    m_port.setReadBufferSize(ReadBufSize);
    if (!m_port.open(QIODevice::ReadWrite))
        raise(location);
    if (!lockDeviceExclusively(m_port.handle())) {
        m_port.close();
        throw ECommError(location + QStringLiteral(": in use"), QSerialPort::PermissionError);
    }
}

void TComm::Close()
{
    if (IsOpen())
        m_port.close();
}

int TComm::InQueCount() const
{
    return IsOpen() ? static_cast<int>(m_port.bytesAvailable()) : 0;
}

int TComm::Write(const quint8 *data, int count)
{
    requireOpen();
    if (count <= 0)
        return 0;
    const QDeadlineTimer deadline(WriteTimeout);
    // Waits for one payload to leave; false when the time ran out.
    const auto drained = [&]() {
        if (deadline.hasExpired())
            return false;
        if (m_port.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return true;
        if (m_port.error() == QSerialPort::TimeoutError) {
            m_port.clearError();
            return false;
        }
        raise(m_deviceName);
    };
    while (m_port.bytesToWrite() > 0 && m_port.bytesToWrite() + count > WriteBufSize)
        if (!drained())
            return -1;
    if (m_port.write(reinterpret_cast<const char *>(data), count) != count)
        raise(m_deviceName);
    while (m_port.bytesToWrite() > 0)
        if (!drained())
            return -1;
    return count;
}

int TComm::Read(quint8 *data, int count)
{
    requireOpen();
    if (count <= 0)
        return 0;
    const qint64 got = m_port.read(reinterpret_cast<char *>(data), count);
    if (got < 0)
        raise(m_deviceName);
    return static_cast<int>(got);
}

void TComm::portError(QSerialPort::SerialPortError error)
{
    // The device is gone or keeps failing: without closing, its descriptor
    // would wake the loop again and again. Closed from the loop, not from
    // inside the port's own notification.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::DeviceNotFoundError)
        QMetaObject::invokeMethod(this, &TComm::Close, Qt::QueuedConnection);
}

void TComm::scheduleRxChar()
{
    // Delivered from the loop, so a handler never runs inside a write that
    // happened to read while it waited.
    if (m_rxScheduled)
        return;
    m_rxScheduled = true;
    QMetaObject::invokeMethod(this, &TComm::deliverRxChar, Qt::QueuedConnection);
}

void TComm::deliverRxChar()
{
    m_rxScheduled = false;
    const int waiting = InQueCount();
    if (waiting <= 0)
        return;
    emit OnRxChar(this, waiting);
    // A handler that took only part (a packet ended early) is called again
    // for the rest; one that took nothing waits for the next bytes.
    const int left = InQueCount();
    if (left > 0 && left < waiting)
        scheduleRxChar();
}
