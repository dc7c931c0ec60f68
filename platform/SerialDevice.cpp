#include "platform/SerialDevice.h"

#include <QRegularExpression>
#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/file.h>
#include <sys/stat.h>
#endif

namespace {

// "COM1" to "COM9" in any case; the digit, or 0 for any other name.
int comNumber(const QString &deviceName)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-9])$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(deviceName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

}  // namespace

#ifdef Q_OS_UNIX

QString serialDeviceLocation(const QString &deviceName)
{
    if (deviceName.startsWith(u'/'))
        return deviceName;
    if (const int number = comNumber(deviceName))
        return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    return {};
}

bool isCharacterDevice(const QString &location)
{
    struct stat info = {};
    return ::stat(location.toLocal8Bit().constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

bool lockDeviceExclusively(qintptr handle)
{
    return ::flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0;
}

#else

// Windows opens "COMn" by that name; the port layer itself tells a missing device.
QString serialDeviceLocation(const QString &deviceName)
{
    return comNumber(deviceName) ? deviceName.toUpper() : QString();
}

bool isCharacterDevice(const QString &)
{
    return true;
}

// A port opened there is already no one else's.
bool lockDeviceExclusively(qintptr)
{
    return true;
}

#endif
