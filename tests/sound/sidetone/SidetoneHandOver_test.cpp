// Edges and tone changes handed to the audio thread by several threads at once: every edge
// arrives once and in its producer's order, a full queue refuses instead of blocking, and a
// tone is never read half written.

#include <gtest/gtest.h>

#include <atomic>
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
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 200000; ++i) shared.store(i % 2 ? a : b);
        done.store(true);
    });
    uint32_t seen = 0;
    int reads = 0;
    while (!done.load()) {
        ToneSettings tone;
        if (!shared.loadIfChanged(seen, tone)) continue;
        ++reads;
        const bool isA = tone.freqHz == a.freqHz;
        const ToneSettings& expected = isA ? a : b;
        ASSERT_EQ(tone.cut, expected.cut);
        ASSERT_EQ(tone.slope, expected.slope);
        ASSERT_EQ(tone.timbre, expected.timbre);
        ASSERT_EQ(tone.kind, expected.kind);
        ASSERT_EQ(tone.sampleBits, expected.sampleBits);
        ASSERT_EQ(tone.synthRate, expected.synthRate);
    }
    writer.join();
    EXPECT_GT(reads, 0);
}

}  // namespace
}  // namespace cwt
