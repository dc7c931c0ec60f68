#include "app/AgentSettings.h"

#include "app/ProfileFile.h"

AgentSettings readAgentSettings(const ProfileFile &profile)
{
    using namespace IniKey;
    AgentSettings s;
    const auto text = [&](const QString &section, const QString &key, QString &value) {
        value = profile.readString(section, key, value);
    };
    const auto integer = [&](const QString &section, const QString &key, int &value) {
        value = profile.readInteger(section, key, value);
    };
    const auto boolean = [&](const QString &section, const QString &key, bool &value) {
        value = profile.readBool(section, key, value);
    };

    text(SectionSet, Port, s.Port);
    boolean(SectionLog, Com_In, s.logFlags.Com_In);
    boolean(SectionLog, Com_PureIn, s.logFlags.Com_PureIn);
    boolean(SectionLog, Com_Out, s.logFlags.Com_Out);
    boolean(SectionLog, Com_LocOut, s.logFlags.Com_LocOut);
    boolean(SectionLog, TCP_IP_In, s.logFlags.TCP_IP_In);
    boolean(SectionLog, TCP_IP_Out, s.logFlags.TCP_IP_Out);
    boolean(SectionLog, Extent, s.logFlags.Extent);
    integer(SectionTimer, Interval, s.Interval);
    integer(SectionTimer, ANInterval, s.ANInterval);
    integer(SectionTimer, ANTimeOut, s.ANTimeOut);
    integer(SectionTimer, TrapInterval, s.TrapInterval);
    integer(SectionTimer, MSGInterval, s.MSGInterval);
    integer(SectionTimer, URInterval, s.URInterval);
    integer(SectionTimer, MaxTick, s.MaxTick);
    integer(SectionTimer, MaxError, s.MaxError);
    integer(SectionTimer, MaxErrorTick, s.MaxErrorTick);
    integer(SectionSet, MaxCache, s.MaxCache);
    boolean(SectionSet, ReadUct, s.ReadUct);
    boolean(SectionSet, SendUct, s.SendUct);
    text(SectionSet, UctFile, s.UctFile);
    return s;
}
