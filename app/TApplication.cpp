#include "app/TApplication.h"

#include <exception>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The main window may hide into the notification area; only closing it ends the program.
    setQuitOnLastWindowClosed(false);
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        showException(QString::fromUtf8(error.what()));
    } catch (...) {
        showException(QStringLiteral("Neznámá chyba"));
    }
    return false;
}

void TApplication::showException(const QString &message)
{
    if (m_errorDisplay)
        m_errorDisplay(message);
    else
        qCritical("%s", qUtf8Printable(message));
}
