// The ring between the libpulse thread and the reader: order kept across the wrap, nothing
// overwritten when full (the excess is counted), and every sample through once when both
// threads run at once.

#include "sound/SampleRing.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace cwt {
namespace {

TEST(SampleRing, KeepsOrderAcrossTheWrapAndDropsWhatDoesNotFit) {
    SampleRing ring(8);
    float out[8];
    const float first[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ring.write(first, 6), 6u);
    EXPECT_EQ(ring.read(out, 4), 4u);
    const float second[7] = {7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(ring.write(second, 7), 6u);  // 2 waiting, room for 6
    EXPECT_EQ(ring.dropped(), 1u);
    EXPECT_EQ(ring.writeSilence(1), 0u);
    EXPECT_EQ(ring.dropped(), 2u);
    ASSERT_EQ(ring.read(out, 8), 8u);
    EXPECT_EQ(std::vector<float>(out, out + 8), (std::vector<float>{5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(ring.read(out, 8), 0u);
    EXPECT_EQ(ring.writeSilence(3), 3u);
    ring.clear();
    EXPECT_EQ(ring.available(), 0u);
}

TEST(SampleRing, EverySampleThroughOnceWhileBothThreadsRun) {
    SampleRing ring(64);
    constexpr int kCount = 50000;
    std::thread writer([&] {
        float block[7];
        int next = 0;
        while (next < kCount) {
            int n = 0;
            for (; n < 7 && next + n < kCount; ++n) block[n] = static_cast<float>(next + n);
            size_t done = 0;
            while (done < static_cast<size_t>(n)) {
                const size_t room = ring.capacity() - ring.available();
                done += ring.write(block + done, std::min(room, static_cast<size_t>(n) - done));
            }
            next += n;
        }
    });
    std::vector<float> got;
    float out[13];
    while (got.size() < kCount) {
        const size_t n = ring.read(out, 13);
        got.insert(got.end(), out, out + n);
    }
    writer.join();
    EXPECT_EQ(ring.dropped(), 0u);
    for (int i = 0; i < kCount; ++i) ASSERT_EQ(got[static_cast<size_t>(i)], i);
}

}  // namespace
}  // namespace cwt
