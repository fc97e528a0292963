// The queue between the key inputs and the live keyer: two producers pushing at once while the
// consumer takes, every value arrives once and each producer's values in their order; a full
// queue refuses instead of overwriting.
#include "sound/BoundedQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace cwt;

namespace {

struct Tagged {
    int producer = 0;
    int sequence = 0;
};

}  // namespace

TEST(BoundedQueue, TwoProducersAndAConsumerAtOnceLoseAndReorderNothing) {
    BoundedQueue<Tagged, 64> queue;  // small, so that the producers often find it full
    constexpr int kEach = 200'000;
    std::atomic<bool> go{false};
    auto produce = [&](int producer) {
        while (!go.load()) {
        }
        for (int i = 0; i < kEach; ++i)
            while (!queue.push({producer, i})) std::this_thread::yield();
    };
    std::thread first(produce, 0);
    std::thread second(produce, 1);
    go.store(true);
    int next[2] = {0, 0};
    int taken = 0;
    Tagged value;
    while (taken < 2 * kEach) {
        if (!queue.pop(value)) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(value.sequence, next[value.producer]) << "producer " << value.producer;
        ++next[value.producer];
        ++taken;
    }
    first.join();
    second.join();
    EXPECT_FALSE(queue.pop(value));
}

TEST(BoundedQueue, AFullQueueRefusesAndKeepsWhatItHolds) {
    BoundedQueue<int, 4> queue;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.push(i));
    EXPECT_FALSE(queue.push(99));
    int value = -1;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(queue.pop(value));
        EXPECT_EQ(value, i);
    }
    EXPECT_FALSE(queue.pop(value));
    EXPECT_TRUE(queue.push(5));  // the cells go round
    ASSERT_TRUE(queue.pop(value));
    EXPECT_EQ(value, 5);
}
