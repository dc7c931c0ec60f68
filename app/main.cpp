#include "app/AgentF.h"
#include "app/TApplication.h"
#include "platform/TerminationSignals.h"

int main(int argc, char **argv)
{
    TApplication application(argc, argv);

    // A stop request that arrives while the start-up still runs (its warning
    // box may be open) is acted on once the main window exists.
    TForm1 *mainForm = nullptr;
    bool stopRequested = false;
    TerminationSignals termination([&]() {
        if (mainForm)
            mainForm->close();
        else
            stopRequested = true;
    });

    AgentEnvironment environment = AgentEnvironment::forExecutable(QCoreApplication::applicationFilePath());
    environment.mirrorLogToStderr = qEnvironmentVariable("AGENT_LOG_STDERR") == QLatin1String("1");

    TForm1 form(environment);
    mainForm = &form;
    application.setErrorDisplay([&form](const QString &message) { form.ShowException(message); });
    QObject::connect(&form, &TForm1::closed, &application, &QCoreApplication::quit);

    form.show();
    if (stopRequested)
        QMetaObject::invokeMethod(&form, &QWidget::close, Qt::QueuedConnection);
    application.exec();
    mainForm = nullptr;
    return 0;
}
