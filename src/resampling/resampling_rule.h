#pragma once

#include <cstdint>
#include <optional>

namespace triotdt::resampling {

// How a run's p-values are made: which stream exchanges the families. By
// default the run's stream, with which every report stays what it always
// was; with a seed (--seed) the counter-based stream, whose bits depend on
// the seed, the replicate and the family alone.
struct ResamplingRule {
    std::optional<std::uint64_t> seed;  // the counter-based stream's; none: the run's stream

    bool counterBased() const { return seed.has_value(); }
    friend bool operator==(const ResamplingRule&, const ResamplingRule&) = default;
};

}  // namespace triotdt::resampling
