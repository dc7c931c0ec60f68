#include "gateway/ReplyCache.h"
#include "support/ManualClock.h"
#include "support/Bytes.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ReplyCacheTest, NoSlotsMeansNoCache)
{
    ManualClock clock;
    for (const int maxCache : {0, -5, std::numeric_limits<int>::max()}) {
        ReplyCache cache(maxCache, clock);
        EXPECT_EQ(cache.capacity(), 0) << maxCache;
        cache.StoreReply(bytes({0, 1, 0}), bytes({0, 1, 0, 7}));
        EXPECT_EQ(cache.FindCachedReply(bytes({0, 1, 0}), false), -1);
    }
}

TEST(ReplyCacheTest, AnswersWithinTheStructuresLifetime)
{
    ManualClock clock;
    ReplyCache cache(110, clock);
    const struct {
        QByteArray request;
        int lifetimeMs;
    } cases[] = {
        {bytes({0, 1, 2}), 2000},
        {bytes({0, 22, 0}), 300},
        {bytes({0, 0, 0}), 3600000},
        {bytes({0, 27, 0}), 10},
        {bytes({0}), 10},
    };
    for (const auto &c : cases) {
        cache.StoreReply(c.request, bytes({0, 9}));
        clock.advance(c.lifetimeMs - 1);
        const int fresh = cache.FindCachedReply(c.request, true);
        ASSERT_GE(fresh, 0) << c.request.toHex().toStdString();
        EXPECT_EQ(cache.slot(fresh).reply, bytes({0, 9}));
        clock.advance(1);
        EXPECT_EQ(cache.FindCachedReply(c.request, true), -1) << c.request.toHex().toStdString();
        EXPECT_EQ(cache.FindCachedReply(c.request, false), fresh);
    }
}

TEST(ReplyCacheTest, SameRequestIsReplacedInPlaceAndAFullRingDropsTheOldest)
{
    ManualClock clock;
    ReplyCache cache(2, clock);
    cache.StoreReply(bytes({0, 1, 0}), bytes({0, 1, 0, 1}));
    cache.StoreReply(bytes({0, 1, 0}), bytes({0, 1, 0, 2}));
    EXPECT_EQ(cache.filled(), 1);
    EXPECT_EQ(cache.slot(cache.FindCachedReply(bytes({0, 1, 0}), true)).reply, bytes({0, 1, 0, 2}));

    cache.StoreReply(bytes({0, 2, 0}), bytes({0, 2, 0}));
    cache.StoreReply(bytes({0, 3, 0}), bytes({0, 3, 0}));
    EXPECT_EQ(cache.filled(), 2);
    EXPECT_EQ(cache.FindCachedReply(bytes({0, 1, 0}), false), -1);
    EXPECT_GE(cache.FindCachedReply(bytes({0, 2, 0}), false), 0);
    EXPECT_GE(cache.FindCachedReply(bytes({0, 3, 0}), false), 0);
}

TEST(ReplyCacheTest, KeepsOnlyWholeReadsItCanHold)
{
    ManualClock clock;
    ReplyCache cache(10, clock);
    cache.StoreReply(bytes({1, 17, 0, 1}), bytes({0, 17, 0}));
    cache.StoreReply(bytes({0, 2, 0}), QByteArray(300, '\0'));
    cache.StoreReply(QByteArray(), bytes({0}));
    EXPECT_EQ(cache.filled(), 0);

    // A request is matched whole: a shorter one asks something else.
    cache.StoreReply(bytes({0, 2, 5}), bytes({0, 2, 5, 1}));
    EXPECT_EQ(cache.FindCachedReply(bytes({0, 2}), true), -1);
    EXPECT_EQ(cache.FindCachedReply(bytes({0, 2, 5, 0}), true), -1);
    EXPECT_GE(cache.FindCachedReply(bytes({0, 2, 5}), true), 0);
}

}  // namespace
