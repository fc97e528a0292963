// Edges and tone changes handed to the audio thread by several threads at once: every edge
// arrives once and in its producer's order, a full queue refuses instead of blocking, and a
// tone is never read half written.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "sound/sidetone/KeyEdgeQueue.h"
#include "sound/sidetone/SharedTone.h"

namespace cwt {
namespace {

TEST(KeyEdgeQueue, ManyProducersOneConsumerLoseNothing) {
    constexpr int kProducers = 4;
    constexpr int kEach = 50000;
    KeyEdgeQueue queue;
    std::atomic<bool> go{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&, p] {
            while (!go.load()) {
            }
            for (int i = 0; i < kEach; ++i) {
                // The time says who sent it and in which order.
                const keyer::KeyEdge edge{i % 2 == 0, keyer::KeyTime(int64_t{p} << 32 | i)};
                while (!queue.push(edge)) std::this_thread::yield();
            }
        });
    }
    std::vector<int> next(kProducers, 0);
    int received = 0;
    go.store(true);
    while (received < kProducers * kEach) {
        keyer::KeyEdge edge;
        if (!queue.pop(edge)) continue;
        const auto producer = static_cast<int>(edge.time.count() >> 32);
        const auto index = static_cast<int>(edge.time.count() & 0xFFFFFFFF);
        ASSERT_EQ(index, next[producer]) << "producer " << producer;
        ASSERT_EQ(edge.down, index % 2 == 0);
        ++next[producer];
        ++received;
    }
    for (std::thread& producer : producers) producer.join();
    keyer::KeyEdge left;
    EXPECT_FALSE(queue.pop(left));
}

TEST(KeyEdgeQueue, AFullQueueRefusesAndRecovers) {
    KeyEdgeQueue queue;
    for (size_t i = 0; i < KeyEdgeQueue::kCapacity; ++i)
        ASSERT_TRUE(queue.push({true, keyer::KeyTime(static_cast<int64_t>(i))}));
    EXPECT_FALSE(queue.push({true, keyer::KeyTime(-1)}));
    keyer::KeyEdge edge;
    ASSERT_TRUE(queue.pop(edge));
    EXPECT_EQ(edge.time.count(), 0);
    EXPECT_TRUE(queue.push({false, keyer::KeyTime(99)}));
}

TEST(SharedTone, AReaderNeverSeesHalfAChange) {
    ToneSettings a;
    ToneSettings b;
    b.freqHz = 1400;
    b.cut = 60;
    b.slope = 20;
    b.timbre = 9;
    b.kind = WaveKind::M4;
    b.sampleBits = 16;
    b.synthRate = 44100;
    SharedTone shared;
    shared.store(a);
    // The writer starts once the reader runs and goes on until the reader has taken enough
    // copies in the middle of its changes: on a busy machine the writer's stores may otherwise
    // all be done before the reader is first scheduled, and nothing would be checked (1 run in
    // 50 under load). It steps aside now and then, as the GUI thread between changes does, so
    // that a reader on the same core gets copies in too.
    constexpr int kWantedReads = 200;
    constexpr int kLeastStores = 200000;
    std::atomic<bool> reading{false};
    std::atomic<int> reads{0};
    std::atomic<bool> stop{false};  // a torn copy was seen: nothing more to learn
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!reading.load()) std::this_thread::yield();
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int i = 0; !stop.load(std::memory_order_relaxed) &&
                        (i < kLeastStores || reads.load(std::memory_order_relaxed) < kWantedReads);
             ++i) {
            shared.store(i % 2 ? a : b);
            if (i % 256 != 0) continue;
            std::this_thread::yield();
            if (std::chrono::steady_clock::now() > giveUp) break;
        }
        done.store(true);
    });
    const auto same = [](const ToneSettings& x, const ToneSettings& y) {
        return x.freqHz == y.freqHz && x.cut == y.cut && x.slope == y.slope &&
               x.timbre == y.timbre && x.kind == y.kind && x.sampleBits == y.sampleBits &&
               x.synthRate == y.synthRate;
    };
    uint32_t seen = 0;
    int torn = 0;
    reading.store(true);
    while (!done.load() && torn == 0) {
        ToneSettings tone;
        if (!shared.loadIfChanged(seen, tone)) continue;
        reads.fetch_add(1, std::memory_order_relaxed);
        if (!same(tone, a) && !same(tone, b)) ++torn;
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(torn, 0) << "a copy mixed two changes";
    EXPECT_GE(reads.load(), kWantedReads);
}

}  // namespace
}  // namespace cwt
