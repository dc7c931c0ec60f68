#pragma once

#include <QByteArray>

#include <vector>

// The ways the simulated exchange can be told to misbehave. Each stays in
// force until it is turned off; several can be on at once.
struct SimFaults {
    bool silent = false;          // requests are heard but not answered
    int lateMs = 0;               // each reply goes out this much later
    int errorCode = 0;            // not 0: every reply is this error code alone
    bool wrongCrc = false;        // the frame's CRC does not match its body
    bool brokenStuffing = false;  // a lone 0xEE followed by another byte inside the frame
    bool garbage = false;         // stray bytes before the frame
    bool bytewise = false;        // the frame goes out one byte per write
    bool twoFrames = false;       // the frame goes out twice in one write

    bool any() const
    {
        return silent || lateMs > 0 || errorCode != 0 || wrongCrc || brokenStuffing || garbage || bytewise || twoFrames;
    }
};

// Stray bytes that hold single 0xEE and 0x23 bytes but leave a receiver
// hunting again at their end, so the frame after them can still be read.
QByteArray garbageBytes();

// The writes that carry one reply message under packet number `number`,
// shaped by the faults in force (silence and lateness are the sender's).
std::vector<QByteArray> replyWrites(quint8 number, const QByteArray &reply, const SimFaults &faults);
