#include "app/RequestQueue.h"

#include <algorithm>

void RequestQueue::EnqueueRequest(char kind, qintptr socketHandle, QByteArrayView bytes)
{
    Entry entry;
    if (kind == 'I') {
        entry.key = QStringLiteral("I") + QString::number(socketHandle);
        entry.request = ExchangeRequest::make(kind, bytes, socketHandle);
        std::erase_if(m_entries, [&](const Entry &waiting) { return waiting.key == entry.key; });
    } else {
        entry.key = QString(QChar::fromLatin1(kind));
        if (std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry &waiting) { return waiting.key == entry.key; }))
            return;
    }
    if (size() >= MaxEntries)
        m_entries.pop_front();
    m_entries.push_back(std::move(entry));
}

QStringList RequestQueue::keys() const
{
    QStringList keys;
    for (const Entry &entry : m_entries)
        keys << entry.key;
    return keys;
}

void PendingReplies::add(std::uint8_t packetNumber, ExchangeRequest request)
{
    m_byNumber[packetNumber] = std::move(request);
}

std::optional<ExchangeRequest> PendingReplies::take(std::uint8_t packetNumber)
{
    std::optional<ExchangeRequest> taken;
    taken.swap(m_byNumber[packetNumber]);
    return taken;
}

int PendingReplies::size() const
{
    return static_cast<int>(std::count_if(std::begin(m_byNumber), std::end(m_byNumber),
                                          [](const auto &entry) { return entry.has_value(); }));
}

void PendingReplies::clear()
{
    for (auto &entry : m_byNumber)
        entry.reset();
}
