#pragma once

#include <QByteArray>
#include <QString>

// Every text that crosses an edge of the agent (Agent.ini, the serial line,
// the mail library) is code page 1250; inside, text is QString.
QString fromCp1250(QByteArrayView bytes);
QByteArray toCp1250(const QString &text);
