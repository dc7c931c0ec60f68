#pragma once

#include "app/ExchangeRequest.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// The requests waiting for the exchange, oldest first: at most one of each of
// the agent's own kinds and one per client connection, at most MaxEntries.
class RequestQueue {
public:
    static constexpr int MaxEntries = 100;

    struct Entry {
        QString key;                             // the kind letter, or "I" + socket handle
        std::optional<ExchangeRequest> request;  // a client's bytes; own kinds are built when sent
    };

    // A client's newer request replaces its waiting one at the end of the
    // queue; an own kind already waiting is not queued twice; a full queue
    // drops its oldest entry.
    void EnqueueRequest(char kind, qintptr socketHandle = 0, QByteArrayView bytes = {});

    bool isEmpty() const { return m_entries.empty(); }
    int size() const { return static_cast<int>(m_entries.size()); }
    const Entry &head() const { return m_entries.front(); }
    void removeHead() { m_entries.pop_front(); }
    void clear() { m_entries.clear(); }
    QStringList keys() const;

private:
    std::deque<Entry> m_entries;
};

// The requests sent and not yet answered, by packet number. An entry stays
// until its reply comes or a later request is sent under the same number.
class PendingReplies {
public:
    void add(std::uint8_t packetNumber, ExchangeRequest request);
    std::optional<ExchangeRequest> take(std::uint8_t packetNumber);
    int size() const;
    void clear();

private:
    std::optional<ExchangeRequest> m_byNumber[256];
};
