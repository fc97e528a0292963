// The mixer dialog's volume scale and channel layout against the sound server's volumes.

#include <gtest/gtest.h>

#include <cstring>

#include "sound/PulseMixerTypes.h"
#include "sound/PulseMixerVolume.h"

using namespace cwt;

namespace {

pa_channel_map MapOf(const char* text) {
    pa_channel_map map;
    pa_channel_map_parse(&map, text);
    return map;
}

pa_cvolume VolumeOf(std::initializer_list<pa_volume_t> values) {
    pa_cvolume volume;
    pa_cvolume_init(&volume);
    for (pa_volume_t value : values) volume.values[volume.channels++] = value;
    return volume;
}

}  // namespace

// Showing what was just written must not move a track bar.
TEST(MixerVolume, EveryDialogValueSurvivesTheTripToTheServer) {
    pa_volume_t previous = 0;
    for (int32_t value = 0; value <= kMixerVolumeMax; ++value) {
        const pa_volume_t volume = PulseVolumeOf(value);
        ASSERT_EQ(MixerVolumeOf(volume), value);
        ASSERT_TRUE(value == 0 || volume > previous);
        previous = volume;
    }
}

TEST(MixerVolume, EndsAreSilenceAndFullVolume) {
    EXPECT_EQ(PulseVolumeOf(0), PA_VOLUME_MUTED);
    EXPECT_EQ(PulseVolumeOf(kMixerVolumeMax), PA_VOLUME_NORM);
    EXPECT_EQ(MixerVolumeOf(PA_VOLUME_NORM), kMixerVolumeMax);
    EXPECT_EQ(MixerVolumeOf(PA_VOLUME_NORM / 2), 32768);  // 32767.5 rounds up
    // Amplified volumes read as full; values off the scale are clamped.
    EXPECT_EQ(MixerVolumeOf(PA_VOLUME_NORM * 3 / 2), kMixerVolumeMax);
    EXPECT_EQ(MixerVolumeOf(PA_VOLUME_MAX), kMixerVolumeMax);
    EXPECT_EQ(MixerVolumeOf(PA_VOLUME_INVALID), 0);
    EXPECT_EQ(PulseVolumeOf(-5), PA_VOLUME_MUTED);
    EXPECT_EQ(PulseVolumeOf(70000), PA_VOLUME_NORM);
}

TEST(MixerChannels, StereoGoesByPositionNotOrder) {
    const pa_channel_map swapped = MapOf("front-right,front-left");
    const MixerLeftRight read =
        LeftRightOf(VolumeOf({PulseVolumeOf(100), PulseVolumeOf(200)}), swapped);
    EXPECT_EQ(read.left, 200);
    EXPECT_EQ(read.right, 100);
    const pa_cvolume written = CVolumeOf(swapped, 300, 400);
    ASSERT_EQ(written.channels, 2);
    EXPECT_EQ(written.values[0], PulseVolumeOf(400));
    EXPECT_EQ(written.values[1], PulseVolumeOf(300));
}

// Centre and LFE follow the louder side, so a balance never silences them.
TEST(MixerChannels, SurroundSidesAndCentre) {
    const pa_channel_map surround = MapOf("surround-51");
    const pa_cvolume written = CVolumeOf(surround, 1000, 3000);
    ASSERT_EQ(written.channels, 6);
    for (unsigned i = 0; i < surround.channels; ++i) {
        const pa_channel_position_t position = surround.map[i];
        const bool left =
            position == PA_CHANNEL_POSITION_FRONT_LEFT || position == PA_CHANNEL_POSITION_REAR_LEFT;
        EXPECT_EQ(written.values[i], PulseVolumeOf(left ? 1000 : 3000)) << i;
    }
    const MixerLeftRight read = LeftRightOf(written, surround);
    EXPECT_EQ(read.left, 1000);
    EXPECT_EQ(read.right, 3000);
}

TEST(MixerChannels, ObjectsWithoutSidesGoByChannelOrder) {
    const pa_channel_map mono = MapOf("mono");
    const pa_cvolume monoVolume = CVolumeOf(mono, 500, 900);
    ASSERT_EQ(monoVolume.channels, 1);
    EXPECT_EQ(monoVolume.values[0], PulseVolumeOf(500));
    EXPECT_EQ(LeftRightOf(monoVolume, mono).right, 500);

    const pa_channel_map aux = MapOf("aux0,aux1,aux2");
    const pa_cvolume auxVolume = CVolumeOf(aux, 500, 900);
    EXPECT_EQ(auxVolume.values[0], PulseVolumeOf(500));
    EXPECT_EQ(auxVolume.values[1], PulseVolumeOf(900));
    EXPECT_EQ(auxVolume.values[2], PulseVolumeOf(900));
    EXPECT_EQ(LeftRightOf(auxVolume, aux).left, 500);
    EXPECT_EQ(LeftRightOf(auxVolume, aux).right, 900);
}

// The log names only the numbers that have a name, at the ends of both ranges.
TEST(MixerNames, RangesEndWhereTheNamesEnd) {
    using namespace cwt::mixer;
    EXPECT_STREQ(ComponentTypeName(kDstSpeakers), "MIXERLINE_COMPONENTTYPE_DST_SPEAKERS");
    EXPECT_STREQ(ComponentTypeName(8), "MIXERLINE_COMPONENTTYPE_DST_VOICEIN");
    EXPECT_EQ(ComponentTypeName(9), nullptr);
    EXPECT_EQ(ComponentTypeName(kSrcFirst - 1), nullptr);
    EXPECT_STREQ(ComponentTypeName(kSrcWaveOut), "MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT");
    EXPECT_STREQ(ComponentTypeName(kSrcLast), "MIXERLINE_COMPONENTTYPE_SRC_ANALOG");
    EXPECT_EQ(ComponentTypeName(kSrcLast + 1), nullptr);
    EXPECT_STREQ(ControlTypeName(kControlVolume), "MIXERCONTROL_CONTROLTYPE_VOLUME");
    EXPECT_STREQ(ControlTypeName(kControlMute), "MIXERCONTROL_CONTROLTYPE_MUTE");
    EXPECT_EQ(ControlTypeName(0x20012277), nullptr);  // bass boost is not among them
}
