#include "gateway/ReplyCache.h"

#include "common/Clock.h"
#include "data/ExchangeTables.h"

#include <new>

ReplyCache::ReplyCache(int maxCache, const Clock &clock)
    : m_clock(clock)
{
    if (maxCache <= 0)
        return;
    m_slots.reset(new (std::nothrow) CacheEntry[static_cast<size_t>(maxCache)]);
    if (m_slots)
        m_capacity = maxCache;
}

int ReplyCache::FindCachedReply(QByteArrayView request, bool freshOnly) const
{
    if (m_filled == 0)
        return -1;
    const qint64 now = m_clock.now().toMSecsSinceEpoch();
    const int count = capacity();
    for (int visited = 0, index = m_next; visited < m_filled; ++visited) {
        index = (index - 1 + count) % count;
        const CacheEntry &entry = m_slots[index];
        if (freshOnly && now - entry.storedMs >= entry.lifetimeMs)
            continue;
        // The whole request must match: a shorter request is another question.
        if (entry.request == request)
            return index;
    }
    return -1;
}

void ReplyCache::StoreReply(QByteArrayView request, QByteArrayView reply)
{
    if (capacity() == 0 || request.isEmpty() || request[0] != Exchange::CmdRead)
        return;
    if (request.size() > MaxMessageLength || reply.size() > MaxMessageLength)
        return;
    int index = FindCachedReply(request, false);
    if (index < 0) {
        index = m_next;
        m_next = (m_next + 1) % capacity();
        if (m_filled < capacity())
            ++m_filled;
    }
    CacheEntry &entry = m_slots[index];
    entry.request = request.toByteArray();
    entry.reply = reply.toByteArray();
    entry.lifetimeMs = request.size() > 1 ? Exchange::structureLifetimeMs(static_cast<std::uint8_t>(request[1]))
                                          : Exchange::UnknownStructureLifetimeMs;
    entry.storedMs = m_clock.now().toMSecsSinceEpoch();
}
