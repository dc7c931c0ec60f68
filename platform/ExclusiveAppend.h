#pragma once

#include <QByteArrayView>
#include <QString>

// Appends bytes to a file that is created when missing and held with no
// sharing for the length of the call: another program holding it makes the
// call fail. Returns true only once the bytes are on the disk; a failed call
// leaves the file as it was, so a retry never doubles a partial write.
bool appendExclusively(const QString &path, QByteArrayView bytes, QString *error = nullptr);
