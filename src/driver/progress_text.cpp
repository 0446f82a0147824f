#include "driver/progress_text.h"

#include <cmath>

namespace triotdt::driver {
namespace {

std::string duration(double seconds) {
    const auto whole = static_cast<std::int64_t>(std::ceil(seconds));
    if (whole < 60) return std::to_string(whole) + " s";
    if (whole < 3600) return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}

}  // namespace

std::string progressText(std::int64_t windowsDone, std::int64_t windowCount, double replicatesPerSecond,
                         double secondsLeft) {
    std::string text = "window " + std::to_string(windowsDone);
    if (windowCount > 0) text += " of " + std::to_string(windowCount);
    text += ", " + std::to_string(std::llround(replicatesPerSecond)) + " replicates/s";
    if (windowCount > 0 && secondsLeft >= 0) text += ", about " + duration(secondsLeft) + " left";
    return text;
}

}  // namespace triotdt::driver
