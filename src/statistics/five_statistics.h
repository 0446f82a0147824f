#pragma once

#include <array>
#include <cstddef>

namespace triotdt::statistics {

// The five statistics of a window, in the order of the report columns. They
// share one form (see transmission_statistic.h) and differ in how the
// families of ambiguous phase are weighted: Punamb leaves them out, the other
// four weigh their phase combinations by one frequency set each.
enum class Statistic : std::size_t { punamb, pg, pe, pc, pem };

inline constexpr std::size_t statisticCount = 5;

// The names of the report header, in enum order.
inline constexpr std::array<const char*, statisticCount> statisticNames = {"Punamb", "Pg", "Pe", "Pc", "Pem"};

// One value per statistic (the statistics themselves, or their p-values),
// indexed by Statistic.
using FiveStatistics = std::array<double, statisticCount>;

inline constexpr std::size_t indexOf(Statistic statistic) { return static_cast<std::size_t>(statistic); }

inline constexpr double& at(FiveStatistics& values, Statistic statistic) { return values[indexOf(statistic)]; }
inline constexpr double at(const FiveStatistics& values, Statistic statistic) { return values[indexOf(statistic)]; }

}  // namespace triotdt::statistics
