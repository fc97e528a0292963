#pragma once
// How the mixer dialog's numbers meet the sound server's volumes.
//
// The dialog's volume controls run from 0 to 65535; the server's volumes from 0 (muted) to
// PA_VOLUME_NORM (65536, full volume, "100 %") and beyond (amplified). The mapping is linear
// and rounds to the nearest: 0 ↔ 0, 65535 ↔ PA_VOLUME_NORM, and every dialog value comes back
// unchanged after a trip to the server and back, so showing what was just written never
// moves a track bar. The server's volume is already on a perceptual (cubic) scale, so a track
// bar at half height shows the same "50 %" that the desktop's own mixer shows. Amplified
// volumes above 100 % read as 65535.
//
// Left and right: a server object has one volume per channel. Its left value is the loudest
// of its left-side channels and its right value the loudest of its right-side channels;
// writing sets every left-side channel to the left value, every right-side one to the right
// value and the others (centre, LFE, mono) to the louder of the two. An object without
// left-side and right-side channels (mono, aux channels) uses its first channel as left and
// its second, if any, as right.

#include <pulse/channelmap.h>
#include <pulse/volume.h>

#include <cstdint>

namespace cwt {

inline constexpr int32_t kMixerVolumeMax = 65535;

// A server volume as the dialog's value, 0 … 65535.
int32_t MixerVolumeOf(pa_volume_t volume);
// A dialog value (clamped to 0 … 65535) as a server volume.
pa_volume_t PulseVolumeOf(int32_t value);

struct MixerLeftRight {
    int32_t left = 0;
    int32_t right = 0;
};
// The left and right values of a channel volume; `map` gives the channels' positions.
MixerLeftRight LeftRightOf(const pa_cvolume& volume, const pa_channel_map& map);
// The channel volume, one entry per channel of `map`, that shows `left` and `right`.
pa_cvolume CVolumeOf(const pa_channel_map& map, int32_t left, int32_t right);

}  // namespace cwt
