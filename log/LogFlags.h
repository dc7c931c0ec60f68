#pragma once

// The log categories; each caller tests its flag at the moment of the event.
struct LogFlags {
    bool Com_In = true;
    bool Com_PureIn = true;
    bool Com_Out = false;
    bool Com_LocOut = false;
    bool TCP_IP_In = true;   // key "TCP/IP_In"
    bool TCP_IP_Out = false; // key "TCP/IP_Out"
    bool Extent = false;
};
