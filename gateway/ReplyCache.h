#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class Clock;

// Recent read replies of the exchange, so a client repeating a read within
// the structure's lifetime is answered without the serial line. A fixed ring
// of slots allocated once; a request already held is replaced in place.
class ReplyCache {
public:
    // Requests and replies longer than this are not cached.
    static constexpr qsizetype MaxMessageLength = 256;

    struct CacheEntry {
        QByteArray request;
        QByteArray reply;
        qint64 storedMs = 0;  // ms since the epoch
        int lifetimeMs = 0;
    };

    // Slots that cannot be allocated, or a count below 1, leave no cache.
    ReplyCache(int maxCache, const Clock &clock);

    int capacity() const { return m_capacity; }
    int filled() const { return m_filled; }

    int FindCachedReply(QByteArrayView request, bool freshOnly) const;
    void StoreReply(QByteArrayView request, QByteArrayView reply);
    const CacheEntry &slot(int index) const { return m_slots[index]; }

private:
    const Clock &m_clock;
    std::unique_ptr<CacheEntry[]> m_slots;
    int m_capacity = 0;
    int m_next = 0;
    int m_filled = 0;
};
