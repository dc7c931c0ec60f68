#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <stdexcept>

// A failure of the serial port: its text and the port layer's error code
// (a QSerialPort::SerialPortError value).
class ECommError : public std::runtime_error {
public:
    ECommError(const QString &text, int errorCode);

    const QString &Text() const { return m_text; }
    int ErrorCode() const { return m_errorCode; }

private:
    QString m_text;
    int m_errorCode;
};

// The settings of the port, named as the exchange's installers know them.
enum class TBaudRate {
    br110 = 110,
    br300 = 300,
    br600 = 600,
    br1200 = 1200,
    br2400 = 2400,
    br4800 = 4800,
    br9600 = 9600,
    br14400 = 14400,
    br19200 = 19200,
    br38400 = 38400,
    br56000 = 56000,
    br57600 = 57600,
    br115200 = 115200,
    br128000 = 128000,
    br256000 = 256000,
};
enum class TParity { paNone, paOdd, paEven, paMark };
enum class TStopbits { sb10, sb15, sb20 };
enum class TDatabits { da4 = 4, da5, da6, da7, da8 };

// The serial port layer over QSerialPort. It opens a device exclusively for
// reading and writing, reads without waiting, bounds every write by
// WriteTimeout and reports arrived bytes by OnRxChar on the main thread.
// Failures are raised as ECommError. A device that disappears while open
// (adapter unplugged, pseudo-terminal gone) closes the port.
class TComm : public QObject {
    Q_OBJECT
public:
    // Reads never wait, so no read time-out exists.
    static constexpr int WriteTimeout = 1000;  // ms
    static constexpr int ReadBufSize = 4096;   // input queue, bytes
    static constexpr int WriteBufSize = 2048;  // output queue, bytes

    explicit TComm(QObject *owner = nullptr);
    ~TComm() override;

    // Until set: "Com2", 9600 baud, no parity, 8 data bits, 1 stop bit.
    // The device name changes only while the port is closed; the others take
    // effect at once on an open port, else at the next opening.
    const QString &DeviceName() const { return m_deviceName; }
    void SetDeviceName(const QString &name);
    TBaudRate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudRate rate);
    TParity Parity() const { return m_parity; }
    void SetParity(TParity parity);
    TStopbits Stopbits() const { return m_stopbits; }
    void SetStopbits(TStopbits stopbits);
    TDatabits Databits() const { return m_databits; }
    void SetDatabits(TDatabits databits);

    void Open();
    void Close();
    bool IsOpen() const { return m_port.isOpen(); }
    // Bytes waiting in the input queue.
    int InQueCount() const;

    // Hands count bytes to the output queue and waits up to WriteTimeout
    // for them to leave it; count, or -1 when the time ran out.
    virtual int Write(const quint8 *data, int count);
    // Up to count of the bytes that have arrived, at once; 0 if none.
    virtual int Read(quint8 *data, int count);

signals:
    // Bytes have arrived; Count of them wait in the input queue.
    void OnRxChar(TComm *Sender, int Count);

private:
    [[noreturn]] void raise(const QString &what) const;
    void requireOpen() const;
    void apply(bool applied, const QString &what) const;
    void portError(QSerialPort::SerialPortError error);
    void scheduleRxChar();
    void deliverRxChar();

    QSerialPort m_port;
    QString m_deviceName = QStringLiteral("Com2");
    TBaudRate m_baudRate = TBaudRate::br9600;
    TParity m_parity = TParity::paNone;
    TStopbits m_stopbits = TStopbits::sb10;
    TDatabits m_databits = TDatabits::da8;
    bool m_rxScheduled = false;
};
