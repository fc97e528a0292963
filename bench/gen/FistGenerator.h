#pragma once
// Synthetic keying for tests and benchmarks: a text (English or Korean, UTF-8) keyed as a
// computer, a paddle or a hand key would key it, as the marks and spaces the decoder reads.
//
// Element and gap lengths are log-normal, unit · exp(N(μ, σ)), with VE3NEA's figures for each
// keying style (dot, dash, element gap, letter gap, word gap):
//
//   hand key  μ 0, 1.5, 0, 1.5, 2       σ .15, .3, .2, .3, .2
//   paddle    μ 0, 1.1, 0, 1.1, 1.94    σ .05, .016, .05, .2, .2
//   computer  μ 0, ln 3, 0, ln 3, ln 7  σ .05, .016, .05, .016, .008
//
// plus a key on/off imbalance (marks longer by it, spaces shorter), which VE3NEA draws from
// N(0, 0.1) dot: an operator's own, so it is given per operator (DrawImbalance), not per text. The
// letter and word gaps keep the style's bias against 3 and 7 units when the spacing asks for other
// lengths (Farnsworth, this program's own spacing). "Ideal" keys every length exactly. The same
// seed gives the same keying on every machine.
//
// Nothing here knows about sound: a decoder of sound puts its tone, noise and fading on top.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/decode/Decoded.h"

namespace cwt::testgen {

enum class KeyingStyle { Ideal, Computer, Paddle, HandKey };

// Gaps in units after a character, after a Hangul syllable, and what a word space adds to the
// gap before it.
struct Spacing {
    double letterUnits = 3;
    double syllableUnits = 3;
    double wordExtraUnits = 4;

    static Spacing Standard() { return {3, 3, 4}; }
    // This program's own: 7 after a letter, 13 after a syllable, 8 more for a word space.
    static Spacing Program() { return {7, 13, 8}; }
};

// From word `wordIndex` (0-based) on, the speed is `wpm`.
struct SpeedStep {
    size_t wordIndex = 0;
    double wpm = 0;
};

struct KeyingOptions {
    KeyingStyle style = KeyingStyle::Paddle;
    // Character speed by PARIS of 50 units: a dot lasts 1200 / wpm ms.
    double wpm = 20;
    // Farnsworth: gaps between characters and words stretch so that the average speed is this.
    // 0: none.
    double effectiveWpm = 0;
    Spacing spacing = Spacing::Standard();
    // The speed drifts evenly from `wpm` to this over the text; 0: no drift.
    double endWpm = 0;
    std::vector<SpeedStep> steps;
    uint64_t seed = 1;
    double startMs = 0;
    double imbalanceDots = 0;  // ignored for Ideal keying
};

struct Keying {
    std::vector<decode::KeyStretch> stretches;  // starts and ends with a mark
    // What each stretch was keyed as. A syllable gap only where the spacing makes it longer
    // than a letter gap; the three units inside 예 and 얘 count as a letter gap.
    std::vector<decode::StretchKind> kinds;
    // What was keyed, one symbol a character (a procedure sign is one symbol, see Symbols()),
    // words separated by one blank; characters that have no code are left out.
    std::u16string sent;
    // For each speed step that took effect, the index in `sent` of its first character.
    std::vector<size_t> stepIndices;
    double endMs = 0;  // the end of the last mark
};

Keying KeyText(std::string_view utf8, const KeyingOptions& options);

// An operator's key on/off imbalance in dots, N(0, 0.1), from `seed`.
double DrawImbalance(uint64_t seed);

// The Farnsworth factor: how many times longer the gaps between characters and words are, so
// that "PARIS " keyed with `spacing` at `characterWpm` averages `effectiveWpm`.
double FarnsworthStretch(const Spacing& spacing, double characterWpm, double effectiveWpm);

}  // namespace cwt::testgen
