#pragma once

#include "log/LogFlags.h"

#include <QString>

class ProfileFile;

// Section and key names of Agent.ini, shared by start-up and the dialogs that
// write keys back.
namespace IniKey {
inline const QString SectionSet = QStringLiteral("Set");
inline const QString SectionLog = QStringLiteral("Log");
inline const QString SectionTimer = QStringLiteral("Timer");

inline const QString Port = QStringLiteral("Port");
inline const QString MaxCache = QStringLiteral("MaxCache");
inline const QString ReadUct = QStringLiteral("ReadUct");
inline const QString SendUct = QStringLiteral("SendUct");
inline const QString UctFile = QStringLiteral("UctFile");

inline const QString Com_In = QStringLiteral("Com_In");
inline const QString Com_PureIn = QStringLiteral("Com_PureIn");
inline const QString Com_Out = QStringLiteral("Com_Out");
inline const QString Com_LocOut = QStringLiteral("Com_LocOut");
inline const QString TCP_IP_In = QStringLiteral("TCP/IP_In");
inline const QString TCP_IP_Out = QStringLiteral("TCP/IP_Out");
inline const QString Extent = QStringLiteral("Extent");

inline const QString Interval = QStringLiteral("Interval");
inline const QString ANInterval = QStringLiteral("ANInterval");
inline const QString ANTimeOut = QStringLiteral("ANTimeOut");
inline const QString TrapInterval = QStringLiteral("TrapInterval");
inline const QString MSGInterval = QStringLiteral("MSGInterval");
inline const QString URInterval = QStringLiteral("URInterval");
inline const QString MaxTick = QStringLiteral("MaxTick");
inline const QString MaxError = QStringLiteral("MaxError");
inline const QString MaxErrorTick = QStringLiteral("MaxErrorTick");
}  // namespace IniKey

// The values of the sections Set, Log and Timer, each under its key's name,
// with the defaults that apply when Agent.ini lacks a key or holds no number.
struct AgentSettings {
    QString Port = QStringLiteral("COM2:9600,N,8,1");
    LogFlags logFlags;

    int Interval = 100;        // ms, TimerTick
    int ANInterval = 600;      // ms, TimerAN
    int ANTimeOut = 10;        // s
    int TrapInterval = 5000;   // ms, TimerSMS
    int MSGInterval = 11000;   // ms, TimerMSG
    int URInterval = 2000;     // ms, TimerUR
    int MaxTick = 9;           // ticks
    int MaxError = 6;          // timeouts
    int MaxErrorTick = 600;    // ticks

    int MaxCache = 110;
    bool ReadUct = true;
    bool SendUct = false;
    QString UctFile = QStringLiteral("DATA.NEW");
};

// Reads every key in the order of the start-up sequence.
AgentSettings readAgentSettings(const ProfileFile &profile);
