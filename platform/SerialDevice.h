#pragma once

#include <QString>

// How the agent's device names meet the operating system's serial devices.
// The settings string names a device the way the exchange's installers know
// it ("COM2"); the platform decides what that is.

// The location the serial port layer opens for a device name: on Unix COM1 to
// COM9 are /dev/ttyS0 to /dev/ttyS8 and a name that starts with '/' is a path
// (a USB adapter, a pseudo-terminal). Empty when the name means no device here.
QString serialDeviceLocation(const QString &deviceName);

// Whether the location is a character device, the only kind a serial port is.
bool isCharacterDevice(const QString &location);

// Takes the opened device for this process alone, whatever name another
// process opens it by; false when someone else holds it.
bool lockDeviceExclusively(qintptr handle);
