#pragma once
// The records the mixer dialog works on, and the numbers they carry. The dialog thinks in the
// terms of the Windows mixer interface (mixers with destination and source lines, typed
// controls on the lines); its log prints those numbers and their names, so the records keep
// them, filled from the sound server's objects:
//
//   mixer             a sink
//   destination line  destination 0 of every mixer: the sink itself, component type
//                     speakers (its volume, balance and mute)
//   source lines      the playback streams (sink inputs) on the sink, lowest index first; a
//                     stream of this process is the wave-output source, the others are
//                     "undefined" sources
//   controls          volume (0 … 65535) and mute (0 … 1) of a line; see PulseMixerVolume.h

#include <QString>
#include <cstdint>

namespace cwt::mixer {

// Line component types.
inline constexpr uint32_t kDstUndefined = 0;
inline constexpr uint32_t kDstSpeakers = 4;
inline constexpr uint32_t kDstLast = 8;
inline constexpr uint32_t kSrcFirst = 0x1000;
inline constexpr uint32_t kSrcUndefined = 0x1000;
inline constexpr uint32_t kSrcWaveOut = 0x1008;
inline constexpr uint32_t kSrcLast = 0x100A;

// Line flags and target types.
inline constexpr uint32_t kLineActive = 0x1;
inline constexpr uint32_t kLineSource = 0x80000000u;
inline constexpr uint32_t kTargetWaveOut = 1;

// Control types and flags.
inline constexpr uint32_t kControlMute = 0x20010002;
inline constexpr uint32_t kControlVolume = 0x50030001;
inline constexpr uint32_t kControlUniform = 0x1;
inline constexpr uint32_t kControlDisabled = 0x80000000u;

// Results of asking for a line's control: 0, these two, or a sound-server error code
// (connection refused, timeout, …), which are all below 1024.
inline constexpr int kNoError = 0;
inline constexpr int kInvalidLine = 1024;
inline constexpr int kInvalidControl = 1025;

// The Windows name of a line's component type ("MIXERLINE_COMPONENTTYPE_DST_SPEAKERS"), or
// nullptr for a number that is none.
const char* ComponentTypeName(uint32_t componentType);
// The Windows name of a control type ("MIXERCONTROL_CONTROLTYPE_VOLUME"), or nullptr.
const char* ControlTypeName(uint32_t controlType);

// A mixer's capabilities. `id` is the sink's name, which finds it again.
struct MixerCaps {
    QString id;
    QString name;               // the sink's description
    uint32_t support = 0;       // the sink's flags (hardware volume, …)
    uint32_t destinations = 0;  // 1, or 0 when the sink is gone
};

// A destination or source line.
struct MixerLine {
    uint32_t destination = 0;
    uint32_t source = 0;          // index among the sink's streams; 0 for the destination
    uint32_t lineId = 0;          // see PulseMixer: the sink's or the stream's index, tagged
    uint32_t flags = 0;           // kLineActive unless suspended or corked; kLineSource
    uint32_t user = 0;            // the sink's card, the stream's client (0xffffffff: none)
    uint32_t channels = 0;        // the object's channel count
    uint32_t controls = 0;        // volume and mute; a stream without volume has mute only
    uint32_t connections = 0;     // streams on the sink; 0 for a source line
    QString shortName;            // the sink's name; the stream's application name
    QString name;                 // the sink's description; the stream's media name
    uint32_t targetType = 0;      // kTargetWaveOut
    uint32_t targetDeviceId = 0;  // the sink's index
    QString targetName;           // the sink's description
    uint32_t componentType = 0;
};

// One control of a line.
struct MixerControl {
    uint32_t controlId = 0;
    uint32_t controlType = 0;
    uint32_t flags = 0;  // kControlUniform for a one-channel object and for every mute
    uint32_t multipleItems = 0;
    int32_t minimum = 0;
    int32_t maximum = 0;
};

}  // namespace cwt::mixer
