#include "sound/PulseMixerVolume.h"

#include <algorithm>

namespace cwt {

namespace {

constexpr int64_t kNorm = PA_VOLUME_NORM;
constexpr int64_t kMax = kMixerVolumeMax;

bool IsLeft(pa_channel_position_t position) {
    switch (position) {
        case PA_CHANNEL_POSITION_FRONT_LEFT:
        case PA_CHANNEL_POSITION_REAR_LEFT:
        case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
        case PA_CHANNEL_POSITION_SIDE_LEFT:
        case PA_CHANNEL_POSITION_TOP_FRONT_LEFT:
        case PA_CHANNEL_POSITION_TOP_REAR_LEFT:
            return true;
        default:
            return false;
    }
}

bool IsRight(pa_channel_position_t position) {
    switch (position) {
        case PA_CHANNEL_POSITION_FRONT_RIGHT:
        case PA_CHANNEL_POSITION_REAR_RIGHT:
        case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
        case PA_CHANNEL_POSITION_SIDE_RIGHT:
        case PA_CHANNEL_POSITION_TOP_FRONT_RIGHT:
        case PA_CHANNEL_POSITION_TOP_REAR_RIGHT:
            return true;
        default:
            return false;
    }
}

// True when the map has a left-side and a right-side channel; such objects are read and
// written by the channels' positions, the others by their channel order.
bool HasSides(const pa_channel_map& map) {
    bool left = false;
    bool right = false;
    for (unsigned i = 0; i < map.channels; ++i) {
        left = left || IsLeft(map.map[i]);
        right = right || IsRight(map.map[i]);
    }
    return left && right;
}

}  // namespace

int32_t MixerVolumeOf(pa_volume_t volume) {
    if (!PA_VOLUME_IS_VALID(volume)) return 0;
    // Rounded to the nearest (halves up) with integers only.
    const int64_t value = (2 * int64_t{volume} * kMax + kNorm) / (2 * kNorm);
    return static_cast<int32_t>(std::min(value, kMax));
}

pa_volume_t PulseVolumeOf(int32_t value) {
    const int64_t clamped = std::clamp<int64_t>(value, 0, kMax);
    return static_cast<pa_volume_t>((2 * clamped * kNorm + kMax) / (2 * kMax));
}

MixerLeftRight LeftRightOf(const pa_cvolume& volume, const pa_channel_map& map) {
    const unsigned channels = std::min<unsigned>(volume.channels, map.channels);
    if (channels == 0) return {};
    if (!HasSides(map)) {
        const int32_t first = MixerVolumeOf(volume.values[0]);
        return {first, channels > 1 ? MixerVolumeOf(volume.values[1]) : first};
    }
    MixerLeftRight result;
    for (unsigned i = 0; i < channels; ++i) {
        const int32_t value = MixerVolumeOf(volume.values[i]);
        if (IsLeft(map.map[i])) result.left = std::max(result.left, value);
        if (IsRight(map.map[i])) result.right = std::max(result.right, value);
    }
    return result;
}

pa_cvolume CVolumeOf(const pa_channel_map& map, int32_t left, int32_t right) {
    pa_cvolume volume;
    pa_cvolume_init(&volume);
    volume.channels = map.channels;
    const bool sides = HasSides(map);
    const pa_volume_t leftVolume = PulseVolumeOf(left);
    const pa_volume_t rightVolume = PulseVolumeOf(right);
    const pa_volume_t louder = std::max(leftVolume, rightVolume);
    for (unsigned i = 0; i < map.channels; ++i) {
        const bool isLeft = sides ? IsLeft(map.map[i]) : i == 0;
        const bool isRight = sides ? IsRight(map.map[i]) : i == 1;
        volume.values[i] = isLeft ? leftVolume : isRight ? rightVolume : louder;
    }
    return volume;
}

}  // namespace cwt
