#pragma once

#include <string>

#include "simulation/particle_field.h"

namespace zintrel {

// The pure arithmetic behind the settings window's controls. Every function
// takes a slider position and returns what its handler stores, so the whole
// mapping is tested without a window.

// Returns the number of active particles for a TrackBar1 position (0..99):
// trunc(2500^(pos/99)), from 1 at 0 to exactly 2500 at 99.
int ParticleCountAt(int position);

// Returns the drawing radius for a TrackBar2 position (0..6): pos + 1 for
// discs, 2 more for darts, whose circumradius needs the room.
double ParticleSizeAt(int position, bool showOrientation);

// Returns the timer interval in milliseconds for a TrackBar9 position
// (0..99): trunc(16^(pos/33)), exactly 1, 16, 256 and 4096 at 0, 33, 66, 99.
int TimerIntervalAt(int position);

// Returns the force-law exponent for a TrackBar4 or TrackBar5 position
// (0..99): pos / 33, so 33 steps make one whole unit.
double ExponentAt(int position);

// Returns the radius Initialise scatters into for a TrackBar8 position
// (0..99) on a display area of fieldWidth x fieldHeight pixels: half the
// shorter side less a 4-pixel margin, scaled by pos / 99, plus 1. Never
// below 1, so a display under 5 pixels still gets a valid disc.
double InitialRadiusAt(int position, int fieldWidth, int fieldHeight);

// The quantities the sliders set, each shown in its slider's tooltip.
enum class SliderQuantity {
  kParticleCount,          // TrackBar1: active particles.
  kParticleSize,           // TrackBar2: drawing radius in pixels.
  kMaxSpeed,               // TrackBar3: speed cap in pixels per tick.
  kActivity,               // TrackBar6: A.
  kRepulsion,              // TrackBar7: B.
  kAcceleration,           // TrackBar4: a.
  kRepulsiveAcceleration,  // TrackBar5: b.
  kInitialRadius,          // TrackBar8: radius of the next Initialise, pixels.
  kTimerInterval,          // TrackBar9: milliseconds between ticks.
};

// Returns the tooltip text for a slider, in the user interface language: one
// sentence on what it does, then its value as the program uses it, with its
// unit: counts, pixels and milliseconds as plain numbers, the four
// force-law constants to three decimals, the initial radius to two. Numbers
// read the same in every language (always a decimal point).
std::string SliderValueText(SliderQuantity quantity, double value);

// One force-law preset: four parameter values and the slider positions that
// show them. Each position maps back onto its value through the slider's own
// handler, so moving a slider to it stores the same value again.
struct ForceLawPreset {
  double activity;                    // Activity.
  int activityPosition;               // TrackBar6.
  double repulsion;                   // Repulsion.
  int repulsionPosition;              // TrackBar7.
  double acceleration;                // Acceleration.
  int accelerationPosition;           // TrackBar4.
  double repulsiveAcceleration;       // RepulsiveAcceleration.
  int repulsiveAccelerationPosition;  // TrackBar5.
};

// The start-up law, balanced at 80 pixels ("type1").
inline constexpr ForceLawPreset kPresetType1{1.0, 1, 8.0, 8, 1.0, 33, 1.0, 33};
// A stronger law falling off with the square of the distance, balanced at
// 60 pixels ("type2").
inline constexpr ForceLawPreset kPresetType2{38.0, 38, 6.0, 6, 2.0, 66, 1.0, 33};

// The nine sliders of the settings window.
enum class Slider { kTrackBar1, kTrackBar2, kTrackBar3, kTrackBar4, kTrackBar5, kTrackBar6, kTrackBar7, kTrackBar8, kTrackBar9 };

inline constexpr Slider kSliders[] = {Slider::kTrackBar1, Slider::kTrackBar2, Slider::kTrackBar3,
                                      Slider::kTrackBar4, Slider::kTrackBar5, Slider::kTrackBar6,
                                      Slider::kTrackBar7, Slider::kTrackBar8, Slider::kTrackBar9};

// The positions of the nine sliders, named after them.
struct SliderPositions {
  int TrackBar1;  // Particle count.
  int TrackBar2;  // Particle size.
  int TrackBar3;  // Speed cap.
  int TrackBar4;  // Acceleration.
  int TrackBar5;  // Repulsive acceleration.
  int TrackBar6;  // Activity.
  int TrackBar7;  // Repulsion.
  int TrackBar8;  // Initial radius.
  int TrackBar9;  // Timer interval.
  bool operator==(const SliderPositions&) const = default;
  int& operator[](Slider slider);
  int operator[](Slider slider) const { return const_cast<SliderPositions&>(*this)[slider]; }
};

// Returns the slider positions that best show a state the program did not
// set through its sliders (an opened file): for each slider, the position
// whose mapped value is nearest the state's exact value, keeping the current
// position wherever it is as near as any. TrackBar8 stays where it is until
// the state has been scattered by Initialise (InitialRadius of at least 1):
// before that the radius says nothing about the slider.
SliderPositions PositionsShowing(const ParticleField& field, bool showOrientation, int timerInterval,
                                 const SliderPositions& current);

}  // namespace zintrel
