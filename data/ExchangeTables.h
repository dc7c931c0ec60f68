#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The exchange's command codes and data structures, with the names the log
// shows and how long a client may be answered from a cached read.
namespace Exchange {

enum Command : std::uint8_t {
    CmdRead = 0,
    CmdWrite = 1,
    CmdInfo = 2,
    CmdSaveEprom = 3,
    CmdGetUct = 4,
    CmdRepUct = 5,
    CmdDeleteDialled = 6,
};

enum Structure : std::uint8_t {
    StructSms = 1,
    StructLineNumbers = 14,
    StructMessages = 17,
    StructLineStatus = 22,
};

constexpr int CommandCount = 7;
constexpr int StructureCount = 27;
// A structure the table does not know is cached this briefly.
constexpr int UnknownStructureLifetimeMs = 10;

struct StructureRow {
    int lifetimeMs;
    const char16_t *name;
};

extern const std::array<const char16_t *, CommandCount> CommandNames;
extern const std::array<StructureRow, StructureCount> Structures;

QString commandName(std::uint8_t command);   // only for codes below CommandCount
QString structureName(std::uint8_t structure); // only for numbers below StructureCount
int structureLifetimeMs(std::uint8_t structure);

}  // namespace Exchange
