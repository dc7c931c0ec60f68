// exchange-sim: a stand-in for the Tarvo exchange on a pseudo-terminal.
//
//   exchange-sim [--scenario FILE] LINK
//
// LINK becomes a symbolic link to the terminal's slave device; give the
// agent "LINK:9600,N,8,1" as its Port. Commands arrive one per line on
// standard input (see "help"); requests and replies are printed on standard
// output. SIGINT, SIGTERM or "quit" end it and remove LINK.

#include "platform/TerminationSignals.h"
#include "sim/ExchangeSimulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxLine = 4096;

void writeOut(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// Lines typed on standard input; an over-long line is dropped whole, and the
// end of the input only stops the reading.
class CommandInput : public QObject {
public:
    explicit CommandInput(std::function<void(const QString &)> onLine)
        : m_onLine(std::move(onLine))
        , m_notifier(STDIN_FILENO, QSocketNotifier::Read)
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &CommandInput::readSome);
    }

private:
    void readSome()
    {
        char buffer[kMaxLine];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            m_notifier.setEnabled(false);
            return;
        }
        for (ssize_t k = 0; k < got; ++k) {
            if (buffer[k] != '\n') {
                if (m_pending.size() < kMaxLine)
                    m_pending.append(buffer[k]);
                else
                    m_tooLong = true;
                continue;
            }
            if (m_tooLong)
                writeOut(stdout, QStringLiteral("line too long, ignored"));
            else
                m_onLine(QString::fromUtf8(m_pending).remove(u'\r'));
            m_pending.clear();
            m_tooLong = false;
        }
    }

    std::function<void(const QString &)> m_onLine;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
    bool m_tooLong = false;
};

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stands in for a Tarvo exchange on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption scenario({QStringLiteral("s"), QStringLiteral("scenario")},
        QStringLiteral("Commands to run at start, one per line."), QStringLiteral("file"));
    parser.addOption(scenario);
    parser.addPositionalArgument(
        QStringLiteral("link"), QStringLiteral("Path of the link to the terminal; the agent's Port names it."));
    parser.process(application);
    if (parser.positionalArguments().size() != 1) {
        writeOut(stderr, parser.helpText());
        return 2;
    }
    const QString link = parser.positionalArguments().front();

    ExchangeSimulator simulator;
    if (!simulator.isReady()) {
        writeOut(stderr, QStringLiteral("exchange-sim: ") + simulator.errorString());
        return 1;
    }
    simulator.setPrinter([](const QString &line) { writeOut(stdout, line); });
    QString error;
    if (parser.isSet(scenario) && !simulator.loadScenario(parser.value(scenario), &error)) {
        writeOut(stderr, QStringLiteral("exchange-sim: ") + error);
        return 2;
    }
    if (!simulator.linkTo(link)) {
        writeOut(stderr, QStringLiteral("exchange-sim: ") + simulator.errorString());
        return 1;
    }
    writeOut(stdout, QStringLiteral("exchange-sim: %1 -> %2, type help for commands").arg(link, simulator.slavePath()));

    CommandInput input([&](const QString &line) {
        const SimCommandResult result = simulator.command(line);
        if (!result.text.isEmpty())
            writeOut(stdout, result.text);
        if (result.quit)
            QCoreApplication::quit();
    });
    TerminationSignals termination([]() { QCoreApplication::quit(); });
    return QCoreApplication::exec();
}
