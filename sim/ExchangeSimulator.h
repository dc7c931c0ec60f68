#pragma once

#include "link/MemoryCommPack.h"
#include "sim/ExchangeModel.h"
#include "sim/ReplyFrames.h"
#include "sim/SimCommands.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <termios.h>
#include <functional>

class QSocketNotifier;

// A stand-in for the exchange on the master side of a pseudo-terminal: the
// agent opens the slave side as its serial port. Each request frame is
// answered under the same packet number with the model's reply, shaped by
// the faults in force. Every request and reply is printed, in hex and in
// words, through the printer. It keeps the slave open itself, so the
// terminal lives on while the agent closes and reopens its port.
class ExchangeSimulator : public QObject {
    Q_OBJECT
public:
    struct Request {
        quint8 number = 0;
        QByteArray message;
    };
    static constexpr int MaxKeptRequests = 10000;

    explicit ExchangeSimulator(QObject *parent = nullptr);
    ~ExchangeSimulator() override;

    bool isReady() const { return m_master >= 0; }
    const QString &errorString() const { return m_error; }
    // The terminal's slave device, e.g. /dev/pts/3.
    const QString &slavePath() const { return m_slavePath; }
    // The line's mode as the agent's port has set it.
    bool lineMode(termios &mode) const { return m_slave >= 0 && ::tcgetattr(m_slave, &mode) == 0; }
    // Makes path a symbolic link to the slave device, replacing an old link
    // there (never a file); the link is removed again on destruction.
    bool linkTo(const QString &path);

    ExchangeModel &model() { return m_model; }
    SimFaults &faults() { return m_faults; }
    SimCommandResult command(QStringView line) { return runSimCommand(m_model, m_faults, line); }
    // Runs a scenario file: one command per line, '#' starts a comment.
    bool loadScenario(const QString &path, QString *error);

    // The requests heard so far, oldest first (the last MaxKeptRequests).
    const std::deque<Request> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    int repliesSent() const { return m_repliesSent; }

    void setPrinter(std::function<void(const QString &)> printer) { m_printer = std::move(printer); }

signals:
    void requestReceived(quint8 number, const QByteArray &message);

private:
    struct PendingWrite {
        QByteArray bytes;
        bool spaced = false;  // let the far side read it before the next write
    };
    void openTerminal();
    void readMaster();
    void handleRequest(quint8 number, const QByteArray &message);
    void send(quint8 number, const QByteArray &reply, const QString &words, const SimFaults &faults);
    void flushWrites();
    void print(const QString &line) const;

    ExchangeModel m_model;
    SimFaults m_faults;
    TMemoryCommPack m_receiver;
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_spacing;
    std::deque<PendingWrite> m_writes;
    qsizetype m_queuedBytes = 0;
    std::deque<Request> m_requests;
    int m_repliesSent = 0;
    std::function<void(const QString &)> m_printer;
};
