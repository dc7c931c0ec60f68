#include "data/ExchangeTables.h"

namespace Exchange {

const std::array<const char16_t *, CommandCount> CommandNames = {
    u"Čtení", u"Zápis", u"Info", u"SaveEPROM", u"GetUCT", u"RepUCT", u"SmažVolby",
};

const std::array<StructureRow, StructureCount> Structures = {{
    {3600000, u"Global"},
    {2000, u"SMS"},
    {60000, u"Ars"},
    {60000, u"Trasa"},
    {120000, u"Oprávnění A"},
    {120000, u"Oprávnění B"},
    {120000, u"Oprávnění C"},
    {120000, u"Oprávnění D"},
    {120000, u"Oprávnění E"},
    {120000, u"Oprávnění F"},
    {120000, u"Oprávnění H"},
    {5000, u"Skupiny"},
    {60000, u"Čísla služeb"},
    {60000, u"Zkrácené volby"},
    {60000, u"Čísla linek"},
    {60000, u"VLIndividual"},
    {2000, u"VLProvoz"},
    {60000, u"Zprávy"},
    {60000, u"PersonalDial"},
    {60000, u"COIndividual"},
    {60000, u"COProvoz"},
    {60000, u"Blok služeb"},
    {300, u"Stav linek"},
    {60000, u"Masky zkr.voleb"},
    {60000, u"Paměť voleb"},
    {60000, u"SYSIndividual"},
    {60000, u"SYSProvoz"},
}};

QString commandName(std::uint8_t command)
{
    return QString::fromUtf16(CommandNames.at(command));
}

QString structureName(std::uint8_t structure)
{
    return QString::fromUtf16(Structures.at(structure).name);
}

int structureLifetimeMs(std::uint8_t structure)
{
    return structure < StructureCount ? Structures[structure].lifetimeMs : UnknownStructureLifetimeMs;
}

}  // namespace Exchange
