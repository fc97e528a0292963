// The master line's volume and balance, as the mixer dialog reads and writes them.

#include <gtest/gtest.h>

#include "ui/mixer/VolumeCtrlUnit.h"

using cwt::ReadVolumeBalance;
using cwt::WriteVolumeBalance;

namespace {
constexpr int32_t kHalf = 50;
}

TEST(VolumeBalance, BalanceEndsSilenceOneChannel) {
    EXPECT_EQ(WriteVolumeBalance(40000, -50, kHalf).left, 40000);
    EXPECT_EQ(WriteVolumeBalance(40000, -50, kHalf).right, 0);
    EXPECT_EQ(WriteVolumeBalance(40000, 50, kHalf).left, 0);
    EXPECT_EQ(WriteVolumeBalance(40000, 50, kHalf).right, 40000);
    EXPECT_EQ(WriteVolumeBalance(40000, 0, kHalf).left, 40000);
    EXPECT_EQ(WriteVolumeBalance(40000, 0, kHalf).right, 40000);
    EXPECT_EQ(ReadVolumeBalance(40000, 0, kHalf).balance, -50);
    EXPECT_EQ(ReadVolumeBalance(0, 40000, kHalf).balance, 50);
}

TEST(VolumeBalance, QuotientsTruncateTowardZero) {
    EXPECT_EQ(ReadVolumeBalance(30000, 20000, kHalf).balance, -16);  // -16.7
    EXPECT_EQ(ReadVolumeBalance(20000, 30000, kHalf).balance, 16);
    EXPECT_EQ(ReadVolumeBalance(20000, 30000, kHalf).volume, 30000);
    EXPECT_EQ(WriteVolumeBalance(7, -33, kHalf).right, 2);  // 2.38
    EXPECT_EQ(WriteVolumeBalance(7, 33, kHalf).left, 2);
}

TEST(VolumeBalance, SilenceHasNoBalance) {
    EXPECT_EQ(ReadVolumeBalance(0, 0, kHalf).volume, 0);
    EXPECT_EQ(ReadVolumeBalance(0, 0, kHalf).balance, 0);
}

// From a volume of `half` up, reading back what was written gives the same volume and
// balance, so a notice of the dialog's own write leaves its bars where the operator put them.
TEST(VolumeBalance, WrittenValuesReadBackUnchanged) {
    for (int32_t volume : {50, 51, 997, 65535}) {
        for (int32_t balance = -kHalf; balance <= kHalf; ++balance) {
            const cwt::LeftRight channels = WriteVolumeBalance(volume, balance, kHalf);
            const cwt::VolumeBalance read = ReadVolumeBalance(channels.left, channels.right, kHalf);
            ASSERT_EQ(read.volume, volume) << balance;
            ASSERT_EQ(read.balance, balance) << volume;
        }
    }
}
