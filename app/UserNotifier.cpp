#include "app/UserNotifier.h"

#include "log/LogSink.h"

#include <QGuiApplication>
#include <QMessageBox>

void MessageBoxNotifier::warning(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
    box.exec();
}

void MessageBoxNotifier::error(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Tarvo Agent"), text, QMessageBox::Ok);
    box.exec();
}

void LogNotifier::warning(const QString &, const QString &text)
{
    m_log.WriteLog(QStringLiteral("!Err"), text.section(u'\n', 0, 0));
}

void LogNotifier::error(const QString &text)
{
    m_log.WriteLog(QStringLiteral("!Err"), text);
}

bool isHeadlessPlatform()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}
