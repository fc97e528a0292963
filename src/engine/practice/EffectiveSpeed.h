#pragma once
// Speeds in words per minute by the word PARIS, and the extra silence that slows a send to an
// effective speed below its character speed (Farnsworth spacing): the letters keep their
// speed, the gaps after them grow.
//
// A speed of w WPM sends "PARIS " w times a minute with this program's own gaps: 7 units after
// a letter and 8 more for a word space, so PARIS takes 74 units here, not the 50 of the usual
// convention. The character speed is the speed of the main window's sends; the effective
// speed equals it when no silence is added.

#include <string_view>
#include <vector>

#include "engine/morse/SendDispatch.h"

namespace cwt {

// The units "PARIS " takes when sent, letter gaps and the word space included.
int ParisUnits();

// The speed at a unit of `unitMs` milliseconds; 0 for a unit of 0 or less.
double WpmOfUnitMs(double unitMs);

// The units a planned send takes, every buffer with its gaps.
long long PlanUnits(const std::vector<PlannedBuffer>& plan);

// The silence to add after each buffer of `plan`, in the output's own ticks (samples on the
// wave output, milliseconds on the PC speaker; `ticksPerUnit` of them make a unit), so that
// the send lasts characterWpm / effectiveWpm times as long as without it: its average speed is
// then the effective speed. The silence goes after every letter that ends with the character
// gap, three shares each, and after every word space, four more, as Farnsworth spacing
// stretches a 3-unit letter gap and a 7-unit word gap alike. Letters inside a joined sign get
// none. The shares are rounded so that they add up exactly. All zero when the effective speed
// is not below the character speed.
std::vector<long long> ExtraSilence(const std::vector<PlannedBuffer>& plan, int ticksPerUnit,
                                    double characterWpm, double effectiveWpm);

}  // namespace cwt
