#pragma once

#include <cstdint>

#include "exchange/generator.h"

namespace triotdt::exchange {

// The run's generator (seeded with 0) as it stands after `drawCount` draws,
// worked out without drawing, in a few microseconds for any count below
// 2^63. Drawing on from it continues the run's stream at draw number
// drawCount + 1; generatorAfter(0) is the generator just seeded.
//
// Each congruential generator is stepped ahead by composing its affine map.
// A table slot holds the value of generators 1 and 2 at the last draw whose
// third generator picked that slot, or its first fill if none did: walking
// generator 3 backwards from the end finds all 97 slots within 1,127 steps.
GeneratorState generatorAfter(std::uint64_t drawCount);

}  // namespace triotdt::exchange
