#pragma once

#include <QStringView>

#include <optional>

// The port mode part of a settings string, parsed the way the Windows mode
// parser reads it. Each value is what the string says; whether the port can
// take it is for `Set` to decide. A value the string leaves out is absent.
struct CommMode {
    std::optional<int> baudRate;
    std::optional<char> parity;  // 'N', 'O', 'E', 'M' or 'S', upper case
    std::optional<int> dataBits;
    std::optional<int> stopBitsTenths;  // 10, 15 or 20
};

// Reads "COM2:9600,N,8,1" (baud[,parity[,data[,stop]]] after the first colon)
// or the keyword form "COM2:baud=9600 parity=N data=8 stop=1", case-insensitive;
// without a colon the whole text is the mode. A text that does not parse as a
// whole gives nothing, so a typo never half-applies.
std::optional<CommMode> ParseCommMode(QStringView settings);
