#pragma once

#include "sim/ExchangeModel.h"
#include "sim/ReplyFrames.h"

#include <QString>
#include <QStringView>

// One command of a scenario file or of the simulator's standard input, e.g.
// "lines 101 102 *5", "uct 12:00 101 00420123456 0:35", "crc on".
struct SimCommandResult {
    bool ok = true;
    QString text;       // what to tell the user; may be empty
    bool quit = false;  // "quit" was given
};

SimCommandResult runSimCommand(ExchangeModel &model, SimFaults &faults, QStringView line);
QString simCommandHelp();
